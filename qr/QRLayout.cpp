#include "QRLayout.h"

#include "QRPenalty.h"
#include "clsQRCode.h"

bool MaskBit(int32_t mask, int32_t x, int32_t y)
{
    switch (mask) {
    case 0: return (x + y) % 2 == 0;
    case 1: return y % 2 == 0;
    case 2: return x % 3 == 0;
    case 3: return (x + y) % 3 == 0;
    case 4: return (y / 2 + x / 3) % 2 == 0;
    case 5: return (x * y) % 2 + (x * y) % 3 == 0;
    case 6: return ((x * y) % 2 + (x * y) % 3) % 2 == 0;
    default: return ((x + y) % 2 + (x * y) % 3) % 2 == 0;
    }
}

std::array<FormatCell, 30> FormatCells(int32_t n)
{
    std::array<FormatCell, 30> cells{};
    int k = 0;
    for (int32_t i = 0; i <= 5; ++i) cells[k++] = {i, 8, 14 - i};
    cells[k++] = {7, 8, 8};
    cells[k++] = {8, 8, 7};
    cells[k++] = {8, 7, 6};
    for (int32_t i = 0; i <= 5; ++i) cells[k++] = {8, 5 - i, 5 - i};
    for (int32_t i = 0; i <= 6; ++i) cells[k++] = {8, n - 1 - i, 14 - i};
    for (int32_t i = 0; i <= 7; ++i) cells[k++] = {n - 8 + i, 8, 7 - i};
    return cells;
}

QRLayout::QRLayout(int32_t v) : version(v), n(clsQRCode::SymbolSize(v)), stride(n + 3)
{
    std::vector<uint8_t> m(static_cast<size_t>(stride * stride), 0);
    clsQRCode::DrawFunctionPatterns(m.data(), v);

    free.assign(m.size(), 0);
    unmasked.assign(m.size(), 0);
    for (int32_t y = 0; y < n; ++y)
        for (int32_t x = 0; x < n; ++x) {
            const size_t i = static_cast<size_t>(y * stride + x);
            free[i] = m[i] == 0;
            unmasked[i] = m[i] == 1;
        }
    if (v >= 7) {
        const int32_t word = clsQRCode::VersionBits(v);
        for (int32_t j = 0; j < 6; ++j)
            for (int32_t k = 0; k < 3; ++k) {
                const uint8_t bit = static_cast<uint8_t>((word >> (3 * j + k)) & 1);
                unmasked[static_cast<size_t>((n - 11 + k) * stride + j)] = bit;
                unmasked[static_cast<size_t>(j * stride + n - 11 + k)] = bit;
            }
    }

    // Zigzag over column pairs from the right, skipping the timing column 6.
    order.reserve(static_cast<size_t>(clsQRCode::RawDataModules(v)));
    bool upward = true;
    for (int32_t c = n - 2; c >= 0; c -= 2) {
        if (c == 5) c = 4;
        for (int32_t step = 0; step < n; ++step) {
            const int32_t y = upward ? n - 1 - step : step;
            for (int32_t x = c + 1; x >= c; --x)
                if (m[static_cast<size_t>(y * stride + x)] == 0) order.push_back(static_cast<uint16_t>(y * stride + x));
        }
        upward = !upward;
    }
}

const std::vector<uint8_t>& QRLayout::Masked(int32_t mask)
{
    std::vector<uint8_t>& t = masked[static_cast<size_t>(mask)];
    if (t.empty()) {
        t = unmasked;
        for (int32_t y = 0; y < n; ++y)
            for (int32_t x = 0; x < n; ++x) {
                const size_t i = static_cast<size_t>(y * stride + x);
                if (free[i]) t[i] = MaskBit(mask, x, y) ? 1 : 0;
            }
    }
    return t;
}

const std::vector<QRBits>& QRLayout::MaskRows(int32_t mask)
{
    std::vector<QRBits>& rows = maskRows[static_cast<size_t>(mask)];
    if (rows.empty()) {
        rows.assign(static_cast<size_t>(n), QRBits{});
        for (int32_t y = 0; y < n; ++y)
            for (int32_t x = 0; x < n; ++x)
                if (free[static_cast<size_t>(y * stride + x)] && MaskBit(mask, x, y)) rows[static_cast<size_t>(y)].Set(x);
    }
    return rows;
}

const std::vector<QRBits>& QRLayout::MaskColumns(int32_t mask)
{
    std::vector<QRBits>& columns = maskColumns[static_cast<size_t>(mask)];
    if (columns.empty()) TransposeBits(MaskRows(mask), columns, n);
    return columns;
}
