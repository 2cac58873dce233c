#pragma once

#include "results/ResultRecord.h"

#include <string>
#include <string_view>

namespace trawl {

// Free text lives in one double-quoted field of one line: backslash -> \\, double quote -> \",
// every line break (CR LF, CR, LF, form feed) -> \n. The result holds no CR, LF, form feed or
// unescaped double quote.
std::string EscapeField(std::string_view text);
// The same, appended to `out` (lets writers reuse one buffer).
void AppendEscaped(std::string& out, std::string_view text);

// Field `n` (from 1) of a record line, escapes undone; empty when the line has fewer fields.
//
// Fields are separated by commas. Leading spaces of a field are skipped. A field that begins with a
// double quote runs to the next double quote that is not escaped, and whatever stands between that
// quote and the next comma is ignored; without a closing quote it runs to the end of the line. A
// field that does not begin with a double quote runs to the next comma and loses its trailing spaces.
// Escapes are read as the two-byte units EscapeField writes (\\, \", \n), left to right, so every
// text comes back as it was written, except that line breaks come back as CR LF; a backslash
// followed by anything else is an ordinary byte.
std::string ReadRecordField(std::string_view line, int n);

// All six stored fields of a record line (Date to FullText) in one pass, with exactly the results of
// ReadRecordField(line, 1..6). Reuses the strings' storage, so a loader reading a million lines does
// not allocate per field. NewMark is left as it is.
void ReadRecordFields(std::string_view line, ResultRecord& into);

} // namespace trawl
