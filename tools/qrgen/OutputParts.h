#pragma once
// The pieces every output type is drawn with: the symbol in its quiet zone,
// and output that goes out in bounded pieces. Internal to Output*.cpp.
#include <string>
#include <string_view>

#include "Output.h"
#include "clsQRCode.h"

namespace output {

// The symbol with its quiet zone: Dark(x, y) for -margin <= x, y < n + margin.
class Framed {
public:
    Framed(const QRSymbol& s, int margin)
        : s_(s), margin_(margin), width_(Width(s) + 2 * margin), height_(Height(s) + 2 * margin)
    {
    }
    // rMQR symbols are wider than high; the other families are square (size).
    static int Width(const QRSymbol& s) { return s.width > 0 ? s.width : s.size; }
    static int Height(const QRSymbol& s) { return s.height > 0 ? s.height : s.size; }
    int width() const { return width_; }
    int height() const { return height_; }
    bool Dark(int x, int y) const
    {
        x -= margin_;
        y -= margin_;
        return x >= 0 && y >= 0 && x < width_ - 2 * margin_ && y < height_ - 2 * margin_ && s_.Dark(x, y);
    }
    // The symbol's modules on row y (non-zero dark), or null in the quiet zone.
    const uint8_t* SymbolRow(int y) const
    {
        y -= margin_;
        return y >= 0 && y < height_ - 2 * margin_ ? s_.modules.data() + static_cast<size_t>(y) * s_.stride : nullptr;
    }
    int margin() const { return margin_; }
    int symbolWidth() const { return width_ - 2 * margin_; }

private:
    const QRSymbol& s_;
    int margin_;
    int width_, height_;
};

// Output in pieces of about 64 KiB, so a picture of any size takes no more memory than that.
class Out {
public:
    explicit Out(const Sink& sink) : sink_(sink) { buffer_.reserve(kPiece + 4096); }
    Out& operator+=(std::string_view bytes)
    {
        buffer_ += bytes;
        if (buffer_.size() >= kPiece) Flush();
        return *this;
    }
    Out& operator+=(char c) { return *this += std::string_view(&c, 1); }
    void push_back(char c) { *this += c; }
    void append(const char* bytes, size_t length) { *this += std::string_view(bytes, length); }
    bool Flush()
    {
        if (ok_ && !buffer_.empty()) ok_ = sink_(buffer_);
        buffer_.clear();
        return ok_;
    }

private:
    static constexpr size_t kPiece = 1 << 16;
    const Sink& sink_;
    std::string buffer_;
    bool ok_ = true;
};

// One function a type family; false when the picture cannot be made or the sink
// refused a piece.
bool Png(const QRSymbol& s, const PictureOptions& o, Out& out);
bool Png32(const QRSymbol& s, const PictureOptions& o, Out& out);
bool Bmp(const QRSymbol& s, const PictureOptions& o, Out& out);
bool Xpm(const QRSymbol& s, const PictureOptions& o, Out& out);
bool Svg(const QRSymbol& s, const PictureOptions& o, Out& out);
bool Eps(const QRSymbol& s, const PictureOptions& o, Out& out);
bool Pdf(const QRSymbol& s, const PictureOptions& o, Out& out);
bool Terminal(const QRSymbol& s, const PictureOptions& o, Out& out); // every text drawing
bool Txt(const QRSymbol& s, Out& out);
bool Codewords(const QRSymbol& s, Out& out);

} // namespace output
