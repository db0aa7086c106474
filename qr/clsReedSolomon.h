#pragma once
#include <array>
#include <cstdint>
#include <memory>

#include "clsFiniteField.h"

// Systematic Reed-Solomon check symbols over any clsFiniteField. Polynomials
// are stored lowest power first; the first data symbol of a block sits at the
// highest index and the check symbols at indices 0 .. e-1.
class clsReedSolomon {
public:
    static constexpr int kMaxLength = 1024;

    int32_t GeneratorBase() const { return generatorBase_; }
    int32_t DataLength() const { return dataLength_; }
    int32_t EcLength() const { return ecLength_; }
    int32_t GeneratorCoefficient(int i) const { return generator_[static_cast<size_t>(i)]; }

    // Builds g(x) = (x - b^c)(x - b^(c+1))...(x - b^(c+e-1)). A base of 0 takes
    // the remembered base, then the field's primitive element.
    bool Init(int32_t dataLength, int32_t ecLength, std::shared_ptr<const clsFiniteField> field, int32_t generatorBase,
              int32_t firstRoot);

    // Writes the e check symbols of block[e .. e+k-1] into block[0 .. e-1].
    void Encode(int32_t* block) const;

private:
    std::shared_ptr<const clsFiniteField> field_;
    int32_t dataLength_ = 0;
    int32_t ecLength_ = 0;
    int32_t generatorBase_ = 0;
    std::array<int32_t, kMaxLength> generator_{};
};
