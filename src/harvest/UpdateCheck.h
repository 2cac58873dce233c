#pragma once

#include <memory>
#include <string_view>
#include <thread>

namespace trawl {

class HttpGetter;
class Prompts;
class Shell;
struct Settings;

// The version written on the update page in hundredths: its leading decimal number times 100,
// rounded to the nearest whole number with halves going to the even neighbour (2.085 -> 208,
// 2.095 -> 210); no number gives 0. Exact on the decimal digits, without binary rounding errors.
long long VersionHundredths(std::string_view text);

// Reads the maker's update page (not counted as downloaded bytes) and, when it names a newer
// version than this one, asks whether to open the page, and opens it on Yes. Silent otherwise.
void UpdateCheck(HttpGetter& http, Prompts& prompts, Shell& shell);

// Runs UpdateCheck on a thread of its own, joined when the object goes.
class UpdateCheckThread {
public:
    UpdateCheckThread(HttpGetter& http, Prompts& prompts, Shell& shell);
    ~UpdateCheckThread();
    UpdateCheckThread(const UpdateCheckThread&) = delete;
    UpdateCheckThread& operator=(const UpdateCheckThread&) = delete;

private:
    std::thread m_thread;
};

// The start-up step: the check runs only when CheckForUpdates is on (null otherwise, no request).
std::unique_ptr<UpdateCheckThread> StartUpdateCheck(const Settings& settings, HttpGetter& http, Prompts& prompts,
                                                    Shell& shell);

} // namespace trawl
