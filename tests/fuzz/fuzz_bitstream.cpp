// The measured size of a stream equals the number of bits written, in every
// version group, with and without Kanji mode.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <vector>

#include "clsQRCode.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1 || size > 8000) return 0;
    const std::span<const uint8_t> input(data + 1, size - 1);
    static clsQRCode encoder;
    encoder.SetKanjiMode(data[0] & 1);
    const int32_t count = static_cast<int32_t>(size - 1);
    // The longest stream: 8000 bytes in Byte mode with a header per 255 bytes.
    std::vector<uint8_t> bits(static_cast<size_t>(count) * 2 + 64);
    for (int32_t version : {1, 10, 27}) {
        const int32_t measured = encoder.BuildBitStream(nullptr, input, version, true);
        const int32_t written = encoder.BuildBitStream(bits.data(), input, version, false);
        if (input.size() > clsQRCode::kMaxInputBytes) {
            if (measured != -1 || written != -1) std::abort(); // longer than any symbol holds
            continue;
        }
        if (measured != written || measured < 4) std::abort();
        if (written > 8 * static_cast<int32_t>(bits.size())) std::abort();
    }
    return 0;
}
