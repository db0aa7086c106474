#include "qrgen_kinds.h"

#include <set>

#include "AsciiCase.h"
#include "Payloads.h"
#include "TextHelpers.h"

namespace {

struct KindEntry {
    const char* name;
    ContentKind kind;
    std::vector<std::pair<const char*, Box>> options; // --option -> its box
    std::vector<std::string> required;                // as ValidationMessage asks
};

const std::vector<KindEntry>& Kinds()
{
    static const std::vector<KindEntry> kinds = {
        {"text", ContentKind::Text, {{"text", Box::Content}}, {"text"}},
        {"card",
         ContentKind::Card,
         {{"name", Box::Name},
          {"tel", Box::Tel},
          {"qq", Box::Qq},
          {"email", Box::Email},
          {"org", Box::Org},
          {"title", Box::Title},
          {"url", Box::CardUrl},
          {"addr", Box::Address}},
         {"name", "tel"}},
        {"url", ContentKind::Url, {{"url", Box::Url}}, {"url"}},
        {"sms", ContentKind::Sms, {{"body", Box::SmsBody}, {"phone", Box::SmsPhone}}, {"body", "phone"}},
        {"mms", ContentKind::Sms, {{"body", Box::SmsBody}, {"phone", Box::SmsPhone}}, {"body", "phone"}},
        {"wifi", ContentKind::Wifi, {{"ssid", Box::Ssid}, {"password", Box::WifiPassword}}, {"ssid", "password"}},
        {"phone", ContentKind::Phone, {{"number", Box::Phone}}, {"number"}},
        {"email", ContentKind::Email, {{"address", Box::EmailAddress}}, {"address"}},
        {"app", ContentKind::App, {{"package", Box::Package}}, {"package"}},
        {"wechat", ContentKind::WeChat, {{"account", Box::Account}}, {"account"}},
    };
    return kinds;
}

} // namespace

const std::vector<KindInfo>& KindList()
{
    static const std::vector<KindInfo> list = [] {
        std::vector<KindInfo> out;
        for (const KindEntry& k : Kinds()) {
            KindInfo info{k.name, {}, k.kind == ContentKind::WeChat, k.required};
            for (const auto& option : k.options) info.fields.emplace_back(option.first);
            if (k.kind == ContentKind::Wifi) info.fields.emplace_back("security");
            out.push_back(std::move(info));
        }
        return out;
    }();
    return list;
}

const KindInfo* FindKind(const std::string& name)
{
    for (const KindInfo& k : KindList())
        if (k.name == name) return &k;
    return nullptr;
}

KindResult BuildKindPayload(const std::string& kind, const std::map<std::string, std::string>& fields)
{
    const KindEntry* entry = nullptr;
    for (const KindEntry& k : Kinds())
        if (kind == k.name) entry = &k;
    if (!entry) return {KindStatus::Usage, {}, "unknown subcommand " + kind};

    FormInput in;
    in.mms = kind == "mms";
    std::set<std::string> known;
    for (const auto& [option, box] : entry->options) {
        known.insert(option);
        const auto it = fields.find(option);
        if (it != fields.end()) in[box] = textutil::FromUtf8(it->second);
    }
    if (entry->kind == ContentKind::Wifi) {
        known.insert("security");
        const auto it = fields.find("security");
        if (it != fields.end()) {
            const std::string value = AsciiLower(it->second); // in any case, as -l and -t are
            if (value == "wpa") in.security = WifiSecurity::WpaWpa2;
            else if (value == "wep") in.security = WifiSecurity::Wep;
            else if (value == "none") in.security = WifiSecurity::None;
            else return {KindStatus::Usage, {}, "--security takes WPA, WEP or none"};
        }
    }
    for (const auto& [option, value] : fields)
        if (!known.count(option)) return {KindStatus::Usage, {}, "qrgen " + kind + " has no option --" + option};

    if (const auto refusal = ValidationMessage(entry->kind, in))
        return {KindStatus::Refused, {}, textutil::ToUtf8(*refusal)};
    if (entry->kind == ContentKind::WeChat) return {KindStatus::Ok, {}, {}};
    return {KindStatus::Ok, textutil::ToUtf8(BuildPayload(entry->kind, in)), {}};
}
