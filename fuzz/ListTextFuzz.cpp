// The reference list reader on arbitrary content (the first byte picks the list), and the line writer
// whose lines it must read back field for field.
#include "FuzzSupport.h"

#include "refdata/ListFiles.h"

#include <sstream>

using namespace trawl;
using trawl::fuzz::Check;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const auto [selector, text] = fuzz::TakeSelector(fuzz::AsText(data, size));
    const ListFile which = kAllListFiles[selector % std::size(kAllListFiles)];

    ReferenceTables tables;
    LoadListText(which, text, tables);
    const std::size_t rows = RowCount(which, tables);
    Check(rows <= kMaxListRows, "more rows than a list may hold");

    // The stream reader sees the same rows as the text reader.
    ReferenceTables streamed;
    std::istringstream in{std::string(text)};
    LoadListFile(which, in, streamed);
    Check(RowCount(which, streamed) == rows, "stream and text readers disagree", text);

    // Fields written by ListFileLine read back as written, quotes as apostrophes, line breaks as spaces.
    const auto parts = fuzz::SplitParts(text, '\x01', 8);
    std::vector<std::string> fields(parts.begin(), parts.end());
    std::string line = ListFileLine(fields);
    Check(line.ends_with("\r\n"), "a list line without its line end", line);
    line.resize(line.size() - 2);
    Check(line.find_first_of("\r\n") == std::string::npos, "a list line holds a line break", line);
    const std::vector<std::string> back = ReadListFields(line, fields.size());
    for (std::size_t i = 0; i < fields.size(); ++i) {
        std::string want = fields[i];
        for (char& c : want) {
            c = c == '"' ? '\'' : (c == '\r' || c == '\n' ? ' ' : c);
        }
        Check(back.at(i) == want, "a list field read back differs", line);
    }
    return 0;
}
