#pragma once

#include "app/Status.h"

#include <string>
#include <string_view>
#include <vector>

namespace trawl {

// One "HOST:PORT:ADDR:PORT2" entry: a request for HOST on PORT is sent to ADDR on PORT2 instead; the
// request bytes (Host line included) stay those of the original host. HOST "*" stands for any host.
struct ConnectToRule {
    std::string host; // lower case, or "*"
    int port = 0;
    std::string address;
    int targetPort = 0;
};

// The environment variable that carries the rules, comma-separated.
inline constexpr const char* kConnectToVariable = "TRAWLKIT_CONNECT_TO";

// Parses a comma-separated list of rules. An empty text is an empty list. On a malformed entry the
// list is left empty and the status says which entry is wrong and why.
Status ParseConnectTo(std::string_view text, std::vector<ConnectToRule>& rules);

// Reads and parses kConnectToVariable; unset or empty gives no rules.
Status ConnectToRulesFromEnvironment(std::vector<ConnectToRule>& rules);

// The first rule that matches (host compared without regard to ASCII case), or nullptr.
const ConnectToRule* MatchConnectTo(const std::vector<ConnectToRule>& rules, std::string_view host, int port);

} // namespace trawl
