#include "Cp936.h"

#include <unicode/ucnv.h>
#include <unicode/ucnv_err.h>

#include <memory>
#include <vector>

namespace cp936 {
namespace {

struct ConverterCloser {
    void operator()(UConverter* c) const { ucnv_close(c); }
};
using Converter = std::unique_ptr<UConverter, ConverterCloser>;

// One strict converter per thread: unmappable characters and invalid bytes are errors.
UConverter* Strict()
{
    thread_local Converter converter = [] {
        UErrorCode status = U_ZERO_ERROR;
        Converter c(ucnv_open("windows-936", &status));
        if (U_FAILURE(status)) return Converter();
        ucnv_setFromUCallBack(c.get(), UCNV_FROM_U_CALLBACK_STOP, nullptr, nullptr, nullptr, &status);
        ucnv_setToUCallBack(c.get(), UCNV_TO_U_CALLBACK_STOP, nullptr, nullptr, nullptr, &status);
        return c;
    }();
    return converter.get();
}

} // namespace

Result<AnsiChar> EncodeUnit(char16_t unit)
{
    AnsiChar out;
    if (unit < 0x80) {
        out.length = 1;
        out.bytes[0] = static_cast<uint8_t>(unit);
        return out;
    }
    if (unit >= 0xD800 && unit <= 0xDFFF) return Fail("a lone surrogate");
    UConverter* c = Strict();
    if (!c) return Fail("no code page 936 converter");
    ucnv_resetFromUnicode(c);
    UErrorCode status = U_ZERO_ERROR;
    char buffer[8];
    const UChar source = unit;
    const int32_t n = ucnv_fromUChars(c, buffer, sizeof buffer, &source, 1, &status);
    if (U_FAILURE(status) || n < 1 || n > 2) return Fail("not in code page 936");
    out.length = n;
    out.bytes[0] = static_cast<uint8_t>(buffer[0]);
    if (n == 2) out.bytes[1] = static_cast<uint8_t>(buffer[1]);
    return out;
}

Result<std::u16string> Decode(std::string_view bytes)
{
    if (bytes.empty()) return std::u16string();
    UConverter* c = Strict();
    if (!c) return Fail("no code page 936 converter");
    ucnv_resetToUnicode(c);
    std::u16string out(bytes.size() + 1, u'\0');
    UErrorCode status = U_ZERO_ERROR;
    const int32_t n = ucnv_toUChars(c, reinterpret_cast<UChar*>(out.data()), static_cast<int32_t>(out.size()),
                                    bytes.data(), static_cast<int32_t>(bytes.size()), &status);
    if (U_FAILURE(status) || status == U_STRING_NOT_TERMINATED_WARNING) return Fail("not valid code page 936");
    out.resize(static_cast<size_t>(n));
    return out;
}

} // namespace cp936
