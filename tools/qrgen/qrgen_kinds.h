#pragma once
#include <map>
#include <string>

enum class KindStatus { Ok, Refused, Usage };

struct KindResult {
    KindStatus status = KindStatus::Ok;
    std::string payload; // UTF-8
    std::string message; // the refusal or usage text
};

// Builds the payload of one content kind from --name value options.
KindResult BuildKindPayload(const std::string& kind, const std::map<std::string, std::string>& fields);
