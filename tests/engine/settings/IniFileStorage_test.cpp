#include "settings/IniFileStorage.h"

#include "settings/SettingsTestFiles.h"

#include <cerrno>
#include <chrono>
#include <ctime>
#include <functional>
#include <ostream>
#include <sys/file.h>

namespace teintelle {

// So that a failure names the outcomes.
void PrintTo(SettingsWriteOutcome outcome, std::ostream* out)
{
    switch (outcome) {
    case SettingsWriteOutcome::Written:
        *out << "Written";
        return;
    case SettingsWriteOutcome::WrittenInPlace:
        *out << "WrittenInPlace";
        return;
    case SettingsWriteOutcome::SkippedReadOnly:
        *out << "SkippedReadOnly";
        return;
    case SettingsWriteOutcome::SkippedUnwritable:
        *out << "SkippedUnwritable";
        return;
    case SettingsWriteOutcome::SkippedUnread:
        *out << "SkippedUnread";
        return;
    case SettingsWriteOutcome::Failed:
        *out << "Failed";
        return;
    }
    *out << static_cast<int>(outcome);
}

namespace {

using namespace teintelle::testing;

constexpr const char* kFileName = "Teintelle.ini";
const std::string kOldFile = "; comment\r\n[a]\r\nk = v\r\n[A]\r\nlone\r\n";
const std::string kNewFile = "[a]\r\nk=v\r\nlone\r\n\r\n";

// A file system that fails where a test tells it to.
class FaultyFileSystem : public PosixFileSystem {
public:
    std::size_t bytesBeforeDiskFull = SIZE_MAX;
    int createNewError = 0;
    int reserveError = 0;
    int syncError = 0;
    int renameError = 0;
    int openForReadingError = 0;

    int writeAt(int fd, const char* data, std::size_t size, off_t offset, std::size_t& written) override
    {
        if (bytesBeforeDiskFull == 0)
            return ENOSPC;
        const std::size_t allowed = std::min(size, bytesBeforeDiskFull);
        bytesBeforeDiskFull -= allowed;
        return PosixFileSystem::writeAt(fd, data, allowed, offset, written);
    }
    int createNew(const std::string& path, mode_t mode, int& fd) override
    {
        return createNewError ? createNewError : PosixFileSystem::createNew(path, mode, fd);
    }
    int reserve(int fd, off_t size) override
    {
        return reserveError ? reserveError : PosixFileSystem::reserve(fd, size);
    }
    int sync(int fd) override { return syncError ? syncError : PosixFileSystem::sync(fd); }
    int rename(const std::string& from, const std::string& to) override
    {
        return renameError ? renameError : PosixFileSystem::rename(from, to);
    }
    int openForReading(const std::string& path, int& fd) override
    {
        return openForReadingError ? openForReadingError : PosixFileSystem::openForReading(path, fd);
    }
};

// A file system that answers for another user once told to: the
// effective user, and for the file at one path its owner, link count and
// the user's right to write it. Everything else, the writing included, is
// done on the real file.
class PretendFileSystem : public PosixFileSystem {
public:
    std::string path;
    uid_t user = 0;
    uid_t owner = 0;
    nlink_t links = 1;
    int mayWriteResult = 0;
    bool pretending = false;

    uid_t effectiveUser() override { return pretending ? user : PosixFileSystem::effectiveUser(); }
    int status(const std::string& of, FileFacts& facts) override
    {
        const int error = PosixFileSystem::status(of, facts);
        if (error == 0 && pretending && of == path) {
            facts.owner = owner;
            facts.links = links;
        }
        return error;
    }
    int mayWrite(const std::string& of) override
    {
        return pretending && of == path ? mayWriteResult : PosixFileSystem::mayWrite(of);
    }
    // The owner reported is not the real one: it is not given to a file.
    int setOwner(int fd, uid_t newOwner, gid_t group) override
    {
        return pretending ? 0 : PosixFileSystem::setOwner(fd, newOwner, group);
    }
};

// A file system that runs a step in the middle of the first write of a
// file, just before it is flushed, with that file made to look an hour old.
class InterruptedFileSystem : public PosixFileSystem {
public:
    std::function<void()> duringWrite;

