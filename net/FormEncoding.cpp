#include "FormEncoding.h"

#include "Cp936.h"

namespace {

void PutEscaped(std::string& out, uint8_t byte)
{
    static const char digits[] = "0123456789ABCDEF";
    out += '%';
    out += digits[byte >> 4];
    out += digits[byte & 15];
}

bool Unreserved(char16_t c)
{
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9') || c == u'-' ||
           c == u'.' || c == u'_' || c == u'~';
}

} // namespace

std::string UrlEncode(std::u16string_view value)
{
    std::string out;
    out.reserve(value.size() * 3);
    for (size_t i = 0; i < value.size(); ++i) {
        const char16_t c = value[i];
        if (Unreserved(c)) {
            out += static_cast<char>(c);
            continue;
        }
        const cp936::AnsiChar ansi = cp936::EncodeUnit(c);
        if (ansi.length > 0) {
            for (int b = 0; b < ansi.length; ++b) PutEscaped(out, ansi.bytes[b]);
            continue;
        }
        // Not in the code page: its UTF-8 bytes, surrogate pairs taken together.
        size_t units = 1;
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < value.size() && value[i + 1] >= 0xDC00 && value[i + 1] <= 0xDFFF)
            units = 2;
        for (unsigned char byte : cp936::ToUtf8(value.substr(i, units))) PutEscaped(out, byte);
        i += units - 1;
    }
    return out;
}

std::string FormBody(const FormFields& fields)
{
    std::string body;
    for (const auto& [name, value] : fields) {
        if (!body.empty()) body += '&';
        body += name;
        body += '=';
        body += UrlEncode(value);
    }
    return body;
}
