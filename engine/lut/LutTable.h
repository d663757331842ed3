#pragma once

#include <cstdint>
#include <memory>

namespace teintelle {

// One output colour of an effect: red, green, blue.
struct TLutValeur {
    std::uint8_t r, v, b;

    friend bool operator==(const TLutValeur&, const TLutValeur&) = default;
};
static_assert(sizeof(TLutValeur) == 3, "entries are packed three bytes");

// The LUT table: N x N x N entries addressed [red][green][blue], each index
// from 0 to N - 1. Empty (N = 0) until the first resize.
//
// In memory the red index runs fastest, then green, then blue: the order in
// which a .cube file lists its entries, so the reader writes sequentially.
// One spare zeroed entry follows the last one, so that the application may
// load any entry as a 4-byte word.
class LutTable {
public:
    // A table larger than this is refused before anything is allocated.
    static constexpr std::uint64_t kMaxBytes = std::uint64_t(1) << 30;

    LutTable() = default;
    LutTable(const LutTable&) = delete;
    LutTable& operator=(const LutTable&) = delete;

    std::int32_t taille() const { return taille_; }

    TLutValeur& operator()(std::int32_t ri, std::int32_t vi, std::int32_t bi)
    {
        return entries_[offset(ri, vi, bi)];
    }
    const TLutValeur& operator()(std::int32_t ri, std::int32_t vi, std::int32_t bi) const
    {
        return entries_[offset(ri, vi, bi)];
    }

    // Entry n in .cube order (red fastest): n = ri + N * (vi + N * bi).
    TLutValeur& inFileOrder(std::uint64_t n) { return entries_[n]; }
    const TLutValeur* data() const { return entries_.get(); }
    std::uint64_t entryCount() const { return std::uint64_t(taille_) * std::uint64_t(taille_) * std::uint64_t(taille_); }

    // Resizes to n x n x n. Entries whose three indexes lie inside both the
    // old and the new size keep their values; new entries are (0, 0, 0).
    // The storage is reused when it holds the new size and is not more than
    // eight times too large, so successive reads of tables of similar sizes
    // neither reallocate nor touch fresh memory.
    // Throws Error "Erreur de vérification d'étendue" for a negative n and
    // Error "Mémoire insuffisante" for a table over kMaxBytes or one that
    // cannot be had; the table is then unchanged.
    void resize(std::int32_t n);

    // Whether an n x n x n table is within kMaxBytes (n >= 0).
    static bool fitsInMemoryLimit(std::int32_t n);

private:
    std::uint64_t offset(std::int32_t ri, std::int32_t vi, std::int32_t bi) const
    {
        const auto n = std::uint64_t(taille_);
        return std::uint64_t(ri) + n * (std::uint64_t(vi) + n * std::uint64_t(bi));
    }

    // Zeroed storage from calloc: a large table's pages are only touched when
    // written, so sizing it costs no more than the entries actually stored.
    struct Release {
        void operator()(TLutValeur* entries) const;
    };

    void resizeInPlace(std::uint64_t oldEdge, std::uint64_t newEdge);
    void reallocate(std::uint64_t oldEdge, std::uint64_t newEdge);

    std::int32_t taille_ = 0;
    std::uint64_t capacity_ = 0; // entries the storage holds, the spare one included
    std::unique_ptr<TLutValeur[], Release> entries_;
};

} // namespace teintelle
