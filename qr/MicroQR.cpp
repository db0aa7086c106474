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

// GF(256) and the generator polynomials of every check length, from the general field and
// code classes, made once per process.
struct CheckTables {
    // Powers of 2 twice over, so that a sum of two logarithms needs no reduction.
    std::array<uint8_t, 512> exp{};
    std::array<uint8_t, 256> log{};
    // Coefficients of x^(e-1) .. x^0 of each generator (its leading 1 left out), as logarithms.
    std::array<std::array<uint8_t, micro::kMaxCheckCodewords>, micro::kMaxCheckCodewords + 1> generatorLog{};

    CheckTables()
    {
        auto field = std::make_shared<clsFiniteField>();
        field->Init(256, 0x11D, 2);
        for (int32_t i = 0; i < 512; ++i) exp[static_cast<size_t>(i)] = static_cast<uint8_t>(field->ExpTable(i % 255));
        for (int32_t i = 1; i < 256; ++i) log[static_cast<size_t>(i)] = static_cast<uint8_t>(field->LogTable(i));
        clsReedSolomon coder;
        for (const micro::SymbolSpec& s : micro::kSymbols) {
            const int32_t e = s.checkCodewords;
            coder.Init(micro::DataCodewords(s), e, field, 0, 0);
            for (int32_t i = 0; i < e; ++i)
                generatorLog[static_cast<size_t>(e)][static_cast<size_t>(i)] =
                    log[static_cast<size_t>(coder.GeneratorCoefficient(e - 1 - i))];
        }
    }
};

// The check codewords of the single block, written after the data codewords: the remainder of
// the division by the generator. A 4-bit last data codeword enters as its byte, low bits zero.
void AddCheckCodewords(uint8_t* codewords, int32_t dataCodewords, int32_t checkCodewords)
{
    static const CheckTables tables;
    const auto& g = tables.generatorLog[static_cast<size_t>(checkCodewords)];
    uint8_t* r = codewords + dataCodewords; // highest power first, zero at the start
    for (int32_t t = 0; t < dataCodewords; ++t) {
        const uint8_t factor = codewords[t] ^ r[0];
        if (factor == 0) {
            for (int32_t i = 0; i + 1 < checkCodewords; ++i) r[i] = r[i + 1];
            r[checkCodewords - 1] = 0;
            continue;
        }
        const size_t logFactor = tables.log[factor];
        for (int32_t i = 0; i + 1 < checkCodewords; ++i)
            r[i] = r[i + 1] ^ tables.exp[logFactor + g[static_cast<size_t>(i)]];
        r[checkCodewords - 1] = tables.exp[logFactor + g[static_cast<size_t>(checkCodewords - 1)]];
    }
}

// The smallest symbol number at or above the request that holds the data, with its stream length;
// the planner keeps that version's segmentation.
Result<std::pair<int32_t, int32_t>> ChooseSymbol(micro::SegmentPlanner& planner, const MicroRequest& request)
{
    const int32_t first = request.version.value_or(1);
    const int32_t last = request.version.value_or(micro::kVersions);
    bool levelExists = false;
    for (int32_t v = first; v <= last; ++v) {
        const std::optional<int32_t> number = micro::SymbolNumber(v, request.level);
        if (!number) continue;
        levelExists = true;
        const std::optional<int32_t> bits = planner.Plan(micro::RulesFor(v), micro::kSymbols[*number].dataBits);
        if (bits) return std::pair{*number, *bits};
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
    micro::SegmentPlanner planner(data, request.kanji);
    const auto chosen = ChooseSymbol(planner, request);
    if (!chosen) return Fail(chosen.error());
    const auto [number, bits] = *chosen;
    const SymbolSpec& spec = micro::kSymbols[number];
    const micro::SegmentRules rules = micro::RulesFor(spec.version);

    std::array<uint8_t, micro::kMaxCodewords + 8> codewords{};
    planner.Write(codewords.data());
    Pad(codewords.data(), bits, spec.dataBits, rules.terminatorBits);
    const int32_t dataCodewords = micro::DataCodewords(spec);
    AddCheckCodewords(codewords.data(), dataCodewords, spec.checkCodewords);

    QRSymbol symbol;
    symbol.version = spec.version;
    symbol.level = spec.level;
    symbol.codewords.assign(codewords.begin(), codewords.begin() + dataCodewords + spec.checkCodewords);
    micro::BuildModules(symbol, number, symbol.codewords, spec.dataBits, request.mask);
    return symbol;
}
