#include "Encode.h"

#include <algorithm>
#include <span>

#include "MicroQR.h"
#include "RmqrEncoder.h"
#include "RmqrTables.h"

namespace {
constexpr int32_t kEciUtf8 = 26;
constexpr int32_t kEciShiftJis = 20; // what --kanji reads the bytes as
} // namespace

namespace {

// -i: ASCII letters upper-cased; with Kanji mode, a Shift JIS pair is left whole.
std::string UpperCased(std::string_view payload, bool kanji)
{
    std::string out(payload);
    for (size_t i = 0; i < out.size(); ++i) {
        const auto b = static_cast<uint8_t>(out[i]);
        if (kanji && ((b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC))) ++i;
        else if (b >= 'a' && b <= 'z') out[i] = static_cast<char>(b - 'a' + 'A');
    }
    return out;
}

} // namespace

// -M: the smallest Micro QR version from -v (1..4) up that holds the data.
std::optional<QRSymbol> EncodeMicroPayload(std::span<const uint8_t> bytes, const EncodeSettings& s)
{
    MicroOptions options;
    options.level = static_cast<EcLevel>(s.level - 1);
    options.mask = s.mask < 0 ? MaskChoice::Automatic : static_cast<MaskChoice>(s.mask);
    options.kanji = s.kanji && !s.eightBit;
    for (int v = std::max(s.version, 1); v <= 4; ++v) {
        options.version = v;
        if (auto symbol = EncodeMicro(bytes, options)) return std::move(*symbol);
        if (s.strictVersion && s.version > 0) break;
    }
    return std::nullopt;
}

// --rmqr: the size named, or the smallest (within --rmqr-height rows) that holds the data.
std::optional<QRSymbol> EncodeRmqrPayload(std::span<const uint8_t> bytes, const EncodeSettings& s)
{
    RmqrOptions options;
    options.level = s.levelGiven ? static_cast<EcLevel>(s.level - 1) : EcLevel::M;
    if (!s.rmqrSize.empty()) options.size = RmqrSizeChoice::Named(*RmqrSizeByName(s.rmqrSize));
    else if (s.rmqrHeight > 0) options.size = RmqrSizeChoice::AtMostRows(s.rmqrHeight);
    auto symbol = EncodeRmqr(bytes, options);
    if (!symbol) return std::nullopt;
    return std::move(*symbol);
}

std::optional<QRSymbol> EncodePayload(clsQRCode& encoder, std::string_view text, const EncodeSettings& s)
{
    const std::string folded = s.ignoreCase && !s.eightBit ? UpperCased(text, s.kanji) : std::string();
    const std::string_view payload = s.ignoreCase && !s.eightBit ? std::string_view(folded) : text;
    encoder.SetByteMode(s.eightBit);
    encoder.SetKanjiMode(s.kanji && !s.eightBit);
    encoder.SetAutoMask(s.mask < 0);
    encoder.SetEci(!s.eci ? -1 : s.kanji ? kEciShiftJis : kEciUtf8);
    const std::span bytes(reinterpret_cast<const uint8_t*>(payload.data()), payload.size());
    if (s.micro) return EncodeMicroPayload(bytes, s);
    if (s.rmqr) return EncodeRmqrPayload(bytes, s);
    // -v is the smallest version, as in qrencode. Capacity grows with the
    // version, so when the data does not fit it, the smallest that fits at all is larger.
    if (s.version > 0)
        if (auto symbol = encoder.EncodeSymbol(bytes, s.version, s.level, s.mask); symbol || s.strictVersion)
            return symbol;
    auto symbol = encoder.EncodeSymbol(bytes, 0, s.level, s.mask);
    if (symbol && symbol->version < s.version) {
        symbol.reset();
        for (int v = s.version + 1; !symbol && v <= 40; ++v) symbol = encoder.EncodeSymbol(bytes, v, s.level, s.mask);
    }
    return symbol;
}

std::string DoesNotFit(const EncodeSettings& s)
{
    if (s.rmqr)
        return std::string("the data does not fit ") + (s.rmqrSize.empty() ? "any rMQR size" : s.rmqrSize) +
               " at level " + (s.levelGiven ? "LMQH"[s.level - 1] : 'M') +
               (s.levelGiven && s.level != 2 && s.level != 4 ? " (rMQR has levels M and H)" : "");
    const int version = s.strictVersion && s.version > 0 ? s.version : s.micro ? 4 : 40;
    return std::string("the data does not fit ") + (s.micro ? "Micro QR version M" : "version ") +
           std::to_string(version) + " at level " + "LMQH"[s.level - 1];
}
