#pragma once

#include <cstdint>
#include <functional>
#include <vector>

namespace teintelle {

// One pixel: alpha in bits 24-31, red 16-23, green 8-15, blue 0-7.
using TColor32 = std::uint32_t;

constexpr TColor32 couleur32(std::uint8_t a, std::uint8_t r, std::uint8_t g, std::uint8_t b)
{
    return (TColor32(a) << 24) | (TColor32(r) << 16) | (TColor32(g) << 8) | TColor32(b);
}

// The pixel surface: Width x Height pixels, row-major, top row first, no gap
// between rows. A surface is empty when either side is 0.
class TBitmap32 {
public:
    // Largest pixel block a surface accepts (512 MiB of pixels). Anything
    // larger is refused before allocating, so that a size read from a file
    // can never bring the process down.
    static constexpr std::int64_t kMaxPixels = std::int64_t(1) << 27;
    static constexpr const char* kMemoryError = "Can't allocate the DIB handle";

    TBitmap32() = default;
    TBitmap32(const TBitmap32&) = delete;
    TBitmap32& operator=(const TBitmap32&) = delete;

    std::int32_t Width() const { return width_; }
    std::int32_t Height() const { return height_; }
    bool Empty() const { return width_ == 0 || height_ == 0; }

    TColor32* Bits() { return pixels_.data(); }
    const TColor32* Bits() const { return pixels_.data(); }
    TColor32 pixel(std::int32_t x, std::int32_t y) const { return pixels_[std::size_t(y) * std::size_t(width_) + std::size_t(x)]; }
    TColor32& pixel(std::int32_t x, std::int32_t y) { return pixels_[std::size_t(y) * std::size_t(width_) + std::size_t(x)]; }

    // Negative sides count as 0. The same size keeps the pixels and notifies
    // nothing; any other size drops them, zero-fills the new block and
    // notifies. Throws Error(kMemoryError), leaving the surface empty, when
    // the block is too large or cannot be had.
    void SetSize(std::int32_t width, std::int32_t height);

    // Copy of another surface (nullptr empties this one). Notifies the change,
    // also when the copy fails.
    void Assign(const TBitmap32* source);

    // Tells the owner (a view) that the size or the pixels were replaced.
    void setChangeHandler(std::function<void()> handler) { onChange_ = std::move(handler); }
    void notifyChange() const
    {
        if (onChange_)
            onChange_();
    }

private:
    void makeEmpty();

    std::int32_t width_ = 0;
    std::int32_t height_ = 0;
    std::vector<TColor32> pixels_;
    std::function<void()> onChange_;
};

// Notifies the surface's change when it goes out of scope: for whatever
// replaces a surface's pixels and has to notify also when a step fails.
class NotifyOnExit {
public:
    explicit NotifyOnExit(const TBitmap32& surface) : surface_(surface) {}
    ~NotifyOnExit() { surface_.notifyChange(); }
    NotifyOnExit(const NotifyOnExit&) = delete;
    NotifyOnExit& operator=(const NotifyOnExit&) = delete;

private:
    const TBitmap32& surface_;
};

} // namespace teintelle
