// The encoder entry: version choice, padding, blocks, placement, masking.
#include "clsQRCode.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <mutex>

#include "FunctionPatterns.h"
#include "ModuleRows.h"
#include "QRBitWriter.h"
#include "QRBlocks.h"
#include "QRLayout.h"
#include "QRPenalty.h"

namespace {

constexpr int32_t kFirstVersion[3] = {1, 10, 27};
constexpr int32_t kLastVersion[3] = {9, 26, 40};

void WriteFormat(uint8_t* m, int32_t n, EcLevel level, int32_t mask)
{
    const int32_t f = qrtable::FormatBits(level, mask);
    for (const FormatCell& c : FormatCells(n)) m[c.y * (n + 3) + c.x] = static_cast<uint8_t>((f >> c.bit) & 1);
}

} // namespace

clsQRCode::clsQRCode() {} // stream_ is written before it is read

clsQRCode::~clsQRCode() = default;

// A layout depends on the version alone: made on first use and shared by every
// encoder of the process, so a fresh encoder pays for none it has seen before.
const QRLayout& clsQRCode::Layout(int32_t version)
{
    static std::once_flag once[qrtable::kMaxVersion];
    static std::unique_ptr<const QRLayout> layouts[qrtable::kMaxVersion];
    const size_t slot = static_cast<size_t>(version - 1);
    std::call_once(once[slot], [version, slot] { layouts[slot] = std::make_unique<const QRLayout>(version); });
    return *layouts[slot];
}

int32_t clsQRCode::ChooseVersion(const uint8_t* data, int32_t count, std::optional<int32_t> version, EcLevel level)
{
    // The fit tests compare data bits with the capacity: a terminator that does
    // not fit is cut short, as the standard allows.
    const int32_t header = HeaderBits();
    const Segmenter::Census census = segmenter_.TakeCensus(data, count);
    if (version) {
        const auto bits = segmenter_.Plan(data, count, QrSegmentRules(*version), &modes_, census);
        return bits && header + *bits <= 8 * qrtable::DataCodewords(*version, level) ? *version : 0;
    }
    // One search serves a whole group of versions; groups that cannot hold even the
    // cheapest conceivable stream are not searched.
    for (int g = 0; g < 3; ++g) {
        const SegmentRules& rules = QrSegmentRules(kFirstVersion[g]);
        if (g < 2 &&
            header + Segmenter::MinimumDataBits(census, rules) > 8 * qrtable::DataCodewords(kLastVersion[g], level))
            continue;
        const auto bits = segmenter_.Plan(data, count, rules, &modes_, census);
        for (int32_t v = kFirstVersion[g]; bits && v <= kLastVersion[g]; ++v)
            if (header + *bits <= 8 * qrtable::DataCodewords(v, level)) return v;
    }
    return 0;
}

void clsQRCode::WriteDataCodewords(const uint8_t* data, int32_t count, int32_t version, EcLevel level)
{
    uint8_t* stream = stream_.data();
    const int32_t capacity = 8 * qrtable::DataCodewords(version, level);
    const int32_t header = HeaderBits();
    if (header) {
        QRBitWriter out(stream);
        if (append_) // mode 0011, position, total - 1, parity
            out.Put(0x3u << 16 | static_cast<uint32_t>(append_->position & 0xF) << 12 |
                        static_cast<uint32_t>((append_->total - 1) & 0xF) << 8 | append_->parity,
                    AppendHeader::kBits);
        if (eci_ >= 0) out.Put(0x7u << 8 | static_cast<uint32_t>(eci_), kEciHeaderBits); // mode 0111, 8-bit designator
        out.Flush();
    }
    // Terminator included.
    const int32_t end = Segmenter::Write(stream, data, count, QrSegmentRules(version), modes_, header);
    // Pad pattern 1110 1100 0001 0001 from the bit after the terminator.
    if (end < capacity) {
        QRBitWriter pad(stream, end);
        for (int32_t left = capacity - end; left > 0; left -= 16) {
            const int take = left < 16 ? static_cast<int>(left) : 16;
            pad.Put(0xEC11u >> (16 - take), take);
        }
        pad.Flush();
    }
}

