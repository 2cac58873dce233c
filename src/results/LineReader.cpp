#include "results/LineReader.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace trawl {

LineReader::LineReader(const std::string& path, std::size_t maxLineBytes, std::size_t blockBytes)
    : m_maxLine(std::max<std::size_t>(maxLineBytes, 1)), m_blockBytes(std::max<std::size_t>(blockBytes, 16))
{
    m_fd = ::open(path.c_str(), O_RDONLY);
    if (m_fd < 0) {
        m_error = errno;
    }
}

LineReader::~LineReader()
{
    if (m_fd >= 0) {
        ::close(m_fd);
    }
}

bool LineReader::Fill()
{
    if (m_eof || m_error != 0 || m_fd < 0) {
        return false;
    }
    // Move the unconsumed part to the front, then make room for one more block.
    const std::size_t pending = m_end - m_begin;
    if (m_begin > 0 && pending > 0) {
        std::memmove(m_buffer.get(), m_buffer.get() + m_begin, pending);
    }
    m_begin = 0;
    m_end = pending;
    if (m_capacity - m_end < m_blockBytes) {
        const std::size_t capacity = std::max(m_capacity * 2, m_end + m_blockBytes);
        std::unique_ptr<char[]> bigger(new char[capacity]);
        if (m_end > 0) {
            std::memcpy(bigger.get(), m_buffer.get(), m_end);
        }
        m_buffer = std::move(bigger);
        m_capacity = capacity;
    }
    while (true) {
        const ssize_t n = ::read(m_fd, m_buffer.get() + m_end, m_capacity - m_end);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            m_error = errno;
            return false;
        }
        if (n == 0) {
            m_eof = true;
            return false;
        }
        m_end += static_cast<std::size_t>(n);
        return true;
    }
}

void LineReader::SkipRestOfLongLine()
{
    // Drop what is held and read on, block by block, to the LF that ends the line.
    m_begin = m_end;
    while (Fill()) {
        const void* lf = std::memchr(m_buffer.get(), '\n', m_end);
        if (lf != nullptr) {
            m_begin = static_cast<std::size_t>(static_cast<const char*>(lf) - m_buffer.get()) + 1;
            return;
        }
        m_begin = m_end;
    }
}

bool LineReader::Next(std::string_view& line)
{
    m_tooLong = false;
    std::size_t scanned = 0; // bytes after m_begin already known to hold no LF
    while (true) {
        const std::size_t pending = m_end - m_begin;
        const char* start = m_buffer.get() + m_begin;
        const void* lf = pending > scanned ? std::memchr(start + scanned, '\n', pending - scanned) : nullptr;
        if (lf != nullptr) {
            std::size_t length = static_cast<std::size_t>(static_cast<const char*>(lf) - start);
            m_begin += length + 1;
            if (length > m_maxLine) {
                m_tooLong = true;
                line = {};
                return true;
            }
            if (length > 0 && start[length - 1] == '\r') {
                --length;
            }
            line = std::string_view(start, length);
            return true;
        }
        scanned = pending;
        if (pending > m_maxLine) {
            SkipRestOfLongLine();
            m_tooLong = true;
            line = {};
            return true;
        }
        if (!Fill()) {
            break;
        }
        // Fill moved the pending bytes to the front; nothing to rescan.
    }
    // The end of the file ends a last line that has no LF. After a read error the bytes held are
    // an unknown part of a line: they are not handed out.
    if (m_error != 0) {
        return false;
    }
    const std::size_t pending = m_end - m_begin;
    if (pending == 0) {
        return false;
    }
    const char* start = m_buffer.get() + m_begin;
    m_begin = m_end;
    std::size_t length = pending;
    if (start[length - 1] == '\r') {
        --length;
    }
    line = std::string_view(start, length);
    return true;
}

bool LineReader::NextBlock(Block& block)
{
    block.text = {};
    while (true) {
        // A block of about blockBytes: read on while less is held and the file goes on.
        if (m_end - m_begin < m_blockBytes && Fill()) {
            continue;
        }
        const std::size_t pending = m_end - m_begin;
        const char* start = m_buffer.get() + m_begin;
        const void* lastLf = pending > 0 ? ::memrchr(start, '\n', pending) : nullptr;
        std::size_t length = 0;
        if (lastLf != nullptr) {
            length = static_cast<std::size_t>(static_cast<const char*>(lastLf) - start) + 1;
        } else if (pending > m_maxLine) {
            SkipRestOfLongLine(); // one line longer than any kept: left out, as Next leaves it empty
            continue;
        } else if (m_error == 0 && m_eof) {
            length = pending; // the last line, without LF
        } else if (m_error == 0 && (Fill() || m_eof)) {
            continue; // a line longer than a block: read on until it ends, or the file does
        }
        if (length == 0) {
            // The end of the file, or a read error: the bytes held are an unknown part of a line.
            return false;
        }
        // The block takes the buffer; what follows its last line moves to the block's old buffer,
        // which becomes the reader's.
        const std::size_t rest = pending - length;
        const std::size_t wanted = std::max(m_capacity, rest + m_blockBytes);
        if (block.capacity < wanted) {
            block.storage.reset(new char[wanted]);
            block.capacity = wanted;
        }
        if (rest > 0) {
            std::memcpy(block.storage.get(), start + length, rest);
        }
        std::swap(m_buffer, block.storage);
        std::swap(m_capacity, block.capacity);
        block.text = std::string_view(block.storage.get() + m_begin, length);
        m_begin = 0;
        m_end = rest;
        return true;
    }
}

} // namespace trawl
