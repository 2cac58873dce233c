// Term escaping for query strings: only safe bytes come out, and decoding gives the term back.
#include "FuzzSupport.h"

#include "harvest/FeedAddress.h"

using namespace trawl;
using trawl::fuzz::Check;

namespace {

bool IsUpperHex(char c) { return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F'); }
int HexValue(char c) { return c <= '9' ? c - '0' : c - 'A' + 10; }
bool IsKept(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' || c == '-';
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view term = fuzz::AsText(data, size);
    const std::string encoded = UrlEncode(term);
    std::string decoded;
    for (std::size_t i = 0; i < encoded.size(); ++i) {
        const char c = encoded[i];
        if (c == '%') {
            Check(i + 2 < encoded.size() && IsUpperHex(encoded[i + 1]) && IsUpperHex(encoded[i + 2]),
                  "a malformed escape", encoded);
            decoded.push_back(static_cast<char>(HexValue(encoded[i + 1]) * 16 + HexValue(encoded[i + 2])));
            i += 2;
        } else if (c == '+') {
            decoded.push_back(' ');
        } else {
            Check(IsKept(c), "an unsafe byte left unescaped", encoded);
            decoded.push_back(c);
        }
    }
    if (term.empty()) {
        Check(encoded == "+", "an empty term is not \"+\"", encoded);
    } else {
        Check(decoded == term, "the encoded term decodes to something else", encoded);
    }
    return 0;
}