int32_t clsQRCode::ChooseMask(const QRLayout& layout, const std::vector<QRBits>& dataRows,
                              const std::vector<QRBits>& dataColumns, EcLevel level) const
{
    const int32_t n = layout.n;
    std::vector<QRBits> rows(static_cast<size_t>(n)), columns(static_cast<size_t>(n));
    const auto cells = FormatCells(n);
    const std::vector<QRBits>& darkColumns = layout.DarkColumns();
    int32_t best = 0, bestScore = 0;
    for (int32_t mask = 0; mask < 8; ++mask) {
        for (int32_t i = 0; i < n; ++i) {
            const size_t k = static_cast<size_t>(i);
            rows[k] = layout.darkRows[k] ^ dataRows[k] ^ (MaskRow(mask, i) & layout.freeRows[k]);
            columns[k] = darkColumns[k] ^ dataColumns[k] ^ (MaskColumn(mask, i) & layout.freeColumns[k]);
        }
        const int32_t f = qrtable::FormatBits(level, mask);
        for (const FormatCell& c : cells)
            if ((f >> c.bit) & 1) {
                rows[static_cast<size_t>(c.y)].Set(c.x);
                columns[static_cast<size_t>(c.x)].Set(c.y);
            }
        // A mask is kept only below the best score so far: scoring may stop there.
        const int32_t score = PenaltyFromBits(rows, columns, n, mask == 0 ? INT32_MAX : bestScore);
        if (mask == 0 || score < bestScore) {
            best = mask;
            bestScore = score;
        }
    }
    return best;
}

void clsQRCode::BuildModules(QRSymbol& symbol, MaskChoice choice)
{
    const QRLayout& layout = Layout(symbol.version);
    const int32_t n = layout.n;
    std::vector<QRBits> dataColumns(static_cast<size_t>(n)), dataRows;
    layout.PlaceMessage(symbol.codewords, dataColumns);
    TransposeBits(dataColumns, dataRows, n);

    const int32_t mask = choice == MaskChoice::Automatic ? ChooseMask(layout, dataRows, dataColumns, symbol.level)
                                                         : static_cast<int32_t>(choice);
    // Function patterns, then the masked message bits in the free modules.
    for (int32_t y = 0; y < n; ++y) {
        const size_t k = static_cast<size_t>(y);
        dataRows[k] = layout.darkRows[k] ^ dataRows[k] ^ (MaskRow(mask, y) & layout.freeRows[k]);
    }
    symbol.width = symbol.height = symbol.size = n;
    symbol.stride = layout.stride;
    symbol.mask = mask;
    StoreModules(dataRows, n, n, symbol.modules);
    WriteFormat(symbol.modules.data(), n, symbol.level, mask);
}

Result<QRSymbol, EncodeError> clsQRCode::Encode(std::span<const uint8_t> bytes, const EncodeOptions& options)
{
    if (options.version && !qrtable::ValidVersion(*options.version)) return Fail(EncodeError::NoSuchVersion);
    if (bytes.size() > kMaxInputBytes) return Fail(EncodeError::InputTooLong);
    const uint8_t* data = bytes.data();
    const int32_t count = static_cast<int32_t>(bytes.size());

    const int32_t chosen = ChooseVersion(data, count, options.version, options.level);
    if (chosen == 0) return Fail(EncodeError::DoesNotFit);
    WriteDataCodewords(data, count, chosen, options.level);

    QRSymbol symbol;
    symbol.version = chosen;
    symbol.level = options.level;
    symbol.codewords.resize(static_cast<size_t>(qrtable::TotalCodewords(chosen)));
    const BlockShape shape(qrtable::DataCodewords(chosen, options.level), qrtable::EcBlockCount(chosen, options.level),
                           qrtable::EcCodewordsPerBlock(chosen, options.level));
    if (!EncodeBlocks(stream_.data(), shape, symbol.codewords.data()))
        return Fail(EncodeError::NoSuchVersion); // not for 1..40
    BuildModules(symbol, options.mask);
    return symbol;
}

