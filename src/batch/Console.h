#pragma once

#include "app/Prompts.h"

#include <mutex>
#include <ostream>
#include <string>

namespace trawl {

// Standard output and standard error of the batch front end, shared by the main thread and the
// workers. A progress line may stand on standard error (rewritten with a carriage return); any
// other text first clears it, so messages never run into it.
class Console {
public:
    Console(std::ostream& out, std::ostream& err, bool progressAllowed)
        : m_out(out), m_err(err), m_progressAllowed(progressAllowed)
    {
    }

    void Out(const std::string& line); // a line on standard output
    void Err(const std::string& line); // a line on standard error
    // Replaces the progress line (nothing when progress is not shown, e.g. stderr is no terminal).
    void Progress(const std::string& line);
    // Ends the progress line so that the next output starts on a fresh line.
    void EndProgress();
    bool progressAllowed() const { return m_progressAllowed; }
    // The reason a line could not be written to standard output (a full disk, a reader gone); ""
    // while every line went out.
    std::string OutLost() const;

private:
    void ClearProgressLocked();

    mutable std::mutex m_mutex;
    std::ostream& m_out;
    std::ostream& m_err;
    bool m_progressAllowed;
    std::size_t m_progressWidth = 0; // characters of the progress line now shown, 0 for none
    std::string m_outLost;
};

// Message boxes without a window: each text goes to standard error as "Caption: text" and is
// answered at once with the safe choice (see SafeAnswer). The closing message of a written file
// ("Save complete") is not a complaint: its text goes to standard output.
class ConsolePrompts final : public Prompts {
public:
    explicit ConsolePrompts(Console& console) : m_console(console) {}
    PromptAnswer Show(PromptKind kind, const std::string& caption, const std::string& text) override;

private:
    Console& m_console;
};

inline constexpr const char* kSaveCompleteCaption = "Save complete";

} // namespace trawl
