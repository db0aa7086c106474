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
    auto empty = [&](int box) { return in.text[static_cast<size_t>(box)].empty(); };
    switch (kind) {
    case ContentKind::Text:
        if (empty(1)) return u"请输入内容后再进行生成!";
        break;
    case ContentKind::Card:
        if (empty(2) || empty(3)) return u"请至少输入姓名与电话";
        break;
    case ContentKind::Url:
        if (empty(10)) return u"请输入网址";
        break;
    case ContentKind::Sms:
        if (empty(11)) return u"请输入信息内容";
        if (empty(12)) return u"请输入手机号码";
        break;
    case ContentKind::Wifi:
        if (empty(13)) return u"请输入wifi账号（SSID）";
        // An open network carries no password, so none is asked for.
        if (empty(14) && in.security != WifiSecurity::None) return u"请输入wifi密码";
        break;
    case ContentKind::Phone:
        if (empty(15)) return u"请输入手机号码";
        break;
    case ContentKind::Email:
        if (empty(16)) return u"请输入E-mail地址";
        break;
    case ContentKind::App:
        if (empty(17)) return u"请输入APP应用包名";
        break;
    case ContentKind::WeChat:
        if (empty(18)) return u"请输入微信公众号账号";
        break;
    }
    return std::nullopt;
}

std::u16string BuildText(const std::u16string& text) { return text; }

std::u16string BuildCard(const FormInput& in)
{
    static const char16_t* const keys[] = {u"N:", u"TEL:", u"NOTE:", u"EMAIL:", u"ORG:", u"TIL:", u"URL:", u"ADR:"};
    std::u16string fields;
    for (int i = 0; i < 8; ++i) {
        const std::u16string& value = in.text[static_cast<size_t>(2 + i)];
        if (value.empty()) continue;
        fields += keys[i];
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
    const auto& t = in.text;
    switch (kind) {
    case ContentKind::Text: return BuildText(t[1]);
    case ContentKind::Card: return BuildCard(in);
    case ContentKind::Url: return BuildUrl(t[10]);
    case ContentKind::Sms: return BuildSms(in.mms, t[12], t[11]);
    case ContentKind::Wifi: return BuildWifi(t[13], t[14], in.security);
    case ContentKind::Phone: return BuildPhone(t[15]);
    case ContentKind::Email: return BuildEmail(t[16]);
    case ContentKind::App: return BuildApp(t[17]);
    case ContentKind::WeChat: break;
    }
    return {};
}
