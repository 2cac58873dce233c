#include "net/ConnectTo.h"

#include "app/TextUtil.h"

#include <cstdlib>

namespace trawl {

namespace {

// A whole decimal port number from 1 to 65535, or 0.
int ParsePort(std::string_view text)
{
    if (text.empty() || text.size() > 5) {
        return 0;
    }
    int value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9') {
            return 0;
        }
        value = value * 10 + (c - '0');
    }
    return value <= 65535 ? value : 0;
}

Status Malformed(std::size_t index, std::string_view entry, const std::string& why)
{
    return Status::Failure(std::string(kConnectToVariable) + ": entry " + std::to_string(index) + " \"" +
                           std::string(entry) + "\" " + why + " (expected HOST:PORT:ADDR:PORT2[,...])");
}

} // namespace

Status ParseConnectTo(std::string_view text, std::vector<ConnectToRule>& rules)
{
    rules.clear();
    if (TrimSpaces(text).empty()) {
        return Status::Ok();
    }
    std::vector<ConnectToRule> parsed;
    const auto entries = SplitPlain(text, ',');
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const std::string_view entry = TrimSpaces(entries[i]);
        const auto parts = SplitPlain(entry, ':');
        if (parts.size() != 4) {
            return Malformed(i + 1, entry, "does not have four parts separated by ':'");
        }
        ConnectToRule rule;
        rule.host = ToLowerAscii(parts[0]);
        rule.address = parts[2];
        rule.port = ParsePort(parts[1]);
        rule.targetPort = ParsePort(parts[3]);
        if (rule.host.empty()) {
            return Malformed(i + 1, entry, "has an empty HOST (use * for any host)");
        }
        if (rule.address.empty()) {
            return Malformed(i + 1, entry, "has an empty ADDR");
        }
        if (rule.port == 0) {
            return Malformed(i + 1, entry, "has PORT \"" + parts[1] + "\", not a number from 1 to 65535");
        }
        if (rule.targetPort == 0) {
            return Malformed(i + 1, entry, "has PORT2 \"" + parts[3] + "\", not a number from 1 to 65535");
        }
        parsed.push_back(std::move(rule));
    }
    rules = std::move(parsed);
    return Status::Ok();
}

Status ConnectToRulesFromEnvironment(std::vector<ConnectToRule>& rules)
{
    const char* value = std::getenv(kConnectToVariable);
    return ParseConnectTo(value == nullptr ? std::string_view() : std::string_view(value), rules);
}

const ConnectToRule* MatchConnectTo(const std::vector<ConnectToRule>& rules, std::string_view host, int port)
{
    const std::string lowered = ToLowerAscii(host);
    for (const auto& rule : rules) {
        if (rule.port == port && (rule.host == "*" || rule.host == lowered)) {
            return &rule;
        }
    }
    return nullptr;
}

} // namespace trawl
