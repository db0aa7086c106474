#include "TextHelpers.h"

#include <charconv>
#include <cmath>

namespace textutil {
namespace {

constexpr char32_t kReplacement = 0xFFFD;

void PutUtf8(std::string& out, char32_t cp)
{
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

void PutUtf16(std::u16string& out, char32_t cp)
{
    if (cp < 0x10000) {
        out += static_cast<char16_t>(cp);
    } else {
        out += static_cast<char16_t>(0xD800 + ((cp - 0x10000) >> 10));
        out += static_cast<char16_t>(0xDC00 + ((cp - 0x10000) & 0x3FF));
    }
}

// A lead byte's sequence length and the range its second byte must fall in
// (the well-formed table of Unicode 3.9); length 0 for a byte that cannot lead.
struct Lead {
    int length;
    uint8_t low, high;
};

Lead LeadOf(uint8_t b)
{
    if (b >= 0xC2 && b <= 0xDF) return {2, 0x80, 0xBF};
    if (b == 0xE0) return {3, 0xA0, 0xBF};
    if (b == 0xED) return {3, 0x80, 0x9F}; // no surrogates
    if (b >= 0xE1 && b <= 0xEF) return {3, 0x80, 0xBF};
    if (b == 0xF0) return {4, 0x90, 0xBF};
    if (b >= 0xF1 && b <= 0xF3) return {4, 0x80, 0xBF};
    if (b == 0xF4) return {4, 0x80, 0x8F}; // nothing above U+10FFFF
    return {0, 0, 0};
}

} // namespace

void AppendHex(std::string& out, uint8_t byte)
{
    out += kHexDigits[byte >> 4];
    out += kHexDigits[byte & 15];
}

void AppendPercentEscape(std::string& out, uint8_t byte)
{
    out += '%';
    AppendHex(out, byte);
}

std::string PercentEncode(std::string_view bytes)
{
    std::string out;
    out.reserve(bytes.size() * 3);
    for (const char c : bytes) {
        const auto b = static_cast<uint8_t>(c);
        if (IsUnreserved(b)) out += c;
        else AppendPercentEscape(out, b);
    }
    return out;
}

std::string NumberToString(double value)
{
    if (std::isnan(value)) return "NaN";
    if (value == 0) return "0"; // also -0
    if (std::isinf(value)) return value < 0 ? "-Infinity" : "Infinity";

    // Shortest round-trip digits from to_chars, as d.ddde[+-]x.
    char buf[64];
    const auto [end, error] = std::to_chars(buf, buf + sizeof buf, std::fabs(value), std::chars_format::scientific);
    if (error != std::errc()) return {};
    const std::string_view sci(buf, static_cast<size_t>(end - buf));
    const size_t e = sci.find('e');
    std::string digits;
    for (const char c : sci.substr(0, e))
        if (c != '.') digits += c;
    int exponent = 0;
    std::from_chars(sci.data() + e + 1 + (sci[e + 1] == '+'), sci.data() + sci.size(), exponent);

    // ECMAScript's layout: value = digits x 10^(n - k).
    const int k = static_cast<int>(digits.size());
    const int n = exponent + 1;
    std::string out = value < 0 ? "-" : "";
    if (k <= n && n <= 21) {
        out += digits;
        out.append(static_cast<size_t>(n - k), '0');
    } else if (0 < n && n <= 21) {
        out += digits.substr(0, static_cast<size_t>(n));
        out += '.';
        out += digits.substr(static_cast<size_t>(n));
    } else if (-6 < n && n <= 0) {
        out += "0.";
        out.append(static_cast<size_t>(-n), '0');
        out += digits;
    } else {
        out += digits[0];
        if (k > 1) {
            out += '.';
            out += digits.substr(1);
        }
        out += n - 1 < 0 ? "e-" : "e+";
        out += std::to_string(std::abs(n - 1));
    }
    return out;
}

std::string ToUtf8(std::u16string_view text)
{
    std::string out;
    out.reserve(text.size() * 3);
    for (size_t i = 0; i < text.size(); ++i) {
        char32_t cp = text[i];
        if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            ++i;
        } else if (cp >= 0xD800 && cp <= 0xDFFF) {
            cp = kReplacement;
        }
        PutUtf8(out, cp);
    }
    return out;
}

// One U+FFFD for each maximal part of an ill-formed sequence, the practice
// Unicode recommends (and ICU follows).
std::u16string FromUtf8(std::string_view text)
{
    std::u16string out;
    out.reserve(text.size());
    size_t i = 0;
    while (i < text.size()) {
        const auto b = static_cast<uint8_t>(text[i]);
        if (b < 0x80) {
            out += static_cast<char16_t>(b);
            ++i;
            continue;
        }
        const Lead lead = LeadOf(b);
        if (lead.length == 0) {
            out += static_cast<char16_t>(kReplacement);
            ++i;
            continue;
        }
        char32_t cp = b & (0x7F >> lead.length);
        size_t j = i + 1;
        bool whole = true;
        for (int k = 1; k < lead.length; ++k, ++j) {
            const auto c = j < text.size() ? static_cast<uint8_t>(text[j]) : 0;
            const uint8_t low = k == 1 ? lead.low : 0x80;
            const uint8_t high = k == 1 ? lead.high : 0xBF;
            if (j >= text.size() || c < low || c > high) {
                whole = false;
                break;
            }
            cp = (cp << 6) | (c & 0x3F);
        }
        PutUtf16(out, whole ? cp : kReplacement);
        i = j;
    }
    return out;
}

} // namespace textutil
