#include "FormDecode.h"

#include "TextHelpers.h"

namespace {

std::optional<std::string> Unescape(std::string_view s)
{
    std::string out;
    out.reserve(s.size());
    for (size_t i = 0; i < s.size(); ++i) {
        const char c = s[i];
        if (c == '+') out += ' ';
        else if (c == '%') {
            if (i + 2 >= s.size()) return std::nullopt;
            const auto hi = textutil::HexValue(s[i + 1]);
            const auto lo = textutil::HexValue(s[i + 2]);
            if (!hi || !lo) return std::nullopt;
            out += static_cast<char>(*hi * 16 + *lo);
            i += 2;
        } else {
            out += c;
        }
    }
    return out;
}

} // namespace

std::optional<std::map<std::string, std::string>> DecodeForm(std::string_view body)
{
    std::map<std::string, std::string> fields;
    if (body.empty()) return fields;
    size_t start = 0;
    while (start <= body.size()) {
        size_t end = body.find('&', start);
        if (end == std::string_view::npos) end = body.size();
        const std::string_view pair = body.substr(start, end - start);
        const size_t eq = pair.find('=');
        if (eq == std::string_view::npos || eq == 0) return std::nullopt;
        auto name = Unescape(pair.substr(0, eq));
        auto value = Unescape(pair.substr(eq + 1));
        if (!name || !value || name->empty() || fields.count(*name)) return std::nullopt;
        fields.emplace(std::move(*name), std::move(*value));
        start = end + 1;
    }
    return fields;
}
