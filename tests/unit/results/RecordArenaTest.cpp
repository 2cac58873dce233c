#include "results/RecordArena.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <vector>

namespace trawl {
namespace {

constexpr std::size_t kSmallChunk = 64 * 1024;

TEST(RecordArena, PiecesAreAlignedSeparateAndKeepTheirBytes)
{
    RecordArena arena(kSmallChunk);
    std::vector<RecordArena::Piece> pieces;
    for (std::size_t k = 0; k < 300; ++k) {
        const std::size_t size = 1 + (k * 37) % 900; // odd sizes, several chunks' worth
        RecordArena::Piece piece = arena.Allocate(size);
        ASSERT_NE(piece.data, nullptr);
        EXPECT_NE(piece.chunk, RecordArena::kNoChunk);
        EXPECT_EQ(reinterpret_cast<std::uintptr_t>(piece.data) % 8, 0u);
        std::memset(piece.data, static_cast<int>(k & 0xFF), size);
        pieces.push_back(piece);
    }
    for (std::size_t k = 0; k < pieces.size(); ++k) {
        const std::size_t size = 1 + (k * 37) % 900;
        for (std::size_t b = 0; b < size; ++b) {
            ASSERT_EQ(static_cast<unsigned char>(pieces[k].data[b]), k & 0xFF) << "piece " << k << " byte " << b;
        }
    }
    EXPECT_GT(pieces.back().chunk, pieces.front().chunk);
    EXPECT_GE(arena.PresentBytes(), std::size_t{300} * 450);

    // A piece larger than a chunk gets a chunk of its own.
    RecordArena::Piece big = arena.Allocate(3 * kSmallChunk);
    ASSERT_NE(big.data, nullptr);
    big.data[3 * kSmallChunk - 1] = 'x';
}

TEST(RecordArena, AChunkIsGivenBackOnceEveryPieceInItIsReleased)
{
    RecordArena arena(kSmallChunk);
    const RecordArena::Piece first = arena.Allocate(kSmallChunk / 2);
    const RecordArena::Piece second = arena.Allocate(kSmallChunk / 4);
    const RecordArena::Piece third = arena.Allocate(kSmallChunk / 2); // does not fit: a new chunk
    ASSERT_EQ(first.chunk, second.chunk);
    ASSERT_NE(third.chunk, first.chunk);
    const std::size_t both = arena.PresentBytes();

    arena.Release(first.chunk);
    EXPECT_EQ(arena.PresentBytes(), both) << "a piece of the first chunk is still alive";
    arena.Release(second.chunk);
    EXPECT_LT(arena.PresentBytes(), both);
    arena.Release(second.chunk); // one release too many changes nothing
    arena.Release(RecordArena::kNoChunk);

    // The chunk in use, once empty, is filled again from its front.
    arena.Release(third.chunk);
    const RecordArena::Piece again = arena.Allocate(16);
    EXPECT_EQ(again.chunk, third.chunk);
    EXPECT_EQ(again.data, third.data);

    arena.ReleaseAll();
    EXPECT_EQ(arena.PresentBytes(), 0u);
    EXPECT_NE(arena.Allocate(8).data, nullptr);
}

TEST(RecordArena, RecycledChunksAreFilledAgainAndTheUnusedOnesTrimmed)
{
    RecordArena arena(kSmallChunk);
    std::vector<RecordArena::Piece> before;
    for (int k = 0; k < 40; ++k) {
        before.push_back(arena.Allocate(kSmallChunk / 8)); // about five chunks
    }
    const std::size_t present = arena.PresentBytes();

    arena.RecycleAll();
    EXPECT_EQ(arena.PresentBytes(), present) << "recycled memory stays until trimmed";
    // The next load starts at the front of the first chunk and goes through the same memory.
    for (int k = 0; k < 8; ++k) {
        const RecordArena::Piece piece = arena.Allocate(kSmallChunk / 8);
        EXPECT_EQ(piece.data, before[static_cast<std::size_t>(k)].data) << k;
    }
    arena.Trim();
    EXPECT_LT(arena.PresentBytes(), present / 2);
    EXPECT_GE(arena.PresentBytes(), kSmallChunk); // the chunk in use stays

    // Trimmed numbers are handed out again.
    for (int k = 0; k < 40; ++k) {
        ASSERT_NE(arena.Allocate(kSmallChunk / 8).data, nullptr);
    }
}

#if defined(__SANITIZE_ADDRESS__)
// The sanitizer sees the arena as it sees malloc: past the end of a piece, or in a released chunk
// that is kept for reuse, is a bad access.
TEST(RecordArenaDeathTest, the_address_sanitizer_catches_a_write_past_a_piece_or_into_recycled_memory)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_DEATH(
        {
            RecordArena arena(kSmallChunk);
            RecordArena::Piece piece = arena.Allocate(13);
            piece.data[13] = 'x';
        },
        "AddressSanitizer");
    EXPECT_DEATH(
        {
            RecordArena arena(kSmallChunk);
            RecordArena::Piece piece = arena.Allocate(100);
            arena.RecycleAll();
            piece.data[0] = 'x';
        },
        "AddressSanitizer");
}
#endif

} // namespace
} // namespace trawl
