#pragma once
#include <cstdint>

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
