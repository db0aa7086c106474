// Every content kind, printed as a payload and encoded.
#include <gtest/gtest.h>

#include "FileHelpers.h"
#include "Readers.h"
#include "TestSupport.h"

namespace {

namespace fs = std::filesystem;
using namespace testsupport;

const std::string kQrgen = QRGEN_PATH;

TEST(QrgenKinds, EveryKindPrintsOrEncodesItsPayload)
{
    const std::string& qrgen = kQrgen;
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

} // namespace
