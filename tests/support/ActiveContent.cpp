#include "support/ActiveContent.h"

#include <cctype>
#include <gumbo.h>

namespace trawl::test {

namespace {

std::string SchemeOf(const char* value)
{
    std::string out;
    for (const char* c = value; *c != '\0'; ++c) {
        const auto byte = static_cast<unsigned char>(*c);
        if (byte > 32 && byte != 127) {
            out.push_back(static_cast<char>(std::tolower(byte)));
        }
    }
    return out;
}

void Collect(const GumboNode* node, ActiveContent& active)
{
    if (node->type != GUMBO_NODE_ELEMENT && node->type != GUMBO_NODE_TEMPLATE) {
        return;
    }
    const GumboElement& element = node->v.element;
    switch (element.tag) {
    case GUMBO_TAG_SCRIPT:
        ++active.scripts;
        break;
    case GUMBO_TAG_IFRAME:
    case GUMBO_TAG_FRAME:
    case GUMBO_TAG_OBJECT:
    case GUMBO_TAG_EMBED:
    case GUMBO_TAG_APPLET:
    case GUMBO_TAG_BASE:
    case GUMBO_TAG_META:
    case GUMBO_TAG_LINK:
    case GUMBO_TAG_FORM:
    case GUMBO_TAG_SVG:
    case GUMBO_TAG_MATH:
    case GUMBO_TAG_TEMPLATE:
        active.loaders.emplace_back(gumbo_normalized_tagname(element.tag));
        break;
    default:
        break;
    }
    for (unsigned i = 0; i < element.attributes.length; ++i) {
        const auto* attribute = static_cast<const GumboAttribute*>(element.attributes.data[i]);
        const std::string name = SchemeOf(attribute->name);
        if (name.starts_with("on")) {
            active.handlers.push_back(name + "=" + attribute->value);
        }
        const std::string scheme = SchemeOf(attribute->value);
        if (scheme.starts_with("javascript:") || scheme.starts_with("vbscript:") || scheme.starts_with("data:") ||
            scheme.find(",data:") != std::string::npos) {
            active.addresses.push_back(scheme);
        }
    }
    for (unsigned i = 0; i < element.children.length; ++i) {
        Collect(static_cast<const GumboNode*>(element.children.data[i]), active);
    }
}

} // namespace

ActiveContent FindActiveContent(std::string_view page)
{
    GumboOutput* output = gumbo_parse_with_options(&kGumboDefaultOptions, page.data(), page.size());
    ActiveContent active;
    Collect(output->root, active);
    gumbo_destroy_output(&kGumboDefaultOptions, output);
    return active;
}

} // namespace trawl::test
