#pragma once

#include <string_view>

namespace trawl {

class LineReader;
class ResultStore;
struct ResultRecord;

// The record lines of a search file, from where `reader` stands to the end, into the store (after
// its ResetForLoad; FinishLoad is the caller's). A record with an empty Title or a Date below
// `cutoff` is dropped; the others are appended in file order until one does not fit: then the rest
// of the file is left unread and the result is true (overflowed).
//
// With `threads` above 1, blocks of lines are parsed on that many threads (at most
// ResultStore::kLoadLanes) and appended in order on whichever thread finishes the next one, so the
// store ends exactly as after reading line by line: the same records, numbers, index and overflow.
bool LoadRecordLines(LineReader& reader, ResultStore& store, std::string_view cutoff, int threads);

// What the load does with one line: false when it was dropped. Exposed for the line-by-line path.
bool KeepsRecord(const ResultRecord& record, std::string_view cutoff);

} // namespace trawl
