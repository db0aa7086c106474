#include "clsFiniteField.h"

#include <cmath>

std::shared_ptr<const clsFiniteField> clsFiniteField::Gf256()
{
    static const std::shared_ptr<const clsFiniteField> field = [] {
        auto f = std::make_shared<clsFiniteField>();
        f->Init(256, 0x11D, 2);
        return f;
    }();
    return field;
}

int32_t clsFiniteField::FindPrimitive() const
{
    const int32_t q = size_;
    if (q < 2) return 0;
    // Cofactors (q-1)/p for the distinct primes p dividing q-1.
    int32_t cofactors[8] = {};
    int count = 0;
    int32_t r = q - 1;
    if (r % 2 == 0) {
        cofactors[count++] = (q - 1) / 2;
        while (r % 2 == 0) r /= 2;
    }
    auto bound = [](int32_t v) { return static_cast<int32_t>(std::lround(std::sqrt(static_cast<double>(v)) + 2.0)); };
    int32_t limit = bound(r);
    for (int32_t t = 3; t <= limit; t += 2) {
        if (r % t == 0) {
            while (r % t == 0) r /= t;
            if (count < 8) cofactors[count++] = (q - 1) / t;
            limit = bound(r);
        }
    }
    if (r > 1 && count < 8) cofactors[count++] = (q - 1) / r;

    for (int32_t d = 2; d <= q - 1; ++d) {
        int32_t powers[14];
        powers[0] = d;
        for (int k = 1; k < 14; ++k) powers[k] = MultiplyDirect(powers[k - 1], powers[k - 1]);
        bool primitive = true;
        for (int c = 0; c < count && primitive; ++c) {
            int32_t e = cofactors[c];
            int32_t product = 1;
            for (int k = 0; e != 0 && k < 14; ++k, e >>= 1)
                if (e & 1) product = MultiplyDirect(product, powers[k]);
            if (product == 1) primitive = false;
        }
        if (primitive) return d;
    }
    return 0;
}

bool clsFiniteField::Init(int32_t size, int32_t polynomial, int32_t primitive)
{
    if (size < 2 || size > kMaxSize) return false;
    if (size == 2) {
        size_ = 2;
        polynomial_ = 2;
        primitive_ = 1;
        logTable_[0] = 0;
        expTable_[0] = 1;
        logTable_[1] = 0;
        expTable_[1] = 1;
        return true;
    }
    const bool powerOfTwo = (size & (size - 1)) == 0;
    if (powerOfTwo && polynomial == 0) return false;
    size_ = size;
    polynomial_ = powerOfTwo ? polynomial : size;
    if (primitive == 0) primitive = FindPrimitive();
    primitive_ = primitive;
    logTable_[0] = 0;
    logTable_[1] = 0;
    expTable_[0] = 1;
    expTable_[static_cast<size_t>(size - 1)] = 1;
    if (primitive > 0 && primitive < kMaxSize) logTable_[static_cast<size_t>(primitive)] = 1;
    expTable_[1] = static_cast<int16_t>(primitive);
    int32_t x = primitive;
    for (int32_t i = 2; i <= size - 2; ++i) {
        x = powerOfTwo ? MultiplyDirect(x, primitive) : static_cast<int32_t>((int64_t{x} * primitive) % size);
        if (x >= 0 && x < kMaxSize) logTable_[static_cast<size_t>(x)] = static_cast<int16_t>(i);
        expTable_[static_cast<size_t>(i)] = static_cast<int16_t>(x);
    }
    return true;
}

int32_t clsFiniteField::Add(int32_t a, int32_t b) const
{
    if (IsPowerOfTwo()) return a ^ b;
    int32_t s = a + b;
    return s >= size_ ? s - size_ : s;
}

int32_t clsFiniteField::Negate(int32_t a) const
{
    if (IsPowerOfTwo()) return a;
    return a == 0 ? 0 : size_ - a;
}

int32_t clsFiniteField::Subtract(int32_t a, int32_t b) const
{
    if (IsPowerOfTwo()) return a ^ b;
    int32_t d = a - b;
    return d < 0 ? d + size_ : d;
}

int32_t clsFiniteField::Multiply(int32_t a, int32_t b) const
{
    if (a == 0 || b == 0) return 0;
    int32_t s = logTable_[static_cast<size_t>(a)] + logTable_[static_cast<size_t>(b)];
    if (s >= size_ - 1) s -= size_ - 1;
    return expTable_[static_cast<size_t>(s)];
}

int32_t clsFiniteField::MultiplyDirect(int32_t a, int32_t b) const
{
    if (a == 0 || b == 0) return 0;
    if (size_ == 2) return 1;
    if (IsPowerOfTwo()) {
        int32_t result = 0;
        int32_t mask = 1;
        for (;;) {
            if (b & mask) {
                b &= ~mask;
                result ^= a;
            }
            if (b == 0) break;
            a <<= 1;
            mask <<= 1;
            if (a & size_) a = (a ^ polynomial_) & (size_ - 1);
        }
        return result;
    }
    return static_cast<int32_t>((int64_t{a} * b) % size_);
}

int32_t clsFiniteField::Inverse(int32_t a) const
{
    if (a == 0) return 0;
    return expTable_[static_cast<size_t>(size_ - 1 - logTable_[static_cast<size_t>(a)])];
}

int32_t clsFiniteField::InverseEuclid(int32_t a) const
{
    int32_t r0 = size_, r1 = a, t0 = 0, t1 = 1;
    for (;;) {
        int32_t quotient = r0 / r1;
        int32_t remainder = r0 - quotient * r1;
        r0 = r1;
        r1 = remainder;
        int32_t t = t0 - quotient * t1;
        t0 = t1;
        t1 = t;
        if (remainder == 0) break;
    }
    int32_t result = t0 % size_;
    return result < 0 ? result + size_ : result;
}

int32_t clsFiniteField::InverseDirect(int32_t a) const
{
    if (a == 0) return 0;
    if (size_ == 2) return 1;
    if (IsPowerOfTwo()) return 0;
    return InverseEuclid(a);
}

int32_t clsFiniteField::Divide(int32_t a, int32_t b) const
{
    if (a == 0 || b == 0) return 0;
    int32_t d = logTable_[static_cast<size_t>(a)] - logTable_[static_cast<size_t>(b)];
    if (d < 0) d += size_ - 1;
    return expTable_[static_cast<size_t>(d)];
}

int32_t clsFiniteField::DivideDirect(int32_t a, int32_t b) const
{
    if (a == 0 || b == 0) return 0;
    if (size_ == 2) return 1;
    if (IsPowerOfTwo()) return 0;
    int32_t r = static_cast<int32_t>((int64_t{a} * InverseEuclid(b)) % size_);
    return r < 0 ? r + size_ : r;
}

int32_t clsFiniteField::Exp(int32_t n) const
{
    const int32_t order = size_ - 1;
    if (order <= 0) return 1;
    int32_t r = n % order;
    if (r < 0) r += order;
    return expTable_[static_cast<size_t>(r)];
}
