// The stand-in's answers to form bodies, without a server.
#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include "FormEncoding.h"
#include "VendorApi.h"
#include "VendorApiClient.h"

namespace {

using namespace testsupport;

VendorData Demo()
{
    VendorData d;
    d.accounts[u"vorlane"] = "http://weixin.qq.com/r/demo";
    d.accounts[u"中文号"] = "中文内容";
    return d;
}

std::string Msg(const std::string& json)
{
    return ReadJsonReply(QString::fromStdString(json)).Member("msg").value_or("<none>").toStdString();
}

TEST(VendorApiHandlers, LookupRefusalsAndSuccess)
{
    const VendorData d = Demo();
    const std::string ok = HandleLookup(d, "user_account=vorlane&token=" + Token(u"vorlane"));
    EXPECT_EQ(ReadJsonReply(QString::fromStdString(ok)).Member("info").value_or(""), "http://weixin.qq.com/r/demo");
    const std::string chinese = HandleLookup(d, FormBody({{"user_account", u"中文号"}, {"token", u""}}));
    EXPECT_EQ(Msg(chinese), "token验证失败");
    const std::string token = Token(u"中文号");
    const std::u16string t16(token.begin(), token.end());
    EXPECT_EQ(
        ReadJsonReply(QString::fromStdString(HandleLookup(d, FormBody({{"user_account", u"中文号"}, {"token", t16}}))))
            .Member("info")
            .value_or(""),
        "中文内容");
    EXPECT_EQ(Msg(HandleLookup(d, "user_account=nobody&token=" + Token(u"nobody"))), "未找到该公众号");
    EXPECT_EQ(Msg(HandleLookup(d, "user_account=vorlane")), "缺少参数");
    EXPECT_EQ(Msg(HandleLookup(d, "user_account=%zz&token=1")), "请求格式错误");
    EXPECT_EQ(Msg(HandleLookup(d, "user_account=%81&token=1")), "请求格式错误"); // half a GBK character
}

TEST(VendorApiHandlers, VersionEndpoint)
{
    VendorData d = Demo();
    const JsonReply r = ReadJsonReply(QString::fromStdString(HandleVersion(d, "sn=qrcode")));
    EXPECT_EQ(r.Member("result").value_or(""), "1");
    EXPECT_EQ(r.Member("info", "version").value_or(""), "3.1.0");
    EXPECT_EQ(r.Member("info", "sid").value_or(""), "57");
    EXPECT_EQ(r.Member("info", "must").value_or(""), "0");
    EXPECT_EQ(Msg(HandleVersion(d, "sn=other")), "未知的软件");
    EXPECT_EQ(Msg(HandleVersion(d, "")), "缺少参数");
    d.updateResult = ReplyValue::FromJson("0");
    EXPECT_EQ(ReadJsonReply(QString::fromStdString(HandleVersion(d, "sn=qrcode"))).Member("result").value_or(""), "0");
}

// The data file's values reach the client as the file wrote them (same JSON type
// and value); a result that reads "0", as number or text, is a refusal.
TEST(VendorApiHandlers, DataFileValuesPassThrough)
{
    struct Case {
        const char* data;
        bool lookup; // else the version endpoint
        const char* object;
        const char* member;
        std::string expectedJson;
    };
    const std::string programVersion = "\"" + std::string(kProgramVersion) + "\"";
    const Case cases[] = {
        {R"({"update":{"sid":1234567}})", false, "info", "sid", "1234567"},
        {R"({"update":{"sid":"0057"}})", false, "info", "sid", R"("0057")"},
        {R"({"update":{"version":3.2,"must":1}})", false, "info", "version", "3.2"},
        {R"({"update":{"version":3.2,"must":1}})", false, "info", "must", "1"},
        {R"({"update":{"must":0}})", false, "info", "must", "0"},
        {R"({"update":{"result":"0","msg":"停用"}})", false, "", "result", R"("0")"},
        {R"({"update":{"result":"0","msg":"停用"}})", false, "", "msg", R"("停用")"},
        {R"({"update":{"result":-0.0}})", false, "", "msg", R"("检测失败")"},
        {R"({"update":{"result":"ok"}})", false, "info", "version", programVersion},
        {R"({"accounts":{"12345":100000}})", true, "", "info", "100000"},
        {R"({"accounts":{"12345":1e21}})", true, "", "info", "1e21"},
        {R"({"accounts":{"12345":"0"}})", true, "", "info", R"("0")"},
    };
    const std::string lookup = "user_account=12345&token=" + Token(u"12345");
    for (const Case& c : cases) {
        const auto data = ParseVendorData(c.data);
        ASSERT_TRUE(data) << c.data << ": " << data.error();
        const std::string reply = c.lookup ? HandleLookup(*data, lookup) : HandleVersion(*data, "sn=qrcode");
        QJsonObject at = QJsonDocument::fromJson(QByteArray::fromStdString(reply)).object();
        if (*c.object) at = at.value(c.object).toObject();
        const QJsonValue expected =
            QJsonDocument::fromJson(QByteArray::fromStdString("[" + c.expectedJson + "]")).array().first();
        EXPECT_EQ(at.value(c.member), expected) << c.data << " " << c.member << " in " << reply;
    }
    EXPECT_FALSE(ParseVendorData(R"({"update":{"sid":[1]}})"));
    EXPECT_FALSE(ParseVendorData(R"({"accounts":{"a":null}})"));
    EXPECT_FALSE(ParseVendorData("[1]"));
}

} // namespace
