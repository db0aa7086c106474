#include "Encode.h"

#include <span>

namespace {
constexpr int32_t kEciUtf8 = 26;
}

std::optional<QRSymbol> EncodePayload(clsQRCode& encoder, std::string_view payload, const EncodeSettings& s)
{
    encoder.SetKanjiMode(s.kanji);
    encoder.SetAutoMask(s.mask < 0);
    encoder.SetEci(s.eci ? kEciUtf8 : -1);
    return encoder.EncodeSymbol(std::span(reinterpret_cast<const uint8_t*>(payload.data()), payload.size()), s.version,
                                s.level, s.mask);
}

std::string DoesNotFit(const EncodeSettings& s)
{
    return "the data does not fit " + (s.version ? "version " + std::to_string(s.version) : std::string("version 40")) +
           " at level " + "LMQH"[s.level - 1];
}
