#include "library/AnalyseRepertoire.h"

#include "common/Error.h"
#include "common/InputFile.h"
#include "library/EffectNames.h"

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <string>
#include <unordered_set>
#include <vector>

#include <dirent.h>
#include <fcntl.h>
#include <linux/magic.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <unistd.h>

namespace teintelle {

int openFolder(int at, const char* name)
{
    return ::openat(at, name, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
}

namespace {

// A deep tree must not use up the process's descriptors, so only some folders
// of the scan stack keep theirs open: the start folder, the deepest ones (the
// scan needs them first on its way back up), and checkpoints at regular depths.
// A closed folder that still has sub-folders to enter is opened again name by
// name from its nearest open ancestor, so no walk is longer than the spacing
// of the checkpoints, which doubles whenever they grow too many.
constexpr std::size_t kDeepestOpen = 64;
constexpr std::size_t kMaxCheckpoints = 64;
constexpr std::size_t kFirstCheckpointSpacing = 64;

constexpr std::size_t kListingBuffer = std::size_t{64} * 1024;

struct FolderIdentity {
    dev_t device;
    ino_t inode;
    bool operator==(const FolderIdentity&) const = default;
};

struct FolderIdentityHash {
    std::size_t operator()(const FolderIdentity& id) const
    {
        return std::hash<std::uint64_t>()(static_cast<std::uint64_t>(id.inode) * 0x9E3779B97F4A7C15ull
                                          ^ static_cast<std::uint64_t>(id.device));
    }
};

// One entry that becomes a node: its name lies in the folder's name store.
struct Entry {
    std::uint32_t offset;
    std::uint32_t length;
    bool folder;
};

// A folder being scanned.
struct Folder {
    NodeId node;
    FolderIdentity identity;
    std::string name;        // as listed in its parent, to open it again
    FileDescriptor descriptor;   // closed when over the budget
    bool unreachable = false; // could not be opened again: its sub-folders stay empty
    std::string names;
    std::vector<Entry> entries;
    std::size_t next = 0;

    std::string_view nameOf(const Entry& entry) const { return {names.data() + entry.offset, entry.length}; }
};

bool isPseudoFileSystem(int fd)
{
    struct statfs info;
    if (::fstatfs(fd, &info) != 0)
        return false;
    switch (static_cast<unsigned long>(info.f_type)) {
    case PROC_SUPER_MAGIC:
    case SYSFS_MAGIC:
    case DEVPTS_SUPER_MAGIC:
    case CGROUP_SUPER_MAGIC:
    case CGROUP2_SUPER_MAGIC:
    case DEBUGFS_MAGIC:
    case TRACEFS_MAGIC:
    case SECURITYFS_MAGIC:
    case PSTOREFS_MAGIC:
    case EFIVARFS_MAGIC:
    case BINFMTFS_MAGIC:
    case SELINUX_MAGIC:
    case SMACK_MAGIC:
    case NSFS_MAGIC:
    case BPF_FS_MAGIC:
    case 0x62656570ul: // configfs
    case 0x19800202ul: // mqueue
    case 0x65735543ul: // fusectl
        return true;
    default:
        return false;
    }
}

class Scanner {
public:
    Scanner(TreeSink& sink, const FolderOpener& open, const ScanLimits& limits)
        : sink_(sink), open_(open), limits_(limits), buffer_(kListingBuffer),
          nextCheck_(std::chrono::steady_clock::now() + limits.checkEvery)
    {
    }

    ScanEnd run(const std::string& folderPath, NodeId parent)
    {
        FileDescriptor fd(open_(AT_FDCWD, folderPath.c_str()));
        if (!fd.isOpen())
            return ScanEnd::Finished;
        struct stat info;
        if (::fstat(fd.get(), &info) != 0 || isPseudoFileSystem(fd.get()))
            return ScanEnd::Finished;
        push(parent, {info.st_dev, info.st_ino}, std::string(), std::move(fd));

        while (!stack_.empty()) {
            if (stopAsked())
                return ScanEnd::Stopped;
            Folder& folder = stack_.back();
            if (folder.next == folder.entries.size()) {
                pop();
                continue;
            }
            const Entry entry = folder.entries[folder.next++];
            const std::string_view name = folder.nameOf(entry);
            if (added_ == limits_.nodeBudget)
                throw Error(kInsertError);
            const std::optional<NodeId> node =
                sink_.addNode(folder.node, name, entry.folder ? NodeKind::Folder : NodeKind::Effect);
            if (!node)
                throw Error(kInsertError);
            ++added_;
            if (entry.folder)
                enter(std::string(name), *node); // the top of the stack is the parent
        }
        return stopped_ ? ScanEnd::Stopped : ScanEnd::Finished;
    }

private:
    // Asks the caller whether to stop when the time has come; once it said
    // so, the answer stays.
    bool stopAsked()
    {
        if (stopped_ || !limits_.shouldStop)
            return stopped_;
        const auto now = std::chrono::steady_clock::now();
        if (now < nextCheck_)
            return false;
        stopped_ = limits_.shouldStop();
        // The time the caller took is not the scan's.
        nextCheck_ = std::chrono::steady_clock::now() + limits_.checkEvery;
        return stopped_;
    }

    // Opens the sub-folder `name` of the folder on top of the stack and, when
    // it may be entered, lists it as the new top.
    void enter(std::string name, NodeId node)
    {
        const std::size_t parentIndex = stack_.size() - 1;
        const int at = descriptorOf(parentIndex);
        if (at < 0)
            return;
        FileDescriptor fd(open_(at, name.c_str()));
        if (!fd.isOpen())
            return;
        struct stat info;
        if (::fstat(fd.get(), &info) != 0)
            return;
        const FolderIdentity identity{info.st_dev, info.st_ino};
        if (scanning_.contains(identity))
            return; // a link back to a folder being scanned: entering it would never end
        // A pseudo file system can only start where the device changes.
        if (identity.device != stack_[parentIndex].identity.device && isPseudoFileSystem(fd.get()))
            return;
        push(node, identity, std::move(name), std::move(fd));
    }

    void push(NodeId node, FolderIdentity identity, std::string name, FileDescriptor fd)
    {
        Folder& folder = stack_.emplace_back();
        folder.node = node;
        folder.identity = identity;
        folder.name = std::move(name);
        folder.descriptor = std::move(fd);
        scanning_.insert(identity);
        list(folder);
        if (!isCheckpoint(stack_.size() - 1))
            ++deepOpen_;
        if (stack_.size() / checkpointSpacing_ > kMaxCheckpoints)
            spreadCheckpoints();
        closeShallowestOverBudget();
    }

    void pop()
    {
        const std::size_t index = stack_.size() - 1;
        Folder& folder = stack_.back();
        if (folder.descriptor.isOpen() && !isCheckpoint(index))
            --deepOpen_;
        scanning_.erase(folder.identity);
        stack_.pop_back();
        firstMaybeOpen_ = std::min(firstMaybeOpen_, std::max<std::size_t>(stack_.size(), 1));
    }

    // The start folder counts as one: it is never closed.
    bool isCheckpoint(std::size_t index) const { return index % checkpointSpacing_ == 0; }

    void spreadCheckpoints()
    {
        const std::size_t old = checkpointSpacing_;
        checkpointSpacing_ *= 2;
        for (std::size_t index = old; index < stack_.size(); index += old)
            if (!isCheckpoint(index))
                stack_[index].descriptor.reset(); // opened again if ever needed
        firstMaybeOpen_ = std::min(firstMaybeOpen_, old);
    }

    // Reads every entry of the folder, keeps those that become nodes and puts
    // them in listing order.
    void list(Folder& folder)
    {
        const int fd = folder.descriptor.get();
        for (;;) {
            const ssize_t got = ::getdents64(fd, buffer_.data(), buffer_.size());
            if (got <= 0 || stopAsked())
                break; // the end, or a folder that cannot be read further: keep what came
            for (ssize_t at = 0; at < got;) {
                const auto* record = reinterpret_cast<const struct dirent64*>(buffer_.data() + at);
                at += record->d_reclen;
                keepIfNode(folder, fd, record->d_name, record->d_type);
            }
        }
        std::sort(folder.entries.begin(), folder.entries.end(), [&folder](const Entry& a, const Entry& b) {
            return entryNameLess(folder.nameOf(a), folder.nameOf(b));
        });
    }

    static void keepIfNode(Folder& folder, int fd, const char* rawName, unsigned char type)
    {
        if (rawName[0] == '.')
            return;
        const std::string_view name(rawName);
        bool isFolder = false;
        bool isEffect = false;
        struct stat info;
        switch (type) {
        case DT_DIR:
            isFolder = true;
            break;
        case DT_REG:
            // Only a name that can be an effect needs the owner's write bit.
            if (nameCanBeEffect(name) && ::fstatat(fd, rawName, &info, AT_SYMLINK_NOFOLLOW) == 0)
                isEffect = S_ISREG(info.st_mode) && (info.st_mode & S_IWUSR) != 0;
            break;
        case DT_LNK:
        case DT_UNKNOWN:
            if (::fstatat(fd, rawName, &info, 0) == 0) {
                isFolder = S_ISDIR(info.st_mode);
                isEffect = S_ISREG(info.st_mode) && (info.st_mode & S_IWUSR) != 0 && nameCanBeEffect(name);
            }
            break;
        default:
            break; // pipes, sockets, devices
        }
        if (!isFolder && !isEffect)
            return;
        folder.entries.push_back({static_cast<std::uint32_t>(folder.names.size()),
                                  static_cast<std::uint32_t>(name.size()), isFolder});
        folder.names.append(name);
    }

    // The descriptor of a folder of the stack, opened again from its nearest
    // open ancestor when it was closed; -1 when that cannot be done.
    int descriptorOf(std::size_t index)
    {
        Folder& folder = stack_[index];
        if (folder.descriptor.isOpen())
            return folder.descriptor.get();
        if (folder.unreachable)
            return -1;
        std::size_t from = index;
        while (from > 0 && !stack_[from].descriptor.isOpen() && !stack_[from].unreachable)
            --from;
        if (!stack_[from].descriptor.isOpen()) {
            folder.unreachable = true;
            return -1;
        }
        const std::size_t keepFrom = index >= kDeepestOpen ? index - kDeepestOpen + 1 : 1;
        FileDescriptor passed; // the last folder opened on the way that is not kept
        int at = stack_[from].descriptor.get();
        for (std::size_t i = from + 1; i <= index; ++i) {
            FileDescriptor fd(open_(at, stack_[i].name.c_str()));
            struct stat info;
            // The folder must still be the one that was listed.
            if (!fd.isOpen() || ::fstat(fd.get(), &info) != 0
                || FolderIdentity{info.st_dev, info.st_ino} != stack_[i].identity) {
                for (std::size_t j = i; j <= index; ++j)
                    stack_[j].unreachable = true;
                return -1;
            }
            at = fd.get();
            if (isCheckpoint(i)) {
                stack_[i].descriptor = std::move(fd);
            } else if (i >= keepFrom) {
                stack_[i].descriptor = std::move(fd);
                ++deepOpen_;
                firstMaybeOpen_ = std::min(firstMaybeOpen_, i);
            } else {
                passed = std::move(fd);
            }
        }
        closeShallowestOverBudget();
        return folder.descriptor.get();
    }

    // Closes the shallowest open folders that are no checkpoints until no
    // more than kDeepestOpen of them stay open.
    void closeShallowestOverBudget()
    {
        while (deepOpen_ > kDeepestOpen && firstMaybeOpen_ < stack_.size()) {
            Folder& folder = stack_[firstMaybeOpen_];
            if (folder.descriptor.isOpen() && !isCheckpoint(firstMaybeOpen_)) {
                folder.descriptor.reset();
                --deepOpen_;
            }
            ++firstMaybeOpen_;
        }
    }

    TreeSink& sink_;
    const FolderOpener& open_;
    const ScanLimits& limits_;
    std::size_t added_ = 0;
    bool stopped_ = false;
    std::vector<char> buffer_;
    std::vector<Folder> stack_;
    std::unordered_set<FolderIdentity, FolderIdentityHash> scanning_;
    std::size_t checkpointSpacing_ = kFirstCheckpointSpacing;
    std::size_t deepOpen_ = 0;       // open descriptors in the stack that are no checkpoints
    std::size_t firstMaybeOpen_ = 1; // no open folder but checkpoints lies between the start one and this
    std::chrono::steady_clock::time_point nextCheck_;
};

} // namespace

ScanEnd AnalyseRepertoire(std::string_view searchPath, NodeId parent, TreeSink& sink, const FolderOpener& open,
                          const ScanLimits& limits)
{
    const std::size_t slash = searchPath.rfind('/');
    if (slash == std::string_view::npos)
        return ScanEnd::Finished; // no folder part: nothing names a folder
    return Scanner(sink, open, limits).run(std::string(searchPath.substr(0, slash + 1)), parent);
}

} // namespace teintelle
