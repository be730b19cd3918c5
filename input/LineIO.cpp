#include "input/LineIO.h"

#include <cerrno>
#include <charconv>
#include <cstring>
#include <algorithm>
#include <cstdint>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

namespace {
constexpr size_t BufferSize = 1 << 20;
constexpr size_t WriteBufferSize = 256 << 10;
} // namespace

TLineReader::~TLineReader() {
    Close();
}

bool TLineReader::Open(const std::string& path) {
    Close();
    Fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (Fd < 0) return false;
    // small files get a small buffer: loads of short files stay cheap
    struct stat st {};
    Cap = BufferSize;
    if (fstat(Fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size >= 0 &&
        static_cast<uint64_t>(st.st_size) < BufferSize)
        Cap = std::max<size_t>(static_cast<size_t>(st.st_size) + 1, 4096);
    Buf.reset(new char[Cap]);
    Pos = End = 0;
    Eof = ReadError = TooLong = false;
    Long.clear();
    return true;
}

void TLineReader::Close() {
    if (Fd >= 0) ::close(Fd);
    Fd = -1;
    Pos = End = 0;
    Eof = true;
    Long.clear();
    Long.shrink_to_fit();
    Buf.reset();
    Cap = 0;
}

bool TLineReader::Fill() {
    if (Fd < 0 || Eof) return false;
    if (Pos < End) {
        std::memmove(Buf.get(), Buf.get() + Pos, End - Pos);
        End -= Pos;
    } else {
        End = 0;
    }
    Pos = 0;
    while (End < Cap) {
        ssize_t n = ::read(Fd, Buf.get() + End, Cap - End);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            ReadError = true;
            ReadErrno = errno;
            Eof = true;
            break;
        }
        if (n == 0) {
            Eof = true;
            break;
        }
        End += static_cast<size_t>(n);
        break;
    }
    return End > 0;
}

bool TLineReader::AtEnd() {
    if (Pos < End) return false;
    return !Fill();
}

bool TLineReader::NextSlow(std::string_view& line) {
    if (TooLong || (Pos >= End && !Fill())) return false;
    const size_t limit = MaxLine ? MaxLine : SIZE_MAX;
    const char* nl = static_cast<const char*>(std::memchr(Buf.get() + Pos, '\n', End - Pos));
    if (nl && static_cast<size_t>(nl - (Buf.get() + Pos)) <= limit) {
        size_t n = static_cast<size_t>(nl - (Buf.get() + Pos));
        line = std::string_view(Buf.get() + Pos, n);
        Pos += n + 1;
        return true;
    }
    // The line runs past the buffer: collect it in Long, up to the limit.
    Long.assign(Buf.get() + Pos, std::min(End - Pos, limit));
    bool over = nl != nullptr || End - Pos > limit;
    Pos = End;
    while (!over) {
        if (!Fill()) break;
        nl = static_cast<const char*>(std::memchr(Buf.get(), '\n', End));
        size_t n = nl ? static_cast<size_t>(nl - Buf.get()) : End;
        if (Long.size() + n > limit) {
            over = true;
            break;
        }
        Long.append(Buf.get(), n);
        Pos = nl ? n + 1 : End;
        if (nl) break;
    }
    if (over) {
        // the rest of the file is not read: a line without end must not grow without bound
        TooLong = true;
        Long.resize(std::min<size_t>(Long.size(), 256));
        Pos = End;
        return false;
    }
    line = Long;
    return true;
}

TLineWriter::~TLineWriter() {
    Close();
}

bool TLineWriter::Create(const std::string& path) {
    Close();
    // A fresh file rather than a truncated one: on ext4, truncating and rewriting a file
    // forces its data to disk at close, which costs a disk flush per load.
    ::unlink(path.c_str());
    Fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    WriteError = Fd < 0;
    FirstErrno = WriteError ? errno : 0;
    Buf.reset(new char[WriteBufferSize]);
    Cap = WriteBufferSize;
    Len = 0;
    Written = Reserve = NextSpaceCheck = 0;
    return Fd >= 0;
}

bool TLineWriter::Close() {
    if (Fd >= 0) {
        Flush();
        if (::close(Fd) != 0 && !WriteError) {
            WriteError = true;
            FirstErrno = errno;
        }
        Fd = -1;
    }
    Buf.reset();
    Cap = 0;
    Len = 0;
    if (WriteError) errno = FirstErrno;
    return !WriteError;
}

void TLineWriter::WriteRaw(const char* p, size_t n) {
    if (Reserve > 0 && Written >= NextSpaceCheck && Fd >= 0 && !WriteError) {
        // every few megabytes: cheap against the writes, and soon enough for any disk
        NextSpaceCheck = Written + (16u << 20);
        struct statvfs fs {};
        if (::fstatvfs(Fd, &fs) == 0 &&
            static_cast<uint64_t>(fs.f_bavail) * fs.f_frsize < Reserve + n) {
            WriteError = true;
            FirstErrno = ENOSPC;
            return;
        }
    }
    Written += n;
    while (n > 0 && !WriteError && Fd >= 0) {
        ssize_t w = ::write(Fd, p, n);
        if (w < 0 && errno == EINTR) continue;
        if (w <= 0) {
            WriteError = true;
            FirstErrno = w < 0 ? errno : EIO;
            return;
        }
        p += w;
        n -= static_cast<size_t>(w);
    }
}

void TLineWriter::Flush() {
    WriteRaw(Buf.get(), Len);
    Len = 0;
}

void TLineWriter::PutUpper(std::string_view text) {
    if (Len + text.size() > Cap) {
        Flush();
        if (text.size() > Cap) {
            for (char c : text) Put((c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c);
            return;
        }
    }
    char* out = Buf.get() + Len;
    for (char c : text) *out++ = (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c;
    Len += text.size();
}

void TLineWriter::PutNumber(long long n) {
    char tmp[24];
    auto r = std::to_chars(tmp, tmp + sizeof tmp, n);
    Put(std::string_view(tmp, static_cast<size_t>(r.ptr - tmp)));
}
