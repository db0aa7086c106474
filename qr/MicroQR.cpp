// The Micro QR entry: version choice, padding, check codewords, modules.
#include "MicroQR.h"

#include <algorithm>
#include <array>
#include <memory>

#include "MicroParts.h"
#include "clsReedSolomon.h"

namespace micro {

std::optional<int32_t> SymbolNumber(int32_t version, EcLevel level)
{
    for (int32_t s = 0; s < 8; ++s)
        if (kSymbols[s].version == version && kSymbols[s].level == level) return s;
    return std::nullopt;
}

SegmentRules RulesFor(int32_t v)
{
    // Indexed by SegmentMode: byte, numeric, alphanumeric, Kanji. M1 has numeric only,
    // M2 adds alphanumeric, M3 and M4 have all four.
    SegmentRules r{};
    r.modeBits = v - 1;
    r.modeValue[0] = 2;
    r.modeValue[1] = 0;
    r.modeValue[2] = 1;
    r.modeValue[3] = 3;
    r.countBits[0] = v >= 3 ? v + 1 : 0;
    r.countBits[1] = v + 2;
    r.countBits[2] = v >= 2 ? v + 1 : 0;
    r.countBits[3] = v >= 3 ? v : 0;
    r.terminatorBits = 2 * v + 1;
    return r;
}

} // namespace micro

namespace {

using micro::SymbolSpec;

// Terminator (cut short at the end of the capacity), zeros to the codeword boundary, then
// the pad codewords 0xEC 0x11 ...; a last 4-bit codeword left over stays 0000.
void Pad(uint8_t* bytes, int32_t dataBits, int32_t capacity, int32_t terminatorBits)
{
    int32_t position = std::min(capacity, dataBits + terminatorBits);
    position = std::min(capacity, (position + 7) / 8 * 8);
    for (uint8_t pad = 0xEC; position + 8 <= capacity; position += 8, pad ^= 0xEC ^ 0x11) bytes[position / 8] = pad;
}

const std::shared_ptr<const clsFiniteField>& Field()
{
    static const std::shared_ptr<const clsFiniteField> field = [] {
        auto f = std::make_shared<clsFiniteField>();
        f->Init(256, 0x11D, 2);
        return std::shared_ptr<const clsFiniteField>(std::move(f));
    }();
    return field;
}

// The check codewords of the single block, written after the data codewords. A 4-bit last
// data codeword enters the division as its byte, low bits zero.
void AddCheckCodewords(uint8_t* codewords, int32_t dataCodewords, int32_t checkCodewords)
{
    clsReedSolomon coder;
    coder.Init(dataCodewords, checkCodewords, Field(), 0, 0);
    std::array<int32_t, micro::kMaxCodewords> block{};
    for (int32_t t = 0; t < dataCodewords; ++t)
        block[static_cast<size_t>(checkCodewords + dataCodewords - 1 - t)] = codewords[t];
    coder.Encode(block.data());
    for (int32_t t = 0; t < checkCodewords; ++t)
        codewords[dataCodewords + t] = static_cast<uint8_t>(block[static_cast<size_t>(checkCodewords - 1 - t)]);
}

// The smallest symbol number at or above the request that holds the data, with its stream length.
Result<std::pair<int32_t, int32_t>> ChooseSymbol(std::span<const uint8_t> data, const MicroRequest& request)
{
    const int32_t first = request.version.value_or(1);
    const int32_t last = request.version.value_or(micro::kVersions);
    bool levelExists = false;
    for (int32_t v = first; v <= last; ++v) {
        const std::optional<int32_t> number = micro::SymbolNumber(v, request.level);
        if (!number) continue;
        levelExists = true;
        const std::optional<int32_t> bits = micro::MeasureStream(data, micro::RulesFor(v), request.kanji);
        if (bits && *bits <= micro::kSymbols[*number].dataBits) return std::pair{*number, *bits};
    }
    if (!levelExists) return Fail("the Micro QR version has no such error-correction level");
    return Fail("the data does not fit the Micro QR symbol");
}

} // namespace

Result<QRSymbol> EncodeMicro(std::span<const uint8_t> data, const MicroRequest& request)
{
    if (request.version && (*request.version < 1 || *request.version > micro::kVersions))
        return Fail("Micro QR versions are M1 to M4");
    if (request.level != EcL && request.level != EcM && request.level != EcQ)
        return Fail("Micro QR levels are L, M and Q");
    if (request.mask && (*request.mask < 0 || *request.mask > 3)) return Fail("Micro QR masks are 0 to 3");
    if (data.size() > static_cast<size_t>(micro::kMaxInputBytes))
        return Fail("the data does not fit the Micro QR symbol");
    const auto chosen = ChooseSymbol(data, request);
    if (!chosen) return Fail(chosen.error());
    const auto [number, bits] = *chosen;
    const SymbolSpec& spec = micro::kSymbols[number];
    const micro::SegmentRules rules = micro::RulesFor(spec.version);

    std::array<uint8_t, micro::kMaxCodewords + 8> codewords{};
    micro::WriteStream(codewords.data(), data, rules, request.kanji);
    Pad(codewords.data(), bits, spec.dataBits, rules.terminatorBits);
    const int32_t dataCodewords = micro::DataCodewords(spec);
    AddCheckCodewords(codewords.data(), dataCodewords, spec.checkCodewords);

    // The placed bits: data without the unused half of a 4-bit codeword, then the check codewords.
    std::array<uint8_t, micro::kMaxCodewords> placed{};
    const int32_t checkBits = 8 * spec.checkCodewords;
    for (int32_t b = 0; b < spec.dataBits + checkBits; ++b) {
        const int32_t from = b < spec.dataBits ? b : 8 * dataCodewords + (b - spec.dataBits);
        if ((codewords[static_cast<size_t>(from >> 3)] >> (7 - (from & 7))) & 1)
            placed[static_cast<size_t>(b >> 3)] |= static_cast<uint8_t>(0x80 >> (b & 7));
    }

    QRSymbol symbol;
    symbol.version = spec.version;
    symbol.level = spec.level;
    symbol.codewords.assign(codewords.begin(), codewords.begin() + dataCodewords + spec.checkCodewords);
    micro::BuildModules(symbol, number, placed, spec.dataBits + checkBits, request.mask);
    return symbol;
}
