#include "refdata/ListFiles.h"

#include "app/AtomicFile.h"
#include "app/TextUtil.h"

#include <cstdint>
#include <fstream>
#include <sys/stat.h>
#include <sstream>

namespace trawl {

std::string_view ListFileName(ListFile which)
{
    switch (which) {
    case ListFile::CLCities:
        return kCLCityListFile;
    case ListFile::CLSections:
        return kCLSectionListFile;
    case ListFile::CLStates:
        return kCLStateListFile;
    case ListFile::KJCities:
        return kKJCityListFile;
    case ListFile::KJSections:
        return kKJSectionListFile;
    }
    return {};
}

std::string_view ListFileHeader(ListFile which)
{
    switch (which) {
    case ListFile::CLCities:
        return kCLCityListHeader;
    case ListFile::CLSections:
        return kCLSectionListHeader;
    case ListFile::CLStates:
        return kCLStateListHeader;
    case ListFile::KJCities:
        return kKJCityListHeader;
    case ListFile::KJSections:
        return kKJSectionListHeader;
    }
    return {};
}

std::size_t ListFileCapacity(ListFile which)
{
    switch (which) {
    case ListFile::CLCities:
        return kCLCityCapacity;
    case ListFile::CLSections:
        return kCLSectionCapacity;
    case ListFile::CLStates:
        return kCLStateCapacity;
    case ListFile::KJCities:
        return kKJCityCapacity;
    case ListFile::KJSections:
        return kKJSectionCapacity;
    }
    return 0;
}

std::string PathInDirectory(const std::string& directory, std::string_view name)
{
    std::string path = directory;
    if (!path.empty() && path.back() != '/' && path.back() != '\\') {
        path += '/';
    }
    path += name;
    return path;
}

bool ReadListLine(std::istream& in, std::string& line)
{
    line.clear();
    std::streambuf* buffer = in.rdbuf();
    if (buffer == nullptr) {
        return false;
    }
    bool sawAnything = false;
    bool sawLineFeed = false;
    for (;;) {
        const auto next = buffer->sbumpc();
        if (next == std::streambuf::traits_type::eof()) {
            break;
        }
        sawAnything = true;
        const char c = static_cast<char>(next);
        if (c == '\n') {
            sawLineFeed = true;
            break;
        }
        if (line.size() < kMaxListLineBytes) {
            line.push_back(c);
        }
    }
    if (!sawAnything) {
        return false;
    }
    if (!line.empty() && line.back() == '\r') {
        line.pop_back();
    }
    // An empty remainder after the last line feed is no line.
    return sawLineFeed || !line.empty();
}

std::vector<std::string> ReadListFields(std::string_view line, std::size_t count)
{
    std::vector<std::string> fields(count);
    std::size_t pos = 0;
    for (std::size_t index = 0; index < count; ++index) {
        while (pos < line.size() && line[pos] == ' ') {
            ++pos;
        }
        if (pos < line.size() && line[pos] == '"') {
            const std::size_t start = pos + 1;
            std::size_t close = line.find('"', start);
            if (close == std::string_view::npos) {
                close = line.size();
            }
            fields[index].assign(line.substr(start, close - start));
            pos = close < line.size() ? close + 1 : close;
            // Whatever follows the closing quote belongs to no field.
            const std::size_t comma = line.find(',', pos);
            pos = comma == std::string_view::npos ? line.size() : comma;
        } else {
            std::size_t comma = line.find(',', pos);
            if (comma == std::string_view::npos) {
                comma = line.size();
            }
            std::string_view field = line.substr(pos, comma - pos);
            while (!field.empty() && field.back() == ' ') {
                field.remove_suffix(1);
            }
            fields[index].assign(field);
            pos = comma;
        }
        if (pos >= line.size()) {
            break; // the remaining fields are missing: they stay empty
        }
        ++pos; // past the comma
    }
    return fields;
}

namespace {

void ClearTable(ListFile which, ReferenceTables& tables)
{
    switch (which) {
    case ListFile::CLCities:
        tables.CLCityTable.clear();
        break;
    case ListFile::CLSections:
        tables.CLSectionTable.clear();
        break;
    case ListFile::CLStates:
        tables.CLStateTable.clear();
        break;
    case ListFile::KJCities:
        tables.KJCityTable.clear();
        break;
    case ListFile::KJSections:
        tables.KJSectionTable.clear();
        break;
    }
}


void AddRow(ListFile which, std::string_view line, bool sixColumnCities, ReferenceTables& tables)
{
    switch (which) {
    case ListFile::CLCities: {
        auto f = ReadListFields(line, 6);
        if (sixColumnCities) {
            // The state code column is not kept: it is looked up again through the state list.
            tables.CLCityTable.push_back(
                {std::move(f[0]), std::move(f[1]), std::move(f[2]), std::move(f[4]), std::move(f[5])});
        } else {
            tables.CLCityTable.push_back(
                {std::move(f[0]), std::move(f[1]), std::move(f[2]), std::move(f[3]), std::move(f[4])});
        }
        break;
    }
    case ListFile::CLSections: {
        auto f = ReadListFields(line, 3);
        tables.CLSectionTable.push_back({std::move(f[0]), std::move(f[1]), std::move(f[2])});
        break;
    }
    case ListFile::CLStates: {
        auto f = ReadListFields(line, 3);
        tables.CLStateTable.push_back({ToLowerAscii(f[0]), std::move(f[1]), ToUpperAscii(f[2])});
        break;
    }
    case ListFile::KJCities: {
        auto f = ReadListFields(line, 4);
        tables.KJCityTable.push_back({std::move(f[0]), std::move(f[1]), std::move(f[2]), std::move(f[3])});
        break;
    }
    case ListFile::KJSections: {
        auto f = ReadListFields(line, 4);
        tables.KJSectionTable.push_back({std::move(f[0]), std::move(f[1]), std::move(f[2]), std::move(f[3])});
        break;
    }
    }
}

// The state and Kijiji city lists are the ones whose lines are trimmed and whose blank lines are
// skipped; the other three make a row of every line.
bool TrimsLines(ListFile which)
{
    return which == ListFile::CLStates || which == ListFile::KJCities;
}

} // namespace

std::size_t RowCount(ListFile which, const ReferenceTables& tables)
{
    switch (which) {
    case ListFile::CLCities:
        return tables.CLCityTable.size();
    case ListFile::CLSections:
        return tables.CLSectionTable.size();
    case ListFile::CLStates:
        return tables.CLStateTable.size();
    case ListFile::KJCities:
        return tables.KJCityTable.size();
    case ListFile::KJSections:
        return tables.KJSectionTable.size();
    }
    return 0;
}

void LoadListFile(ListFile which, std::istream& in, ReferenceTables& tables)
{
    ClearTable(which, tables);
    std::string line;
    if (!ReadListLine(in, line)) {
        return;
    }
    const bool sixColumnCities = line.find(kStateCodeColumnMark) != std::string::npos;
    while (ReadListLine(in, line)) {
        if (RowCount(which, tables) >= kMaxListRows) {
            break;
        }
        std::string_view text = line;
        if (TrimsLines(which)) {
            text = TrimSpaces(text);
            if (text.empty()) {
                continue;
            }
        }
        AddRow(which, text, sixColumnCities, tables);
    }
}

void LoadListText(ListFile which, std::string_view text, ReferenceTables& tables)
{
    std::istringstream in{std::string(text)};
    LoadListFile(which, in, tables);
}

namespace {

// Only a regular file of at most kMaxListFileBytes is read as a list: a folder, a pipe or a device in
// a list's place (a link to /dev/zero never ends) is taken for a missing list.
bool IsListFileToRead(const std::string& path)
{
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
           static_cast<std::uint64_t>(info.st_size) <= kMaxListFileBytes;
}

} // namespace

ReferenceTables LoadReferenceLists(const std::string& programDirectory)
{
    ReferenceTables tables;
    for (ListFile which : kAllListFiles) {
        // A missing, unreadable or damaged file leaves its table empty, and start-up offers the download.
        const std::string path = PathInDirectory(programDirectory, ListFileName(which));
        if (!IsListFileToRead(path)) {
            continue;
        }
        std::ifstream in(path, std::ios::binary);
        if (!in) {
            continue;
        }
        try {
            LoadListFile(which, in, tables);
        } catch (const std::ios_base::failure&) {
            LoadListText(which, {}, tables); // a read error part-way: the table is emptied, as for a missing file
        }
    }
    return tables;
}

bool ReferenceListsComplete(const ReferenceTables& tables)
{
    return tables.Complete();
}

std::string ListFileLine(const std::vector<std::string>& fields)
{
    std::string line = "\"";
    for (std::size_t i = 0; i < fields.size(); ++i) {
        if (i > 0) {
            line += "\",\"";
        }
        for (char c : fields[i]) {
            if (c == '"') {
                c = '\'';
            } else if (c == '\r' || c == '\n') {
                c = ' ';
            }
            line += c;
        }
    }
    line += "\"\r\n";
    return line;
}

std::string ListFileText(std::string_view header, const std::vector<std::vector<std::string>>& rows)
{
    std::string text(header);
    text += "\r\n";
    for (const auto& row : rows) {
        text += ListFileLine(row);
    }
    return text;
}

Status WriteListFile(const std::string& path, std::string_view header,
                     const std::vector<std::vector<std::string>>& rows)
{
    return WriteFileAtomically(path, ListFileText(header, rows));
}

} // namespace trawl
