#include "settings/IniFileStorage.h"

#include "settings/SettingsTestFiles.h"

#include <cerrno>

namespace teintelle {
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
    const bool root = ::geteuid() == 0;
    const std::string path = settingsIn(root_);
    for (const mode_t mode : {0600u, 0640u, 0604u, 0666u}) {
        writeFile(path, kOldFile, mode);
        if (root) {
            ASSERT_EQ(::chown(path.c_str(), kUnprivilegedId, kUnprivilegedId), 0);
        }
        EXPECT_EQ(runOnce(path), SettingsWriteOutcome::Written);
        EXPECT_EQ(readFile(path), kNewFile);
        EXPECT_EQ(permissionsOf(path), mode);
        if (root) {
            struct stat s {};
            ::stat(path.c_str(), &s);
            EXPECT_EQ(s.st_uid, kUnprivilegedId);
            EXPECT_EQ(s.st_gid, kUnprivilegedId);
        }
    }
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
