#include "lut/CubeText.h"

#include "common/Error.h"
#include "common/InputFile.h"

#include <cstring>

namespace teintelle::cube {

CubeTextSource::CubeTextSource(std::istream& in) : in_(in), raw_(kChunk) {}

bool CubeTextSource::fill()
{
    if (streamEnded_)
        return false;
    // Keep the bytes not yet decoded (a split sequence) at the front.
    const std::size_t kept = rawEnd_ - rawBegin_;
    std::memmove(raw_.data(), raw_.data() + rawBegin_, kept);
    rawBegin_ = 0;
    rawEnd_ = kept;
    in_.read(raw_.data() + rawEnd_, std::streamsize(raw_.size() - rawEnd_));
    const auto got = std::size_t(in_.gcount());
    if (in_.bad())
        throw Error(kReadError);
    rawEnd_ += got;
    if (got == 0 || in_.eof())
        streamEnded_ = true;
    return got != 0;
}

std::string_view CubeTextSource::endAtNul(std::string_view units)
{
    const auto nul = units.find('\0');
    if (nul == std::string_view::npos)
        return units;
    textEnded_ = true;
    return units.substr(0, nul);
}

std::string_view CubeTextSource::next()
{
    while (!textEnded_) {
        if (!started_) {
            // The mark takes at most three bytes: gather them first.
            while (rawEnd_ < 3 && fill()) {
            }
            const auto mark = detectByteOrderMark(std::string_view(raw_.data(), rawEnd_));
            encoding_ = mark.encoding;
            rawBegin_ = mark.length;
            started_ = true;
        }
        if (rawBegin_ == rawEnd_ || (encoding_ != TextEncoding::Bytes && rawEnd_ - rawBegin_ < 4 && !streamEnded_)) {
            if (!fill() && rawBegin_ == rawEnd_) {
                textEnded_ = true;
                break;
            }
        }
        std::string_view piece;
        switch (encoding_) {
        case TextEncoding::Bytes:
            piece = std::string_view(raw_.data() + rawBegin_, rawEnd_ - rawBegin_);
            rawBegin_ = rawEnd_;
            break;
        case TextEncoding::Utf8:
            piece = decodeUtf8();
            break;
        case TextEncoding::Utf16LE:
        case TextEncoding::Utf16BE:
            piece = decodeUtf16();
            break;
        }
        piece = endAtNul(piece);
        if (!piece.empty())
            return piece;
        if (streamEnded_ && rawBegin_ == rawEnd_)
            textEnded_ = true;
    }
    return {};
}

namespace {

bool isContinuation(unsigned char byte) { return (byte & 0xC0) == 0x80; }

// Bytes taken by the UTF-8 sequence at p (at most `available`), and the
// UTF-16 code units it stands for. An ill-formed sequence stands for one
// replacement character and takes its longest well-formed prefix (at least
// one byte). Returns taken = 0 when more bytes are needed to decide.
struct Utf8Step {
    std::size_t taken;
    int units;
};

Utf8Step utf8Step(const unsigned char* p, std::size_t available, bool atEnd)
{
    const unsigned char lead = p[0];
    std::size_t length = 0;
    unsigned char low = 0x80, high = 0xBF; // range of the second byte
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        if (lead == 0xE0)
            low = 0xA0;
        if (lead == 0xED)
            high = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        if (lead == 0xF0)
            low = 0x90;
        if (lead == 0xF4)
            high = 0x8F;
    } else {
        return {1, 1};
    }
    for (std::size_t i = 1; i < length; ++i) {
        if (i >= available)
            return atEnd ? Utf8Step{i, 1} : Utf8Step{0, 0};
        const bool fits = i == 1 ? (p[i] >= low && p[i] <= high) : isContinuation(p[i]);
        if (!fits)
            return {i, 1};
    }
    return {length, length == 4 ? 2 : 1};
}

} // namespace

std::string_view CubeTextSource::decodeUtf8()
{
    units_.clear();
    const auto* bytes = reinterpret_cast<const unsigned char*>(raw_.data());
    std::size_t i = rawBegin_;
    while (i < rawEnd_) {
        if (bytes[i] < 0x80) {
            const std::size_t start = i;
            while (i < rawEnd_ && bytes[i] < 0x80)
                ++i;
            units_.append(raw_.data() + start, i - start);
            continue;
        }
        const auto step = utf8Step(bytes + i, rawEnd_ - i, streamEnded_);
        if (step.taken == 0)
            break; // the rest of the sequence is in the next read
        units_.append(std::size_t(step.units), kNonAscii);
        i += step.taken;
    }
    rawBegin_ = i;
    return units_;
}

std::string_view CubeTextSource::decodeUtf16()
{
    units_.clear();
    const bool little = encoding_ == TextEncoding::Utf16LE;
    const auto* bytes = reinterpret_cast<const unsigned char*>(raw_.data());
    std::size_t i = rawBegin_;
    for (; i + 1 < rawEnd_; i += 2) {
        const unsigned unit = little ? bytes[i] | (bytes[i + 1] << 8) : (bytes[i] << 8) | bytes[i + 1];
        units_.push_back(unit < 0x80 ? char(unit) : kNonAscii);
    }
    // A lone last byte of the stream makes no code unit.
    rawBegin_ = (streamEnded_ && i + 1 == rawEnd_) ? rawEnd_ : i;
    return units_;
}

} // namespace teintelle::cube
