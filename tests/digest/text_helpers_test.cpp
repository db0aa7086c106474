#include <gtest/gtest.h>
#include <unicode/ustring.h>

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "TextHelpers.h"

namespace {

// ICU's converters, with U+FFFD substitution, are the oracle for the UTF-8 helpers.
std::u16string IcuFromUtf8(const std::string& s)
{
    std::u16string out(s.size() + 1, u'\0');
    int32_t length = 0;
    UErrorCode status = U_ZERO_ERROR;
    u_strFromUTF8WithSub(reinterpret_cast<UChar*>(out.data()), static_cast<int32_t>(out.size()), &length, s.data(),
                         static_cast<int32_t>(s.size()), 0xFFFD, nullptr, &status);
    EXPECT_TRUE(U_SUCCESS(status));
    out.resize(static_cast<size_t>(length));
    return out;
}

std::string IcuToUtf8(const std::u16string& s)
{
    std::string out(s.size() * 3 + 1, '\0');
    int32_t length = 0;
    UErrorCode status = U_ZERO_ERROR;
    u_strToUTF8WithSub(out.data(), static_cast<int32_t>(out.size()), &length, reinterpret_cast<const UChar*>(s.data()),
                       static_cast<int32_t>(s.size()), 0xFFFD, nullptr, &status);
    EXPECT_TRUE(U_SUCCESS(status));
    out.resize(static_cast<size_t>(length));
    return out;
}

} // namespace

// Random byte strings drawn mostly from the bytes that matter to UTF-8 (leads,
// continuations, the edges of the well-formed ranges), so that truncated,
// overlong, surrogate and out-of-range sequences all occur many times.
TEST(TextHelpers, Utf8AgreesWithIcu)
{
    static const uint8_t interesting[] = {0x00, 0x41, 0x7F, 0x80, 0x8F, 0x90, 0x9F, 0xA0, 0xBF, 0xC0, 0xC1, 0xC2, 0xDF,
                                          0xE0, 0xE1, 0xEC, 0xED, 0xEE, 0xEF, 0xF0, 0xF1, 0xF3, 0xF4, 0xF5, 0xFF};
    std::mt19937 rng(20261207);
    for (int round = 0; round < 20000; ++round) {
        std::string bytes(rng() % 12, '\0');
        for (char& b : bytes)
            b = static_cast<char>(rng() % 4 ? interesting[rng() % std::size(interesting)] : rng() % 256);
        ASSERT_EQ(textutil::FromUtf8(bytes), IcuFromUtf8(bytes)) << testing::PrintToString(bytes);
    }
    // UTF-16 with lone and paired surrogates in every order.
    static const char16_t units[] = {u'a',   0x7F,   0x80,   0x7FF,  0x800,  0x4E2D, 0xD7FF,
                                     0xD800, 0xDBFF, 0xDC00, 0xDFFF, 0xE000, 0xFFFD, 0xFFFF};
    for (int round = 0; round < 20000; ++round) {
        std::u16string text(rng() % 8, u'\0');
        for (char16_t& u : text) u = units[rng() % std::size(units)];
        ASSERT_EQ(textutil::ToUtf8(text), IcuToUtf8(text));
        const std::string utf8 = textutil::ToUtf8(text);
        ASSERT_EQ(textutil::FromUtf8(utf8), IcuFromUtf8(utf8));
    }
}

TEST(TextHelpers, HexValueAgreesWithFromChars)
{
    for (int c = 0; c < 256; ++c) {
        const std::string digit(1, static_cast<char>(c));
        int expected = -1;
        const auto [end, error] = std::from_chars(digit.data(), digit.data() + 1, expected, 16);
        if (error != std::errc() || end != digit.data() + 1) expected = -1;
        const auto value = textutil::HexValue(digit[0]);
        EXPECT_EQ(value ? int{*value} : -1, expected) << c;
    }
}

// node's String(x) is an implementation of the very algorithm JScript follows;
// every number the table and a few thousand random doubles make must read the same.
TEST(TextHelpers, NumberToStringAgreesWithNode)
{
    if (std::system("node -e 0 >/dev/null 2>&1") != 0) GTEST_SKIP() << "node is not installed";

    std::vector<double> numbers = {0.0,
                                   -0.0,
                                   1,
                                   -1,
                                   100000,
                                   3000000,
                                   1e20,
                                   1e21,
                                   0.0001,
                                   1e-6,
                                   1e-7,
                                   0.5,
                                   123456789012345678901.0,
                                   1.5e300,
                                   5e-324,
                                   1.7976931348623157e308,
                                   0.1,
                                   1.0 / 3};
    for (double edge : {1e21, 1e-6, 1e-7, 1e20}) {
        numbers.push_back(std::nextafter(edge, 0.0));
        numbers.push_back(std::nextafter(edge, HUGE_VAL));
    }
    std::mt19937_64 rng(20261207);
    for (int i = 0; i < 1500; ++i) {
        // Any finite bit pattern: the full exponent range.
        double d;
        uint64_t bits = rng();
        std::memcpy(&d, &bits, sizeof d);
        if (std::isfinite(d)) numbers.push_back(d);
        // Integers and short decimals, the numbers replies really carry.
        numbers.push_back(static_cast<double>(static_cast<int64_t>(rng() >> (rng() % 64))));
        numbers.push_back(static_cast<double>(rng() % 100000) / std::pow(10.0, static_cast<double>(rng() % 12)));
        numbers.push_back(static_cast<double>(rng() % 1000) * std::pow(10.0, static_cast<double>(rng() % 30)));
    }

    // Each number goes to node as its shortest round-trip text, which reads back exactly.
    std::string lines;
    for (double d : numbers) {
        char buf[64];
        lines.append(buf, std::to_chars(buf, buf + sizeof buf, d).ptr);
        lines += '\n';
    }
    const testsupport::TempDir dir;
    const std::string script = "node -e \"require('fs').readFileSync('" + dir.Write("numbers", lines) +
                               "','utf8').trim().split('\\n').forEach(l=>console.log(String(Number(l))))\"";
    std::vector<std::string> expected;
    std::istringstream output(testsupport::Shell(script));
    for (std::string line; std::getline(output, line);) expected.push_back(line);
    ASSERT_EQ(expected.size(), numbers.size());
    for (size_t i = 0; i < numbers.size(); ++i)
        EXPECT_EQ(textutil::NumberToString(numbers[i]), expected[i]) << std::hexfloat << numbers[i];
}