Result<QRSymbol, EncodeError> clsQRCode::Encode(std::span<const uint8_t> bytes, const EncodeOptions& options,
                                                const AppendHeader& header)
{
    append_ = header;
    auto symbol = Encode(bytes, options);
    append_.reset();
    return symbol;
}

std::optional<QRSymbol> clsQRCode::EncodeSymbol(std::span<const uint8_t> bytes, int32_t version, int32_t level,
                                                int32_t mask)
{
    if (version < 0) return std::nullopt;
    EncodeOptions options;
    if (qrtable::ValidVersion(version)) options.version = version;
    options.level = CoerceLevel(level);
    options.mask = autoMask_ ? MaskChoice::Automatic : MaskPattern(mask).value_or(MaskChoice::Pattern0);
    auto symbol = Encode(bytes, options);
    if (!symbol) return std::nullopt;
    return std::move(*symbol);
}

std::vector<int32_t> clsQRCode::AlignmentCentres(int32_t v)
{
    const qrtable::Centres centres = qrtable::AlignmentCentres(v);
    return {centres.at.begin(), centres.at.begin() + centres.count};
}

int32_t clsQRCode::BuildBitStream(uint8_t* bits, std::span<const uint8_t> data, int32_t version, bool sizeOnly) const
{
    if (data.size() > kMaxInputBytes) return -1;
    const uint8_t* bytes = data.data();
    const int32_t count = static_cast<int32_t>(data.size());
    const SegmentRules& rules = QrSegmentRules(version);
    if (count == 0) {
        if (bits) bits[0] &= 0x0F;
        return rules.terminatorBits;
    }
    const Segmenter::Census census = segmenter_.TakeCensus(bytes, count);
    // Byte mode carries anything: QR's rules always give a plan.
    std::vector<uint8_t> modes;
    const auto planned = segmenter_.Plan(bytes, count, rules, sizeOnly ? nullptr : &modes, census);
    if (sizeOnly) return planned.value_or(0) + rules.terminatorBits;
    return Segmenter::Write(bits, bytes, count, rules, modes);
}

std::vector<SegmentMode> clsQRCode::PlanSegments(std::span<const uint8_t> data, int32_t version) const
{
    std::vector<SegmentMode> result;
    if (data.empty() || data.size() > kMaxInputBytes) return result;
    std::vector<uint8_t> modes;
    const int32_t count = static_cast<int32_t>(data.size());
    segmenter_.Plan(data.data(), count, QrSegmentRules(version), &modes, segmenter_.TakeCensus(data.data(), count));
    result.reserve(modes.size());
    for (uint8_t m : modes) result.push_back(static_cast<SegmentMode>(m));
    return result;
}

void clsQRCode::DrawFunctionPatterns(uint8_t* m, int32_t v)
{
    const int32_t n = qrtable::SymbolSize(v);
    if (n == 0) return;
    FunctionMap map(n, n);
    DrawQrFunctionPatterns(map, v);
    for (int32_t y = 0; y < n; ++y)
        for (int32_t x = 0; x < n; ++x)
            if (map.used[static_cast<size_t>(y)].Get(x))
                m[y * (n + 3) + x] = map.dark[static_cast<size_t>(y)].Get(x) ? 1 : 2;
}

int32_t clsQRCode::PenaltyScore(const QRSymbol& symbol)
{
    std::vector<QRBits> rows(static_cast<size_t>(symbol.size)), columns;
    for (int32_t y = 0; y < symbol.size; ++y)
        for (int32_t x = 0; x < symbol.size; ++x)
            if (symbol.Dark(x, y)) rows[static_cast<size_t>(y)].Set(x);
    TransposeBits(rows, columns, symbol.size);
    return PenaltyFromBits(rows, columns, symbol.size);
}
