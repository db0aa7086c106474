#pragma once
#include <map>
#include <optional>
#include <string>

#include "VendorProtocol.h"

// What the stand-in serves: the newest version and the text of each account.
struct VendorData {
    int updateResult = 1;
    std::string updateMsg; // shown when updateResult is 0
    std::string version = kProgramVersion;
    std::string sid = "57";
    std::string must = "0";
    std::map<std::u16string, std::string> accounts; // account -> text to encode (UTF-8)
};

// Reads the JSON data file; nothing (and a reason) when it is unreadable.
std::optional<VendorData> LoadVendorData(const std::string& path, std::string& why);

// The JSON reply to a form body posted to one of the two endpoints.
std::string HandleVersion(const VendorData& data, const std::string& body);
std::string HandleLookup(const VendorData& data, const std::string& body);
// The JSON refusal for anything else.
std::string Refusal(const std::string& message);
