#pragma once
#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>

// Element arithmetic over GF(q), q a prime or a power of two up to 16384,
// through exponent and logarithm tables built from a primitive element.
class clsFiniteField {
public:
    static constexpr int kMaxSize = 16384;

    // GF(256) with x^8 + x^4 + x^3 + x^2 + 1 (0x11D) and primitive 2: the field of
    // every QR-family code, built once and shared.
    static std::shared_ptr<const clsFiniteField> Gf256();

    int32_t Size() const { return size_; }
    int32_t Polynomial() const { return polynomial_; }
    int32_t Primitive() const { return primitive_; }

    // Smallest primitive element >= 2 of the field described by Size and
    // Polynomial, or 0. Uses MultiplyDirect only, so it works without tables.
    int32_t FindPrimitive() const;

    // Sets up the field; primitive 0 asks for a search. False (and no change)
    // for a size outside 2..16384 or a power-of-two size >= 4 without polynomial.
    bool Init(int32_t size, int32_t polynomial, int32_t primitive);

    int32_t Add(int32_t a, int32_t b) const;
    int32_t Negate(int32_t a) const;
    int32_t Subtract(int32_t a, int32_t b) const;
    int32_t Multiply(int32_t a, int32_t b) const;
    int32_t MultiplyDirect(int32_t a, int32_t b) const;
    int32_t Inverse(int32_t a) const;
    int32_t InverseDirect(int32_t a) const;
    int32_t Divide(int32_t a, int32_t b) const;
    int32_t DivideDirect(int32_t a, int32_t b) const;
    int32_t Log(int32_t a) const { return logTable_[static_cast<size_t>(a)]; }
    int32_t Exp(int32_t n) const;

    int16_t LogTable(int i) const { return logTable_[static_cast<size_t>(i)]; }
    int16_t ExpTable(int i) const { return expTable_[static_cast<size_t>(i)]; }

private:
    bool IsPowerOfTwo() const { return (size_ & (size_ - 1)) == 0; }
    int32_t InverseEuclid(int32_t a) const;

    int32_t size_ = 0;
    int32_t polynomial_ = 0;
    int32_t primitive_ = 0;
    std::array<int16_t, kMaxSize> logTable_{};
    std::array<int16_t, kMaxSize> expTable_{};
};
