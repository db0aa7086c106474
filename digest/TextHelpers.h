#pragma once
#include <cstdint>
#include <string>
#include <string_view>

#include "Result.h"

// Small text helpers shared by every layer: hex digits, percent escapes and
// UTF-8. Plain C++ over std strings; no code page knowledge here (Cp936.h).
namespace textutil {

// Uppercase hexadecimal digits, indexed by a nibble.
inline constexpr char kHexDigits[] = "0123456789ABCDEF";

// The value of one hexadecimal digit (either case).
inline Result<uint8_t> HexValue(char c)
{
    if (c >= '0' && c <= '9') return static_cast<uint8_t>(c - '0');
    if (c >= 'A' && c <= 'F') return static_cast<uint8_t>(c - 'A' + 10);
    if (c >= 'a' && c <= 'f') return static_cast<uint8_t>(c - 'a' + 10);
    return Fail("not a hex digit");
}

// Two uppercase hex digits of a byte.
void AppendHex(std::string& out, uint8_t byte);
// "%" and two uppercase hex digits, whatever the byte.
void AppendPercentEscape(std::string& out, uint8_t byte);

// The RFC 3986 unreserved characters, which percent encoding leaves as they are.
constexpr bool IsUnreserved(char32_t c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' || c == '.' ||
           c == '_' || c == '~';
}

// Each byte that is not unreserved as %XX.
std::string PercentEncode(std::string_view bytes);

// A number as JScript's number-to-string writes it (ECMAScript Number::toString):
// the shortest digits that read back as the same double, plain decimal while
// the decimal point falls within 21 places left or 6 right of them, else
// exponent form; 100000 -> "100000", 1e21 -> "1e+21", 1e-7 -> "1e-7", -0 -> "0".
std::string NumberToString(double value);

// UTF-8 of UTF-16; a lone surrogate becomes U+FFFD.
std::string ToUtf8(std::u16string_view text);
// UTF-16 of UTF-8; each ill-formed sequence becomes U+FFFD.
std::u16string FromUtf8(std::string_view text);

} // namespace textutil
