#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace trawl {

class ResultStore;

// A record that a deep-scan worker has taken: its number, its link, and the full text it held before
// it was marked "Pending" (restored if the worker gives the record up).
struct ClaimedRecord {
    int record = 0;
    std::string uri;
    std::string previousText;
};

// Records a deep scan would still take: empty full texts, plus feed texts when `overrideRss`.
int CountScanPending(ResultStore& store, bool overrideRss);

// What the Deep Scan command counts before it starts: full texts shorter than 50 characters, or
// (`overrideRss`) holding a feed text. Zero means there is nothing to scan.
int CountDeepScanCandidates(ResultStore& store, bool overrideRss);

// Finds the first record (store order) with an empty full text, else (overrideRss) the first holding a
// feed text, and marks it "Pending", as one step under the store's lock. Nothing to take: nullopt.
std::optional<ClaimedRecord> ClaimNextRecord(ResultStore& store, bool overrideRss);

// A record without a link: its link and its full text both become "Error".
void MarkClaimError(ResultStore& store, const ClaimedRecord& claim);
// A record whose link no request can be formed from: its full text becomes "Error" (never taken
// again), its link stays for the user to see.
void MarkClaimFailed(ResultStore& store, const ClaimedRecord& claim);

// Where an ad's page is fetched from: the stored link trimmed of spaces, tabs, CR and LF (older
// search files kept the line breaks some feeds wrapped their links in), less a leading "http://",
// cut at its first "/" into host and path ("/" when it has none).
struct AdAddress {
    std::string link; // trimmed, without "http://" (an https link keeps its scheme)
    std::string host; // as HttpGet takes it: "https://" kept for TLS
    std::string path;
};
// nullopt when no request can be formed: no host, or bytes that a request cannot carry.
std::optional<AdAddress> AdAddressOfLink(std::string_view uri);

// Gives the record back: its full text returns to what it was, if it still holds the claim.
void ReleaseClaim(ResultStore& store, const ClaimedRecord& claim);

// Stores a page text into the claimed record, if it still holds the claimed link and "Pending"; an
// expired posting's text is replaced and the record dated "0000-00-00". False when the record no
// longer holds the claim (the text is dropped).
bool StoreScannedText(ResultStore& store, const ClaimedRecord& claim, std::string_view text);

} // namespace trawl
