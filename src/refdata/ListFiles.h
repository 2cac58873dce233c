#pragma once

#include "app/Status.h"
#include "refdata/ReferenceTables.h"

#include <cstddef>
#include <istream>
#include <string>
#include <string_view>
#include <vector>

namespace trawl {

// The five list files beside the program, in the order they are read.
enum class ListFile { CLCities, CLSections, CLStates, KJCities, KJSections };

inline constexpr ListFile kAllListFiles[] = {ListFile::CLCities, ListFile::CLSections, ListFile::CLStates,
                                             ListFile::KJCities, ListFile::KJSections};

inline constexpr std::string_view kCLCityListFile = "CLcitylist.csv";
inline constexpr std::string_view kCLSectionListFile = "CLsectlist.csv";
inline constexpr std::string_view kCLStateListFile = "CLstatelist.csv";
inline constexpr std::string_view kKJCityListFile = "KJcitylist.csv";
inline constexpr std::string_view kKJSectionListFile = "KJsectlist.csv";

// The first line of each file as the downloads write it (without its CR LF).
inline constexpr std::string_view kCLCityListHeader =
    R"("Region","CountryCode","CountryName","StateCode","CityName","CityURL")";
inline constexpr std::string_view kCLSectionListHeader = R"("MasterSectionCode","SectionCode","SectionName")";
inline constexpr std::string_view kCLStateListHeader = R"("CityURI","StateName","StateCode")";
inline constexpr std::string_view kKJCityListHeader = R"("Country","State","City","URL")";
inline constexpr std::string_view kKJSectionListHeader =
    R"("MasterSectionName","SectionID","SectionDir","SectionName")";

// The header that marks the six-column city layout (the older layout has no state code).
inline constexpr std::string_view kStateCodeColumnMark = R"(,"StateCode",)";

// Nominal table sizes. Tables grow past them (rows are never dropped for want of room, because the
// downloads do not limit what they write); kMaxListRows only stops a damaged, enormous file from
// exhausting memory.
inline constexpr std::size_t kCLCityCapacity = 1000;
inline constexpr std::size_t kCLSectionCapacity = 500;
inline constexpr std::size_t kCLStateCapacity = 1200;
inline constexpr std::size_t kKJCityCapacity = 1000;
inline constexpr std::size_t kKJSectionCapacity = 500;
inline constexpr std::size_t kMaxListRows = 100000;
// A line longer than this is cut there (real lines are a few hundred bytes).
inline constexpr std::size_t kMaxListLineBytes = 64 * 1024;
// A list file larger than this is taken for a damaged one (real lists are a few hundred kilobytes).
inline constexpr std::size_t kMaxListFileBytes = std::size_t{32} << 20;

std::string_view ListFileName(ListFile which);
std::string_view ListFileHeader(ListFile which);
std::size_t ListFileCapacity(ListFile which);

// `directory` joined with `name`, adding a separator when the directory does not end in one.
std::string PathInDirectory(const std::string& directory, std::string_view name);

// Reads the next line of a list file into `line`: the bytes up to a line feed, without it and without
// one carriage return directly before it (or at the end of the input). Text after the last line feed
// is a line when it is not empty. Lines longer than kMaxListLineBytes are cut; the rest of such a
// line is skipped. False at the end of the input.
bool ReadListLine(std::istream& in, std::string& line);

// Splits a line into at most `count` fields (missing fields come back empty): spaces before a field
// are skipped; a field that starts with a double quote runs to the next double quote (commas inside
// belong to it, text after the closing quote up to the next comma is ignored, and a quote never
// closed runs to the end of the line); an unquoted field runs to the next comma and loses its
// trailing spaces.
std::vector<std::string> ReadListFields(std::string_view line, std::size_t count);

// Empties the matching table and fills it from a list file's content (the first line is the header
// and is always discarded).
void LoadListFile(ListFile which, std::istream& in, ReferenceTables& tables);
void LoadListText(ListFile which, std::string_view text, ReferenceTables& tables);

// The five files of `programDirectory`, in order; a missing or unreadable file leaves its table empty.
ReferenceTables LoadReferenceLists(const std::string& programDirectory);

// The number of rows of the table that `which` fills.
std::size_t RowCount(ListFile which, const ReferenceTables& tables);

// True when none of the five tables is empty.
bool ReferenceListsComplete(const ReferenceTables& tables);

// One data line: the fields, each in double quotes, joined by a comma, then CR LF. A double quote
// inside a field becomes an apostrophe and a line break a space, so the line always reads back as
// the same number of fields.
std::string ListFileLine(const std::vector<std::string>& fields);

// The header line and the rows, CR LF after each line, written through a temporary file.
std::string ListFileText(std::string_view header, const std::vector<std::vector<std::string>>& rows);
Status WriteListFile(const std::string& path, std::string_view header,
                     const std::vector<std::vector<std::string>>& rows);

} // namespace trawl
