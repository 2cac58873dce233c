#pragma once

#include <string>
#include <string_view>

namespace trawl {

// Names as the downloads store them: in every word the first ASCII letter upper case and the other
// ASCII letters lower case (other bytes stay). Words are separated by spaces only; other bytes belong
// to the word, so "apts/housing" becomes "Apts/housing" and "&amp;" becomes "&Amp;" (its first letter
// is the "a").
std::string MixedCase(std::string_view text);

// Replaces the two-byte UTF-8 forms of the French accented letters (and the OE ligatures, Y with
// diaeresis) by plain ASCII letters; every other byte is kept. Used for the Canadian Kijiji rows only.
std::string FoldAccents(std::string_view text);

// The parts of a Kijiji category link "http://HOST.com/DIR/?catId=ID". False (and both parts empty)
// when the link has no ".com/", no "?catId=" after it, or nothing after "?catId=". The directory is
// the text after ".com/" up to the first "/", or up to "?catId=" when no "/" comes before it.
bool SplitKijijiCategoryLink(std::string_view link, std::string& sectionDir, std::string& sectionID);

} // namespace trawl
