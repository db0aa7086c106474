#include "Encode.h"

#include "Files.h"

std::optional<QRSymbol> EncodePayload(clsQRCode& encoder, std::string_view payload, const EncodeSettings& s)
{
    if (payload.size() > kMaxInputBytes) return std::nullopt;
    encoder.SetKanjiMode(s.kanji);
    const int32_t mask = s.mask < 0 ? kMaskAuto : s.mask;
    return encoder.EncodeSymbol(reinterpret_cast<const uint8_t*>(payload.data()), static_cast<int32_t>(payload.size()),
                                s.version, s.level, mask);
}

std::string DoesNotFit(const EncodeSettings& s)
{
    return "the data does not fit " + (s.version ? "version " + std::to_string(s.version) : std::string("version 40")) +
           " at level " + "LMQH"[s.level - 1];
}
