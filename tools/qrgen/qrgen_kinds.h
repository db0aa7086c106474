#pragma once
#include <map>
#include <string>
#include <vector>

enum class KindStatus { Ok, Refused, Usage };

struct KindResult {
    KindStatus status = KindStatus::Ok;
    std::string payload; // UTF-8
    std::string message; // the refusal or usage text
};

// The content kinds by subcommand name, with their --option names in form order.
struct KindInfo {
    std::string name;
    std::vector<std::string> fields;
    bool lookup = false;               // the payload comes from the vendor API, not from the fields
    std::vector<std::string> required; // refused when empty (wifi's password: unless --security none)
};
const std::vector<KindInfo>& KindList();
const KindInfo* FindKind(const std::string& name);

// Builds the payload of one content kind from --name value options. The account
// look-up kind is validated only: its payload comes from the companion program.
KindResult BuildKindPayload(const std::string& kind, const std::map<std::string, std::string>& fields);
