#pragma once
#include <array>
#include <optional>
#include <string>

// The nine content kinds, numbered as the tabs are.
enum class ContentKind { Text = 1, Card, Url, Sms, Wifi, Phone, Email, App, WeChat };

enum class WifiSecurity { WpaWpa2 = 0, Wep = 1, None = 2 };

// The window's input fields: text[i] is box Text<i> (index 0 unused).
struct FormInput {
    std::array<std::u16string, 19> text;
    bool mms = false;                             // Option1(1) "彩信" selected
    WifiSecurity security = WifiSecurity::WpaWpa2; // Combo1
};

// The refusal for missing input, or nothing when the kind may be generated.
std::optional<std::u16string> ValidationMessage(ContentKind kind, const FormInput& in);

// The payload text of kinds 1 to 8 (the WeChat kind's payload comes from the look-up).
std::u16string BuildPayload(ContentKind kind, const FormInput& in);

// The builders one by one.
std::u16string BuildText(const std::u16string& text);
std::u16string BuildCard(const FormInput& in);
std::u16string BuildUrl(const std::u16string& url);
std::u16string BuildSms(bool mms, const std::u16string& phone, const std::u16string& body);
std::u16string BuildWifi(const std::u16string& ssid, const std::u16string& password, WifiSecurity security);
std::u16string BuildPhone(const std::u16string& number);
std::u16string BuildEmail(const std::u16string& address);
std::u16string BuildApp(const std::u16string& package);

// Percent-encoding of RFC 3986 over UTF-8: unreserved characters raw, all else %XX.
std::u16string PercentEncodeUtf8(const std::u16string& text);
