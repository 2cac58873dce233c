#include "batch/Console.h"

#include <cerrno>
#include <cstring>

namespace trawl {

void Console::ClearProgressLocked()
{
    if (m_progressWidth > 0) {
        m_err << '\r' << std::string(m_progressWidth, ' ') << '\r';
        m_err.flush();
        m_progressWidth = 0;
    }
}

void Console::Out(const std::string& line)
{
    std::lock_guard lock(m_mutex);
    ClearProgressLocked();
    m_out << line << '\n';
    m_out.flush();
    if (!m_out && m_outLost.empty()) {
        const int error = errno; // of the write that failed, as nothing ran since
        m_outLost = error != 0 ? std::strerror(error) : "the stream failed";
    }
}

std::string Console::OutLost() const
{
    std::lock_guard lock(m_mutex);
    return m_outLost;
}

void Console::Err(const std::string& line)
{
    std::lock_guard lock(m_mutex);
    ClearProgressLocked();
    m_err << line << '\n';
    m_err.flush();
}

void Console::Progress(const std::string& line)
{
    if (!m_progressAllowed) {
        return;
    }
    std::lock_guard lock(m_mutex);
    m_err << '\r' << line;
    if (line.size() < m_progressWidth) {
        // Blank out the tail of a longer line shown before.
        m_err << std::string(m_progressWidth - line.size(), ' ') << '\r' << line;
    }
    m_err.flush();
    m_progressWidth = line.size();
}

void Console::EndProgress()
{
    std::lock_guard lock(m_mutex);
    if (m_progressWidth > 0) {
        m_err << '\n';
        m_err.flush();
        m_progressWidth = 0;
    }
}

PromptAnswer ConsolePrompts::Show(PromptKind kind, const std::string& caption, const std::string& text)
{
    if (caption == kSaveCompleteCaption) {
        m_console.Out(text);
    } else {
        m_console.Err(caption + ": " + text);
    }
    return SafeAnswer(kind);
}

} // namespace trawl
