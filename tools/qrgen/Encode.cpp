#include "Encode.h"

#include <span>

namespace {
constexpr int32_t kEciUtf8 = 26;
constexpr int32_t kEciShiftJis = 20; // what --kanji reads the bytes as
} // namespace

std::optional<QRSymbol> EncodePayload(clsQRCode& encoder, std::string_view payload, const EncodeSettings& s)
{
    encoder.SetKanjiMode(s.kanji);
    encoder.SetAutoMask(s.mask < 0);
    encoder.SetEci(!s.eci ? -1 : s.kanji ? kEciShiftJis : kEciUtf8);
    const std::span bytes(reinterpret_cast<const uint8_t*>(payload.data()), payload.size());
    // -v is the smallest version, as in qrencode. Capacity grows with the
    // version, so when the data does not fit it, the smallest that fits at all is larger.
    if (s.version > 0)
        if (auto symbol = encoder.EncodeSymbol(bytes, s.version, s.level, s.mask)) return symbol;
    auto symbol = encoder.EncodeSymbol(bytes, 0, s.level, s.mask);
    if (symbol && symbol->version < s.version) {
        symbol.reset();
        for (int v = s.version + 1; !symbol && v <= 40; ++v) symbol = encoder.EncodeSymbol(bytes, v, s.level, s.mask);
    }
    return symbol;
}

std::string DoesNotFit(const EncodeSettings& s)
{
    return std::string("the data does not fit version 40 at level ") + "LMQH"[s.level - 1];
}
