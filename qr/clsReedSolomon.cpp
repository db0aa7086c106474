#include "clsReedSolomon.h"

#include <algorithm>

bool clsReedSolomon::Init(int32_t dataLength, int32_t ecLength, std::shared_ptr<const clsFiniteField> field,
                          int32_t generatorBase, int32_t firstRoot)
{
    if (dataLength <= 0 || ecLength <= 0 || dataLength > kMaxLength - ecLength || firstRoot < 0) return false;
    if (field) field_ = std::move(field);
    if (!field_) return false;
    if (generatorBase == 0) generatorBase = generatorBase_;
    if (generatorBase == 0) generatorBase = field_->Primitive();
    if (generatorBase == 0) return false;

    const clsFiniteField& f = *field_;
    const int32_t previousDegree = ecLength_;
    dataLength_ = dataLength;
    ecLength_ = ecLength;
    generatorBase_ = generatorBase;

    // b^c by square and multiply.
    int32_t product = (firstRoot & 1) ? generatorBase : 1;
    int32_t square = generatorBase;
    for (int32_t c = firstRoot >> 1; c != 0; c >>= 1) {
        square = f.Multiply(square, square);
        if (c & 1) product = f.Multiply(product, square);
    }
    int32_t r = f.Negate(product);

    // Entries above the previous degree are still 0.
    std::fill(generator_.begin(), generator_.begin() + std::max(ecLength, previousDegree) + 1, 0);
    generator_[0] = r;
    generator_[1] = 1;
    for (int32_t i = 2; i <= ecLength; ++i) {
        r = f.Multiply(r, generatorBase);
        generator_[static_cast<size_t>(i)] = 1;
        for (int32_t j = i - 1; j >= 1; --j)
            generator_[static_cast<size_t>(j)] =
                f.Add(generator_[static_cast<size_t>(j - 1)], f.Multiply(generator_[static_cast<size_t>(j)], r));
        generator_[0] = f.Multiply(generator_[0], r);
    }
    return true;
}

void clsReedSolomon::Encode(int32_t* block) const
{
    if (!field_ || dataLength_ <= 0) return;
    const clsFiniteField& f = *field_;
    const int32_t k = dataLength_;
    const int32_t e = ecLength_;
    std::array<int32_t, kMaxLength> w{};
    for (int32_t i = e; i < e + k; ++i) w[static_cast<size_t>(i)] = block[i];
    for (int32_t i = k - 1; i >= 0; --i) {
        const int32_t u = w[static_cast<size_t>(e + i)];
        for (int32_t j = 0; j < e; ++j)
            w[static_cast<size_t>(i + j)] =
                f.Subtract(w[static_cast<size_t>(i + j)], f.Multiply(u, generator_[static_cast<size_t>(j)]));
    }
    for (int32_t j = 0; j < e; ++j) block[j] = f.Negate(w[static_cast<size_t>(j)]);
}
