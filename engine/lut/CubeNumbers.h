#pragma once

#include "common/Error.h"
#include "lut/LutMessages.h"

#include <cstdint>
#include <string_view>

// Text-to-number conversions of the .cube reader. They never depend on the
// locale: "." is the only decimal separator.
namespace teintelle::cube {

// The size integer: optional leading spaces, an optional sign, then decimal
// digits, or hexadecimal digits after "$", "x", "X", "0x" or "0X". Anything
// else, or a value outside the signed 32-bit range, reads as 0.
std::int32_t parseSizeInteger(std::string_view text);

// A number field fed one character at a time, so that a field of any length
// is read in constant memory. Syntax: optional spaces, optional sign, a
// mantissa of digits with an optional "." and more digits (the "." alone is
// allowed), an optional exponent "E"/"e", sign and digits (taken while the
// exponent is below 500), optional spaces. Anything else makes the field
// invalid, and an invalid field reads as 0.
class FieldParser {
public:
    void reset() { *this = FieldParser(); }

    void put(char c);

    // The field's value in extended precision: the mantissa digits gathered
    // as an integer, then divided or multiplied by the power of ten given by
    // the fraction length and the exponent. 0 for an invalid field.
    long double value() const;

private:
    enum class State : std::uint8_t { Lead, Sign, Whole, Fraction, ExpMark, ExpSign, Exponent, Trail, Invalid };

    void addMantissaDigit(unsigned digit);
    void endOfMantissa(char c);

    State state_ = State::Lead;
    bool negative_ = false;
    bool exponentNegative_ = false;
    bool mantissaIsWide_ = false; // the digits no longer fit a 64-bit integer
    std::uint64_t mantissa_ = 0;
    long double wideMantissa_ = 0;
    std::int64_t fractionLength_ = 0;
    std::int32_t exponent_ = 0;
};

// One data line fed in pieces, split into its three fields: field 1 before
// the first space, field 2 between the first and the second space, field 3
// everything after the second space. With one space field 2 is empty; with
// none fields 1 and 2 are empty and the whole line is field 3.
class DataLineParser {
public:
    struct Values {
        long double r, v, b;
    };

    // Takes characters up to the first CR or LF of the span and returns where
    // it stopped: at that line break, or at end once the whole span is taken.
    const char* feed(const char* p, const char* end);

    // Ends the line: its three values, and the parser ready for the next line.
    Values finish();

    // A whole line [p, end) at once, the parser being between lines. Lines
    // written the usual way (three plain decimals of at most 19 digits, single
    // spaces) take a short road with the same arithmetic; any other line goes
    // through feed and finish.
    Values parseLine(const char* p, const char* end);

private:
    FieldParser fields_[3];
    int spaces_ = 0;
};

// The first CR or LF in [p, end), or end.
const char* findLineBreak(const char* p, const char* end);

// trunc(x) for -2^63 - 1 < x < 2^63. A plain conversion switches the x87
// rounding mode twice per call, which costs more than the rest of a field;
// rounding in the current mode (to nearest) and stepping back is exact.
inline std::int64_t truncateToInteger(long double x)
{
#if defined(__x86_64__) || defined(__i386__)
    if (x >= 0x1p63L - 0.5L || x <= -0x1p63L) // rounding could leave the range: the slow way
        return static_cast<std::int64_t>(x);
    std::int64_t rounded;
    asm("fistpll %0" : "=m"(rounded) : "t"(x) : "st");
    if (x >= 0 && static_cast<long double>(rounded) > x)
        --rounded;
    else if (x < 0 && static_cast<long double>(rounded) < x)
        ++rounded;
    return rounded;
#else
    return static_cast<std::int64_t>(x);
#endif
}


// The stored channel of a value: value x 255 in extended precision, truncated
// toward zero to a 64-bit integer, of which the low 8 bits are kept. Throws
// Error "Opération en virgule flottante incorrecte" when the product lies
// outside the signed 64-bit range (or is not a number).
inline std::uint8_t storedChannel(long double value)
{
    const long double scaled = value * 255.0L;
    // trunc() fits a signed 64-bit integer exactly when -2^63 - 1 < scaled < 2^63.
    constexpr long double kAbove = 0x1p63L;
    constexpr long double kBelow = -0x1.0000000000000002p63L;
    if (!(scaled < kAbove && scaled > kBelow))
        throw Error(lutmsg::kInvalidFloatOp);
    return static_cast<std::uint8_t>(static_cast<std::uint64_t>(truncateToInteger(scaled)));
}

} // namespace teintelle::cube
