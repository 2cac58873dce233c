#pragma once

#include <string>
#include <string_view>

namespace trawl {

// Field numbers, fixed: every reader addresses a record's fields by them.
enum class Field { Date = 1, Title = 2, City = 3, Section = 4, URI = 5, FullText = 6, NewMark = 7 };

inline constexpr std::string_view kExpiredDate = "0000-00-00";
inline constexpr std::string_view kRssMarker = "<!--RSS-->";
inline constexpr std::string_view kNewMarkYes = "Yes";

// One result as plain values (used to add, load and copy records).
struct ResultRecord {
    std::string Date;
    std::string Title;
    std::string City;
    std::string Section;
    std::string URI;
    std::string FullText;
    std::string NewMark; // "Yes" or empty

    bool operator==(const ResultRecord&) const = default;
};

// A record as the store holds it; the views stay valid while the store's lock is held and the
// record is not changed.
struct RecordView {
    std::string_view Date;
    std::string_view Title;
    std::string_view City;
    std::string_view Section;
    std::string_view URI;
    std::string_view FullText;
    std::string_view NewMark;

    std::string_view Get(Field field) const;
    ResultRecord Copy() const;
};

// The text of the list's Full Text column for a record filled from the store (load, sort, delete).
std::string StoredFullTextCell(std::string_view fullText);
// The same for a row that a search worker adds.
std::string AddedFullTextCell(std::string_view fullText);

} // namespace trawl
