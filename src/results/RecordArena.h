#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace trawl {

// Memory for many records that arrive together (a search file being loaded): large chunks handed out
// front to back, so a million records cost no per-record allocation, and their pages are made
// present a few megabytes at a time rather than by a fault every 4 KB. Each piece remembers its chunk by number; a chunk is returned to the
// system once every piece in it has been released. Not thread-safe: the result store calls it under
// its lock.
class RecordArena {
public:
    // Pieces come in chunks of at least this many bytes (larger when one piece needs more).
    static constexpr std::size_t kChunkBytes = std::size_t{64} << 20;
    // Chunk numbers fit 16 bits; 0 means "not from an arena".
    static constexpr std::uint16_t kNoChunk = 0;

    explicit RecordArena(std::size_t chunkBytes = kChunkBytes) : m_chunkBytes(chunkBytes) {}
    ~RecordArena();
    RecordArena(const RecordArena&) = delete;
    RecordArena& operator=(const RecordArena&) = delete;

    struct Piece {
        char* data = nullptr;        // nullptr when no memory could be had
        std::uint16_t chunk = kNoChunk;
    };
    // `wanted` bytes, aligned to 8.
    Piece Allocate(std::size_t wanted);
    // Gives back one piece of chunk `chunk`.
    void Release(std::uint16_t chunk);
    // Gives back every piece and every chunk.
    void ReleaseAll();
    // Gives back every piece but keeps the chunks, pages present, for the pieces that follow (a new
    // load replacing the last one fills the same memory instead of faulting in fresh pages). Trim()
    // then returns whatever was not used again.
    void RecycleAll();
    void Trim();

    // Memory the chunks hold: the bytes handed out and the pages made present just ahead of them.
    std::size_t PresentBytes() const { return m_presentBytes; }

private:
    struct Chunk {
        char* base = nullptr;
        std::size_t size = 0;
        std::size_t used = 0;
        std::size_t populated = 0; // bytes from the front whose pages are present
        std::size_t live = 0; // pieces not yet released
    };
    static std::size_t WindowEnd(const Chunk& chunk);
    bool OpenChunk(std::size_t atLeast);
    void Unmap(Chunk& chunk);

    std::size_t m_chunkBytes;
    std::vector<Chunk> m_chunks{Chunk{}}; // index = chunk number; entry 0 is never used
    std::vector<std::uint16_t> m_freeNumbers;
    std::vector<std::uint16_t> m_spares; // recycled chunks, still mapped, waiting to be used again
    std::uint16_t m_current = kNoChunk;
    std::size_t m_presentBytes = 0;
};

} // namespace trawl
