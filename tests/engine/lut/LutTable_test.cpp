#include "common/Error.h"
#include "lut/LutTable.h"

#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <string>
#include <vector>

using namespace teintelle;

namespace {

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

// Sequences of sizes, so that the storage is reallocated, reused when
// shrinking and reused when growing again.
TEST(LutTable, ResizeKeepsTheSharedEntriesAndZeroesTheNewOnes)
{
    const std::vector<std::vector<int>> sequences = {{3, 5}, {5, 3}, {4, 4}, {1, 2}, {8, 6, 7, 8}, {10, 9, 3, 10}, {7, 2, 7}};
    for (const auto& sizes : sequences) {
        LutTable table;
        std::vector<TLutValeur> model; // expected entries, red fastest
        // Entry [ri][vi][bi] of an n x n x n table in file order.
        const auto at = [](int ri, int vi, int bi, int n) {
            return std::size_t(ri) + std::size_t(n) * (std::size_t(vi) + std::size_t(n) * std::size_t(bi));
        };
        int edge = 0;
        for (std::size_t step = 0; step < sizes.size(); ++step) {
            const int next = sizes[step];
            std::vector<TLutValeur> expected(std::size_t(next * next * next), TLutValeur{0, 0, 0});
            for (int bi = 0; bi < std::min(edge, next); ++bi)
                for (int vi = 0; vi < std::min(edge, next); ++vi)
                    for (int ri = 0; ri < std::min(edge, next); ++ri)
                        expected[at(ri, vi, bi, next)] = model[at(ri, vi, bi, edge)];
            table.resize(next);
            ASSERT_EQ(table.taille(), next);
            for (int bi = 0; bi < next; ++bi)
                for (int vi = 0; vi < next; ++vi)
                    for (int ri = 0; ri < next; ++ri) {
                        const TLutValeur& want = expected[at(ri, vi, bi, next)];
                        const TLutValeur& entry = table(ri, vi, bi);
                        ASSERT_EQ(entry, want)
                            << "step " << step << " to " << next << " at [" << ri << "][" << vi << "][" << bi << "]";
                    }
            // New colours for the next step, in some entries only.
            for (int bi = 0; bi < next; ++bi)
                for (int vi = 0; vi < next; ++vi)
                    for (int ri = (bi + vi) % 2; ri < next; ri += 2) {
                        const TLutValeur colour{std::uint8_t(ri * 10 + int(step)), std::uint8_t(vi * 10 + 2), std::uint8_t(bi * 10 + 3)};
                        table(ri, vi, bi) = colour;
                        expected[at(ri, vi, bi, next)] = colour;
                    }
            model = expected;
            edge = next;
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

// Under an address-space limit of 1 GiB (ulimit -v), a table the limit cannot
// hold is refused with the message and the process goes on; a table that fits
// is still had. Run in a child process, which takes the limit alone. The
// sanitizers' runtime reserves more address space than that limit allows.
TEST(LutTable, AnAddressSpaceLimitGivesTheMemoryMessage)
{
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "the sanitizer runtime needs more address space than the limit";
#else
    const pid_t child = fork();
    ASSERT_NE(child, -1);
    if (child == 0) {
        const rlimit limit{rlim_t{1} << 30, rlim_t{1} << 30};
        if (setrlimit(RLIMIT_AS, &limit) != 0)
            _exit(10);
        LutTable table;
        // The largest table the cap allows (710^3 entries, 8 KiB short of
        // 1 GiB) cannot fit beside the program's own mappings.
        if (messageOfResize(table, 710) != "Mémoire insuffisante" || table.taille() != 0)
            _exit(11);
        if (!messageOfResize(table, 256).empty() || table.taille() != 256)
            _exit(12);
        _exit(0);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status)) << "the child was killed by signal " << WTERMSIG(status);
    EXPECT_EQ(WEXITSTATUS(status), 0) << "10: no limit, 11: the large table, 12: the table that fits";
#endif
}
