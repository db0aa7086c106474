#include <gtest/gtest.h>

#include <cctype>
#include <string>

#include "Cp936.h"
#include "Md5.h"
#include "TestSupport.h"

namespace {

// md5sum from coreutils on the same bytes.
std::string Md5sum(const std::string& bytes)
{
    const testsupport::TempDir dir;
    std::string out = testsupport::Shell("md5sum " + dir.Write("bytes", bytes)).substr(0, 32);
    for (char& c : out) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return out;
}

TEST(Md5, KnownVectors)
{
    EXPECT_EQ(Md5Hex(u"", 32), "D41D8CD98F00B204E9800998ECF8427E");
    EXPECT_EQ(Md5Hex(u"", 16), "8F00B204E9800998");
    EXPECT_EQ(Md5Hex(u"abc", 32), "900150983CD24FB0D6963F7D28E17F72");
    EXPECT_EQ(Md5Hex(u"abc", 16), "3CD24FB0D6963F7D");
    for (int length : {0, 16, 64}) EXPECT_EQ(Md5Hex(u"abc", length), "3CD24FB0D6963F7D");
    EXPECT_EQ(Md5Hex(u"message digest", 32), "F96B697D7CB7938D525A2F31AAF161D0");
    EXPECT_EQ(Md5Hex(u"12345678901234567890123456789012345678901234567890123456789012345678901234567890", 32),
              "57EDF4A22BE3C955AC49DA2E2107B67A");
}

TEST(Md5, TextBecomesCodePage936Bytes)
{
    EXPECT_EQ(ToAnsiBytes(u"你好"), "\xC4\xE3\xBA\xC3");
    EXPECT_EQ(Md5Hex(u"你好", 32), "B94AE3C6D892B29CF48D9BEA819B27B9");
    EXPECT_EQ(ToAnsiBytes(u"中文abc"), "\xD6\xD0\xCE\xC4"
                                       "abc");
    // A character outside the code page contributes the low byte of its UTF-16 unit.
    EXPECT_EQ(ToAnsiBytes(u"\u2603"), "\x03");
    EXPECT_EQ(Md5Hex(u"\u2603", 32), "8666683506AACD900BBD5A74AC4EDF68");
    EXPECT_EQ(ToAnsiBytes(u"a\U0001F600"), std::string("a\x3D\x00", 3));
    // The token of the look-up: account and salt digested together.
    EXPECT_EQ(Md5Hex(u"abcvokha", 32), Md5sum("abcvokha"));
}

TEST(Md5, PaddingBoundariesAgreeWithMd5sum)
{
    for (size_t length : {0u, 1u, 55u, 56u, 57u, 63u, 64u, 65u, 119u, 120u, 128u, 1000u}) {
        std::string bytes;
        for (size_t i = 0; i < length; ++i) bytes += static_cast<char>('a' + i % 26);
        EXPECT_EQ(Md5HexBytes(bytes), Md5sum(bytes)) << length;
        EXPECT_EQ(Md5Hex(std::u16string(bytes.begin(), bytes.end()), 32), Md5sum(bytes)) << length;
    }
}

TEST(Cp936, UnitsAndStrictDecoding)
{
    const auto ni = cp936::EncodeUnit(u'你');
    ASSERT_TRUE(ni);
    EXPECT_EQ(ni->length, 2);
    EXPECT_EQ(ni->bytes[0], 0xC4);
    EXPECT_EQ(ni->bytes[1], 0xE3);
    EXPECT_EQ(cp936::EncodeUnit(u'A').value_or(cp936::AnsiChar{}).length, 1);
    EXPECT_FALSE(cp936::EncodeUnit(u'\u2603'));
    EXPECT_FALSE(cp936::EncodeUnit(u'\xD83D'));
    EXPECT_EQ(cp936::Decode("\xD6\xD0\xCE\xC4"
                            "abc")
                  .value_or(u"?"),
              u"中文abc");
    EXPECT_EQ(cp936::Decode("").value_or(u"?"), u"");
    EXPECT_FALSE(cp936::Decode("\xD6")); // a lead byte without its trail byte
    EXPECT_EQ(cp936::ToUtf8(u"中a\U0001F600"), "中a\U0001F600");
    EXPECT_EQ(cp936::FromUtf8("中a\U0001F600"), u"中a\U0001F600");
}

} // namespace
