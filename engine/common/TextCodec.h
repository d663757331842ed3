#pragma once

#include "common/TextEncoding.h"

#include <cstddef>
#include <string>
#include <string_view>

namespace teintelle {

// Text read from a file is held in memory as UTF-8, whatever the file's
// encoding, and turned back into the same encoding when it is written.
// The conversion loses nothing: a unit that is not a character of its
// encoding is kept as a code point of the surrogate range, written in
// memory in UTF-8's three-byte form:
//   - a byte of a UTF-8 file that is not part of a well-formed sequence,
//     byte b in 0x80-0xFF, becomes U+DC00 + b;
//   - an unpaired surrogate of a UTF-16 file stays that surrogate.
// So encodeText(decodeText(bytes, e), e) == bytes for every byte string,
// except a last odd byte of a UTF-16 file, which is no unit and is dropped.
// Bytes without a mark are read as Latin-1: one byte, one character.
// The byte-order mark is not part of the bytes given or returned here.
std::string decodeText(std::string_view bytes, TextEncoding encoding);
std::string encodeText(std::string_view text, TextEncoding encoding);

// The byte-order mark written at the start of a file of this encoding
// (empty for TextEncoding::Bytes).
std::string_view byteOrderMarkOf(TextEncoding encoding);

// Steps over the in-memory text one code point at a time. A byte that
// starts no well-formed sequence (text not made by decodeText) is taken
// as the escaped byte U+DC00 + byte, as decodeText would have made it.
char32_t nextCodePoint(std::string_view text, std::size_t& position);

// Appends a code point in UTF-8 form, surrogates included.
void appendCodePoint(std::string& text, char32_t codePoint);

} // namespace teintelle
