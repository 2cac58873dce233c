#include "harvest/UpdateCheck.h"

#include "app/Prompts.h"
#include "app/Settings.h"
#include "app/Shell.h"
#include "harvest/Version.h"
#include "net/HttpGetter.h"
#include "net/TextBetween.h"
#include "sites/Endpoints.h"

#include <string>

namespace trawl {

namespace {

constexpr long long kLimit = 1'000'000'000'000LL; // far above any version; keeps the sums in range

bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

} // namespace

long long VersionHundredths(std::string_view text)
{
    std::size_t i = 0;
    while (i < text.size() && text[i] == ' ') {
        ++i;
    }
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    long long whole = 0;
    bool anyDigit = false;
    for (; i < text.size() && IsDigit(text[i]); ++i) {
        anyDigit = true;
        whole = std::min(kLimit, whole * 10 + (text[i] - '0'));
    }
    std::string fraction;
    if (i < text.size() && text[i] == '.') {
        for (++i; i < text.size() && IsDigit(text[i]); ++i) {
            anyDigit = true;
            fraction += text[i];
        }
    }
    if (!anyDigit) {
        return 0;
    }
    fraction.resize(std::max<std::size_t>(fraction.size(), 2), '0');
    long long hundredths = whole * 100 + (fraction[0] - '0') * 10 + (fraction[1] - '0');
    // The digits past the hundredths decide the rounding: above a half up, a half exactly to even.
    const std::string_view rest = std::string_view(fraction).substr(2);
    if (!rest.empty()) {
        const bool aboveHalf = rest[0] > '5' || (rest[0] == '5' && rest.find_first_not_of('0', 1) != std::string::npos);
        const bool exactHalf = rest[0] == '5' && !aboveHalf;
        if (aboveHalf || (exactHalf && hundredths % 2 == 1)) {
            ++hundredths;
        }
    }
    return negative ? -hundredths : hundredths;
}

void UpdateCheck(HttpGetter& http, Prompts& prompts, Shell& shell)
{
    const std::string host(endpoints::kMakerHost);
    const std::string path(endpoints::kUpdatePath);
    const std::string page = http.HttpGet(host, path, 1, 0);
    const std::string text = TextBetween(page, "<!--trawlclver-->", "<!--endtrawlclver-->");
    if (text.empty()) {
        return;
    }
    const long long version = VersionHundredths(text);
    if (version <= kProgramVersion) {
        return;
    }
    const int shown = static_cast<int>(std::min<long long>(version, 2'000'000'000));
    const PromptAnswer answer = prompts.Show(PromptKind::Question, "Update Available",
                                             "A new version exists (" + VersionText(shown) +
                                                 "). Would you like to visit the software's homepage?");
    if (answer == PromptAnswer::Yes) {
        shell.Open("http://" + host + path);
    }
}

UpdateCheckThread::UpdateCheckThread(HttpGetter& http, Prompts& prompts, Shell& shell)
    : m_thread([&http, &prompts, &shell] { UpdateCheck(http, prompts, shell); })
{
}

UpdateCheckThread::~UpdateCheckThread()
{
    if (m_thread.joinable()) {
        m_thread.join();
    }
}

std::unique_ptr<UpdateCheckThread> StartUpdateCheck(const Settings& settings, HttpGetter& http, Prompts& prompts,
                                                    Shell& shell)
{
    if (settings.CheckForUpdates == 0) {
        return nullptr;
    }
    return std::make_unique<UpdateCheckThread>(http, prompts, shell);
}

} // namespace trawl
