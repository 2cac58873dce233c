#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace trawl {

// An HTML page of results is opened in the user's browser, and the ads in it come from strangers. The
// page's own script (the item template's More Info and Close links) must work; script that an ad
// brings must not run. Ordinary ads hold no such markup and come through byte for byte.
//
// The text is read as a browser's tokenizer reads it: tags with their quoted attribute values,
// comments and other declarations to where a browser ends them, end tags with the attributes a
// browser ignores, and the content of the template's own raw-text elements (script, style, title,
// textarea, ...) as text up to their end tag.
//
// A tag "could run script" when its element is one that runs or loads active content (script, style,
// iframe, frame, frameset, object, embed, applet, meta, base, link, form, svg, math, xml, import,
// template) or one whose content a browser reads as raw text (noscript, xmp, title, textarea,
// noembed, noframes, plaintext: markup "inside an attribute" there would be real after its end tag),
// when it has an event-handler attribute (a name beginning "on"), when an attribute value names a
// javascript:, vbscript: or livescript: address, a CSS expression() or starts with a data: address
// (after character references, white space and control bytes are taken out, letter case ignored),
// or when it is never closed (it would run on into the text after it). A comment or declaration
// never closed is treated as such a tag.

// The tags of `text` that could run script.
std::vector<std::string> ScriptTags(std::string_view text);
// The tags of `itemTemplate`, with COUNTER replaced by `counter`, that could run script: the template's
// own, which an item made from it keeps.
std::vector<std::string> OwnScriptTags(std::string_view itemTemplate, int counter);

// `item` appended to `out`, every tag that could run script and is not one of `ownTags` (byte for byte)
// written with its '<' as "&lt;", so the browser shows it as text.
void AppendDisarmed(std::string& out, std::string_view item, const std::vector<std::string>& ownTags);

} // namespace trawl
