#include "results/SearchFile.h"

#include "app/AtomicFile.h"
#include "app/StatusView.h"
#include "app/TextUtil.h"
#include "results/Dates.h"
#include "results/Escaping.h"
#include "results/LineReader.h"
#include "results/RecordLines.h"
#include "results/ResultStore.h"

#include <algorithm>
#include <cstring>
#include <thread>

namespace trawl {

std::string CleanSearchName(std::string_view name)
{
    std::string spaced(name);
    for (char& c : spaced) {
        if (c == '.' || c == '*' || c == '?' || c == '/' || c == '\\' || c == '"') {
            c = ' ';
        }
    }
    return ReplaceAll(spaced, "  ", "");
}

std::string SearchFilePath(std::string_view programDirectory, std::string_view cleanedName)
{
    std::string path;
    path.reserve(programDirectory.size() + cleanedName.size() + kSearchFileExtension.size());
    path.append(programDirectory).append(cleanedName).append(kSearchFileExtension);
    return path;
}

namespace {

// A header value must stay on its own line: a line break inside it would move every later line
// (terms into the city list, keys into the records).
void WriteHeaderLine(AtomicFileWriter& writer, std::string_view value)
{
    for (char c : value) {
        writer.Put(c == '\r' || c == '\n' ? ' ' : c);
    }
    writer.Write("\r\n");
}

void AppendQuotedField(std::string& line, std::string_view value)
{
    line += '"';
    AppendEscaped(line, value);
    line += '"';
}

} // namespace

Status SaveSearch(const std::string& path, const SearchDefinition& definition, ResultStore& store)
{
    // Cleared before the records are read, so a text that a deep scan stores while we write marks
    // the results unsaved again instead of being forgotten.
    const bool wasUnsaved = store.UnsavedResults();
    store.SetUnsavedResults(false);

    AtomicFileWriter writer(path);
    for (const std::string* header : {&definition.Name, &definition.CLCityKeys, &definition.CLSectionKeys,
                                      &definition.Terms, &definition.KJCityKeys, &definition.KJSectionKeys}) {
        WriteHeaderLine(writer, *header);
    }
    std::string line; // reused for every record
    store.ForEach([&](int, const RecordView& record) {
        if (TrimSpaces(record.Title).empty() || record.Date == kExpiredDate) {
            return;
        }
        // Every field is escaped, not only Title and FullText: a link or a name holding a quote or a
        // line break would otherwise break its line. Plain values come out unchanged either way.
        line.clear();
        AppendQuotedField(line, record.Date);
        for (std::string_view field : {record.Title, record.City, record.Section, record.URI, record.FullText}) {
            line += ',';
            AppendQuotedField(line, field);
        }
        line += "\r\n";
        writer.Write(line);
    });
    Status status = writer.Commit();
    if (!status.ok() && wasUnsaved) {
        store.SetUnsavedResults(true);
    }
    return status;
}

bool ReportSaveSearchFailure(const Status& status, Prompts& prompts)
{
    if (!status.ok()) {
        prompts.Show(PromptKind::Error, "Error", "The search could not be saved.\n\n" + status.message());
    }
    return status.ok();
}

std::string MissingSearchMessage(std::string_view cleanedName)
{
    return "\"" + std::string(cleanedName) + "\" can't be found. Perhaps it is a new search?";
}

namespace {

// Reads the header lines into `definition`; true when the file is of the older layout and its line
// 5, kept in KJCityKeys, is already the first record.
bool ReadSearchHeader(LineReader& reader, SearchDefinition& definition)
{
    std::string_view line;
    // A line the file does not have reads as empty.
    const auto readHeader = [&](std::string& into) {
        const bool read = reader.Next(line);
        into.assign(read ? line : std::string_view());
        return read;
    };
    readHeader(definition.Name);
    readHeader(definition.CLCityKeys);
    readHeader(definition.CLSectionKeys);
    readHeader(definition.Terms);
    const bool haveLine5 = readHeader(definition.KJCityKeys);
    // Older files have four header lines; their line 2 starts with a double quote. Their line 5 is
    // already the first record (and also gives the Kijiji city list, as those files were read).
    const bool oldLayout = !definition.CLCityKeys.empty() && definition.CLCityKeys.front() == '"';
    if (oldLayout) {
        definition.CLCityKeys.clear();
        definition.CLSectionKeys.clear();
        return haveLine5;
    }
    readHeader(definition.KJSectionKeys);
    return false;
}

std::string SearchNameOfPath(std::string_view path)
{
    const auto slash = path.rfind('/');
    std::string_view name = slash == std::string_view::npos ? path : path.substr(slash + 1);
    if (name.size() >= kSearchFileExtension.size() &&
        name.substr(name.size() - kSearchFileExtension.size()) == kSearchFileExtension) {
        name.remove_suffix(kSearchFileExtension.size());
    }
    return std::string(name);
}

} // namespace

LoadedSearch LoadSearch(const std::string& path, bool quiet, bool discardOldResults, Clock& clock, ResultStore& store,
                        Prompts& prompts, const SearchFileReading& reading)
{
    LoadedSearch result;
    if (!FileExists(path)) {
        if (!quiet) {
            prompts.Show(PromptKind::Warning, "Warning", MissingSearchMessage(SearchNameOfPath(path)));
        }
        return result;
    }
    LineReader reader(path, reading.maxLineBytes, reading.blockBytes);
    if (!reader.isOpen()) {
        prompts.Show(PromptKind::Error, "Error",
                     "The search file '" + path + "' could not be opened: " + std::strerror(reader.error()) + ".");
        return result;
    }
    result.Found = true;

    SearchDefinition& definition = result.Definition;
    const bool recordInHeader = ReadSearchHeader(reader, definition);

    const std::string cutoff = discardOldResults ? DiscardCutoff(clock) : std::string(kExpiredDate);
    store.Lock().ResetForLoad();

    bool overflowed = false;
    if (recordInHeader) {
        ResultRecord record;
        ReadRecordFields(definition.KJCityKeys, record);
        overflowed = KeepsRecord(record, cutoff) && !store.Lock().AppendLoaded(record);
    }
    if (!overflowed) {
        const int cores = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
        const int threads = reading.threads > 0 ? reading.threads : std::min(cores, ResultStore::kLoadLanes);
        overflowed = LoadRecordLines(reader, store, cutoff, threads);
    }

    store.Lock().FinishLoad();
    result.Complete = !overflowed && reader.error() == 0;
    if (overflowed) {
        store.ShowOverflowMessage();
    } else if (reader.error() != 0) {
        prompts.Show(PromptKind::Error, "Error",
                     "The search file '" + path + "' could not be read to its end: " + std::strerror(reader.error()) +
                         ". The results read before the failure were loaded.");
    }
    StatusView& view = store.view();
    view.SetNewResults(0);
    view.SetTotalResults(store.Count());
    view.ResultsRefilled();
    return result;
}

MergedSearch MergeSearchFile(const std::string& path, ResultStore& store)
{
    MergedSearch result;
    LineReader reader(path);
    if (!reader.isOpen()) {
        result.status = Status::Failure("The search file '" + path +
                                        "' could not be opened: " + std::strerror(reader.error()) + ".");
        return result;
    }
    SearchDefinition definition;
    const bool recordInHeader = ReadSearchHeader(reader, definition);
    ResultRecord record;
    const auto merge = [&](std::string_view line) {
        ReadRecordFields(line, record);
        if (!KeepsRecord(record, kExpiredDate)) {
            return true;
        }
        const AddOutcome outcome = store.AddIfNew(record.URI, record);
        result.added += outcome == AddOutcome::Added ? 1 : 0;
        return outcome != AddOutcome::Full;
    };
    bool fits = !recordInHeader || merge(definition.KJCityKeys);
    std::string_view line;
    while (fits && reader.Next(line)) {
        fits = merge(line);
    }
    if (!fits) {
        result.status = Status::Failure("The results list is full, so the results another run saved in '" + path +
                                        "' could not all be taken in.");
    } else if (reader.error() != 0) {
        result.status = Status::Failure("The search file '" + path +
                                        "' could not be read to its end: " + std::strerror(reader.error()) + ".");
    }
    return result;
}

} // namespace trawl
