#include "lut/CubeNumbers.h"

#include "common/Error.h"
#include "lut/LutMessages.h"

#include <array>
#include <cmath>
#include <emmintrin.h>
#include <limits>

namespace teintelle::cube {

namespace {

int hexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// Powers of ten up to 10^27 are exact in extended precision (5^27 < 2^64).
constexpr int kExactPowers = 27;

std::array<long double, kExactPowers + 1> exactPowersOfTen()
{
    std::array<long double, kExactPowers + 1> powers{};
    powers[0] = 1.0L;
    for (int i = 1; i <= kExactPowers; ++i)
        powers[i] = powers[i - 1] * 10.0L;
    return powers;
}

long double powerOfTen(std::int64_t magnitude)
{
    static const auto exact = exactPowersOfTen();
    if (magnitude <= kExactPowers)
        return exact[std::size_t(magnitude)];
    if (magnitude > 6000) // beyond the extended range either way
        return std::numeric_limits<long double>::infinity();
    return std::pow(10.0L, static_cast<long double>(magnitude));
}

} // namespace

std::int32_t parseSizeInteger(std::string_view text)
{
    std::size_t i = 0;
    while (i < text.size() && text[i] == ' ')
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    int base = 10;
    if (i < text.size() && (text[i] == '$' || text[i] == 'x' || text[i] == 'X')) {
        base = 16;
        ++i;
    } else if (i + 1 < text.size() && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X')) {
        base = 16;
        i += 2;
    }
    if (i == text.size())
        return 0;

    // The magnitude may reach 2^31 for a negative value only.
    const std::int64_t limit = negative ? std::int64_t(1) << 31 : (std::int64_t(1) << 31) - 1;
    std::int64_t magnitude = 0;
    for (; i < text.size(); ++i) {
        const int digit = hexDigit(text[i]);
        if (digit < 0 || digit >= base)
            return 0;
        magnitude = magnitude * base + digit;
        if (magnitude > limit)
            return 0;
    }
    return static_cast<std::int32_t>(negative ? -magnitude : magnitude);
}

void FieldParser::addMantissaDigit(unsigned digit)
{
    // Gathered exactly while the integer fits 64 bits, which is also where
    // extended precision is exact; past that, each step rounds to extended.
    if (!mantissaIsWide_) {
        constexpr std::uint64_t kMax = std::numeric_limits<std::uint64_t>::max();
        if (mantissa_ <= (kMax - digit) / 10) {
            mantissa_ = mantissa_ * 10 + digit;
            return;
        }
        mantissaIsWide_ = true;
        wideMantissa_ = static_cast<long double>(mantissa_);
    }
    volatile long double scaled = wideMantissa_ * 10.0L; // one rounding per operation
    wideMantissa_ = scaled + static_cast<long double>(digit);
}

void FieldParser::put(char c)
{
    const bool isDigit = c >= '0' && c <= '9';
    switch (state_) {
    case State::Lead:
        if (c == ' ')
            return;
        if (c == '+' || c == '-') {
            negative_ = c == '-';
            state_ = State::Sign;
            return;
        }
        [[fallthrough]];
    case State::Sign:
        if (isDigit) {
            addMantissaDigit(unsigned(c - '0'));
            state_ = State::Whole;
        } else {
            state_ = c == '.' ? State::Fraction : State::Invalid;
        }
        return;
    case State::Whole:
        if (isDigit)
            addMantissaDigit(unsigned(c - '0'));
        else if (c == '.')
            state_ = State::Fraction;
        else
            endOfMantissa(c);
        return;
    case State::Fraction:
        if (isDigit) {
            addMantissaDigit(unsigned(c - '0'));
            ++fractionLength_;
        } else {
            endOfMantissa(c);
        }
        return;
    case State::ExpMark:
        if (c == '+' || c == '-') {
            exponentNegative_ = c == '-';
            state_ = State::ExpSign;
            return;
        }
        [[fallthrough]];
    case State::ExpSign:
        if (!isDigit) {
            state_ = State::Invalid;
            return;
        }
        state_ = State::Exponent;
        [[fallthrough]];
    case State::Exponent:
        if (isDigit) {
            if (exponent_ >= 500) // a digit left over
                state_ = State::Invalid;
            else
                exponent_ = exponent_ * 10 + (c - '0');
        } else {
            state_ = c == ' ' ? State::Trail : State::Invalid;
        }
        return;
    case State::Trail:
        if (c != ' ')
            state_ = State::Invalid;
        return;
    case State::Invalid:
        return;
    }
}

void FieldParser::endOfMantissa(char c)
{
    if (c == 'E' || c == 'e')
        state_ = State::ExpMark;
    else
        state_ = c == ' ' ? State::Trail : State::Invalid;
}

long double FieldParser::value() const
{
    switch (state_) {
    case State::Whole:
    case State::Fraction:
    case State::Exponent:
    case State::Trail:
        break;
    default:
        return 0.0L;
    }
    long double result = mantissaIsWide_ ? wideMantissa_ : static_cast<long double>(mantissa_);
    // A zero mantissa stays zero whatever the power (no 0 x infinity).
    if (result != 0.0L) {
        const std::int64_t power = (exponentNegative_ ? -exponent_ : exponent_) - fractionLength_;
        if (power < 0)
            result = result / powerOfTen(-power);
        else if (power > 0)
            result = result * powerOfTen(power);
    }
    return negative_ ? -result : result;
}

const char* DataLineParser::feed(const char* p, const char* end)
{
    for (; p != end; ++p) {
        const char c = *p;
        if (c == '\n' || c == '\r')
            return p;
        if (c == ' ' && spaces_ < 2)
            ++spaces_;
        else
            fields_[spaces_].put(c);
    }
    return end;
}

namespace {

// A plain decimal field: optional sign, digits, optional "." and digits, at
// most 19 digits in all (the mantissa is then exact in a 64-bit integer and
// the power of ten exact in extended precision), ending at `expectedEnd`.
// Its value is the one FieldParser gives: mantissa / 10^fraction, negated.
bool plainField(const char*& p, const char* end, char expectedEnd, long double& value)
{
    const char* q = p;
    bool negative = false;
    if (q != end && (*q == '-' || *q == '+')) {
        negative = *q == '-';
        ++q;
    }
    std::uint64_t mantissa = 0;
    const auto digits = [&] {
        const char* start = q;
        for (unsigned digit; q != end && (digit = unsigned(*q) - '0') <= 9; ++q)
            mantissa = mantissa * 10 + digit;
        return int(q - start);
    };
    const int whole = digits();
    const bool point = q != end && *q == '.';
    int fraction = 0;
    if (point) {
        ++q;
        fraction = digits();
    }
    // Past 19 digits the mantissa may have wrapped: the general parser decides.
    if ((whole == 0 && !point) || whole + fraction > 19)
        return false;
    if (expectedEnd == '\0' ? q != end : (q == end || *q != expectedEnd))
        return false;
    const long double magnitude = static_cast<long double>(mantissa) / powerOfTen(fraction);
    value = negative ? -magnitude : magnitude;
    p = expectedEnd == '\0' ? q : q + 1;
    return true;
}

} // namespace

DataLineParser::Values DataLineParser::parseLine(const char* p, const char* end)
{
    Values values{};
    const char* q = p;
    if (plainField(q, end, ' ', values.r) && plainField(q, end, ' ', values.v) && plainField(q, end, '\0', values.b))
        return values;
    feed(p, end);
    return finish();
}

const char* findLineBreak(const char* p, const char* end)
{
    const __m128i lineFeed = _mm_set1_epi8('\n'), carriageReturn = _mm_set1_epi8('\r');
    for (; end - p >= 16; p += 16) {
        const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        const int found = _mm_movemask_epi8(
            _mm_or_si128(_mm_cmpeq_epi8(block, lineFeed), _mm_cmpeq_epi8(block, carriageReturn)));
        if (found != 0)
            return p + __builtin_ctz(unsigned(found));
    }
    for (; p != end; ++p)
        if (*p == '\n' || *p == '\r')
            return p;
    return end;
}

DataLineParser::Values DataLineParser::finish()
{
    Values values{};
    switch (spaces_) {
    case 0:
        values = {0.0L, 0.0L, fields_[0].value()};
        break;
    case 1:
        values = {fields_[0].value(), 0.0L, fields_[1].value()};
        break;
    default:
        values = {fields_[0].value(), fields_[1].value(), fields_[2].value()};
        break;
    }
    for (auto& field : fields_)
        field.reset();
    spaces_ = 0;
    return values;
}


} // namespace teintelle::cube
