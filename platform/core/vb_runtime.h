#pragma once
// Small numeric and text helpers with the exact behaviour the program's rules rely on:
// lenient and strict number reading, decimal text with a leading blank, rounding down,
// rounding half to even, conversion to signed 16-bit that fails outside its range, and
// a seeded uniform random source.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace quelm::core {

// Lenient reading: blanks (space, tab, line feed, carriage return) are skipped anywhere,
// reading stops at the first character that cannot belong to a number, and text with no
// number gives 0. Accepts a sign, digits, one decimal point, an exponent (E or D), and
// &H / &O prefixes for hexadecimal and octal.
double Val(std::string_view text);

// Strict reading, as a whole: optional blanks around one number (sign, digits, decimal
// point, exponent, or &H / &O). Anything else, or empty text, gives nothing.
std::optional<double> ParseNumber(std::string_view text);

// Rounds towards minus infinity: 1.7 gives 1, -1.2 gives -2.
double Int(double value);

// Rounds half to even (2.5 gives 2, 3.5 gives 4) and converts to signed 16-bit;
// nothing when the rounded value lies outside -32768..32767 or is not finite.
std::optional<int16_t> ToInt16(double value);

// Decimal text of a whole number: a leading blank for zero and positive numbers,
// a minus sign for negative ones (" 1", "-1", " 0").
std::string Str(long long value);

// Uniform draws in [0, 1) from a 24-bit linear congruential generator; the same seed
// gives the same sequence in every run.
class Random {
public:
    explicit Random(uint32_t seed = 1) { Seed(seed); }
    void Seed(uint32_t seed);
    float Next();

private:
    uint32_t state_ = 0;
};

} // namespace quelm::core
