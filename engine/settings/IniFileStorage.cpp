#include "settings/IniFileStorage.h"

#include "settings/FileReplacement.h"
#include "settings/IniFormat.h"

#include <cerrno>
#include <new>

namespace teintelle {

namespace {

std::string folderOf(const std::string& path)
{
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

} // namespace

IniFileStorage::IniFileStorage(std::string filePath, FileSystem& fileSystem)
    : filePath_(std::move(filePath)), fileSystem_(fileSystem)
{
}

SettingsReadOutcome IniFileStorage::read() noexcept
{
    content_ = {};
    encoding_ = TextEncoding::Bytes;
    readOnly_ = false;
    read_ = false;

    FileFacts facts;
    const int error = fileSystem_.status(filePath_, facts);
    if (error == ENOENT || error == ENOTDIR) {
        read_ = true;
        return SettingsReadOutcome::NoFile;
    }
    if (error != 0)
        return SettingsReadOutcome::Unreadable;
    readOnly_ = isReadOnly(facts);

    try {
        std::string bytes;
        if (!readWholeFile(bytes))
            return SettingsReadOutcome::Unreadable;
        ParsedIni parsed = parseIni(bytes);
        content_ = std::move(parsed.content);
        encoding_ = parsed.encoding;
    } catch (const std::bad_alloc&) {
        content_ = {};
        return SettingsReadOutcome::Unreadable;
    }
    read_ = true;
    return SettingsReadOutcome::Read;
}

bool IniFileStorage::readWholeFile(std::string& bytes)
{
    int fd;
    if (fileSystem_.openForReading(filePath_, fd) != 0)
        return false;
    FileFacts facts;
    bool succeeded = fileSystem_.statusOf(fd, facts) == 0 && facts.regular &&
                     static_cast<std::size_t>(facts.size) <= kLargestFileRead;
    // The size is read again from the data: the file may change meanwhile.
    constexpr std::size_t kChunk = std::size_t(64) * 1024;
    while (succeeded) {
        const std::size_t done = bytes.size();
        bytes.resize(done + kChunk);
        std::size_t got = 0;
        succeeded = fileSystem_.read(fd, bytes.data() + done, kChunk, got) == 0;
        bytes.resize(done + got);
        if (got == 0)
            break;
        succeeded = succeeded && bytes.size() <= kLargestFileRead;
    }
    return fileSystem_.close(fd) == 0 && succeeded;
}

SettingsWriteOutcome IniFileStorage::write() noexcept
{
    if (readOnly_)
        return SettingsWriteOutcome::SkippedReadOnly;
    if (!read_)
        return SettingsWriteOutcome::SkippedUnread;
    try {
        createFolder();
        const std::string bytes = serialiseIni(content_, encoding_);
        switch (replaceFile(fileSystem_, filePath_, bytes)) {
        case ReplaceOutcome::Replaced:
            return SettingsWriteOutcome::Written;
        case ReplaceOutcome::RewrittenInPlace:
            return SettingsWriteOutcome::WrittenInPlace;
        case ReplaceOutcome::LeftReadOnly:
            return SettingsWriteOutcome::SkippedReadOnly;
        case ReplaceOutcome::LeftUnwritable:
            return SettingsWriteOutcome::SkippedUnwritable;
        case ReplaceOutcome::Failed:
            break;
        }
    } catch (const std::bad_alloc&) {
    }
    return SettingsWriteOutcome::Failed;
}

// Creates the file's folder and any missing folder above it. Failures are
// left for the write to meet.
void IniFileStorage::createFolder()
{
    const std::string folder = folderOf(filePath_);
    FileFacts facts;
    if (folder.empty() || fileSystem_.status(folder, facts) == 0)
        return;
    for (std::size_t slash = folder.find('/', 1); slash != std::string::npos; slash = folder.find('/', slash + 1))
        fileSystem_.makeDirectory(folder.substr(0, slash));
    fileSystem_.makeDirectory(folder);
}

} // namespace teintelle
