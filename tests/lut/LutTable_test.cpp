#include "common/Error.h"
#include "lut/LutTable.h"

#include <gtest/gtest.h>

#include <string>

using namespace teintelle;

namespace {

TLutValeur colourOf(int ri, int vi, int bi) { return {std::uint8_t(ri * 10 + 1), std::uint8_t(vi * 10 + 2), std::uint8_t(bi * 10 + 3)}; }

void fill(LutTable& table)
{
    const int n = table.taille();
    for (int ri = 0; ri < n; ++ri)
        for (int vi = 0; vi < n; ++vi)
            for (int bi = 0; bi < n; ++bi)
                table(ri, vi, bi) = colourOf(ri, vi, bi);
}

std::string messageOfResize(LutTable& table, std::int32_t n)
{
    try {
        table.resize(n);
    } catch (const Error& error) {
        return error.what();
    }
    return "";
}

} // namespace

TEST(LutTable, ResizeKeepsTheSharedEntriesAndZeroesTheNewOnes)
{
    for (const auto& [from, to] : {std::pair{3, 5}, std::pair{5, 3}, std::pair{4, 4}, std::pair{1, 2}}) {
        LutTable table;
        table.resize(from);
        fill(table);
        table.resize(to);
        ASSERT_EQ(table.taille(), to);
        for (int ri = 0; ri < to; ++ri)
            for (int vi = 0; vi < to; ++vi)
                for (int bi = 0; bi < to; ++bi) {
                    const bool kept = ri < from && vi < from && bi < from;
                    const TLutValeur expected = kept ? colourOf(ri, vi, bi) : TLutValeur{0, 0, 0};
                    const TLutValeur& entry = table(ri, vi, bi);
                    ASSERT_TRUE(entry.r == expected.r && entry.v == expected.v && entry.b == expected.b)
                        << from << " -> " << to << " at [" << ri << "][" << vi << "][" << bi << "]";
                }
    }
}

TEST(LutTable, FileOrderRunsRedFastest)
{
    LutTable table;
    table.resize(3);
    table.inFileOrder(1) = {1, 0, 0};
    table.inFileOrder(3) = {2, 0, 0};
    table.inFileOrder(9) = {3, 0, 0};
    EXPECT_EQ(table(1, 0, 0).r, 1);
    EXPECT_EQ(table(0, 1, 0).r, 2);
    EXPECT_EQ(table(0, 0, 1).r, 3);
    EXPECT_EQ(table.entryCount(), 27u);
}

TEST(LutTable, RefusedSizesLeaveTheTableUnchanged)
{
    LutTable table;
    table.resize(2);
    table(1, 1, 1) = {9, 9, 9};
    const struct {
        std::int32_t size;
        const char* message;
    } cases[] = {
        {-1, "Erreur de vérification d'étendue"},
        {-2147483647 - 1, "Erreur de vérification d'étendue"},
        {711, "Mémoire insuffisante"}, // 711^3 x 3 bytes is just over 1 GiB
        {1626, "Mémoire insuffisante"}, // 1626^3 wraps a 32-bit count
        {2147483647, "Mémoire insuffisante"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(messageOfResize(table, c.size), c.message) << c.size;
        EXPECT_EQ(table.taille(), 2);
        EXPECT_EQ(table(1, 1, 1).r, 9);
    }
    EXPECT_TRUE(LutTable::fitsInMemoryLimit(710));
    EXPECT_FALSE(LutTable::fitsInMemoryLimit(711));
}
