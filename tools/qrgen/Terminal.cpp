#include "Terminal.h"

#include <cstdint>
#include <cstdio>

namespace {

// Length of the valid UTF-8 sequence at text[i], or 0.
size_t Utf8Length(std::string_view text, size_t i)
{
    const auto b = static_cast<uint8_t>(text[i]);
    size_t length;
    uint32_t code;
    if (b < 0x80) return 1;
    if (b >= 0xC2 && b <= 0xDF) length = 2, code = b & 0x1Fu;
    else if (b >= 0xE0 && b <= 0xEF) length = 3, code = b & 0x0Fu;
    else if (b >= 0xF0 && b <= 0xF4) length = 4, code = b & 0x07u;
    else return 0;
    if (i + length > text.size()) return 0;
    for (size_t k = 1; k < length; ++k) {
        const auto c = static_cast<uint8_t>(text[i + k]);
        if ((c & 0xC0) != 0x80) return 0;
        code = code << 6 | (c & 0x3Fu);
    }
    const uint32_t least[5] = {0, 0, 0x80, 0x800, 0x10000};
    if (code < least[length] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return 0;
    return length;
}

} // namespace

std::string EscapeControls(std::string_view text)
{
    std::string out;
    char buf[8];
    for (size_t i = 0; i < text.size();) {
        const auto b = static_cast<uint8_t>(text[i]);
        const size_t length = Utf8Length(text, i);
        if (length == 0 || b < 0x20 || b == 0x7F) {
            std::snprintf(buf, sizeof buf, "\\x%02x", b);
            out += buf;
            ++i;
        } else if (length == 2 && b == 0xC2 && static_cast<uint8_t>(text[i + 1]) < 0xA0) {
            std::snprintf(buf, sizeof buf, "\\u%04x", static_cast<uint8_t>(text[i + 1]));
            out += buf;
            i += 2;
        } else {
            out.append(text.substr(i, length));
            i += length;
        }
    }
    return out;
}
