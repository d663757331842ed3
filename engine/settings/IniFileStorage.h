#pragma once

#include "settings/FileSystem.h"
#include "settings/IniContent.h"
#include "common/TextEncoding.h"

#include <cstddef>
#include <string>

namespace teintelle {

enum class SettingsReadOutcome {
    Read,       // the copy holds the file's sections
    NoFile,     // nothing there: the copy is empty
    Unreadable, // the file exists but could not be read: the copy is empty
};

enum class SettingsWriteOutcome {
    Written,           // replaced through a new file renamed over it
    WrittenInPlace,    // rewritten in place: another user's file, a second link,
                       // or a folder that allows no new file
    SkippedReadOnly,   // the file was read-only when read, or when written
    SkippedUnwritable, // the effective user may not write the file: left alone
    SkippedUnread,     // the file was not read (unreadable, or read() never ran)
    Failed,            // the write failed; the file is as it was
};

// The settings store of the main window, bound to one INI file. The window
// reads the file once, after its controls exist and before FormCreate, and
// writes the copy back once, while it is destroyed. Nothing in between
// reads or changes the copy. Neither call reports anything to the user,
// and neither throws.
//
// A file that exists but cannot be read is never written over: the store
// does not know what it holds, and the window uses none of it.
class IniFileStorage {
public:
    // Files larger than this are not read (and so never written over): no
    // settings file comes near it, and the copy of a bigger one would cost
    // the program far more memory than the file itself.
    static constexpr std::size_t kLargestFileRead = std::size_t{4} << 20;

    explicit IniFileStorage(std::string filePath, FileSystem& fileSystem = systemFileSystem());

    SettingsReadOutcome read() noexcept;
    SettingsWriteOutcome write() noexcept;

    const std::string& filePath() const noexcept { return filePath_; }
    const IniContent& content() const noexcept { return content_; }
    TextEncoding encoding() const noexcept { return encoding_; }
    // True when, at reading time, the file existed with its owner's write
    // bit off. Decided from the mode alone, so that it holds for root too.
    bool readOnly() const noexcept { return readOnly_; }

private:
    bool readWholeFile(std::string& bytes);
    void createFolder();

    std::string filePath_;
    FileSystem& fileSystem_;
    IniContent content_;
    TextEncoding encoding_ = TextEncoding::Bytes;
    bool readOnly_ = false;
    bool read_ = false;
};

} // namespace teintelle
