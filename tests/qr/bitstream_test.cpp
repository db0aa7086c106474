#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Segmenter.h"
#include "clsQRCode.h"

namespace {

std::span<const uint8_t> Bytes(const std::string& s) { return {reinterpret_cast<const uint8_t*>(s.data()), s.size()}; }

int SizeOf(const clsQRCode& q, const std::string& s, int version = 1)
{
    return q.BuildBitStream(nullptr, Bytes(s), version, true);
}

// Writes the stream and checks that the written length equals the measured one.
std::vector<uint8_t> Stream(const clsQRCode& q, const std::string& s, int version, int& bits)
{
    std::vector<uint8_t> out(4096, 0xAA);
    bits = q.BuildBitStream(out.data(), Bytes(s), version, false);
    EXPECT_EQ(bits, SizeOf(q, s, version)) << s;
    out.resize(static_cast<size_t>((bits + 7) / 8));
    return out;
}

std::string Modes(const clsQRCode& q, const std::string& s, int version = 1)
{
    std::string out;
    for (SegmentMode m : q.PlanSegments(Bytes(s), version)) out += "BNAK"[static_cast<int>(m)];
    return out;
}

TEST(BitStream, CharacterTables)
{
    for (int b = 0; b < 256; ++b) {
        const bool digit = b >= '0' && b <= '9';
        const bool alnum =
            digit || (b >= 'A' && b <= 'Z') || std::string(" $%*+-./:").find(static_cast<char>(b)) != std::string::npos;
        EXPECT_EQ(clsQRCode::CharacterClass(static_cast<uint8_t>(b)), digit ? 1 : alnum && b != 0 ? 2 : 0) << b;
    }
    EXPECT_EQ(clsQRCode::AlphanumericValue('7'), 7);
    EXPECT_EQ(clsQRCode::AlphanumericValue('A'), 10);
    EXPECT_EQ(clsQRCode::AlphanumericValue('Z'), 35);
    EXPECT_EQ(clsQRCode::AlphanumericValue(' '), 36);
    EXPECT_EQ(clsQRCode::AlphanumericValue(':'), 44);
    EXPECT_EQ(clsQRCode::AlphanumericValue('a'), 0);
}

TEST(BitStream, SingleSegmentLengths)
{
    clsQRCode q;
    EXPECT_EQ(SizeOf(q, "A"), 23);
    EXPECT_EQ(SizeOf(q, "1"), 22);
    EXPECT_EQ(SizeOf(q, "a"), 24);
    EXPECT_EQ(SizeOf(q, "HELLO WORLD"), 78);
    EXPECT_EQ(SizeOf(q, "12345"), 35);
    EXPECT_EQ(SizeOf(q, ""), 4);
    const std::string twenty(20, 'x');
    EXPECT_EQ(SizeOf(q, twenty, 1), 176);
    EXPECT_EQ(SizeOf(q, twenty, 10), 184);
    EXPECT_EQ(SizeOf(q, twenty, 27), 184);
    // Numeric and alphanumeric lengths follow the standard's formulas.
    for (int len = 1; len <= 40; ++len) {
        EXPECT_EQ(SizeOf(q, std::string(static_cast<size_t>(len), '7')) - 4, 4 + 10 + 10 * (len / 3) +
                                                                                 (len % 3 == 2   ? 7
                                                                                  : len % 3 == 1 ? 4
                                                                                                 : 0));
        EXPECT_EQ(SizeOf(q, std::string(static_cast<size_t>(len), 'Q')) - 4, 4 + 9 + 11 * (len / 2) + 6 * (len % 2));
    }
}

TEST(BitStream, OptimalSegmentation)
{
    clsQRCode q;
    EXPECT_EQ(Modes(q, "tel:13800138000"), "BBBBNNNNNNNNNNN");
    EXPECT_EQ(SizeOf(q, "tel:13800138000"), 99);
    EXPECT_EQ(Modes(q, "A1b"), "BBB");
    EXPECT_EQ(SizeOf(q, "A1b"), 40);
    const std::string run(300, 'z');
    EXPECT_EQ(SizeOf(q, run, 1), 2428);
    EXPECT_EQ(SizeOf(q, run, 10), 2424);
    int bits = 0;
    const auto s = Stream(q, run, 1, bits);
    EXPECT_EQ(s[0], 0x4F); // 0100 then count 255 ...
    EXPECT_EQ(s[1], 0xF7); // ... then the first 'z' (0x7A)
    // The second segment header sits after 4 + 8 + 255 * 8 bits: 0100 and count 45.
    const int at = 4 + 8 + 255 * 8;
    EXPECT_EQ(at % 8, 4);
    EXPECT_EQ(s[static_cast<size_t>(at / 8)] & 0x0F, 0x4);
    EXPECT_EQ(s[static_cast<size_t>(at / 8 + 1)], 45);
}

TEST(BitStream, WrittenStreamsOfTheWorkedExamples)
{
    clsQRCode q;
    int bits = 0;
    EXPECT_EQ(Stream(q, "abc", 1, bits), (std::vector<uint8_t>{0x40, 0x36, 0x16, 0x26, 0x30}));
    EXPECT_EQ(bits, 40);
    EXPECT_EQ(Stream(q, "12345", 1, bits), (std::vector<uint8_t>{0x10, 0x14, 0x7B, 0x5A, 0x00}));
    EXPECT_EQ(bits, 35);
    const auto hello = Stream(q, "HELLO WORLD", 1, bits);
    EXPECT_EQ(bits, 78);
    EXPECT_EQ(std::vector<uint8_t>(hello.begin(), hello.begin() + 9),
              (std::vector<uint8_t>{0x20, 0x5B, 0x0B, 0x78, 0xD1, 0x72, 0xDC, 0x4D, 0x43}));
    const auto empty = Stream(q, "", 1, bits);
    EXPECT_EQ(bits, 4);
    EXPECT_EQ(empty[0] & 0xF0, 0);
}

TEST(BitStream, KanjiOnlyWhenAskedAndOnlyForShiftJis)
{
    clsQRCode q;
    const std::string utf8 = "\xE4\xB8\x81\xE5\x8F\xA3"; // two Chinese characters in UTF-8
    EXPECT_EQ(SizeOf(q, utf8), 64);
    EXPECT_EQ(Modes(q, utf8), "BBBBBB");
    const std::string sjis = "\x93\xFA\x96\x7B"; // a Japanese word in Shift JIS
    EXPECT_EQ(Modes(q, sjis), "BBBB");

    q.SetKanjiMode(true);
    EXPECT_EQ(Modes(q, sjis), "KKKK");
    EXPECT_EQ(SizeOf(q, sjis), 4 + 8 + 26 + 4);
    int bits = 0;
    const auto s = Stream(q, sjis, 1, bits);
    // 1000, count 00000010, then 0x93FA as (0x93 - 0x81) * 0xC0 + (0xFA - 0x40) = 0xE3A in 13 bits.
    EXPECT_EQ(s[0], 0x80);
    EXPECT_EQ(s[1], 0x27);
    EXPECT_EQ(s[2], 0x1D);
    // With the switch on, a Kanji run is taken only where it pays for its own header.
    EXPECT_EQ(SizeOf(q, utf8), 55);
    EXPECT_EQ(SizeOf(q, "\xE4\xB8\xAD\xE6\x96\x87"), 64);

    EXPECT_FALSE(clsQRCode::IsKanjiPair(0x81, 0x3F));
    EXPECT_FALSE(clsQRCode::IsKanjiPair(0xEB, 0xC0));
    EXPECT_FALSE(clsQRCode::IsKanjiPair(0xEA, 0xFF));
    EXPECT_FALSE(clsQRCode::IsKanjiPair(0x81, 0x7F));
    EXPECT_FALSE(clsQRCode::IsKanjiPair(0xA0, 0x50));
    EXPECT_TRUE(clsQRCode::IsKanjiPair(0x81, 0x40));
    EXPECT_TRUE(clsQRCode::IsKanjiPair(0xEA, 0xFC));
    EXPECT_TRUE(clsQRCode::IsKanjiPair(0xEB, 0xBF));
}

TEST(BitStream, MeasuredAndWrittenLengthsAgree)
{
    clsQRCode q;
    q.SetKanjiMode(true);
    uint32_t seed = 12345;
    for (int round = 0; round < 300; ++round) {
        std::string s;
        const int len = static_cast<int>(seed % 400);
        for (int i = 0; i < len; ++i) {
            seed = seed * 1103515245u + 12345u;
            const char alphabet[] = "0123456789ABCXYZ $%*+-./:abc\x81\x93\xE0\xFA\x40\x7B";
            s += alphabet[(seed >> 16) % (sizeof alphabet - 1)];
        }
        for (int version : {1, 10, 27}) {
            int bits = 0;
            Stream(q, s, version, bits);
        }
    }
}

// Rules of other versions and families: one mode or two, shorter or no mode
// indicators, longer terminators (here Micro QR M1 and M2 as ISO/IEC 18004 lists them).
TEST(BitStream, OtherRulesShapeTheSameSegmentation)
{
    SegmentRules m1; // numeric only, no mode indicator, count 3 bits, terminator 3 bits
    m1.modeBits = 0;
    m1.countBits = {0, 3, 0, 0};
    m1.terminatorBits = 3;
    SegmentRules m2; // numeric 0 / alphanumeric 1, counts 4 and 3, terminator 5 bits
    m2.modeBits = 1;
    m2.modeIndicator = {0, 0, 1, 0};
    m2.countBits = {0, 4, 3, 0};
    m2.terminatorBits = 5;
    struct Case {
        const SegmentRules* rules;
        std::string data;
        std::vector<uint8_t> expected; // empty: the rules cannot carry the data
    };
    const Case cases[] = {
        {&m1, "12345", {0xA3, 0xDA, 0xD0}},             // 101 0001111011 0101101, terminator 000
        {&m2, "AC-42", {0xD3, 0x9D, 0xCE, 0x42, 0x00}}, // one alphanumeric segment beats AC- then 42
        {&m1, "12A", {}},
        {&m2, "ac", {}},
    };
    Segmenter segmenter;
    for (const Case& c : cases) {
        const auto* data = reinterpret_cast<const uint8_t*>(c.data.data());
        const int count = static_cast<int>(c.data.size());
        std::vector<uint8_t> modes;
        const auto bits = segmenter.Plan(data, count, *c.rules, &modes, segmenter.TakeCensus(data, count));
        if (c.expected.empty()) {
            EXPECT_FALSE(bits) << c.data;
            continue;
        }
        ASSERT_TRUE(bits) << c.data;
        std::vector<uint8_t> out(16, 0xFF);
        const int end = Segmenter::Write(out.data(), data, count, *c.rules, modes);
        EXPECT_EQ(end, *bits + c.rules->terminatorBits) << c.data;
        out.resize((static_cast<size_t>(end) + 7) / 8);
        EXPECT_EQ(out, c.expected) << c.data;
    }
}

} // namespace
