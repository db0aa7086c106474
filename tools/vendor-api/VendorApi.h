#pragma once
#include <cstddef>
#include <map>
#include <string>

#include "Result.h"
#include "VendorProtocol.h"

// A value the data file gives for a reply member, kept as its JSON text so a
// number goes back to the client exactly as the file wrote it.
class ReplyValue {
public:
    ReplyValue() = default;
    ReplyValue(const char* utf8) : ReplyValue(std::string(utf8)) {}
    ReplyValue(const std::string& utf8); // a JSON string of these characters
    static ReplyValue FromJson(std::string json) { return ReplyValue(std::move(json), Raw{}); }

    const std::string& Json() const { return json_; }
    bool Empty() const { return json_.empty(); }
    // Reads as "0" to the client: the string "0" or any number equal to zero.
    bool ReadsAsZero() const;

private:
    struct Raw {};
    ReplyValue(std::string json, Raw) : json_(std::move(json)) {}
    std::string json_;
};

// What the stand-in serves: the update reply's members and the text of each account.
struct VendorData {
    ReplyValue updateResult = ReplyValue::FromJson("1");
    ReplyValue updateMsg; // shown when the result reads "0"
    ReplyValue version = kProgramVersion;
    ReplyValue sid = "57";
    ReplyValue must = "0";
    std::map<std::u16string, ReplyValue> accounts; // account -> what its look-up returns
};

// The data file is small; anything larger is refused unread.
inline constexpr std::size_t kMaxDataFileBytes = 64u * 1024 * 1024;

// Reads the JSON data file; a one-line reason when it is not a regular file of
// at most kMaxDataFileBytes holding a JSON object.
Result<VendorData> LoadVendorData(const std::string& path);
Result<VendorData> ParseVendorData(const std::string& json);

// The JSON reply to a form body posted to one of the two endpoints.
std::string HandleVersion(const VendorData& data, const std::string& body);
std::string HandleLookup(const VendorData& data, const std::string& body);
// The JSON refusal for anything else.
std::string Refusal(const std::string& message);
