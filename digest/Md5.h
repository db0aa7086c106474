#pragma once
#include <string>
#include <string_view>

// The bytes a text is digested as: code page 936 for double-byte characters,
// otherwise the low byte of each UTF-16 unit.
std::string ToAnsiBytes(std::u16string_view text);

// RFC 1321 MD5 of ToAnsiBytes(text) in uppercase hex: 32 characters for
// length 32, otherwise the middle 16 (digest bytes 4 .. 11).
std::string Md5Hex(std::u16string_view text, int length);

// RFC 1321 MD5 of raw bytes, uppercase hex, 32 characters.
std::string Md5HexBytes(std::string_view bytes);
