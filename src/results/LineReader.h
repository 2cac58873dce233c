#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

namespace trawl {

// Reads a file line by line in large blocks, handing out views into its own buffer.
//
// A line ends at LF; a CR just before the LF, or just before the end of the file, is dropped. A CR
// anywhere else is an ordinary byte: the files we write never hold one, and keeping it keeps a
// damaged record in one piece instead of cutting it in two. A last line without LF still counts;
// after a final LF there is no further (empty) line. NUL and any other byte are kept.
//
// A line longer than `maxLineBytes` is not held: it is skipped to its LF and handed out as an empty
// view with tooLong() set, so line numbers stay right and memory stays bounded.
class LineReader {
public:
    static constexpr std::size_t kDefaultMaxLineBytes = std::size_t{256} << 20;

    explicit LineReader(const std::string& path, std::size_t maxLineBytes = kDefaultMaxLineBytes,
                        std::size_t blockBytes = std::size_t{4} << 20);
    ~LineReader();
    LineReader(const LineReader&) = delete;
    LineReader& operator=(const LineReader&) = delete;

    bool isOpen() const { return m_fd >= 0; }
    // The next line, valid until the next call; false at the end of the file or after a read error.
    bool Next(std::string_view& line);
    bool tooLong() const { return m_tooLong; }

    // The lines that follow, many at a time, for parsing on other threads: whole lines in a buffer
    // that is the block's own until it is handed back in the next call. Each line of the text ends
    // with its LF, except a last line of the file that has none; CRs are left in place. A line longer
    // than maxLineBytes() is left out (Next would hand it out empty). False at the end of the file
    // or after a read error, with no text.
    struct Block {
        std::unique_ptr<char[]> storage;
        std::size_t capacity = 0;
        std::string_view text;
    };
    bool NextBlock(Block& block);
    std::size_t maxLineBytes() const { return m_maxLine; }
    // A read failed (not the end of the file): errno of the failure, else 0.
    int error() const { return m_error; }

private:
    // Reads more bytes after the unconsumed part; false at the end of the file or on error.
    bool Fill();
    void SkipRestOfLongLine();

    int m_fd = -1;
    std::size_t m_maxLine;
    std::size_t m_blockBytes;
    std::unique_ptr<char[]> m_buffer;
    std::size_t m_capacity = 0;
    std::size_t m_begin = 0; // first unconsumed byte
    std::size_t m_end = 0;   // one past the last byte read
    bool m_eof = false;
    bool m_tooLong = false;
    int m_error = 0;
};

} // namespace trawl
