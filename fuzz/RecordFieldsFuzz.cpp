// Record lines of search files: the one-field and the all-fields readers agree, and escaping a text
// then reading it back gives the text (line breaks as CR LF).
#include "FuzzSupport.h"

#include "results/Escaping.h"

using namespace trawl;
using trawl::fuzz::Check;

namespace {

void CheckReadersAgree(std::string_view line)
{
    ResultRecord fresh;
    ReadRecordFields(line, fresh);
    // Storage reused from a longer record must not leak into the new one.
    ResultRecord reused{std::string(300, 'd'), "old title", "old city", "old section", "http://old/", "old text",
                        "Yes"};
    ReadRecordFields(line, reused);
    const std::string* fields[] = {&fresh.Date, &fresh.Title, &fresh.City, &fresh.Section, &fresh.URI,
                                   &fresh.FullText};
    const std::string* reusedFields[] = {&reused.Date, &reused.Title, &reused.City, &reused.Section, &reused.URI,
                                         &reused.FullText};
    for (int n = 1; n <= 6; ++n) {
        const std::string single = ReadRecordField(line, n);
        Check(single == *fields[n - 1], "ReadRecordFields differs from ReadRecordField", line);
        Check(single == *reusedFields[n - 1], "ReadRecordFields into a used record differs", line);
    }
    Check(reused.NewMark == "Yes", "ReadRecordFields touched NewMark", line);
    (void)ReadRecordField(line, 7);
    (void)ReadRecordField(line, 0);
    (void)ReadRecordField(line, -1);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view input = fuzz::AsText(data, size);
    CheckReadersAgree(input);

    // Two texts escaped into quoted fields of one line come back whole, whatever bytes they hold.
    const auto parts = fuzz::SplitParts(input, '\x01', 2);
    const std::string_view first = parts[0];
    const std::string_view second = parts.size() > 1 ? parts[1] : std::string_view("x");
    const std::string line = "\"" + EscapeField(first) + "\", \"" + EscapeField(second) + "\",plain";
    Check(line.find_first_of("\r\n\f") == std::string::npos, "escaped line holds a line break", line);
    CheckReadersAgree(line);
    Check(ReadRecordField(line, 1) == fuzz::BreaksAsCrLf(first), "first escaped text read back differs", line);
    Check(ReadRecordField(line, 2) == fuzz::BreaksAsCrLf(second), "second escaped text read back differs", line);
    Check(ReadRecordField(line, 3) == "plain", "the field after two escaped ones is lost", line);
    return 0;
}
