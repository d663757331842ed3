#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

namespace teintelle {

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using PhotoFileHandle = std::unique_ptr<std::FILE, FileCloser>;

// Opens a photo for reading; others may read it at the same time (this
// platform has no exclusive open). Nothing blocks, the open nor the reads
// (see openInputFile): a read that would wait fails as a read error.
// Throws Error(openFailureMessage) when the file cannot be opened, "Erreur
// de lecture du flux" when it is not a regular file.
PhotoFileHandle openPhotoFile(const std::string& path);

// A photo larger than this is not read into memory by the quarter-size
// path: no JPEG the program can show comes near it, and a huge file named
// .jpg must not exhaust the memory.
constexpr std::uint64_t kMaxPhotoFileBytes = std::uint64_t(1) << 30;

// Reads a whole regular file into bytes. False when it cannot be opened or
// read, is not a regular file, or holds more than maxBytes.
bool readWholePhotoFile(const std::string& path, std::vector<std::uint8_t>& bytes,
                        std::uint64_t maxBytes = kMaxPhotoFileBytes);

} // namespace teintelle
