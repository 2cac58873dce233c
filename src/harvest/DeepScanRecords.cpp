#include "harvest/DeepScanRecords.h"

#include "app/TextUtil.h"
#include "harvest/AdPageText.h"
#include "net/HttpClient.h"
#include "results/ResultStore.h"

namespace trawl {

namespace {

constexpr std::string_view kPending = "Pending";
constexpr std::string_view kError = "Error";

// The claimed record is still the one the worker took (numbers stay valid while workers run, but a
// record is checked before it is written all the same).
bool StillClaimed(const ResultStore::Locked& locked, const ClaimedRecord& claim)
{
    if (claim.record < 1 || claim.record > locked.Count()) {
        return false;
    }
    const RecordView view = locked.View(claim.record);
    return view.URI == claim.uri && view.FullText == kPending;
}

} // namespace

int CountScanPending(ResultStore& store, bool overrideRss)
{
    int total = 0;
    int filled = 0;
    int rss = 0;
    store.ForEach([&](int, const RecordView& view) {
        ++total;
        filled += view.FullText.empty() ? 0 : 1;
        rss += overrideRss && IsOfScanKind(view.FullText, ScanKind::FeedText) ? 1 : 0;
    });
    return std::max(0, total - filled + rss);
}

int CountDeepScanCandidates(ResultStore& store, bool overrideRss)
{
    int count = 0;
    store.ForEach([&](int, const RecordView& view) {
        count += view.FullText.size() < 50 || (overrideRss && IsOfScanKind(view.FullText, ScanKind::FeedText)) ? 1 : 0;
    });
    return count;
}

std::optional<ClaimedRecord> ClaimNextRecord(ResultStore& store, bool overrideRss)
{
    auto locked = store.Lock();
    int found = locked.FirstToScan(ScanKind::EmptyText);
    if (found == 0 && overrideRss) {
        found = locked.FirstToScan(ScanKind::FeedText);
    }
    if (found == 0) {
        return std::nullopt;
    }
    const RecordView view = locked.View(found);
    ClaimedRecord claim{found, std::string(view.URI), std::string(view.FullText)};
    locked.Set(found, Field::FullText, kPending);
    return claim;
}

void MarkClaimError(ResultStore& store, const ClaimedRecord& claim)
{
    auto locked = store.Lock();
    if (StillClaimed(locked, claim)) {
        locked.Set(claim.record, Field::URI, kError);
        locked.Set(claim.record, Field::FullText, kError);
    }
}

void MarkClaimFailed(ResultStore& store, const ClaimedRecord& claim)
{
    auto locked = store.Lock();
    if (StillClaimed(locked, claim)) {
        locked.Set(claim.record, Field::FullText, kError);
    }
}

std::optional<AdAddress> AdAddressOfLink(std::string_view uri)
{
    AdAddress address;
    std::string_view link = TrimWhitespace(uri);
    if (link.starts_with("http://")) {
        link.remove_prefix(7);
    }
    address.link = std::string(link);
    // An https link keeps its scheme on the host: the page is asked for over TLS.
    const bool tls = link.starts_with(kHttpsPrefix);
    if (tls) {
        link.remove_prefix(kHttpsPrefix.size());
    }
    const auto slash = link.find('/');
    address.host = std::string(link.substr(0, slash));
    // A link without a path asks for the site's root rather than sending an empty request line.
    address.path = slash == std::string_view::npos ? "/" : std::string(link.substr(slash));
    if (!IsSendableHost(address.host) || !IsSendablePath(address.path)) {
        return std::nullopt;
    }
    if (tls) {
        address.host.insert(0, kHttpsPrefix);
    }
    return address;
}

void ReleaseClaim(ResultStore& store, const ClaimedRecord& claim)
{
    auto locked = store.Lock();
    if (StillClaimed(locked, claim)) {
        locked.Set(claim.record, Field::FullText, claim.previousText);
    }
}

bool StoreScannedText(ResultStore& store, const ClaimedRecord& claim, std::string_view text)
{
    auto locked = store.Lock();
    if (!StillClaimed(locked, claim)) {
        return false;
    }
    if (text.find(kExpiredNotice) != std::string_view::npos) {
        locked.Set(claim.record, Field::FullText, kExpiredText);
        locked.Set(claim.record, Field::Date, kExpiredDate);
    } else {
        locked.Set(claim.record, Field::FullText, text);
    }
    return true;
}

} // namespace trawl
