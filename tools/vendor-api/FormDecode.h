#pragma once
#include <map>
#include <optional>
#include <string>
#include <string_view>

// Splits an application/x-www-form-urlencoded body into name -> raw bytes.
// Nothing for a malformed body: a bad percent escape, a pair without "=",
// an empty or repeated name.
std::optional<std::map<std::string, std::string>> DecodeForm(std::string_view body);
