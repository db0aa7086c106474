#include <gtest/gtest.h>

#include "Cp936.h"
#include "Payloads.h"

namespace {

std::string U8(const std::u16string& s) { return cp936::ToUtf8(s); }

FormInput Defaults()
{
    FormInput in;
    in[Box::CardUrl] = u"http://";
    in[Box::Url] = u"http://";
    return in;
}

TEST(Validation, EveryMessageOfTheTable)
{
    FormInput in = Defaults();
    auto message = [&](ContentKind k) {
        const auto m = ValidationMessage(k, in);
        return m ? U8(*m) : std::string("<ok>");
    };
    EXPECT_EQ(message(ContentKind::Text), "请输入内容后再进行生成!");
    EXPECT_EQ(message(ContentKind::Card), "请至少输入姓名与电话");
    in[Box::Name] = u"张三";
    EXPECT_EQ(message(ContentKind::Card), "请至少输入姓名与电话");
    in[Box::Name].clear();
    in[Box::Tel] = u"1";
    EXPECT_EQ(message(ContentKind::Card), "请至少输入姓名与电话");
    in[Box::Name] = u" "; // a single space counts as filled
    EXPECT_EQ(message(ContentKind::Card), "<ok>");
    EXPECT_EQ(message(ContentKind::Url), "<ok>"); // still "http://"
    in[Box::Url].clear();
    EXPECT_EQ(message(ContentKind::Url), "请输入网址");
    EXPECT_EQ(message(ContentKind::Sms), "请输入信息内容"); // both empty: the content is named first
    in[Box::SmsBody] = u"hi";
    EXPECT_EQ(message(ContentKind::Sms), "请输入手机号码");
    EXPECT_EQ(message(ContentKind::Wifi), "请输入wifi账号（SSID）");
    in[Box::Ssid] = u"net";
    EXPECT_EQ(message(ContentKind::Wifi), "请输入wifi密码");
    in.security = WifiSecurity::Wep;
    EXPECT_EQ(message(ContentKind::Wifi), "请输入wifi密码");
    in.security = WifiSecurity::None; // an open network needs no password
    EXPECT_EQ(message(ContentKind::Wifi), "<ok>");
    EXPECT_EQ(message(ContentKind::Phone), "请输入手机号码");
    EXPECT_EQ(message(ContentKind::Email), "请输入E-mail地址");
    EXPECT_EQ(message(ContentKind::App), "请输入APP应用包名");
    EXPECT_EQ(message(ContentKind::WeChat), "请输入微信公众号账号");
}

TEST(Payloads, PrefixesAndVerbatimKinds)
{
    EXPECT_EQ(U8(BuildText(u"  two\r\nlines \r\n")), "  two\r\nlines \r\n");
    EXPECT_EQ(U8(BuildUrl(u"http://")), "http://");
    EXPECT_EQ(U8(BuildPhone(u"138 0013 8000")), "tel:138 0013 8000");
    EXPECT_EQ(U8(BuildEmail(u"张 <a@b.c>")), "mailto:张 <a@b.c>");
    EXPECT_EQ(U8(BuildApp(u"com.tencent.mobileqq")), "market://details?id=com.tencent.mobileqq");
}

TEST(Payloads, CardKeepsItsKeysOrderAndEscapesValues)
{
    FormInput in = Defaults();
    in[Box::Name] = u"张三";
    in[Box::Tel] = u"13800138000";
    EXPECT_EQ(U8(BuildCard(in)), "MECARD:N:张三;TEL:13800138000;URL:http\\://;");
    // Filled in another order than the fields are written.
    const std::pair<Box, const char16_t*> values[] = {{Box::Address, u"a"}, {Box::Title, u"ti"}, {Box::Name, u"n"},
                                                      {Box::Org, u"o"},     {Box::Tel, u"t"},    {Box::Qq, u"q"},
                                                      {Box::CardUrl, u"u"}, {Box::Email, u"e"}};
    for (const auto& [box, value] : values) in[box] = value;
    EXPECT_EQ(U8(BuildCard(in)), "MECARD:N:n;TEL:t;NOTE:q;EMAIL:e;ORG:o;TIL:ti;URL:u;ADR:a;");
    FormInput special;
    special[Box::Name] = u"a;b";
    special[Box::Tel] = u"1:2\\";
    EXPECT_EQ(U8(BuildCard(special)), "MECARD:N:a\\;b;TEL:1\\:2\\\\;");
}

TEST(Payloads, SmsBodyIsPercentEncoded)
{
    EXPECT_EQ(U8(BuildSms(false, u"10086", u"hello")), "sms:10086?body=hello");
    EXPECT_EQ(U8(BuildSms(true, u"10086", u"hello")), "mms:10086?body=hello");
    EXPECT_EQ(U8(BuildSms(false, u"+86 100", u"a+b c&d#e%f\r\n中~")),
              "sms:+86 100?body=a%2Bb%20c%26d%23e%25f%0D%0A%E4%B8%AD~");
}

TEST(Payloads, WifiEscapesSsidAndPassword)
{
    EXPECT_EQ(U8(BuildWifi(u"home", u"secret", WifiSecurity::WpaWpa2)), "WIFI:S:home;T:WPA;P:secret;");
    EXPECT_EQ(U8(BuildWifi(u"home", u"secret", WifiSecurity::Wep)), "WIFI:S:home;T:WEP;P:secret;");
    EXPECT_EQ(U8(BuildWifi(u"home", u"secret", WifiSecurity::None)), "WIFI:S:home;T:nopass;");
    EXPECT_EQ(U8(BuildWifi(u"a;b,c:\"d\\", u"p@ss;w0rd", WifiSecurity::WpaWpa2)),
              "WIFI:S:a\\;b\\,c\\:\\\"d\\\\;T:WPA;P:p@ss\\;w0rd;");
}

TEST(Payloads, DispatchByKind)
{
    FormInput in = Defaults();
    for (int i = static_cast<int>(kFirstBox); i <= static_cast<int>(kLastBox); ++i)
        in[static_cast<Box>(i)] = u"v" + std::u16string(1, static_cast<char16_t>(u'a' + i));
    EXPECT_EQ(U8(BuildPayload(ContentKind::Text, in)), "vb");
    EXPECT_EQ(U8(BuildPayload(ContentKind::Url, in)), "vk");
    EXPECT_EQ(U8(BuildPayload(ContentKind::Sms, in)), "sms:vm?body=vl");
    in.mms = true;
    EXPECT_EQ(U8(BuildPayload(ContentKind::Sms, in)), "mms:vm?body=vl");
    EXPECT_EQ(U8(BuildPayload(ContentKind::Wifi, in)), "WIFI:S:vn;T:WPA;P:vo;");
    EXPECT_EQ(U8(BuildPayload(ContentKind::Phone, in)), "tel:vp");
    EXPECT_EQ(U8(BuildPayload(ContentKind::Email, in)), "mailto:vq");
    EXPECT_EQ(U8(BuildPayload(ContentKind::App, in)), "market://details?id=vr");
    EXPECT_EQ(U8(BuildPayload(ContentKind::WeChat, in)), "");
}

} // namespace
