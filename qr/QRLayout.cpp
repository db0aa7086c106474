#include "QRLayout.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "QRPenalty.h"
#include "QRTables.h"

namespace {

// Largest q <= p whose bit equals `value`, or -1.
int LastWith(const QRBits& b, int p, bool value)
{
    for (int w = p >> 6; w >= 0; --w) {
        uint64_t bits = value ? b.w[w] : ~b.w[w];
        if (w == p >> 6 && (p & 63) != 63) bits &= (uint64_t{2} << (p & 63)) - 1;
        if (bits) return 64 * w + 63 - __builtin_clzll(bits);
    }
    return -1;
}

// Smallest q >= p whose bit equals `value`, or 192.
int FirstWith(const QRBits& b, int p, bool value)
{
    for (int w = p >> 6; w < 3; ++w) {
        uint64_t bits = value ? b.w[w] : ~b.w[w];
        if (w == p >> 6) bits &= ~uint64_t{0} << (p & 63);
        if (bits) return 64 * w + __builtin_ctzll(bits);
    }
    return 192;
}

// The even-numbered bits of x, packed: bit j of the result is bit 2j of x.
[[gnu::always_inline]] inline uint32_t EvenBits(uint64_t x)
{
    x &= 0x5555555555555555ull;
    x = (x | (x >> 1)) & 0x3333333333333333ull;
    x = (x | (x >> 2)) & 0x0F0F0F0F0F0F0F0Full;
    x = (x | (x >> 4)) & 0x00FF00FF00FF00FFull;
    x = (x | (x >> 8)) & 0x0000FFFF0000FFFFull;
    return static_cast<uint32_t>(x | (x >> 16));
}

[[gnu::always_inline]] inline uint32_t Reverse(uint32_t x)
{
    x = ((x >> 1) & 0x55555555u) | ((x & 0x55555555u) << 1);
    x = ((x >> 2) & 0x33333333u) | ((x & 0x33333333u) << 2);
    x = ((x >> 4) & 0x0F0F0F0Fu) | ((x & 0x0F0F0F0Fu) << 4);
    return __builtin_bswap32(x);
}

// ORs the 32-bit value v into b with its bit 0 at bit `at` (bits that would land
// below 0 are zero by the caller's masking).
[[gnu::always_inline]] inline void OrAt(QRBits& b, uint64_t v, int at)
{
    if (at < 0) {
        v >>= -at;
        at = 0;
    }
    const int w = at >> 6, shift = at & 63;
    b.w[w] |= v << shift;
    if (shift > 32 && w < 2) b.w[w + 1] |= v >> (64 - shift);
}

} // namespace

std::array<FormatCell, 30> FormatCells(int32_t n)
{
    std::array<FormatCell, 30> cells{};
    int k = 0;
    for (int32_t i = 0; i <= 5; ++i) cells[k++] = {i, 8, 14 - i};
    cells[k++] = {7, 8, 8};
    cells[k++] = {8, 8, 7};
    cells[k++] = {8, 7, 6};
    for (int32_t i = 0; i <= 5; ++i) cells[k++] = {8, 5 - i, 5 - i};
    for (int32_t i = 0; i <= 6; ++i) cells[k++] = {8, n - 1 - i, 14 - i};
    for (int32_t i = 0; i <= 7; ++i) cells[k++] = {n - 8 + i, 8, 7 - i};
    return cells;
}

namespace {

FunctionMap QrFunctions(int32_t version)
{
    FunctionMap map(qrtable::SymbolSize(version), qrtable::SymbolSize(version));
    DrawQrFunctionPatterns(map, version);
    DrawQrVersionInformation(map, version);
    return map;
}

// Rows to columns for any width and height, through the square transpose.
void Transpose(std::vector<QRBits> rows, std::vector<QRBits>& columns, int32_t width, int32_t height)
{
    const int32_t side = std::max(width, height);
    rows.resize(static_cast<size_t>(side));
    TransposeBits(rows, columns, side);
    columns.resize(static_cast<size_t>(width));
}

} // namespace

QRLayout::QRLayout(int32_t v) : QRLayout(QrFunctions(v), 6, v) {}

QRLayout::QRLayout(FunctionMap functions, std::optional<int32_t> skippedColumn, int32_t v)
    : version(v), width(functions.width), height(functions.height), n(functions.width), stride(functions.width + 3),
      darkRows(std::move(functions.dark)), freeRows(std::move(functions.used))
{
    for (QRBits& row : freeRows) row = functions.inside & ~row;
    if (width == height) {
        TransposeBits(freeRows, freeColumns, n);
        TransposeBits(darkRows, darkColumns_, n);
    } else {
        Transpose(freeRows, freeColumns, width, height);
        Transpose(darkRows, darkColumns_, width, height);
    }
    PlanPlacement(skippedColumn);
}

