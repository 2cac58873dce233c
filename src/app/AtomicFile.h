#pragma once

#include "app/Status.h"

#include <string>
#include <string_view>

namespace trawl {

// Writes a file so that a crash, a kill or a full disk never leaves it half-written: the bytes go to
// a temporary file in the same folder, which replaces the old file only once it is complete and
// flushed to disk. Until Commit() succeeds the old file is untouched; a writer destroyed without a
// successful Commit() removes its temporary file.
class AtomicFileWriter {
public:
    explicit AtomicFileWriter(std::string path);
    ~AtomicFileWriter();
    AtomicFileWriter(const AtomicFileWriter&) = delete;
    AtomicFileWriter& operator=(const AtomicFileWriter&) = delete;

    // Buffered; after the first failure further writes are ignored and Commit() reports it.
    void Write(std::string_view bytes);
    void Put(char c)
    {
        m_buffer[m_used++] = c;
        if (m_used == kBufferSize) {
            FlushFullBuffer();
        }
    }
    Status Commit();

    const std::string& path() const { return m_path; }

private:
    static constexpr std::size_t kBufferSize = 1 << 20;
    static constexpr std::size_t kAlignment = 4096; // what writes that bypass the page cache need
    void FlushFullBuffer();
    void Flush();
    void LeaveDirectMode();
    void WriteAll(const char* data, std::size_t size);
    void Fail(const char* what, int error);

    std::string m_path;
    std::string m_tempPath;
    int m_fd = -1;
    int m_error = 0;
    std::string m_failedStep;
    bool m_committed = false;
    char* m_buffer;
    std::size_t m_used = 0;
    bool m_directTried = false;
    bool m_direct = false; // full buffers go to the disk directly (O_DIRECT)
};

// The whole content at once, through AtomicFileWriter.
Status WriteFileAtomically(const std::string& path, std::string_view content);

// Reads a whole file; false when it cannot be opened or read.
bool ReadWholeFile(const std::string& path, std::string& content);
bool FileExists(const std::string& path);

} // namespace trawl
