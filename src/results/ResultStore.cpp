#include "results/ResultStore.h"

#include "app/Prompts.h"
#include "app/StatusView.h"
#include "app/TextUtil.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace trawl {

namespace {

// A record block: six field lengths, the new mark, the arena chunk it lives in (none: its own
// allocation), then Date, Title, City, Section, URI and FullText back to back.
struct BlockHeader {
    std::uint32_t length[6];
    std::uint8_t isNew;
    std::uint8_t arena; // which of the store's arenas, when chunk is not kNoChunk
    std::uint16_t chunk;
};

} // namespace

std::string OverflowMessage(int count)
{
    return "The results list has overflowed (" + GroupDigits(count) +
           " elements). Please increase max results in the settings.";
}

ResultStore::ResultStore(int capacity, StatusView& view, Prompts& prompts) : m_view(view), m_prompts(prompts)
{
    Allocate(capacity);
}

ResultStore::~ResultStore() { FreeAll(); }

ResultStore::Block ResultStore::Pack(const ResultRecord& record, bool isNew, int arena)
{
    const RecordView view{record.Date,
                          record.Title,
                          record.City,
                          record.Section,
                          record.URI,
                          record.FullText,
                          isNew ? kNewMarkYes : std::string_view()};
    return PackView(view, arena);
}

ResultStore::Block ResultStore::PackView(const RecordView& view, int arena)
{
    const std::string_view fields[6] = {view.Date, view.Title, view.City, view.Section, view.URI, view.FullText};
    std::size_t total = sizeof(BlockHeader);
    for (const auto& field : fields) {
        total += field.size();
    }
    RecordArena::Piece piece;
    if (arena >= 0) {
        piece = m_arenas[static_cast<std::size_t>(arena)].Allocate(total);
    }
    Block block = piece.data;
    if (block == nullptr) {
        block = static_cast<Block>(::operator new(total));
        ++m_ownBlocks;
    }
    BlockHeader header{};
    header.chunk = piece.chunk;
    header.arena = static_cast<std::uint8_t>(std::max(arena, 0));
    char* out = block + sizeof(BlockHeader);
    for (int i = 0; i < 6; ++i) {
        header.length[i] = static_cast<std::uint32_t>(fields[i].size());
        if (!fields[i].empty()) {
            std::memcpy(out, fields[i].data(), fields[i].size());
        }
        out += fields[i].size();
    }
    header.isNew = view.NewMark.empty() ? 0 : 1;
    std::memcpy(block, &header, sizeof header);
    return block;
}

RecordView ResultStore::Unpack(Block block)
{
    BlockHeader header;
    std::memcpy(&header, block, sizeof header);
    const char* at = block + sizeof(BlockHeader);
    std::string_view fields[6];
    for (int i = 0; i < 6; ++i) {
        fields[i] = std::string_view(at, header.length[i]);
        at += header.length[i];
    }
    return RecordView{fields[0], fields[1], fields[2], fields[3], fields[4], fields[5],
                      header.isNew ? kNewMarkYes : std::string_view()};
}

void ResultStore::Free(Block block)
{
    BlockHeader header;
    std::memcpy(&header, block, sizeof header);
    if (header.chunk == RecordArena::kNoChunk) {
        ::operator delete(block);
        --m_ownBlocks;
    } else {
        m_arenas[header.arena].Release(header.chunk);
    }
}

void ResultStore::Allocate(int capacity)
{
    capacity = std::max(capacity, 0);
    m_blocks.assign(static_cast<std::size_t>(capacity), nullptr);
    m_blocks.shrink_to_fit();
    if (m_selection.size() < static_cast<std::size_t>(capacity)) {
        m_selection.resize(static_cast<std::size_t>(capacity), 0);
    }
    m_index.Reset(capacity);
    m_scanCursors.Reset();
    m_count.store(0, std::memory_order_release);
    m_capacity.store(capacity, std::memory_order_release);
}

void ResultStore::FreeAll(bool keepArenaMemory)
{
    const int count = Count();
    for (int n = 1; n <= count && m_ownBlocks > 0; ++n) {
        Free(Slot(n)); // arena blocks are let go of below, all at once, without reading each one
    }
    std::fill(m_blocks.begin(), m_blocks.begin() + count, nullptr);
    for (RecordArena& arena : m_arenas) {
        if (keepArenaMemory) {
            arena.RecycleAll();
        } else {
            arena.ReleaseAll();
        }
    }
    m_count.store(0, std::memory_order_release);
}

int ResultStore::Locked::FindResultByLink(std::string_view link) const
{
    ResultStore& store = *m_store;
    return store.m_index.FindFirst(link, store.Count(), [&store](int n) { return Unpack(store.Slot(n)).URI; });
}

AddOutcome ResultStore::Locked::AddResult(const ResultRecord& fields)
{
    ResultStore& store = *m_store;
    const int count = store.Count();
    if (count + 1 > store.Capacity()) {
        return AddOutcome::Full;
    }
    const int n = count + 1;
    store.Slot(n) = store.Pack(fields, true);
    store.m_index.Add(n, fields.URI);
    store.m_count.store(n, std::memory_order_release);
    const auto newCount = store.m_newResultCount.fetch_add(1) + 1;
    store.m_view.SetNewResults(newCount);
    store.m_view.SetTotalResults(n);
    store.m_view.ResultAdded(n, AddedFullTextCell(fields.FullText));
    store.m_unsaved.store(1);
    return AddOutcome::Added;
}

RecordView ResultStore::Locked::View(int record) const { return Unpack(m_store->Slot(record)); }

