#pragma once
// The types at the encoder's edge: symbol family, level, mask choice, and the
// finished symbol every output writer reads.
#include <cstdint>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

enum class SymbolFamily : uint8_t { QR, Micro, Rmqr };

enum class EcLevel : uint8_t { L, M, Q, H };

// The int32_t entry points number the levels 1..4; any other number means M.
inline constexpr int32_t EcL = 1, EcM = 2, EcQ = 3, EcH = 4;
constexpr EcLevel CoerceLevel(int32_t number)
{
    return number >= EcL && number <= EcH ? static_cast<EcLevel>(number - EcL) : EcLevel::M;
}
constexpr int32_t LevelIndex(EcLevel level) { return static_cast<int32_t>(level); }

// A mask pattern, or the one with the lowest penalty.
enum class MaskChoice : uint8_t {
    Pattern0,
    Pattern1,
    Pattern2,
    Pattern3,
    Pattern4,
    Pattern5,
    Pattern6,
    Pattern7,
    Automatic
};
constexpr std::optional<MaskChoice> MaskPattern(int32_t pattern)
{
    if (pattern < 0 || pattern > 7) return std::nullopt;
    return static_cast<MaskChoice>(pattern);
}

// Leaves new bytes as they are instead of zeroing them: the encoder writes every byte of a module buffer itself,
// and zeroing 31 KB first cost a tenth of a version-40 symbol.
template <class T>
struct UninitialisedAllocator : std::allocator<T> {
    template <class U>
    struct rebind {
        using other = UninitialisedAllocator<U>;
    };
    UninitialisedAllocator() = default;
    template <class U>
    UninitialisedAllocator(const UninitialisedAllocator<U>&) noexcept
    {
    }
    template <class U>
    void construct(U* p) noexcept
    {
        ::new (static_cast<void*>(p)) U;
    }
    template <class U, class... Args>
    void construct(U* p, Args&&... args)
    {
        ::new (static_cast<void*>(p)) U(std::forward<Args>(args)...);
    }
};
using ModuleBuffer = std::vector<uint8_t, UninitialisedAllocator<uint8_t>>;

// A finished symbol of any family. modules is the module matrix: stride = width + 3
// bytes per row, height + 3 rows, cell (x, y) at y * stride + x, 1 dark and 0 light;
// the three extra columns and rows stay 0, so the buffer doubles as an 8-bit
// top-down bitmap.
struct QRSymbol {
    SymbolFamily family = SymbolFamily::QR;
    int32_t version = 0; // QR 1..40; the other families number their own
    int32_t width = 0;
    int32_t height = 0;
    int32_t size = 0; // the side of a square symbol (QR: 4 * version + 17), else the width
    EcLevel level = EcLevel::M;
    int32_t mask = 0;   // mask pattern actually applied
    int32_t stride = 0; // width + 3
    ModuleBuffer modules;
    std::vector<uint8_t> codewords; // interleaved data and check codewords

    bool Dark(int x, int y) const { return modules[static_cast<size_t>(y * stride + x)] != 0; }
};