// The zigzag of ISO/IEC 18004 over column pairs from the right (skipping the
// timing column), upward and downward in turn, cut into runs of rows where both
// modules are free and the single free modules between them.
void QRLayout::PlanPlacement(std::optional<int32_t> skippedColumn)
{
    runs.reserve(static_cast<size_t>(2 * width));
    singles.reserve(static_cast<size_t>(2 * width));
    uint16_t bit = 0;
    bool upward = true;
    for (int32_t c = width - 2; c >= 0; c -= 2) {
        if (skippedColumn && c == *skippedColumn - 1) --c;
        const QRBits& left = freeColumns[static_cast<size_t>(c)];
        const QRBits& right = freeColumns[static_cast<size_t>(c + 1)];
        const QRBits both = left & right, any = left | right;
        const int step = upward ? -1 : 1;
        for (int32_t y = upward ? height - 1 : 0; y >= 0 && y < height;) {
            if (both.Get(y)) {
                const int32_t end = upward ? LastWith(both, y, false) : FirstWith(both, y, false);
                const int32_t rows = (end - y) * step;
                runs.push_back(
                    {bit, static_cast<uint8_t>(c), static_cast<uint8_t>(y), static_cast<uint8_t>(rows), upward});
                bit = static_cast<uint16_t>(bit + 2 * rows);
                y = end;
            } else if (any.Get(y)) {
                singles.push_back({bit, static_cast<uint8_t>(right.Get(y) ? c + 1 : c), static_cast<uint8_t>(y)});
                ++bit;
                y += step;
            } else {
                y = upward ? LastWith(any, y, true) : FirstWith(any, y, true);
            }
        }
        upward = !upward;
    }
}

namespace {

struct PlainBits {
    [[gnu::always_inline]] static uint32_t Even(uint64_t x) { return EvenBits(x); }
};

#if defined(__GNUC__) && defined(__x86_64__)
#define VORLANE_HAVE_BMI2 1
// Written as assembly so that it needs no target attribute; run only where the
// processor has the instruction.
struct Bmi2Bits {
    [[gnu::always_inline]] static uint32_t Even(uint64_t x)
    {
        uint64_t packed;
        asm("pextq %2, %1, %0" : "=r"(packed) : "r"(x), "r"(0x5555555555555555ull));
        return static_cast<uint32_t>(packed);
    }
};
#endif

// The runs of a layout into columns; Bits::Even packs the even bits of a word.
template <class Bits>
[[gnu::always_inline]] inline void PlaceRuns(const std::vector<QRLayout::Run>& runs, const uint8_t* message,
                                             std::vector<QRBits>& columns)
{
    auto read64 = [&](int32_t at) {
        const uint8_t* p = message + (at >> 3);
        uint64_t v;
        std::memcpy(&v, p, 8);
        v = __builtin_bswap64(v);
        const int shift = at & 7;
        return shift ? (v << shift) | (p[8] >> (8 - shift)) : v;
    };
    for (const QRLayout::Run& run : runs) {
        int32_t at = run.bit, y = run.first, left = run.rows;
        QRBits& rightColumn = columns[static_cast<size_t>(run.left + 1)];
        QRBits& leftColumn = columns[static_cast<size_t>(run.left)];
        while (left > 0) {
            const int32_t rows = std::min(left, 32);
            // 32 rows of two bits: the right module's bits sit at the odd bit
            // positions of x, counted from its top, the left module's at the even.
            const uint64_t x = read64(at);
            const uint32_t right = Bits::Even(x >> 1), leftBits = Bits::Even(x);
            if (run.upward) {
                // Bit j belongs to row y - 31 + j: the top bits are this chunk's rows.
                const uint32_t keep = static_cast<uint32_t>(~uint64_t{0} << (32 - rows));
                OrAt(rightColumn, right & keep, y - 31);
                OrAt(leftColumn, leftBits & keep, y - 31);
                y -= rows;
            } else {
                const uint32_t keep = static_cast<uint32_t>((uint64_t{1} << rows) - 1);
                OrAt(rightColumn, Reverse(right) & keep, y);
                OrAt(leftColumn, Reverse(leftBits) & keep, y);
                y += rows;
            }
            at += 2 * rows;
            left -= rows;
        }
    }
}

void PlaceRunsPlain(const std::vector<QRLayout::Run>& runs, const uint8_t* message, std::vector<QRBits>& columns)
{
    PlaceRuns<PlainBits>(runs, message, columns);
}

#ifdef VORLANE_HAVE_BMI2
void PlaceRunsBmi2(const std::vector<QRLayout::Run>& runs, const uint8_t* message, std::vector<QRBits>& columns)
{
    PlaceRuns<Bmi2Bits>(runs, message, columns);
}

// pext is one instruction where the processor has it in hardware, but microcode on
// the first two Zen generations, where the plain shifts are faster.
bool FastPext()
{
    __builtin_cpu_init();
    return __builtin_cpu_supports("bmi2") && !__builtin_cpu_is("znver1") && !__builtin_cpu_is("znver2");
}
#endif

} // namespace

void QRLayout::PlaceMessage(const std::vector<uint8_t>& codewords, std::vector<QRBits>& columns) const
{
    // The codewords with zeros after them: the remainder bits, and room to read
    // 64 bits from any bit position.
    uint8_t message[3706 + 16];
    const size_t size = std::min<size_t>(codewords.size(), 3706);
    std::memcpy(message, codewords.data(), size);
    std::memset(message + size, 0, 16);
#ifdef VORLANE_HAVE_BMI2
    static const bool fastPext = FastPext();
    if (fastPext) PlaceRunsBmi2(runs, message, columns);
    else PlaceRunsPlain(runs, message, columns);
#else
    PlaceRunsPlain(runs, message, columns);
#endif
    for (const Single& s : singles)
        if ((message[s.bit >> 3] >> (7 - (s.bit & 7))) & 1) columns[s.x].Set(s.y);
}