    int sync(int fd) override
    {
        if (duringWrite) {
            const std::function<void()> step = std::move(duringWrite);
            duringWrite = nullptr;
            struct timespec anHourAgo[2];
            ::clock_gettime(CLOCK_REALTIME, &anHourAgo[0]);
            anHourAgo[0].tv_sec -= 3600;
            anHourAgo[1] = anHourAgo[0];
            ::futimens(fd, anHourAgo);
            step();
        }
        return PosixFileSystem::sync(fd);
    }
};

// Reads and writes the settings file at path, as one run of the program
// does; returns the outcome of the write.
SettingsWriteOutcome runOnce(const std::string& path, FileSystem& fileSystem = systemFileSystem())
{
    IniFileStorage store(path, fileSystem);
    store.read();
    return store.write();
}

// The same run as an unprivileged user, so that the kernel's permission
// checks apply even under root.
ChildRun runOnceUnprivileged(const std::string& path)
{
    return runAsUnprivilegedUser([&] { return static_cast<int>(runOnce(path)); });
}

class IniFileStorageTest : public FileTest {
protected:
    std::string settingsIn(const std::string& folder) { return folder + "/" + kFileName; }
};

TEST_F(IniFileStorageTest, RewritesTheFileInItsOwnEncoding)
{
    struct Case {
        const char* what;
        std::string file;
        std::string expected;
    };
    const Case cases[] = {
        {"bytes without a mark", "stray\r\n; c\r\n[Sec]\r\n a = \xE9 \r\n[SEC]\r\nb\r\n",
         "[Sec]\r\na=\xE9\r\nb\r\n\r\n"},
        {"UTF-8 with its mark", "\xEF\xBB\xBFstray\n[Clé]\nk=é\n[CLÉ]\nb\n", "\xEF\xBB\xBF[Clé]\r\nk=é\r\nb\r\n\r\n"},
        {"UTF-16 little-endian", utf16File(u";c\n[Clé]\nk = é\n[CLÉ]\nb", false),
         utf16File(u"[Clé]\r\nk=é\r\nb\r\n\r\n", false)},
        {"UTF-16 big-endian", utf16File(u";c\n[Clé]\nk = é\n[CLÉ]\nb", true),
         utf16File(u"[Clé]\r\nk=é\r\nb\r\n\r\n", true)},
    };
    const std::string path = settingsIn(root_);
    for (const Case& c : cases) {
        writeFile(path, c.file);
        IniFileStorage store(path);
        EXPECT_EQ(store.read(), SettingsReadOutcome::Read) << c.what;
        EXPECT_EQ(store.write(), SettingsWriteOutcome::Written) << c.what;
        EXPECT_EQ(readFile(path), c.expected) << c.what;
        EXPECT_EQ(namesIn(root_), std::vector<std::string>{kFileName}) << c.what;
    }
}

TEST_F(IniFileStorageTest, NoFileAtStartLeavesAnEmptyFileInANewFolder)
{
    const std::string path = root_ + "/program/bin/" + kFileName;
    IniFileStorage store(path);
    EXPECT_EQ(store.read(), SettingsReadOutcome::NoFile);
    EXPECT_EQ(store.write(), SettingsWriteOutcome::Written);
    ASSERT_TRUE(std::filesystem::is_regular_file(path));
    EXPECT_EQ(readFile(path), "");
    EXPECT_EQ(permissionsOf(path), 0666 & ~currentUmask());
}

TEST_F(IniFileStorageTest, ReadOnlyFileIsLeftUntouched)
{
    // The owner's write bit decides, not the right to write: root is
    // refused too.
    const std::string path = settingsIn(root_);
    writeFile(path, kOldFile, 0444);
    IniFileStorage store(path);
    EXPECT_EQ(store.read(), SettingsReadOutcome::Read);
    EXPECT_TRUE(store.readOnly());
    EXPECT_EQ(store.write(), SettingsWriteOutcome::SkippedReadOnly);
    EXPECT_EQ(readFile(path), kOldFile);
    EXPECT_EQ(permissionsOf(path), 0444u);
}

TEST_F(IniFileStorageTest, UnwritableFolderGetsNoFileAndNoMessage)
{
    const std::string folder = makeFolder("program", 0555);
    const ChildRun run = runOnceUnprivileged(settingsIn(folder));
    EXPECT_EQ(run.exitCode, static_cast<int>(SettingsWriteOutcome::Failed));
    EXPECT_EQ(run.output, "");
    EXPECT_TRUE(namesIn(folder).empty());
}

TEST_F(IniFileStorageTest, WritableFileInAnUnwritableFolderIsRewrittenInPlace)
{
    const std::string folder = makeFolder("program");
    const std::string path = settingsIn(folder);
    writeFile(path, kOldFile, 0666);
    ::chmod(folder.c_str(), 0555);
    const ChildRun run = runOnceUnprivileged(path);
    EXPECT_EQ(run.exitCode, static_cast<int>(SettingsWriteOutcome::WrittenInPlace));
    EXPECT_EQ(run.output, "");
    EXPECT_EQ(readFile(path), kNewFile);
    EXPECT_EQ(namesIn(folder), std::vector<std::string>{kFileName});
}

TEST_F(IniFileStorageTest, FileThatCannotBeReadIsNeverWrittenOver)
{
    // Readable by no one but root, writable by all: an unprivileged run
    // could write it but has not seen what it holds.
    const std::string folder = makeFolder("program");
    const std::string path = settingsIn(folder);
    writeFile(path, kOldFile, 0222);
    const ChildRun run = runAsUnprivilegedUser([&] {
        IniFileStorage store(path);
        const bool unreadable = store.read() == SettingsReadOutcome::Unreadable;
        return unreadable ? static_cast<int>(store.write()) : 100;
    });
    EXPECT_EQ(run.exitCode, static_cast<int>(SettingsWriteOutcome::SkippedUnread));
    EXPECT_EQ(permissionsOf(path), 0222u);
    ::chmod(path.c_str(), 0644); // so that this process can check it, root or not
    EXPECT_EQ(readFile(path), kOldFile);

    // A folder in the file's place, a read that fails, a file too large.
    const std::string folderInPlace = settingsIn(makeFolder("other"));
    std::filesystem::create_directory(folderInPlace);
    EXPECT_EQ(runOnce(folderInPlace), SettingsWriteOutcome::SkippedUnread);
    EXPECT_TRUE(std::filesystem::is_directory(folderInPlace));

    FaultyFileSystem lockedFile;
    lockedFile.openForReadingError = EACCES;
    EXPECT_EQ(runOnce(path, lockedFile), SettingsWriteOutcome::SkippedUnread);
    EXPECT_EQ(readFile(path), kOldFile);

    const std::string huge = "[s]\r\n" + std::string(IniFileStorage::kLargestFileRead, 'x');
    writeFile(path, huge);
    EXPECT_EQ(runOnce(path), SettingsWriteOutcome::SkippedUnread);
    EXPECT_EQ(readFile(path), huge);
}

TEST_F(IniFileStorageTest, FailedWriteLeavesThePreviousFileWhole)
{
    struct Case {
        const char* what;
        void (*breakIt)(FaultyFileSystem&);
        SettingsWriteOutcome outcome;
        const std::string& result;
    };
    const Case cases[] = {
        {"disk full half-way through the new file", [](FaultyFileSystem& fs) { fs.bytesBeforeDiskFull = 7; },
         SettingsWriteOutcome::Failed, kOldFile},
        {"write-back fails at sync", [](FaultyFileSystem& fs) { fs.syncError = EIO; }, SettingsWriteOutcome::Failed,
         kOldFile},
        {"rename refused for another cause", [](FaultyFileSystem& fs) { fs.renameError = EXDEV; },
         SettingsWriteOutcome::Failed, kOldFile},
        {"no new file allowed and disk full",
         [](FaultyFileSystem& fs) {
             fs.createNewError = EACCES;
             fs.reserveError = ENOSPC;
         },
         SettingsWriteOutcome::Failed, kOldFile},
        {"no new file allowed", [](FaultyFileSystem& fs) { fs.createNewError = EACCES; },
         SettingsWriteOutcome::WrittenInPlace, kNewFile},
        {"no new file allowed, no room reservation on this file system",
         [](FaultyFileSystem& fs) {
             fs.createNewError = EPERM;
             fs.reserveError = EOPNOTSUPP;
         },
         SettingsWriteOutcome::WrittenInPlace, kNewFile},
        {"sticky folder refuses the rename over another's file", [](FaultyFileSystem& fs) { fs.renameError = EPERM; },
         SettingsWriteOutcome::WrittenInPlace, kNewFile},
    };
    const std::string path = settingsIn(root_);
    for (const Case& c : cases) {
        writeFile(path, kOldFile, 0640);
        FaultyFileSystem fileSystem;
        c.breakIt(fileSystem);
        EXPECT_EQ(runOnce(path, fileSystem), c.outcome) << c.what;
        EXPECT_EQ(readFile(path), c.result) << c.what;
        EXPECT_EQ(permissionsOf(path), 0640u) << c.what;
        EXPECT_EQ(namesIn(root_), std::vector<std::string>{kFileName}) << c.what;
    }
}

TEST_F(IniFileStorageTest, ReplacedFileKeepsItsModeAndOwner)
{
    // Root may give the new file the old one's group. A file of another
    // user is not replaced but rewritten in place, so it stays that user's.
    const bool root = ::geteuid() == 0;
    const std::string path = settingsIn(root_);
    for (const mode_t mode : {0600u, 0640u, 0604u, 0666u}) {
        writeFile(path, kOldFile, mode);
        if (root) {
            ASSERT_EQ(::chown(path.c_str(), 0, kUnprivilegedId), 0);
        }
        EXPECT_EQ(runOnce(path), SettingsWriteOutcome::Written);
        EXPECT_EQ(readFile(path), kNewFile);
        EXPECT_EQ(permissionsOf(path), mode);
        if (root) {
            struct stat s {};
            ::stat(path.c_str(), &s);
            EXPECT_EQ(s.st_gid, kUnprivilegedId);

            writeFile(path, kOldFile, mode);
            ASSERT_EQ(::chown(path.c_str(), kUnprivilegedId, kUnprivilegedId), 0);
            EXPECT_EQ(runOnce(path), SettingsWriteOutcome::WrittenInPlace);
            EXPECT_EQ(readFile(path), kNewFile);
            EXPECT_EQ(permissionsOf(path), mode);
            ::stat(path.c_str(), &s);
            EXPECT_EQ(s.st_uid, kUnprivilegedId);
            EXPECT_EQ(s.st_gid, kUnprivilegedId);
        }
    }
}

TEST_F(IniFileStorageTest, OnlyTheUsersOwnFileWithOneLinkIsReplaced)
{
    // What the file is at writing time decides, seen as the effective user
    // sees it: root, or a user with the id below.
    constexpr uid_t kRoot = 0, kUser = 1000, kOther = 1001;
    constexpr SettingsWriteOutcome kReplaced = SettingsWriteOutcome::Written,
                                   kInPlace = SettingsWriteOutcome::WrittenInPlace,
                                   kReadOnly = SettingsWriteOutcome::SkippedReadOnly,
                                   kUnwritable = SettingsWriteOutcome::SkippedUnwritable;
    struct Case {
        const char* what;
        uid_t user;
        uid_t owner;
        mode_t mode;
        nlink_t links;
        int mayWrite;
        SettingsWriteOutcome outcome;
    };
    const Case cases[] = {
        {"the user's own file", kUser, kUser, 0644, 1, 0, kReplaced},
        {"root's own file", kRoot, kRoot, 0644, 1, 0, kReplaced},
        {"made read-only during the run", kUser, kUser, 0444, 1, EACCES, kReadOnly},
        {"made read-only during the run, root", kRoot, kRoot, 0444, 1, 0, kReadOnly},
        {"read-only to its owner, writable by the others", kUser, kOther, 0466, 1, 0, kReadOnly},
        {"another user's, 0644, in a folder the user may write", kUser, kOther, 0644, 1, EACCES, kUnwritable},
        {"another user's, writable by all", kUser, kOther, 0666, 1, 0, kInPlace},
        {"another user's, root", kRoot, kOther, 0644, 1, 0, kInPlace},
        {"the user's own, on a file system mounted read-only", kUser, kUser, 0644, 1, EROFS, kUnwritable},
        {"a second hard link", kUser, kUser, 0644, 2, 0, kInPlace},
        {"a second hard link, root", kRoot, kRoot, 0600, 2, 0, kInPlace},
        {"a second hard link, read-only", kUser, kUser, 0444, 2, EACCES, kReadOnly},
    };
    const std::string path = settingsIn(root_);
    for (const Case& c : cases) {
        writeFile(path, kOldFile, 0644);
        PretendFileSystem fileSystem;
        IniFileStorage store(path, fileSystem);
        ASSERT_EQ(store.read(), SettingsReadOutcome::Read) << c.what;
        ::chmod(path.c_str(), c.mode); // the mode as it is at writing time
        fileSystem.path = path;
        fileSystem.user = c.user;
        fileSystem.owner = c.owner;
        fileSystem.links = c.links;
        fileSystem.mayWriteResult = c.mayWrite;
        fileSystem.pretending = true;
        EXPECT_EQ(store.write(), c.outcome) << c.what;
        const bool written = c.outcome == kReplaced || c.outcome == kInPlace;
        EXPECT_EQ(readFile(path), written ? kNewFile : kOldFile) << c.what;
        EXPECT_EQ(permissionsOf(path), c.mode) << c.what;
        EXPECT_EQ(namesIn(root_), std::vector<std::string>{kFileName}) << c.what;
    }
}

TEST_F(IniFileStorageTest, RightToWriteIsTheEffectiveUsers)
{
    // Root may write a file without any write bit, hence the read-only
    // rule on top of this right. A process whose effective user is not
    // root may not write root's 0644 file, even when its real user is root.
    const bool root = ::geteuid() == 0;
    const std::string readOnly = root_ + "/read-only", shared = root_ + "/shared";
    writeFile(readOnly, "", 0444);
    writeFile(shared, "", 0644);
    PosixFileSystem fileSystem;
    EXPECT_EQ(fileSystem.mayWrite(readOnly), root ? 0 : EACCES);
    EXPECT_EQ(fileSystem.mayWrite(shared), 0);
    EXPECT_EQ(fileSystem.mayWrite(root_ + "/none"), ENOENT);
    if (root) {
        ASSERT_EQ(::seteuid(kUnprivilegedId), 0);
        const int asNobody = fileSystem.mayWrite(shared);
        ASSERT_EQ(::seteuid(0), 0);
        EXPECT_EQ(asNobody, EACCES);
    }
}

TEST_F(IniFileStorageTest, HardLinkIsKeptByWritingInPlace)
{
    const std::string path = settingsIn(root_);
    const std::string other = root_ + "/other.ini";
    writeFile(path, kOldFile, 0640);
    std::filesystem::create_hard_link(path, other);
    struct stat before {}, after {}, linked {};
    ::stat(path.c_str(), &before);

    EXPECT_EQ(runOnce(path), SettingsWriteOutcome::WrittenInPlace);
    ::stat(path.c_str(), &after);
    ::stat(other.c_str(), &linked);
    EXPECT_EQ(after.st_ino, before.st_ino);
    EXPECT_EQ(linked.st_ino, before.st_ino);
    EXPECT_EQ(after.st_nlink, 2u);
    EXPECT_EQ(readFile(other), kNewFile);
    EXPECT_EQ(permissionsOf(path), 0640u);
    EXPECT_EQ(namesIn(root_), (std::vector<std::string>{kFileName, "other.ini"}));
}

TEST_F(IniFileStorageTest, TwoRunsAtOnceLeaveEachOtherTheirNewFile)
{
    // The second run writes and cleans up while the first is writing its
    // new file, which looks old enough to be a leftover but is locked.
    const std::string path = settingsIn(root_);
    writeFile(path, kOldFile);
    InterruptedFileSystem first;
    SettingsWriteOutcome second = SettingsWriteOutcome::Failed;
    std::vector<std::string> namesMeanwhile;
    first.duringWrite = [&] {
        second = runOnce(path);
        namesMeanwhile = namesIn(root_);
    };
    EXPECT_EQ(runOnce(path, first), SettingsWriteOutcome::Written);
    EXPECT_EQ(second, SettingsWriteOutcome::Written);
    EXPECT_EQ(namesMeanwhile.size(), 2u);
    EXPECT_EQ(readFile(path), kNewFile);
    EXPECT_EQ(namesIn(root_), std::vector<std::string>{kFileName});
}

TEST_F(IniFileStorageTest, LeftoversOfAKilledRunAreRemovedAtTheNextWrite)
{
    // Only this program's names for its new files beside the settings
    // file, and only files no live run may still be writing: locked by no
    // one and unchanged for an hour.
    struct Case {
        const char* name;
        bool old;
        bool locked;
        bool removed;
    };
    const Case cases[] = {
        {".Teintelle.ini.k3x9q0az", true, false, true},
        {".Teintelle.ini.00000000", true, false, true},
        {".Teintelle.ini.fresh0ab", false, false, false}, // just created by another run
        {".Teintelle.ini.locked0a", true, true, false},   // being written by another run
        {".Teintelle.ini.k3x9q0a", true, false, false},
        {".Teintelle.ini.k3x9q0az0", true, false, false},
        {".Teintelle.ini.K3X9Q0AZ", true, false, false},
        {".Teintelle.ini.k3x9-0az", true, false, false},
        {"Teintelle.ini.k3x9q0az", true, false, false},
        {".Teintelle.ini.bak", true, false, false},
        {".Other.ini.k3x9q0az", true, false, false},
    };
    const std::string path = settingsIn(root_);
    writeFile(path, kOldFile, 0444);
    std::vector<int> locks;
    for (const Case& c : cases) {
        const std::string leftover = root_ + "/" + c.name;
        writeFile(leftover, "[half", 0600);
        if (c.old)
            std::filesystem::last_write_time(leftover, std::filesystem::file_time_type::clock::now() -
                                                           std::chrono::hours(1));
        if (c.locked) {
            locks.push_back(::open(leftover.c_str(), O_RDONLY | O_CLOEXEC));
            ASSERT_EQ(::flock(locks.back(), LOCK_EX), 0);
        }
    }
    // No files of ours: a pipe, and a link to an old file.
    const std::string pipe = root_ + "/.Teintelle.ini.p1p2e3f4", link = root_ + "/.Teintelle.ini.l1nk2e3f";
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    std::filesystem::last_write_time(pipe, std::filesystem::file_time_type::clock::now() - std::chrono::hours(1));
    std::filesystem::create_symlink(".Teintelle.ini.bak", link);
    const std::vector<std::string> everything = namesIn(root_);

    // A run that leaves a read-only file alone writes nothing, and removes
    // nothing either.
    EXPECT_EQ(runOnce(path), SettingsWriteOutcome::SkippedReadOnly);
    EXPECT_EQ(namesIn(root_), everything);

    ::chmod(path.c_str(), 0644);
    EXPECT_EQ(runOnce(path), SettingsWriteOutcome::Written);
    for (const Case& c : cases)
        EXPECT_EQ(std::filesystem::exists(root_ + "/" + c.name), !c.removed) << c.name;
    EXPECT_TRUE(std::filesystem::is_fifo(pipe));
    EXPECT_TRUE(std::filesystem::is_symlink(link));
    EXPECT_EQ(readFile(path), kNewFile);
    for (const int fd : locks)
        ::close(fd);
}

TEST_F(IniFileStorageTest, LinkIsWrittenThroughToItsTarget)
{
    // Teintelle.ini -> ../shared/link.ini -> real.ini, relative links.
    const std::string program = makeFolder("program");
    const std::string shared = makeFolder("shared");
    const std::string path = settingsIn(program);
    writeFile(shared + "/real.ini", kOldFile, 0640);
    std::filesystem::create_symlink("real.ini", shared + "/link.ini");
    std::filesystem::create_symlink("../shared/link.ini", path);

    EXPECT_EQ(runOnce(path), SettingsWriteOutcome::Written);
    EXPECT_EQ(std::filesystem::read_symlink(path), "../shared/link.ini");
    EXPECT_EQ(std::filesystem::read_symlink(shared + "/link.ini"), "real.ini");
    EXPECT_EQ(readFile(shared + "/real.ini"), kNewFile);
    EXPECT_EQ(permissionsOf(shared + "/real.ini"), 0640u);
    EXPECT_EQ(namesIn(program), std::vector<std::string>{kFileName});
    EXPECT_EQ(namesIn(shared), (std::vector<std::string>{"link.ini", "real.ini"}));

    // A link to nothing yet: the run starts empty and creates the target.
    std::filesystem::remove(path);
    std::filesystem::create_symlink("../shared/new.ini", path);
    EXPECT_EQ(runOnce(path), SettingsWriteOutcome::Written);
    EXPECT_TRUE(std::filesystem::is_symlink(path));
    EXPECT_EQ(readFile(shared + "/new.ini"), "");

    // A loop of links is no file to read or write.
    std::filesystem::remove(path);
    std::filesystem::create_symlink(kFileName, path);
    EXPECT_EQ(runOnce(path), SettingsWriteOutcome::SkippedUnread);
    EXPECT_TRUE(std::filesystem::is_symlink(path));
}

} // namespace
} // namespace teintelle
