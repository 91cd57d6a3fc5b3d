#include "platform/core/vb_runtime.h"

#include <cctype>
#include <cmath>
#include <cstdlib>

namespace quelm::core {
namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

// Reads the longest number at the front of `s` (no blanks inside). Returns the value and
// how many characters it used; 0 characters when there is no number.
struct Scan {
    double value = 0;
    size_t used = 0;
};

Scan ScanRadix(std::string_view s, size_t pos, int radix) {
    unsigned long long acc = 0;
    size_t start = pos;
    while (pos < s.size()) {
        int c = std::tolower(static_cast<unsigned char>(s[pos]));
        int digit = -1;
        if (c >= '0' && c <= '9')
            digit = c - '0';
        else if (radix == 16 && c >= 'a' && c <= 'f')
            digit = c - 'a' + 10;
        if (digit < 0 || digit >= radix) break;
        acc = acc * radix + digit;
        if (acc > 0xFFFFFFFFull) acc &= 0xFFFFFFFFull;
        ++pos;
    }
    if (pos == start) return {};
    // &H and &O values are 16-bit when they fit there, 32-bit otherwise, both signed.
    double v;
    if (acc <= 0xFFFF)
        v = static_cast<int16_t>(static_cast<uint16_t>(acc));
    else
        v = static_cast<int32_t>(static_cast<uint32_t>(acc));
    return {v, pos};
}

Scan ScanNumber(std::string_view s) {
    size_t pos = 0;
    if (s.size() >= 2 && s[0] == '&') {
        char k = static_cast<char>(std::tolower(static_cast<unsigned char>(s[1])));
        if (k == 'h') return ScanRadix(s, 2, 16);
        if (k == 'o') return ScanRadix(s, 2, 8);
        return ScanRadix(s, 1, 8);
    }
    std::string digits;
    if (pos < s.size() && (s[pos] == '+' || s[pos] == '-')) digits += s[pos++];
    bool any = false;
    while (pos < s.size() && std::isdigit(static_cast<unsigned char>(s[pos]))) {
        digits += s[pos++];
        any = true;
    }
    if (pos < s.size() && s[pos] == '.') {
        size_t save = pos;
        std::string frac = ".";
        ++pos;
        bool fracDigits = false;
        while (pos < s.size() && std::isdigit(static_cast<unsigned char>(s[pos]))) {
            frac += s[pos++];
            fracDigits = true;
        }
        if (fracDigits || any) {
            digits += frac;
            any = any || fracDigits;
        } else {
            pos = save;
        }
    }
    if (!any) return {};
    if (pos < s.size() && (s[pos] == 'e' || s[pos] == 'E' || s[pos] == 'd' || s[pos] == 'D')) {
        size_t p = pos + 1;
        std::string exp = "e";
        if (p < s.size() && (s[p] == '+' || s[p] == '-')) exp += s[p++];
        bool expDigits = false;
        while (p < s.size() && std::isdigit(static_cast<unsigned char>(s[p]))) {
            exp += s[p++];
            expDigits = true;
        }
        if (expDigits) {
            digits += exp;
            pos = p;
        }
    }
    return {std::strtod(digits.c_str(), nullptr), pos};
}

} // namespace

double Val(std::string_view text) {
    std::string packed;
    packed.reserve(text.size());
    for (char c : text)
        if (!IsBlank(c)) packed += c;
    Scan scan = ScanNumber(packed);
    return scan.used ? scan.value : 0.0;
}

std::optional<double> ParseNumber(std::string_view text) {
    size_t b = 0, e = text.size();
    while (b < e && IsBlank(text[b])) ++b;
    while (e > b && IsBlank(text[e - 1])) --e;
    std::string_view core = text.substr(b, e - b);
    if (core.empty()) return std::nullopt;
    Scan scan = ScanNumber(core);
    if (scan.used == 0 || scan.used != core.size()) return std::nullopt;
    if (!std::isfinite(scan.value)) return std::nullopt;
    return scan.value;
}

double Int(double value) { return std::floor(value); }

std::optional<int16_t> ToInt16(double value) {
    if (!std::isfinite(value)) return std::nullopt;
    double rounded = std::nearbyint(value); // the default rounding mode is half to even
    if (rounded < -32768.0 || rounded > 32767.0) return std::nullopt;
    return static_cast<int16_t>(rounded);
}

std::string Str(long long value) {
    std::string digits = std::to_string(value);
    return value >= 0 ? " " + digits : digits;
}

void Random::Seed(uint32_t seed) { state_ = seed & 0xFFFFFFu; }

float Random::Next() {
    // x' = (x * 1140671485 + 12820163) mod 2^24; the draw is x' / 2^24.
    state_ = static_cast<uint32_t>((static_cast<uint64_t>(state_) * 1140671485u + 12820163u) & 0xFFFFFFu);
    return static_cast<float>(state_) / 16777216.0f;
}

} // namespace quelm::core
