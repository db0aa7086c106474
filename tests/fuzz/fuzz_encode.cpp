// Any bytes, version, level, mask and Kanji switch: a symbol or none, never a
// fault; a symbol is well formed and its codewords carry the stream.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "clsQRCode.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 4) return 0;
    static clsQRCode encoder; // kept across inputs, as the window keeps its encoder
    encoder.SetKanjiMode(data[0] & 1);
    const int32_t version = static_cast<int8_t>(data[1]) % 48;
    const int32_t level = static_cast<int8_t>(data[2]) % 6;
    encoder.SetAutoMask(data[3] & 0x80);
    const int32_t mask = static_cast<int8_t>(data[3] << 1) % 10;
    const auto symbol = encoder.EncodeSymbol(data + 4, static_cast<int32_t>(size - 4), version, level, mask);
    if (!symbol) return 0;
    const int32_t n = symbol->size;
    if (n != 4 * symbol->version + 17 || symbol->stride != n + 3) std::abort();
    if (symbol->family != SymbolFamily::QR || symbol->width != n || symbol->height != n) std::abort();
    if (version >= 1 && version <= 40 && symbol->version != version) std::abort();
    if (symbol->mask < 0 || symbol->mask > 7) std::abort();
    if (static_cast<int32_t>(symbol->codewords.size()) != clsQRCode::TotalCodewords(symbol->version)) std::abort();
    for (int32_t y = 0; y < symbol->stride; ++y)
        for (int32_t x = 0; x < symbol->stride; ++x) {
            const uint8_t m = symbol->modules[static_cast<size_t>(y * symbol->stride + x)];
            if (m > 1 || ((x >= n || y >= n) && m != 0)) std::abort();
        }
    if (!symbol->Dark(8, n - 8) || !symbol->Dark(0, 0) || symbol->Dark(7, 7)) std::abort();
    return 0;
}
