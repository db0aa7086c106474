#include <gtest/gtest.h>
#include <sys/mman.h>

#include <algorithm>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

#include "QRLayout.h"
#include "TestSupport.h"
#include "clsQRCode.h"

namespace {

std::optional<QRSymbol> Encode(clsQRCode& q, const std::string& s, int version = 0, int level = EcQ, int mask = 0)
{
    return q.EncodeSymbol(reinterpret_cast<const uint8_t*>(s.data()), static_cast<int>(s.size()), version, level, mask);
}

// The first count codewords as hex pairs.
std::string Hex(const std::vector<uint8_t>& bytes, size_t count)
{
    return testsupport::Hex({reinterpret_cast<const char*>(bytes.data()), std::min(count, bytes.size())});
}

std::vector<std::string> Rows(const QRSymbol& s)
{
    std::vector<std::string> rows;
    for (int y = 0; y < s.size; ++y) {
        std::string r;
        for (int x = 0; x < s.size; ++x) r += s.Dark(x, y) ? '1' : '0';
        rows.push_back(r);
    }
    return rows;
}

TEST(Symbol, AbcWithTheWindowSettings)
{
    clsQRCode q;
    const auto s = Encode(q, "abc");
    ASSERT_TRUE(s);
    EXPECT_EQ(s->version, 1);
    EXPECT_EQ(s->mask, 0);
    EXPECT_EQ(Hex(s->codewords, 26), "40 36 16 26 30 EC 11 EC 11 EC 11 EC 11 6A 34 E9 54 E6 64 C0 8D 08 E3 A3 86 94");
    const std::vector<std::string> expected = {
        "111111101100101111111", "100000101110001000001", "101110101111101011101", "101110101110001011101",
        "101110101111101011101", "100000100111101000001", "111111101010101111111", "000000001001100000000",
        "011010110011001011111", "000000001011001001011", "000011101011100010011", "110101011100101000000",
        "101101110010101010001", "000000001111110101011", "111111101010011101011", "100000100011110111001",
        "101110101111111100101", "101110100100001000110", "101110101010100010001", "100000101110001000110",
        "111111100010101010111"};
    EXPECT_EQ(Rows(*s), expected);
    // The three extra columns and rows of the buffer stay light.
    for (int i = 0; i < s->stride; ++i)
        for (int j = s->size; j < s->stride; ++j) {
            EXPECT_EQ(s->modules[static_cast<size_t>(i * s->stride + j)], 0);
            EXPECT_EQ(s->modules[static_cast<size_t>(j * s->stride + i)], 0);
        }
}

TEST(Symbol, DataCodewordsOfTheWorkedStreams)
{
    clsQRCode q;
    struct Case {
        const char* data;
        const char* codewords;
    } cases[] = {
        {"abc", "40 36 16 26 30 EC 11 EC 11 EC 11 EC 11"},
        {"12345", "10 14 7B 5A 1D 82 3D 82 3D 82 3D 82 3D"},
        {"HELLO WORLD", "20 5B 0B 78 D1 72 DC 4D 43 43 B0 47 B0"},
        {"tel:13800138000", "40 47 46 56 C3 A1 02 C8 A0 05 7C 00 1D"},
    };
    for (const Case& c : cases) {
        const auto s = Encode(q, c.data);
        ASSERT_TRUE(s);
        EXPECT_EQ(s->version, 1);
        EXPECT_EQ(Hex(s->codewords, 13), c.codewords) << c.data;
    }
    // The digits of the standard's example at level M: the pad pattern starts at bit 45.
    const auto iso = Encode(q, "01234567", 0, EcM);
    ASSERT_TRUE(iso);
    EXPECT_EQ(Hex(iso->codewords, 16), "10 20 0C 56 61 87 60 8F 60 8F 60 8F 60 8F 60 8F");
}

TEST(Symbol, VersionChoiceAndCapacityLimits)
{
    clsQRCode q;
    EXPECT_EQ(Encode(q, std::string(11, 'k'))->version, 1);
    EXPECT_EQ(Encode(q, std::string(12, 'k'))->version, 2);
    EXPECT_EQ(Encode(q, std::string(12, 'k'))->size, 25);
    EXPECT_EQ(Encode(q, std::string(1663, 'k'))->version, 40);
    EXPECT_FALSE(Encode(q, std::string(1664, 'k')));
    EXPECT_FALSE(Encode(q, std::string(12, 'k'), 1));
    EXPECT_EQ(Encode(q, std::string(12, 'k'), 2)->version, 2);
    EXPECT_FALSE(Encode(q, "abc", -1));
    EXPECT_EQ(Encode(q, "abc", 41)->version, 1);
    EXPECT_EQ(Encode(q, "abc", 1000)->version, 1);
    EXPECT_EQ(Encode(q, "abc", 40)->version, 40);
    // Level out of range means M; mask out of range means 0.
    for (int level : {0, 5, -1}) {
        const auto s = Encode(q, "abc", 0, level);
        EXPECT_EQ(s->level, EcLevel::M);
        EXPECT_EQ(Rows(*s), Rows(*Encode(q, "abc", 0, EcM)));
    }
    for (int mask : {8, -1, -100, 123456}) EXPECT_EQ(Rows(*Encode(q, "abc", 0, EcQ, mask)), Rows(*Encode(q, "abc")));
    // Empty data: a version 1 symbol of terminator and padding.
    const auto empty = q.EncodeSymbol(nullptr, 0, 0, EcQ, 0);
    ASSERT_TRUE(empty);
    EXPECT_EQ(empty->version, 1);
    EXPECT_EQ(Hex(empty->codewords, 3), "0E C1 1E");
}

// Address space nobody may read: a read of any byte of it is a fault.
class UnreadableBytes {
public:
    explicit UnreadableBytes(size_t size) : size_(size)
    {
        void* p = mmap(nullptr, size, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
        base_ = p == MAP_FAILED ? nullptr : static_cast<const uint8_t*>(p);
    }
    ~UnreadableBytes()
    {
        if (base_) munmap(const_cast<uint8_t*>(base_), size_);
    }
    UnreadableBytes(const UnreadableBytes&) = delete;
    UnreadableBytes& operator=(const UnreadableBytes&) = delete;
    const uint8_t* data() const { return base_; }

private:
    const uint8_t* base_;
    size_t size_;
};

TEST(Symbol, InputLongerThanAnySymbolIsRefusedUnread)
{
    clsQRCode q;
    // The longest input that fits: 7089 digits at 40-L; one more fits nowhere.
    EXPECT_EQ(Encode(q, std::string(7089, '7'), 0, EcL)->version, 40);
    EXPECT_FALSE(Encode(q, std::string(7090, '7'), 0, EcL));

    // Longer input is refused before a byte of it is read, whatever its size: counts
    // whose bit lengths pass 2^31 once wrapped round and made a stream that "fit".
    const size_t sizes[] = {7090, 268435456, 300u << 20, 2147483647, (size_t{1} << 32) + 5};
    const UnreadableBytes memory(sizes[std::size(sizes) - 1]);
    ASSERT_NE(memory.data(), nullptr);
    for (bool automatic : {false, true}) {
        q.SetAutoMask(automatic);
        for (size_t size : sizes)
            for (int version : {0, 1, 40}) {
                EXPECT_FALSE(q.EncodeSymbol(std::span(memory.data(), size), version, EcL, 0)) << size << " " << version;
                if (size <= 2147483647) {
                    EXPECT_FALSE(q.EncodeSymbol(memory.data(), static_cast<int32_t>(size), version, EcL, 0)) << size;
                }
            }
    }
    for (size_t size : sizes) {
        EXPECT_EQ(q.BuildBitStream(nullptr, std::span(memory.data(), size), 27, true), -1) << size;
        EXPECT_TRUE(q.PlanSegments(std::span(memory.data(), size), 27).empty()) << size;
    }
}

TEST(Symbol, StreamsEndingAtTheCapacity)
{
    clsQRCode q;
    // Version 1-Q holds 104 bits; 11 bytes take 4 + 8 + 88 = 100, leaving exactly the terminator.
    const auto eleven = Encode(q, std::string(11, 'k'), 1);
    ASSERT_TRUE(eleven);
    EXPECT_EQ(eleven->codewords[12], 0xB0); // last 'k' nibble then the terminator, no pad byte
    // 1-H holds 72 bits; 17 digits take 4 + 10 + 50 + 7 = 71, so one terminator bit is kept and no pad.
    const auto tight = Encode(q, std::string(17, '1'), 1, EcH);
    ASSERT_TRUE(tight);
    EXPECT_EQ(tight->codewords[8] & 0x01, 0);              // the single terminator bit kept
    EXPECT_FALSE(Encode(q, std::string(18, '1'), 1, EcH)); // 74 data bits do not fit 72
}

// The standard's interleaving at 5-Q, spelled out: blocks 1-2 hold data codewords 1-15 and 16-30 of the stream,
// blocks 3-4 codewords 31-46 and 47-62; the symbol takes the first codeword of each block in turn, then the
// second, and the 16th codewords of blocks 3 and 4 come last. (That every version interleaves right is shown by
// the symbols' module-for-module equality with qrcodegen.)
TEST(Symbol, BlockInterleavingOfVersion5Q)
{
    clsQRCode q;
    std::string data;
    // One Byte segment of 60 bytes: 4 + 8 + 480 + 4 bits, the 62 data codewords of 5-Q exactly.
    for (int i = 0; i < 60; ++i) data += static_cast<char>('a' + i % 26);
    const auto s = Encode(q, data, 5);
    ASSERT_TRUE(s);
    ASSERT_EQ(s->codewords.size(), 134u);
    // Stream codewords by hand: 0100 | 00111100 | 'a' 'b' ... | 0000, read eight bits at a time.
    const struct {
        size_t position;
        uint8_t codeword;
        const char* what;
    } cases[] = {
        {0, 0x43, "block 1, codeword 1 (mode and count)"},
        {1, 0xE6, "block 2, codeword 1 (stream codeword 16)"},
        {2, 0x36, "block 3, codeword 1 (stream 31)"},
        {3, 0x37, "block 4, codeword 1 (stream 47)"},
        {4, 0xC6, "block 1, codeword 2"},
        {5, 0xF7, "block 2, codeword 2 (stream 17)"},
        {60, 0x27, "block 3, codeword 16 (stream 46)"},
        {61, 0x80, "block 4, codeword 16 (stream 62)"},
    };
    for (const auto& c : cases) EXPECT_EQ(s->codewords[c.position], c.codeword) << c.what;
}

TEST(Symbol, FunctionPatternsAndPlacement)
{
    for (int v = 1; v <= 40; ++v) {
        const int n = clsQRCode::SymbolSize(v);
        std::vector<uint8_t> m(static_cast<size_t>((n + 3) * (n + 3)), 0);
        clsQRCode::DrawFunctionPatterns(m.data(), v);
        int free = 0;
        for (int y = 0; y < n; ++y)
            for (int x = 0; x < n; ++x) free += m[static_cast<size_t>(y * (n + 3) + x)] == 0;
        EXPECT_EQ(free, clsQRCode::RawDataModules(v)) << v;
        auto at = [&](int x, int y) { return m[static_cast<size_t>(y * (n + 3) + x)]; };
        EXPECT_EQ(at(8, n - 8), 1);
        EXPECT_EQ(at(8, 6), 1);
        EXPECT_EQ(at(6, 8), 1);
        if (v == 7) {
            for (int y = 34; y <= 36; ++y)
                for (int x = 0; x <= 5; ++x) {
                    EXPECT_EQ(at(x, y), 2);
                    EXPECT_EQ(at(y, x), 2);
                }
            for (auto [x, y] : {std::pair{22, 22}, {38, 22}, {22, 38}, {38, 38}, {22, 6}, {6, 22}}) {
                EXPECT_EQ(at(x, y), 1);
                EXPECT_EQ(at(x + 1, y), 2);
            }
        }
    }
    // The encoder's own layouts, drawn as row runs, mark the same modules.
    for (int v = 1; v <= 40; ++v) {
        const int n = clsQRCode::SymbolSize(v);
        std::vector<uint8_t> m(static_cast<size_t>((n + 3) * (n + 3)), 0);
        clsQRCode::DrawFunctionPatterns(m.data(), v);
        const QRLayout layout(v);
        int differ = 0;
        for (int y = 0; y < n; ++y)
            for (int x = 0; x < n; ++x) {
                const uint8_t cell = m[static_cast<size_t>(y * (n + 3) + x)];
                const bool isVersionCell =
                    v >= 7 && ((y >= n - 11 && y <= n - 9 && x < 6) || (x >= n - 11 && x <= n - 9 && y < 6));
                differ += layout.freeRows[static_cast<size_t>(y)].Get(x) != (cell == 0);
                if (!isVersionCell) differ += layout.darkRows[static_cast<size_t>(y)].Get(x) != (cell == 1);
            }
        EXPECT_EQ(differ, 0) << "version " << v;
    }
    std::vector<uint8_t> untouched(48 * 48, 0);
    clsQRCode::DrawFunctionPatterns(untouched.data(), 0);
    clsQRCode::DrawFunctionPatterns(untouched.data(), 41);
    EXPECT_EQ(untouched, std::vector<uint8_t>(48 * 48, 0));
}

TEST(Symbol, MasksAndFormatInformation)
{
    // The mask conditions of ISO/IEC 18004 Table 10, x the column and y the row.
    const std::function<bool(int, int)> conditions[8] = {
        [](int x, int y) { return (x + y) % 2 == 0; },
        [](int, int y) { return y % 2 == 0; },
        [](int x, int) { return x % 3 == 0; },
        [](int x, int y) { return (x + y) % 3 == 0; },
        [](int x, int y) { return (y / 2 + x / 3) % 2 == 0; },
        [](int x, int y) { return (x * y) % 2 + (x * y) % 3 == 0; },
        [](int x, int y) { return ((x * y) % 2 + (x * y) % 3) % 2 == 0; },
        [](int x, int y) { return ((x + y) % 2 + (x * y) % 3) % 2 == 0; },
    };
    // Two masks of the same data differ exactly where one of the conditions holds,
    // in the free modules of every version size class.
    for (int version : {1, 7, 22, 40}) {
        clsQRCode q;
        const int n = clsQRCode::SymbolSize(version);
        std::vector<uint8_t> cells(static_cast<size_t>((n + 3) * (n + 3)), 0);
        clsQRCode::DrawFunctionPatterns(cells.data(), version);
        const auto base = Encode(q, "mask", version, EcQ, 0);
        for (int mask = 1; mask < 8; ++mask) {
            const auto s = Encode(q, "mask", version, EcQ, mask);
            ASSERT_TRUE(s);
            int wrong = 0;
            for (int y = 0; y < n; ++y)
                for (int x = 0; x < n; ++x)
                    if (cells[static_cast<size_t>(y * (n + 3) + x)] == 0)
                        wrong += (s->Dark(x, y) != base->Dark(x, y)) != (conditions[mask](x, y) != conditions[0](x, y));
            EXPECT_EQ(wrong, 0) << "version " << version << " mask " << mask;
        }
    }

    clsQRCode q;
    for (int mask = 0; mask < 8; ++mask) {
        const auto s = Encode(q, "format", 7, EcH, mask);
        ASSERT_TRUE(s);
        const int f = clsQRCode::FormatBits(EcH, mask);
        const int sz = s->size;
        int first = 0, second = 0;
        for (int i = 0; i <= 5; ++i) first = first << 1 | s->Dark(i, 8);
        first = first << 1 | s->Dark(7, 8);
        first = first << 1 | s->Dark(8, 8);
        first = first << 1 | s->Dark(8, 7);
        for (int i = 5; i >= 0; --i) first = first << 1 | s->Dark(8, i);
        for (int i = 0; i <= 6; ++i) second = second << 1 | s->Dark(8, sz - 1 - i);
        for (int i = 0; i <= 7; ++i) second = second << 1 | s->Dark(sz - 8 + i, 8);
        EXPECT_EQ(first, f);
        EXPECT_EQ(second, f);
        EXPECT_TRUE(s->Dark(8, sz - 8));
        int version = 0;
        for (int bit = 17; bit >= 0; --bit) version = version << 1 | s->Dark(bit / 3, sz - 11 + bit % 3);
        EXPECT_EQ(version, clsQRCode::VersionBits(7));
    }
}

TEST(Symbol, AutomaticMaskIsAnExplicitSetting)
{
    clsQRCode q;
    EXPECT_FALSE(q.AutoMask());
    const std::string text = "https://example.com/automatic?mask=1";
    q.SetAutoMask(true);
    for (int mask : {0, 5, -100, 99}) {
        const auto chosen = Encode(q, text, 0, EcQ, mask);
        ASSERT_TRUE(chosen);
        // The argument is ignored; the pattern kept scores lowest, the first on a tie.
        clsQRCode fixed;
        for (int m = 0; m < 8; ++m) {
            const auto other = Encode(fixed, text, 0, EcQ, m);
            if (m < chosen->mask) {
                EXPECT_GT(clsQRCode::PenaltyScore(*other), clsQRCode::PenaltyScore(*chosen)) << m;
            } else {
                EXPECT_GE(clsQRCode::PenaltyScore(*other), clsQRCode::PenaltyScore(*chosen)) << m;
            }
            if (m == chosen->mask) {
                EXPECT_EQ(other->modules, chosen->modules);
            }
        }
    }
    q.SetAutoMask(false);
    EXPECT_EQ(Encode(q, text, 0, EcQ, -100)->mask, 0);
}

TEST(Symbol, SameInputSameSymbol)
{
    clsQRCode q;
    const std::string text = "同一输入 same input 12345";
    const auto a = Encode(q, text);
    Encode(q, std::string(900, 'x'), 0, EcL, 5); // an unrelated call between the two
    const auto b = Encode(q, text);
    ASSERT_TRUE(a && b);
    EXPECT_EQ(a->modules, b->modules);
    EXPECT_EQ(a->codewords, b->codewords);
}

} // namespace

#include "penalty_reference.h"

namespace {

TEST(Symbol, PenaltyScoreAgreesWithTheModuleByModuleReading)
{
    clsQRCode q;
    uint32_t seed = 99;
    for (int i = 0; i < 240; ++i) {
        std::string data;
        const int len = 1 + static_cast<int>(seed % 700);
        for (int j = 0; j < len; ++j) {
            seed = seed * 1664525u + 1013904223u;
            // Random bytes, and runs of one character, which make long runs and large patterns.
            data += i % 3 == 0   ? static_cast<char>(seed >> 24)
                    : i % 3 == 1 ? 'U'
                                 : static_cast<char>('0' + (j / 7) % 2);
        }
        const auto s = Encode(q, data, 0, 1 + i % 4, i % 8);
        ASSERT_TRUE(s);
        ASSERT_EQ(clsQRCode::PenaltyScore(*s), ReferencePenalty(*s)) << "input " << i << " version " << s->version;
    }
}

TEST(Symbol, TypedEntryTellsWhyThereIsNoSymbol)
{
    clsQRCode q;
    const std::string digits(18, '1'), tooLong(clsQRCode::kMaxInputBytes + 1, '7');
    auto bytes = [](const std::string& s) { return std::span(reinterpret_cast<const uint8_t*>(s.data()), s.size()); };
    struct Case {
        const std::string* data;
        EncodeOptions options;
        EncodeError error;
    };
    const Case cases[] = {
        {&digits, {41, EcLevel::L, MaskChoice::Pattern0}, EncodeError::NoSuchVersion},
        {&digits, {0, EcLevel::L, MaskChoice::Pattern0}, EncodeError::NoSuchVersion}, // 0 is no version here
        {&tooLong, {std::nullopt, EcLevel::L, MaskChoice::Automatic}, EncodeError::InputTooLong},
        {&digits, {1, EcLevel::H, MaskChoice::Pattern0}, EncodeError::DoesNotFit}, // 74 data bits, room for 72
    };
    for (const Case& c : cases) {
        const auto symbol = q.Encode(bytes(*c.data), c.options);
        ASSERT_FALSE(symbol);
        EXPECT_EQ(symbol.error(), c.error);
    }
    // What it makes carries the level and mask asked for, as the int32_t entry makes it.
    const auto typed = q.Encode(bytes(digits), {std::nullopt, EcLevel::H, MaskChoice::Pattern5});
    ASSERT_TRUE(typed);
    EXPECT_EQ(typed->level, EcLevel::H);
    EXPECT_EQ(typed->mask, 5);
    EXPECT_EQ(typed->width, typed->size);
    EXPECT_EQ(typed->height, typed->size);
    EXPECT_EQ(typed->modules, Encode(q, digits, 0, EcH, 5)->modules);
    const auto automatic = q.Encode(bytes(digits), {std::nullopt, EcLevel::H, MaskChoice::Automatic});
    q.SetAutoMask(true);
    ASSERT_TRUE(automatic);
    EXPECT_EQ(automatic->modules, Encode(q, digits, 0, EcH, 0)->modules);
}

} // namespace
