#include "imaging/TBitmap32.h"

#include "common/Error.h"

#include <algorithm>
#include <new>

namespace teintelle {

void TBitmap32::makeEmpty()
{
    width_ = 0;
    height_ = 0;
    std::vector<TColor32>().swap(pixels_);
}

void TBitmap32::SetSize(std::int32_t width, std::int32_t height)
{
    width = std::max(width, 0);
    height = std::max(height, 0);
    if (width == width_ && height == height_)
        return;

    makeEmpty();
    const std::int64_t count = std::int64_t(width) * std::int64_t(height);
    if (count > kMaxPixels) {
        notifyChange();
        throw Error(kMemoryError);
    }
    try {
        pixels_.assign(std::size_t(count), TColor32(0));
    } catch (const std::bad_alloc&) {
        makeEmpty();
        notifyChange();
        throw Error(kMemoryError);
    }
    width_ = width;
    height_ = height;
    notifyChange();
}

void TBitmap32::Assign(const TBitmap32* source)
{
    if (source == this)
        return;
    const NotifyOnExit notify(*this);

    if (source == nullptr) {
        makeEmpty();
        return;
    }
    if (source->width_ != width_ || source->height_ != height_) {
        // Replaced below: keep SetSize from notifying twice.
        auto handler = std::move(onChange_);
        onChange_ = nullptr;
        try {
            SetSize(source->width_, source->height_);
        } catch (...) {
            onChange_ = std::move(handler);
            throw;
        }
        onChange_ = std::move(handler);
    }
    std::copy(source->pixels_.begin(), source->pixels_.end(), pixels_.begin());
}

} // namespace teintelle
