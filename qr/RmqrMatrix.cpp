#include "RmqrMatrix.h"

#include <memory>
#include <mutex>

#include "ModuleRows.h"
#include "QRLayout.h"
#include "RmqrTables.h"

namespace {

constexpr uint64_t kAlignment3[3] = {0x7, 0x5, 0x7}; // dark ring, light centre
constexpr uint64_t kCornerTopRight[2] = {0x3, 0x2};
constexpr uint64_t kCornerBottomLeft[2] = {0x1, 0x3};

// The format word's cells on one side: bits 0 ... 14 fill a 3 x 5 block column by column from (x0, y0), bits
// 15 ... 17 three cells from (x1, y1), down a column beside the finder, along a row above the sub-finder.
void DrawFormat(FunctionMap& map, int32_t x0, int32_t y0, int32_t x1, int32_t y1, bool column, uint32_t word)
{
    for (int32_t bit = 0; bit < 18; ++bit) {
        const int32_t x = bit < 15 ? x0 + bit / 5 : x1 + (column ? 0 : bit - 15);
        const int32_t y = bit < 15 ? y0 + bit % 5 : y1 + (column ? bit - 15 : 0);
        map.Mark(x, y, (word >> bit) & 1, 1);
    }
}

// A layout depends on the size and the level alone (the format word is drawn with the patterns): made on first
// use and shared by the process, as QR's are.
const QRLayout& RmqrLayout(int32_t index, EcLevel level)
{
    static std::once_flag once[2 * kRmqrSizes];
    static std::unique_ptr<const QRLayout> layouts[2 * kRmqrSizes];
    const size_t slot = static_cast<size_t>(2 * index + RmqrLevelIndex(level));
    std::call_once(once[slot], [index, level, slot] {
        // The column pairs start left of the rightmost column, which holds only function modules.
        const int32_t skipped = RmqrSizeAt(index).width - 1;
        layouts[slot] = std::make_unique<const QRLayout>(RmqrFunctionMap(index, level), skipped, index + 1);
    });
    return *layouts[slot];
}

} // namespace

FunctionMap RmqrFunctionMap(int32_t index, EcLevel level)
{
    const RmqrSize& s = RmqrSizeAt(index);
    const int32_t w = s.width, h = s.height;
    FunctionMap map(w, h);
    DrawTimingRow(map, 0, 0, w);
    DrawTimingRow(map, h - 1, 0, w);
    DrawTimingColumn(map, 0, 0, h);
    DrawTimingColumn(map, w - 1, 0, h);
    // Alignment columns: a timing line between 3 x 3 patterns on the top and bottom edges.
    for (const int32_t c : RmqrAlignmentColumns(w)) {
        DrawTimingColumn(map, c, 0, h);
        DrawPattern(map, c - 1, 0, kAlignment3, 3);
        DrawPattern(map, c - 1, h - 3, kAlignment3, 3);
    }
    // The finder's separator takes the bottom-left corner pattern's upper half in symbols of 7 and 9 rows.
    DrawPattern(map, w - 2, 0, kCornerTopRight, 2);
    DrawPattern(map, 0, h - 2, kCornerBottomLeft, 2);
    DrawAlignment(map, w - 3, h - 3); // the sub-finder
    DrawFinder(map, 0, 0);
    DrawFormat(map, 8, 1, 11, 1, true, RmqrFormatBits(level, index, true));
    DrawFormat(map, w - 8, h - 6, w - 5, h - 6, false, RmqrFormatBits(level, index, false));
    return map;
}

void BuildRmqrModules(QRSymbol& symbol, int32_t index)
{
    const QRLayout& layout = RmqrLayout(index, symbol.level);
    const int32_t w = layout.width, h = layout.height;
    std::vector<QRBits> columns(static_cast<size_t>(w)), rows(static_cast<size_t>(h));
    layout.PlaceMessage(symbol.codewords, columns);
    // Function patterns and the mask first; the message bits, which fall on free modules only, then flip theirs:
    // fewer steps than turning the columns into rows.
    for (int32_t y = 0; y < h; ++y) {
        const size_t k = static_cast<size_t>(y);
        rows[k] = layout.darkRows[k] ^ (MaskRow(kRmqrMaskPattern, y) & layout.freeRows[k]);
    }
    StoreModules(rows, w, h, symbol.modules);
    uint8_t* modules = symbol.modules.data();
    for (int32_t x = 0; x < w; ++x)
        for (uint64_t bits = columns[static_cast<size_t>(x)].w[0]; bits; bits &= bits - 1)
            modules[__builtin_ctzll(bits) * layout.stride + x] ^= 1;
    symbol.width = symbol.size = w;
    symbol.height = h;
    symbol.stride = layout.stride;
    symbol.mask = kRmqrMaskPattern;
}
