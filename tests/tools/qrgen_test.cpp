// The command-line generator as a script would use it.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "Readers.h"
#include "TestServers.h"

namespace {

namespace fs = std::filesystem;
using namespace testsupport;

TEST(Qrgen, ExitStatusAndFormats)
{
    const std::string qrgen = QRGEN_PATH;
    int status = -1;
    auto version = [&](int count, const std::string& options) {
        const std::string txt = Shell(qrgen + " encode --format txt " + options + " --text " +
                                          std::string(static_cast<size_t>(count), 'k') + " 2>/dev/null",
                                      &status);
        return status == 0 ? static_cast<int>((txt.find('\n') - 17) / 4) : -status;
    };
    // 11 letters fill version 1 at level Q. -v is the smallest version, as in qrencode.
    struct {
        int count;
        const char* options;
        int version; // negative: the exit status
    } versions[] = {
        {11, "", 1}, {12, "", 2}, {11, "-v 3", 3}, {12, "-v 1", 2}, {1663, "-v 2", 40}, {1664, "-v 40", -1},
    };
    for (const auto& v : versions) EXPECT_EQ(version(v.count, v.options), v.version) << v.count << " " << v.options;
    {
        TempDir dir;
        const fs::path input = dir.path() / "in.txt";
        std::ofstream(input) << std::string(1663, 'k');
        const std::string txt = Shell(qrgen + " encode --format txt --file '" + input.string() + "'", &status);
        EXPECT_EQ(status, 0);
        EXPECT_EQ(txt.find('\n'), 177u);
        std::ofstream(input) << std::string(1664, 'k');
        Shell(qrgen + " encode --file '" + input.string() + "' 2>/dev/null", &status);
        EXPECT_EQ(status, 1);
        // Pictures: same input, byte-identical files.
        const std::string a = Shell(qrgen + " encode --text 'same input' --format png");
        const std::string b = Shell(qrgen + " encode --text 'same input' --format png");
        EXPECT_EQ(a, b);
        EXPECT_EQ(a.substr(1, 3), "PNG");
        const std::string bmp = Shell(qrgen + " encode --text abc --format bmp --scale 2");
        EXPECT_EQ(bmp.substr(0, 2), "BM");
        EXPECT_NE(Shell(qrgen + " encode --text abc --format svg").find("<svg"), std::string::npos);
    }
    EXPECT_EQ(Shell(qrgen + " encode --text abc --format codewords"),
              "40 36 16 26 30 EC 11 EC 11 EC 11 EC 11 6A 34 E9 54 E6 64 C0 8D 08 E3 A3 86 94\n");
    EXPECT_EQ(Shell("printf abc | " + qrgen + " encode --format codewords").substr(0, 14), "40 36 16 26 30");
    EXPECT_EQ(Shell(qrgen + " encode --hex 616263 --format codewords").substr(0, 14), "40 36 16 26 30");
    for (const char* bad : {"encode --level X", "encode -v 41", "encode --mask 9", "encode --format gif",
                            "encode --text a --hex 61", "encode --hex 6", "--frobnicate", "encode --text a b",
                            // qrencode's -8 looks like a number; text that starts with '-' goes after --.
                            "-8", "-t txt -8", "encode -3", "batch -O out -2", "-8 --"}) {
        Shell(qrgen + " " + bad + " </dev/null >/dev/null 2>&1", &status);
        EXPECT_EQ(status, 2) << bad;
    }
}

TEST(Qrgen, EveryKindPrintsOrEncodesItsPayload)
{
    const std::string qrgen = QRGEN_PATH;
    struct Case {
        const char* args;
        const char* payload;
    } cases[] = {
        {"text --text 'hello 世界'", "hello 世界"},
        {"card --name '张三' --tel 138 --title CEO --addr 'a;b'", "MECARD:N:张三;TEL:138;TIL:CEO;ADR:a\\;b;"},
        {"url --url http://example.com", "http://example.com"},
        {"sms --phone 10086 --body 'a b'", "sms:10086?body=a%20b"},
        {"mms --phone 10086 --body x", "mms:10086?body=x"},
        {"wifi --ssid home --password 'p;w'", "WIFI:S:home;T:WPA;P:p\\;w;"},
        {"wifi --ssid home --security none", "WIFI:S:home;T:nopass;"},
        {"wifi --ssid home --password x --security WEP", "WIFI:S:home;T:WEP;P:x;"},
        {"wifi --ssid home --password x --security wpa", "WIFI:S:home;T:WPA;P:x;"},
        {"wifi --ssid home --security None", "WIFI:S:home;T:nopass;"},
        {"phone --number 110", "tel:110"},
        {"email --address a@b.c", "mailto:a@b.c"},
        {"app --package com.example", "market://details?id=com.example"},
    };
    TempDir dir;
    for (const Case& c : cases) {
        int status = -1;
        EXPECT_EQ(Shell(qrgen + " " + c.args + " --payload", &status), std::string(c.payload) + "\n") << c.args;
        EXPECT_EQ(status, 0);
        const std::string png = (dir.path() / "kind.png").string();
        Shell(qrgen + " " + c.args + " -o '" + png + "'", &status);
        EXPECT_EQ(status, 0);
        EXPECT_EQ(ZbarFile(QString::fromStdString(png)), c.payload) << c.args;
    }
    // Refusals carry the window's message; bad options are usage errors.
    int status = -1;
    EXPECT_EQ(Shell(qrgen + " card --name x 2>&1 >/dev/null", &status), "请至少输入姓名与电话\n");
    EXPECT_EQ(status, 1);
    EXPECT_EQ(Shell(qrgen + " wifi --ssid x 2>&1 >/dev/null", &status), "请输入wifi密码\n");
    EXPECT_EQ(status, 1);
    Shell(qrgen + " wifi --ssid x --security open 2>/dev/null", &status);
    EXPECT_EQ(status, 2);
    Shell(qrgen + " phone --nmber 1 2>/dev/null", &status);
    EXPECT_EQ(status, 2);
}

TEST(Qrgen, WeChatLooksTheAccountUp)
{
    VendorApi api(R"({"accounts":{"vorlane":"http://weixin.qq.com/r/demo"}})");
    ASSERT_TRUE(api.Running());
    const std::string env = "VORLANE_API_URL=" + api.baseUrl.toStdString() + " ";
    int status = -1;
    EXPECT_EQ(Shell(env + QRGEN_PATH + " wechat --account vorlane --payload", &status),
              "http://weixin.qq.com/r/demo\n");
    EXPECT_EQ(status, 0);
    EXPECT_EQ(Shell(env + QRGEN_PATH + " wechat --account nobody 2>&1", &status), "未找到该公众号\n");
    EXPECT_EQ(status, 1);
    EXPECT_EQ(
        Shell(std::string("VORLANE_API_URL=http://127.0.0.1:9 ") + QRGEN_PATH + " wechat --account x 2>&1", &status),
        "公众号信息获取失败,请检查网络后重试\n");
    EXPECT_EQ(status, 1);
}

} // namespace
