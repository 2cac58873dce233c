#pragma once

#include <string>
#include <utility>

namespace trawl {

// The outcome of an operation that can fail: ok, or a message meant for the user.
class Status {
public:
    static Status Ok() { return Status(); }
    static Status Failure(std::string message) { return Status(std::move(message)); }

    bool ok() const { return m_ok; }
    explicit operator bool() const { return m_ok; }
    const std::string& message() const { return m_message; }

private:
    Status() = default;
    explicit Status(std::string message) : m_ok(false), m_message(std::move(message)) {}

    bool m_ok = true;
    std::string m_message;
};

} // namespace trawl