void ResultStore::Locked::Set(int record, Field field, std::string_view value)
{
    ResultStore& store = *m_store;
    Block old = store.Slot(record);
    RecordView view = Unpack(old);
    switch (field) {
    case Field::Date: view.Date = value; break;
    case Field::Title: view.Title = value; break;
    case Field::City: view.City = value; break;
    case Field::Section: view.Section = value; break;
    case Field::URI: view.URI = value; break;
    case Field::FullText: view.FullText = value; break;
    case Field::NewMark: view.NewMark = value; break;
    }
    store.Slot(record) = store.PackView(view); // packs from the old block before freeing it
    store.Free(old);
    if (field == Field::URI) {
        store.m_index.Add(record, value);
    } else if (field == Field::FullText) {
        store.m_scanCursors.Changed(record, value);
    }
    ++store.m_generation;
}

int ResultStore::Locked::FirstToScan(ScanKind kind)
{
    ResultStore& store = *m_store;
    return store.m_scanCursors.First(kind, store.Count(), [&store](int n) { return Unpack(store.Slot(n)).FullText; });
}

void ResultStore::Locked::ResetForLoad()
{
    ResultStore& store = *m_store;
    store.FreeAll(true); // the records about to be loaded take the memory of those they replace
    store.m_index.Reset(store.Capacity());
    store.m_scanCursors.Reset();
    store.m_newResultCount.store(0);
    ++store.m_generation;
}

bool ResultStore::Locked::AppendLoaded(const ResultRecord& record)
{
    ResultStore& store = *m_store;
    const int count = store.Count();
    if (count + 1 > store.Capacity()) {
        return false;
    }
    const int n = count + 1;
    store.Slot(n) = store.Pack(record, !record.NewMark.empty(), 0);
    store.m_index.AddSoon(n, record.URI);
    store.m_count.store(n, std::memory_order_release);
    return true;
}

ResultStore::PackedRecord ResultStore::Locked::PackLoaded(int lane, const ResultRecord& record)
{
    const Block block = m_store->Pack(record, !record.NewMark.empty(), std::clamp(lane, 0, kLoadLanes - 1));
    return PackedRecord{block, Unpack(block).URI};
}

bool ResultStore::Locked::AppendPacked(const PackedRecord& packed)
{
    ResultStore& store = *m_store;
    const int count = store.Count();
    if (count + 1 > store.Capacity()) {
        return false;
    }
    const int n = count + 1;
    store.Slot(n) = packed.block;
    store.m_index.AddSoon(n, packed.link);
    store.m_count.store(n, std::memory_order_release);
    return true;
}

void ResultStore::Locked::DiscardPacked(const PackedRecord& packed)
{
    m_store->Free(packed.block);
}

void ResultStore::Locked::FinishLoad()
{
    m_store->m_index.Flush();
    for (RecordArena& arena : m_store->m_arenas) {
        arena.Trim();
    }
}

void ResultStore::Locked::Clear(int capacity)
{
    m_store->FreeAll();
    m_store->Allocate(capacity);
    ++m_store->m_generation;
}

void ResultStore::Locked::Reorder(const std::vector<int>& order)
{
    ResultStore& store = *m_store;
    const int count = store.Count();
    std::vector<Block> moved(static_cast<std::size_t>(count));
    std::vector<int> newNumber(static_cast<std::size_t>(count) + 1, 0);
    for (int k = 0; k < count; ++k) {
        const int old = order[static_cast<std::size_t>(k)];
        moved[static_cast<std::size_t>(k)] = store.Slot(old);
        newNumber[static_cast<std::size_t>(old)] = k + 1;
    }
    std::copy(moved.begin(), moved.end(), store.m_blocks.begin());
    store.m_index.Renumber(newNumber);
    store.m_scanCursors.Reset();
    ++store.m_generation;
}

void ResultStore::Locked::Remove(const std::vector<int>& records)
{
    ResultStore& store = *m_store;
    const int count = store.Count();
    std::vector<unsigned char> gone(static_cast<std::size_t>(count) + 1, 0);
    for (int n : records) {
        if (n >= 1 && n <= count) {
            gone[static_cast<std::size_t>(n)] = 1;
        }
    }
    int kept = 0;
    std::vector<int> newNumber(static_cast<std::size_t>(count) + 1, 0);
    for (int n = 1; n <= count; ++n) {
        if (gone[static_cast<std::size_t>(n)]) {
            store.Free(store.Slot(n));
        } else {
            store.m_blocks[static_cast<std::size_t>(kept++)] = store.Slot(n);
            newNumber[static_cast<std::size_t>(n)] = kept;
        }
    }
    for (int n = kept + 1; n <= count; ++n) {
        store.Slot(n) = nullptr;
    }
    store.m_count.store(kept, std::memory_order_release);
    store.m_index.Renumber(newNumber);
    store.m_scanCursors.Reset();
    ++store.m_generation;
}

AddOutcome ResultStore::AddIfNew(std::string_view linkToTest, const ResultRecord& fields)
{
    AddOutcome outcome;
    {
        auto locked = Lock();
        if (locked.FindResultByLink(linkToTest) != 0) {
            return AddOutcome::Duplicate;
        }
        outcome = locked.AddResult(fields);
    }
    if (outcome == AddOutcome::Full) {
        ShowOverflowMessage();
    }
    return outcome;
}

void ResultStore::ShowOverflowMessage()
{
    m_overflows.fetch_add(1);
    m_prompts.Show(PromptKind::Error, "Error", OverflowMessage(Count()));
}

} // namespace trawl
