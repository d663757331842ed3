#pragma once

#include <cstddef>
#include <string_view>

namespace teintelle {

// How a text file is encoded, chosen by its byte-order mark, tested in this
// order: UTF-8 (EF BB BF), UTF-16 little-endian (FF FE), UTF-16 big-endian
// (FE FF). Without a mark the bytes are kept as they are (one byte, one
// character, as Latin-1), so that no byte is ever altered.
enum class TextEncoding { Bytes, Utf8, Utf16LE, Utf16BE };

struct ByteOrderMark {
    TextEncoding encoding;
    std::size_t length; // bytes taken by the mark, 0 for TextEncoding::Bytes
};

ByteOrderMark detectByteOrderMark(std::string_view head);

} // namespace teintelle
