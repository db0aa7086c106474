#pragma once
#include <array>
#include <optional>
#include <string>

// The nine content kinds, numbered as the tabs are.
enum class ContentKind { Text = 1, Card, Url, Sms, Wifi, Phone, Email, App, WeChat };

enum class WifiSecurity { WpaWpa2 = 0, Wep = 1, None = 2 };

// The form's text boxes. The value of each is the number of its box in the
// window (Content is Text1, Account is Text18); nothing else maps a box to a number.
enum class Box {
    Content = 1, // plain text
    Name,        // card
    Tel,
    Qq,
    Email,
    Org,
    Title,
    CardUrl,
    Address,
    Url,     // web address
    SmsBody, // SMS or MMS
    SmsPhone,
    Ssid, // Wi-Fi
    WifiPassword,
    Phone,        // phone number
    EmailAddress, // e-mail
    Package,      // app market
    Account,      // WeChat account
};
inline constexpr Box kFirstBox = Box::Content;
inline constexpr Box kLastBox = Box::Account;

// The window's input fields, one text per box.
struct FormInput {
    std::array<std::u16string, static_cast<size_t>(kLastBox) + 1> text; // indexed by Box; 0 unused
    std::u16string& operator[](Box box) { return text[static_cast<size_t>(box)]; }
    const std::u16string& operator[](Box box) const { return text[static_cast<size_t>(box)]; }
    bool mms = false;                              // Option1(1) "彩信" selected
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
