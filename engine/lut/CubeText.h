#pragma once

#include "common/TextEncoding.h"

#include <istream>
#include <string>
#include <string_view>
#include <vector>

namespace teintelle::cube {

// The text of a .cube stream, given piece by piece in constant memory.
//
// The encoding is chosen by the byte-order mark (UTF-8, UTF-16 LE, UTF-16
// BE); without one the bytes are the characters. The reader only cares about
// ASCII, but it counts characters as the text's UTF-16 code units, so each
// code unit is given as one char: ASCII as itself, anything else as
// kNonAscii (two of them for a character outside the BMP). A NUL ends the
// text.
class CubeTextSource {
public:
    static constexpr char kNonAscii = '\x80';
    static constexpr std::size_t kChunk = std::size_t{64} * 1024;

    explicit CubeTextSource(std::istream& in);

    // The next piece of text, valid until the next call; empty once the text
    // has ended. Throws Error when the stream reports a read error.
    std::string_view next();

private:
    bool fill(); // false at the end of the stream with nothing new read
    std::string_view decodeUtf8();
    std::string_view decodeUtf16();
    std::string_view endAtNul(std::string_view units);

    std::istream& in_;
    TextEncoding encoding_ = TextEncoding::Bytes;
    bool started_ = false;
    bool streamEnded_ = false;
    bool textEnded_ = false;
    std::vector<char> raw_;
    std::size_t rawBegin_ = 0;
    std::size_t rawEnd_ = 0;
    std::string units_;
};

} // namespace teintelle::cube
