#include <gtest/gtest.h>

#include "JsonReply.h"

namespace {

std::string Read(const QString& reply, const QString& member)
{
    const auto v = ReadJsonReply(reply).Member(member);
    return v ? v->toStdString() : "<fail>";
}

TEST(JsonReply, MembersReadAsText)
{
    EXPECT_EQ(Read(R"({"result":0,"msg":"x"})", "result"), "0");
    EXPECT_EQ(Read(R"({"result":"0","msg":"x"})", "result"), "0");
    EXPECT_EQ(Read(R"({"result":12})", "result"), "12");
    EXPECT_EQ(Read(R"({"result":1.5})", "result"), "1.5");
    EXPECT_EQ(Read(R"({"result":-0})", "result"), "0");
    EXPECT_EQ(Read(R"({"result":true})", "result"), "true");
    EXPECT_EQ(Read(R"({"result":false})", "result"), "false");
    EXPECT_EQ(Read(R"({"msg":"未找到该公众号"})", "msg"), "未找到该公众号");
    EXPECT_EQ(Read(" {\n \"result\" :\t1 ,\r\n\"extra\":[1,2]} ", "result"), "1");
    const JsonReply r = ReadJsonReply(R"({"result":1,"info":{"version":"3.1.0","sid":57,"must":"0"}})");
    EXPECT_EQ(r.Member("info", "version").value_or("?"), "3.1.0");
    EXPECT_EQ(r.Member("info", "sid").value_or("?"), "57");
    EXPECT_EQ(r.Member("info", "must").value_or("?"), "0");
}

// A numeric member reads as JScript's number-to-string writes it: an `info` or
// `sid` given as a number makes the same payload or address as its text.
TEST(JsonReply, NumbersReadAsJScriptWritesThem)
{
    const struct {
        const char* json;
        const char* text;
    } cases[] = {
        {"100000", "100000"},
        {"3000000", "3000000"},
        {"1234567", "1234567"},
        {"1e20", "100000000000000000000"},
        {"123456789012345678901", "123456789012345680000"},
        {"1e21", "1e+21"},
        {"0.0001", "0.0001"},
        {"0.000001", "0.000001"},
        {"1e-7", "1e-7"},
        {"1.5e-7", "1.5e-7"},
        {"0.5", "0.5"},
        {"-0", "0"},
        {"-0.0", "0"},
        {"-12.25", "-12.25"},
        {"1.5e300", "1.5e+300"},
        {"0.1", "0.1"},
        {"5e-324", "5e-324"},
        {"1.7976931348623157e308", "1.7976931348623157e+308"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Read(QString::fromLatin1(R"({"sid":)") + c.json + "}", "sid"), c.text) << c.json;
}

TEST(JsonReply, FailuresAreToldApartFromAnyText)
{
    EXPECT_EQ(Read(R"({"Result":0})", "result"), "<fail>"); // names are case-sensitive
    EXPECT_EQ(Read(R"({"result":null})", "result"), "<fail>");
    EXPECT_EQ(Read(R"({"result":{}})", "result"), "<fail>");
    EXPECT_EQ(Read(R"({"result":[0]})", "result"), "<fail>");
    EXPECT_EQ(Read(R"({"msg":""})", "msg"), ""); // empty text is text
    for (const char* bad :
         {"", "[1]", "0", "\"x\"", "<html>500</html>", R"({"result":1,"info":)", "{result:1}", "var o = 1; alert(1)"}) {
        EXPECT_FALSE(ReadJsonReply(bad).IsObject()) << bad;
        EXPECT_EQ(Read(bad, "result"), "<fail>") << bad;
    }
    EXPECT_FALSE(ReadJsonReply(R"({"info":"text"})").Member("info", "version"));
    EXPECT_FALSE(ReadJsonReply(R"({"info":{}})").Member("info", "version"));
}

} // namespace
