// The Micro QR entry: version choice, padding, check codewords, modules.
#include "MicroQR.h"

#include <algorithm>
#include <array>
#include <vector>

#include "MicroParts.h"
#include "QRBlocks.h"

namespace micro {

std::optional<int32_t> SymbolNumber(int32_t version, EcLevel level)
{
    for (int32_t s = 0; s < 8; ++s)
        if (kSymbols[s].version == version && kSymbols[s].level == level) return s;
    return std::nullopt;
}

namespace {

// Indexed by SegmentMode: byte, numeric, alphanumeric, Kanji.
constexpr SegmentRules Rules(int32_t v)
{
    SegmentRules r;
    r.modeBits = v - 1;
    r.modeIndicator = {2, 0, 1, 3};
    r.countBits = {static_cast<uint8_t>(v >= 3 ? v + 1 : 0), static_cast<uint8_t>(v + 2),
                   static_cast<uint8_t>(v >= 2 ? v + 1 : 0), static_cast<uint8_t>(v >= 3 ? v : 0)};
    r.terminatorBits = 2 * v + 1;
    return r;
}
constexpr SegmentRules kRules[kVersions] = {Rules(1), Rules(2), Rules(3), Rules(4)};

} // namespace

const SegmentRules& MicroSegmentRules(int32_t version) { return kRules[version - 1]; }

} // namespace micro

namespace {

using micro::SymbolCapacity;

// What the stream needs beside the data: the chosen symbol, the segment modes and the bits.
struct Plan {
    int32_t number = 0;
    int32_t bits = 0;
    std::vector<uint8_t> modes;
};

// The smallest symbol at or above the request that holds the data at the level.
Result<Plan, MicroError> ChooseSymbol(std::span<const uint8_t> data, const MicroOptions& options)
{
    Segmenter segmenter;
    segmenter.SetKanjiMode(options.kanji);
    const int32_t count = static_cast<int32_t>(data.size());
    const Segmenter::Census census = segmenter.TakeCensus(data.data(), count);
    bool levelExists = false;
    Plan plan;
    for (int32_t v = options.version.value_or(1); v <= options.version.value_or(micro::kVersions); ++v) {
        const std::optional<int32_t> number = micro::SymbolNumber(v, options.level);
        if (!number) continue;
        levelExists = true;
        const SegmentRules& rules = micro::MicroSegmentRules(v);
        const int32_t capacity = micro::kSymbols[*number].dataBits;
        if (Segmenter::MinimumDataBits(census, rules) > capacity) continue;
        const std::optional<int32_t> bits = segmenter.Plan(data.data(), count, rules, &plan.modes, census);
        if (!bits || *bits > capacity) continue;
        plan.bits = *bits;
        plan.number = *number;
        return plan;
    }
    return Fail(levelExists ? MicroError::DoesNotFit : MicroError::NoSuchLevel);
}

// After the terminator (cut short at the end of the capacity), zeros to the codeword boundary,
// then the pad codewords 0xEC 0x11 ...; a last 4-bit codeword left over stays 0000.
void Pad(uint8_t* bytes, int32_t dataBits, int32_t capacity, int32_t terminatorBits)
{
    int32_t position = std::min(capacity, dataBits + terminatorBits);
    position = std::min(capacity, (position + 7) / 8 * 8);
    for (uint8_t pad = 0xEC; position + 8 <= capacity; position += 8, pad ^= 0xEC ^ 0x11) bytes[position / 8] = pad;
}

} // namespace

Result<QRSymbol, MicroError> EncodeMicro(std::span<const uint8_t> data, const MicroOptions& options)
{
    if (options.version && (*options.version < 1 || *options.version > micro::kVersions))
        return Fail(MicroError::NoSuchVersion);
    if (options.level == EcLevel::H) return Fail(MicroError::NoSuchLevel);
    std::optional<int32_t> mask;
    if (options.mask != MaskChoice::Automatic) {
        mask = static_cast<int32_t>(options.mask);
        if (*mask > 3) return Fail(MicroError::NoSuchMask);
    }
    if (data.size() > static_cast<size_t>(micro::kMaxInputBytes)) return Fail(MicroError::InputTooLong);
    auto plan = ChooseSymbol(data, options);
    if (!plan) return Fail(plan.error());
    const SymbolCapacity& chosen = micro::kSymbols[plan->number];
    const SegmentRules& rules = micro::MicroSegmentRules(chosen.version);

    // The stream with its terminator, which may run up to 9 bits past the capacity.
    std::array<uint8_t, micro::kMaxCodewords + 8> stream{};
    Segmenter::Write(stream.data(), data.data(), static_cast<int32_t>(data.size()), rules, plan->modes);
    Pad(stream.data(), plan->bits, chosen.dataBits, rules.terminatorBits);
    const int32_t dataCodewords = micro::DataCodewords(chosen);

    QRSymbol symbol;
    symbol.version = chosen.version;
    symbol.level = chosen.level;
    symbol.codewords.resize(static_cast<size_t>(dataCodewords + chosen.checkCodewords));
    // One block; a 4-bit last data codeword enters the division as its byte, low bits zero.
    if (!EncodeBlocks(stream.data(), BlockShape(dataCodewords, 1, chosen.checkCodewords), symbol.codewords.data()))
        return Fail(MicroError::DoesNotFit);
    micro::BuildModules(symbol, plan->number, symbol.codewords, chosen.dataBits, mask);
    return symbol;
}
