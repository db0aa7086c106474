#pragma once
#include <cstdint>
#include <string>
#include <string_view>

#include "Result.h"
#include "TextHelpers.h"

// Code page 936 (GBK), the ANSI code page the program's texts use on the wire
// and in digests, through ICU's "windows-936" converter.
namespace cp936 {

// One UTF-16 unit in code page 936: 1 or 2 bytes.
struct AnsiChar {
    int length = 0;
    uint8_t bytes[2] = {0, 0};
};

// Fails when the code page has no such character (lone surrogates included).
Result<AnsiChar> EncodeUnit(char16_t unit);

// Strict decoding; fails when the bytes are not valid code page 936.
Result<std::u16string> Decode(std::string_view bytes);

// UTF-8 is no code page matter; the names stay here for existing callers.
using textutil::FromUtf8;
using textutil::ToUtf8;

} // namespace cp936
