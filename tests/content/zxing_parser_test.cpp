// ZXing's result parsers (its Java core, as phones use it) split our card,
// Wi-Fi and SMS payloads into exactly the fields that were typed.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "Cp936.h"
#include "Payloads.h"
#include "TestSupport.h"

namespace {

// The parser's own spelling: contiguous hex, "_" for nothing.
std::string Hex(const std::string& s) { return s.empty() ? "_" : testsupport::Hex(s, ""); }

// One line of parser output per payload.
std::vector<std::string> Parse(const std::vector<std::u16string>& payloads)
{
    std::string input;
    for (const auto& p : payloads) input += Hex(cp936::ToUtf8(p)) + "\n";
    const testsupport::TempDir dir;
    const std::string output = testsupport::Shell(std::string("java -cp /usr/share/java/core.jar ") +
                                                  PARSE_PAYLOAD_JAVA + " < " + dir.Write("payloads", input) + " 2>&1");
    std::vector<std::string> lines;
    std::istringstream in(output);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

std::string Field(const std::string& line, const std::string& name)
{
    const size_t at = line.find(" " + name + "=");
    if (at == std::string::npos) return "<missing>";
    const size_t start = at + name.size() + 2;
    return line.substr(start, line.find(' ', start) - start);
}

const std::u16string kTricky[] = {
    u"plain", u"a;b",  u"a:b",   u"a,b",       u"back\\slash",   u"trail\\",        u"a&b=c",
    u"1+1",   u"100%", u"#hash", u"two words", u"line\r\nbreak", u"中文 混合; a:b", u"\"quoted\"",
};

TEST(ZxingParsers, CardWifiAndSmsFieldsComeBackAsTyped)
{
    std::vector<std::u16string> payloads;
    for (const auto& v : kTricky) {
        FormInput card;
        card.text[2] = v;                // N
        card.text[3] = u"138" + v;       // TEL
        card.text[4] = v + u"qq";        // NOTE
        card.text[5] = u"e" + v;         // EMAIL
        card.text[6] = v;                // ORG
        card.text[8] = u"http://x/" + v; // URL
        card.text[9] = v + u" road";     // ADR
        payloads.push_back(BuildCard(card));
        payloads.push_back(BuildWifi(v, v + u"pw", WifiSecurity::WpaWpa2));
        payloads.push_back(BuildWifi(v, u"", WifiSecurity::None));
        payloads.push_back(BuildSms(false, u"10086", v));
    }
    const auto lines = Parse(payloads);
    ASSERT_EQ(lines.size(), payloads.size()) << (lines.empty() ? "" : lines[0]);
    size_t i = 0;
    for (const auto& v16 : kTricky) {
        const std::string v = cp936::ToUtf8(v16);
        SCOPED_TRACE(v);
        const std::string& card = lines[i++];
        EXPECT_EQ(card.substr(0, 11), "ADDRESSBOOK");
        // In MECARD a comma in N separates family and given name; readers show "given family".
        const size_t comma = v.find(',');
        EXPECT_EQ(Field(card, "name"),
                  Hex(comma == std::string::npos ? v : v.substr(comma + 1) + " " + v.substr(0, comma)));
        EXPECT_EQ(Field(card, "tel"), Hex("138" + v));
        EXPECT_EQ(Field(card, "note"), Hex(v + "qq"));
        EXPECT_EQ(Field(card, "email"), Hex("e" + v));
        EXPECT_EQ(Field(card, "org"), Hex(v));
        EXPECT_EQ(Field(card, "url"), Hex("http://x/" + v));
        EXPECT_EQ(Field(card, "addr"), Hex(v + " road"));
        const std::string& wpa = lines[i++];
        EXPECT_EQ(wpa.substr(0, 4), "WIFI");
        EXPECT_EQ(Field(wpa, "ssid"), Hex(v));
        EXPECT_EQ(Field(wpa, "password"), Hex(v + "pw"));
        EXPECT_EQ(Field(wpa, "type"), Hex("WPA"));
        const std::string& open = lines[i++];
        EXPECT_EQ(Field(open, "ssid"), Hex(v));
        EXPECT_EQ(Field(open, "password"), "-");
        EXPECT_EQ(Field(open, "type"), Hex("nopass"));
        const std::string& sms = lines[i++];
        EXPECT_EQ(sms.substr(0, 3), "SMS");
        EXPECT_EQ(Field(sms, "number"), Hex("10086"));
        EXPECT_EQ(Field(sms, "body"), Hex(v));
    }
}

} // namespace
