#include "FormEncoding.h"

#include "Cp936.h"
#include "TextHelpers.h"

std::string UrlEncode(std::u16string_view value)
{
    std::string out;
    out.reserve(value.size() * 3);
    for (size_t i = 0; i < value.size(); ++i) {
        const char16_t c = value[i];
        if (textutil::IsUnreserved(c)) {
            out += static_cast<char>(c);
            continue;
        }
        if (const auto ansi = cp936::EncodeUnit(c)) {
            for (int b = 0; b < ansi->length; ++b) textutil::AppendPercentEscape(out, ansi->bytes[b]);
            continue;
        }
        // Not in the code page: its UTF-8 bytes, surrogate pairs taken together.
        size_t units = 1;
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < value.size() && value[i + 1] >= 0xDC00 && value[i + 1] <= 0xDFFF)
            units = 2;
        for (const char byte : textutil::ToUtf8(value.substr(i, units)))
            textutil::AppendPercentEscape(out, static_cast<uint8_t>(byte));
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
