// Buffered line input and output on file descriptors, for the reader's two passes.
// Internal to the input library.
#pragma once

#include <cstddef>
#include <memory>
#include <cstdint>
#include <string>
#include <string_view>

// Reads a file line by line. Lines end at '\n'; a last line without '\n' still counts.
// Lines up to MaxLine bytes (any length when 0) are returned whole; a longer one ends the
// reading: Next returns false, Overlong() is set and OverlongStart() holds its first bytes.
class TLineReader {
  public:
    TLineReader() = default;
    ~TLineReader();
    TLineReader(const TLineReader&) = delete;
    TLineReader& operator=(const TLineReader&) = delete;

    bool Open(const std::string& path); // false (errno set) when the file cannot be opened
    void Close();
    bool IsOpen() const { return Fd >= 0; }
    // The next line without its '\n'; false at the end of the file or on a read error.
    // The view stays valid until the next call.
    bool Next(std::string_view& line) {
        // short lines (one token each in the work files): a plain scan beats memchr
        const char* p = Buf.get() + Pos;
        const char* e = Buf.get() + End;
        for (const char* q = p; q < e && q < p + 64; ++q)
            if (*q == '\n') {
                line = std::string_view(p, static_cast<size_t>(q - p));
                Pos = static_cast<size_t>(q + 1 - Buf.get());
                return true;
            }
        return NextSlow(line);
    }
    bool AtEnd(); // no further line; may refill the buffer, ending the last view's life
    bool Buffered() const { return Pos < End; } // more bytes at hand without reading
    bool Failed() const { return ReadError; }
    bool Overlong() const { return TooLong; }
    std::string_view OverlongStart() const { return Long; }
    size_t MaxLine = 0;
    int Error() const { return ReadErrno; } // errno of the read failure

  private:
    bool NextSlow(std::string_view& line);
    bool Fill(); // more bytes into the buffer; false at the end
    int Fd = -1;
    std::unique_ptr<char[]> Buf; // left uninitialised: only the used part is touched
    size_t Cap = 0;
    size_t Pos = 0, End = 0;
    bool Eof = false;
    bool ReadError = false;
    bool TooLong = false;
    int ReadErrno = 0;
    std::string Long; // a line that runs past the buffer end
};

// Writes lines through a large buffer.
class TLineWriter {
  public:
    TLineWriter() = default;
    ~TLineWriter();
    TLineWriter(const TLineWriter&) = delete;
    TLineWriter& operator=(const TLineWriter&) = delete;

    bool Create(const std::string& path); // created or emptied
    // Closes the file; false when any write failed (errno of the first failure kept).
    bool Close();
    bool Failed() const { return WriteError; }
    // From now on the writer fails (errno ENOSPC) rather than leave less than `bytes` free on
    // its file system: a file that grows with its input must not fill the disk.
    void KeepSpaceFree(uint64_t bytes) {
        Reserve = bytes;
        NextSpaceCheck = Written;
    }

    void Put(std::string_view text) {
        if (Len + text.size() > Cap) {
            Flush();
            if (text.size() > Cap) {
                WriteRaw(text.data(), text.size());
                return;
            }
        }
        text.copy(Buf.get() + Len, text.size());
        Len += text.size();
    }
    void Put(char c) {
        if (Len == Cap) Flush();
        Buf[Len++] = c;
    }
    // Upper-cased (ASCII) text.
    void PutUpper(std::string_view text);
    void PutNumber(long long n);
    void EndLine() { Put('\n'); }

  private:
    void Flush();
    void WriteRaw(const char* p, size_t n);
    int Fd = -1;
    std::unique_ptr<char[]> Buf;
    size_t Cap = 0;
    size_t Len = 0;
    bool WriteError = false;
    int FirstErrno = 0;
    uint64_t Written = 0; // bytes handed to the file
    uint64_t Reserve = 0;
    uint64_t NextSpaceCheck = 0;
};
