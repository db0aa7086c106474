#include <gtest/gtest.h>

#include "FormDecode.h"
#include "FormEncoding.h"

namespace {

TEST(FormEncoding, BodiesWithoutSpecialCharactersStayAsTheyWere)
{
    EXPECT_EQ(FormBody({{"sn", u"qrcode"}}), "sn=qrcode");
    EXPECT_EQ(UrlEncode(u"中文abc"), "%D6%D0%CE%C4abc");
    EXPECT_EQ(UrlEncode(u"你"), "%C4%E3");
    EXPECT_EQ(UrlEncode(u""), "");
    EXPECT_EQ(FormBody({}), "");
    EXPECT_EQ(FormBody({{"user_account", u"abc"}, {"token", u"900150983CD24FB0D6963F7D28E17F72"}}),
              "user_account=abc&token=900150983CD24FB0D6963F7D28E17F72");
}

TEST(FormEncoding, ValuesCannotChangeTheFormsStructure)
{
    EXPECT_EQ(UrlEncode(u"abc&token=X"), "abc%26token%3DX");
    EXPECT_EQ(UrlEncode(u"a+b c%d"), "a%2Bb%20c%25d");
    EXPECT_EQ(UrlEncode(u"-._~"), "-._~");
    EXPECT_EQ(UrlEncode(u"\r\n#?/"), "%0D%0A%23%3F%2F");
    // Characters outside code page 936 travel as their UTF-8 bytes.
    EXPECT_EQ(UrlEncode(u"\u2603"), "%E2%98%83");
    EXPECT_EQ(UrlEncode(u"\U0001F600"), "%F0%9F%98%80");
    EXPECT_EQ(UrlEncode(u"\xD800"), "%EF%BF%BD"); // a lone surrogate
}

TEST(FormEncoding, TheServersDecoderReadsWhatTheClientWrites)
{
    const auto form = DecodeForm(FormBody({{"user_account", u"a&b=c+d %e 中文"}, {"token", u"T"}}));
    ASSERT_TRUE(form);
    EXPECT_EQ(form->at("user_account"), "a&b=c+d %e \xD6\xD0\xCE\xC4");
    EXPECT_EQ(form->at("token"), "T");
    EXPECT_EQ(DecodeForm("a=1+2")->at("a"), "1 2");
    EXPECT_TRUE(DecodeForm("")->empty());
    EXPECT_EQ(DecodeForm("a=")->at("a"), "");
    for (const char* bad : {"a=%", "a=%4", "a=%GG", "=x", "a", "a=1&a=2", "a=1&", "&a=1"})
        EXPECT_FALSE(DecodeForm(bad)) << bad;
}

} // namespace
