#include "Payloads.h"

#include "TextHelpers.h"

namespace {

// Backslash before each character that the format treats as syntax.
std::u16string Escape(const std::u16string& value, std::u16string_view special)
{
    std::u16string out;
    out.reserve(value.size());
    for (char16_t c : value) {
        if (special.find(c) != std::u16string_view::npos) out += u'\\';
        out += c;
    }
    return out;
}

} // namespace

std::optional<std::u16string> ValidationMessage(ContentKind kind, const FormInput& in)
{
    auto empty = [&](Box box) { return in[box].empty(); };
    switch (kind) {
    case ContentKind::Text:
        if (empty(Box::Content)) return u"请输入内容后再进行生成!";
        break;
    case ContentKind::Card:
        if (empty(Box::Name) || empty(Box::Tel)) return u"请至少输入姓名与电话";
        break;
    case ContentKind::Url:
        if (empty(Box::Url)) return u"请输入网址";
        break;
    case ContentKind::Sms:
        if (empty(Box::SmsBody)) return u"请输入信息内容";
        if (empty(Box::SmsPhone)) return u"请输入手机号码";
        break;
    case ContentKind::Wifi:
        if (empty(Box::Ssid)) return u"请输入wifi账号（SSID）";
        // An open network carries no password, so none is asked for.
        if (empty(Box::WifiPassword) && in.security != WifiSecurity::None) return u"请输入wifi密码";
        break;
    case ContentKind::Phone:
        if (empty(Box::Phone)) return u"请输入手机号码";
        break;
    case ContentKind::Email:
        if (empty(Box::EmailAddress)) return u"请输入E-mail地址";
        break;
    case ContentKind::App:
        if (empty(Box::Package)) return u"请输入APP应用包名";
        break;
    case ContentKind::WeChat:
        if (empty(Box::Account)) return u"请输入微信公众号账号";
        break;
    }
    return std::nullopt;
}

std::u16string BuildText(const std::u16string& text) { return text; }

std::u16string BuildCard(const FormInput& in)
{
    static constexpr struct {
        const char16_t* key;
        Box box;
    } kFields[] = {{u"N:", Box::Name},  {u"TEL:", Box::Tel},   {u"NOTE:", Box::Qq},     {u"EMAIL:", Box::Email},
                   {u"ORG:", Box::Org}, {u"TIL:", Box::Title}, {u"URL:", Box::CardUrl}, {u"ADR:", Box::Address}};
    std::u16string fields;
    for (const auto& field : kFields) {
        const std::u16string& value = in[field.box];
        if (value.empty()) continue;
        fields += field.key;
        fields += Escape(value, u"\\;:");
        fields += u';';
    }
    return u"MECARD:" + fields;
}

std::u16string BuildUrl(const std::u16string& url) { return url; }

std::u16string PercentEncodeUtf8(const std::u16string& text)
{
    const std::string ascii = textutil::PercentEncode(textutil::ToUtf8(text));
    return std::u16string(ascii.begin(), ascii.end());
}

std::u16string BuildSms(bool mms, const std::u16string& phone, const std::u16string& body)
{
    return (mms ? u"mms:" : u"sms:") + phone + u"?body=" + PercentEncodeUtf8(body);
}

std::u16string BuildWifi(const std::u16string& ssid, const std::u16string& password, WifiSecurity security)
{
    constexpr std::u16string_view special = u"\\;,:\"";
    const std::u16string s = u"WIFI:S:" + Escape(ssid, special);
    switch (security) {
    case WifiSecurity::Wep: return s + u";T:WEP;P:" + Escape(password, special) + u";";
    case WifiSecurity::None: return s + u";T:nopass;";
    default: return s + u";T:WPA;P:" + Escape(password, special) + u";";
    }
}

std::u16string BuildPhone(const std::u16string& number) { return u"tel:" + number; }
std::u16string BuildEmail(const std::u16string& address) { return u"mailto:" + address; }
std::u16string BuildApp(const std::u16string& package) { return u"market://details?id=" + package; }

std::u16string BuildPayload(ContentKind kind, const FormInput& in)
{
    switch (kind) {
    case ContentKind::Text: return BuildText(in[Box::Content]);
    case ContentKind::Card: return BuildCard(in);
    case ContentKind::Url: return BuildUrl(in[Box::Url]);
    case ContentKind::Sms: return BuildSms(in.mms, in[Box::SmsPhone], in[Box::SmsBody]);
    case ContentKind::Wifi: return BuildWifi(in[Box::Ssid], in[Box::WifiPassword], in.security);
    case ContentKind::Phone: return BuildPhone(in[Box::Phone]);
    case ContentKind::Email: return BuildEmail(in[Box::EmailAddress]);
    case ContentKind::App: return BuildApp(in[Box::Package]);
    case ContentKind::WeChat: break;
    }
    return {};
}
