#include "results/ScanCursors.h"

#include "results/ResultRecord.h"

#include <algorithm>

namespace trawl {

bool IsOfScanKind(std::string_view fullText, ScanKind kind)
{
    return kind == ScanKind::EmptyText ? fullText.empty() : fullText.find(kRssMarker) != std::string_view::npos;
}

void ScanCursors::Changed(int record, std::string_view fullText)
{
    for (const ScanKind kind : {ScanKind::EmptyText, ScanKind::FeedText}) {
        int& from = m_from[static_cast<int>(kind)];
        if (record < from && IsOfScanKind(fullText, kind)) {
            from = std::max(record, 1);
        }
    }
}

int ScanCursors::First(ScanKind kind, int count, const FullTextOf& fullTextOf)
{
    int& from = m_from[static_cast<int>(kind)];
    for (; from <= count; ++from) {
        if (IsOfScanKind(fullTextOf(from), kind)) {
            return from;
        }
    }
    return 0;
}

} // namespace trawl
