#pragma once
#include <cstdint>
#include <cstring>

// Appends bit fields most significant bit first into a packed byte buffer.
// Whole bytes are stored, so the buffer needs no clearing beforehand.
class QRBitWriter {
public:
    explicit QRBitWriter(uint8_t* out, int32_t bitPosition = 0)
        : out_(out), byte_(bitPosition >> 3), pending_(bitPosition & 7)
    {
        if (pending_) acc_ = static_cast<uint64_t>(out_[byte_] >> (8 - pending_));
    }

    // n <= 24
    void Put(uint32_t value, int n)
    {
        acc_ = (acc_ << n) | value;
        pending_ += n;
        while (pending_ >= 8) {
            pending_ -= 8;
            out_[byte_++] = static_cast<uint8_t>(acc_ >> pending_);
        }
    }

    // count whole bytes, eight at a time.
    void PutBytes(const uint8_t* p, int32_t count)
    {
        int32_t i = 0;
        const uint64_t low = (uint64_t{1} << pending_) - 1; // pending_ < 8 between calls
        for (; i + 8 <= count; i += 8) {
            uint64_t v;
            std::memcpy(&v, p + i, 8);
            v = __builtin_bswap64(v);
            const uint64_t word = pending_ ? ((acc_ & low) << (64 - pending_)) | (v >> pending_) : v;
            acc_ = v; // its low pending_ bits are still to be stored
            const uint64_t bigEndian = __builtin_bswap64(word);
            std::memcpy(out_ + byte_, &bigEndian, 8);
            byte_ += 8;
        }
        for (; i < count; ++i) Put(p[i], 8);
    }

    int32_t Position() const { return byte_ * 8 + pending_; }

    // Stores a partial last byte (low bits zero) and returns the bit count.
    int32_t Flush()
    {
        if (pending_) out_[byte_] = static_cast<uint8_t>(acc_ << (8 - pending_));
        return Position();
    }

private:
    uint8_t* out_;
    int32_t byte_;
    int pending_;
    uint64_t acc_ = 0;
};
