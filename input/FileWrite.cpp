#include "input/FileWrite.h"

#include "input/SignalCleanup.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

std::string DirectoryOf(const std::string& path) {
    size_t slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

// The file a chain of symbolic links ends at (the path itself when it is no link).
std::string FollowLinks(std::string path) {
    for (int hop = 0; hop < 40; ++hop) {
        struct stat st {};
        if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return path;
        std::vector<char> buf(PATH_MAX + 1);
        ssize_t n = ::readlink(path.c_str(), buf.data(), buf.size() - 1);
        if (n <= 0) return path;
        std::string target(buf.data(), static_cast<size_t>(n));
        path = target[0] == '/' ? target : DirectoryOf(path) + "/" + target;
    }
    return path;
}

// Writes all of data at offset `at`; 0 or the errno of the failure.
int WriteAll(int fd, std::string_view data, off_t at) {
    size_t done = 0;
    while (done < data.size()) {
        ssize_t n = ::pwrite(fd, data.data() + done, data.size() - done,
                             at + static_cast<off_t>(done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return n < 0 ? errno : ENOSPC;
        done += static_cast<size_t>(n);
    }
    return 0;
}

// A FIFO, a device or a socket: written into as it is, never replaced by a regular file.
bool WriteIntoNode(const std::string& target, std::string_view data, std::string& error) {
    int fd = ::open(target.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        error = std::strerror(errno);
        return false;
    }
    int err = 0;
    for (size_t done = 0; done < data.size() && err == 0;) {
        ssize_t n = ::write(fd, data.data() + done, data.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0)
            err = n < 0 ? errno : ENOSPC;
        else
            done += static_cast<size_t>(n);
    }
    if (::close(fd) != 0 && err == 0 && errno != EINTR) err = errno;
    if (err != 0) error = std::strerror(err);
    return err == 0;
}

// No file can be made beside the target (a directory that is not writable holding a
// writable file): the file is rewritten in place, and it never ends up cut short. The room
// for the new text is reserved first; should a write fail after all, the old text is put
// back. The file keeps the old text whenever the new one cannot be written whole.
bool RewriteInPlace(const std::string& target, std::string_view data, std::string& error) {
    int fd = ::open(target.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        error = std::strerror(errno);
        return false;
    }
    auto fail = [&](const std::string& reason) {
        error = reason;
        ::close(fd);
        return false;
    };
    struct stat st {};
    if (::fstat(fd, &st) != 0) return fail(std::strerror(errno));
    std::string old(static_cast<size_t>(st.st_size), '\0');
    for (size_t done = 0; done < old.size();) {
        ssize_t n = ::pread(fd, old.data() + done, old.size() - done, static_cast<off_t>(done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return fail(n < 0 ? std::strerror(errno) : "the file changed while read");
        done += static_cast<size_t>(n);
    }
    if (data.size() > old.size()) {
        int err = ::posix_fallocate(fd, 0, static_cast<off_t>(data.size()));
        if (err != 0) return fail(std::strerror(err));
    }
    if (int err = WriteAll(fd, data, 0); err != 0) {
        int back = WriteAll(fd, old, 0);
        if (back == 0) back = ::ftruncate(fd, static_cast<off_t>(old.size())) == 0 ? 0 : errno;
        return fail(std::string(std::strerror(err)) +
                    (back == 0 ? "" : "; the old contents could not be put back"));
    }
    if (::ftruncate(fd, static_cast<off_t>(data.size())) != 0 || ::fsync(fd) != 0)
        return fail(std::strerror(errno));
    if (::close(fd) != 0) {
        error = std::strerror(errno);
        return false;
    }
    return true;
}

} // namespace

bool WriteFileReplacing(const std::string& path, std::string_view data, std::string& error) {
    const std::string target = FollowLinks(path);
    struct stat existing {};
    const bool exists = ::stat(target.c_str(), &existing) == 0;
    if (exists && S_ISDIR(existing.st_mode)) {
        error = std::strerror(EISDIR);
        return false;
    }
    if (exists && !S_ISREG(existing.st_mode)) return WriteIntoNode(target, data, error);
    std::string temp = target + ".XXXXXX";
    int fd = ::mkstemp(temp.data());
    if (fd < 0) {
        const int err = errno;
        if ((err == EACCES || err == EPERM) && exists && ::access(target.c_str(), W_OK) == 0)
            return RewriteInPlace(target, data, error);
        error = std::strerror(err);
        return false;
    }
    // a signal that ends the program on the way leaves no half-written file behind
    TSignalCleanupHold hold(temp);
    auto fail = [&](int err) {
        error = std::strerror(err);
        if (fd >= 0) ::close(fd);
        ::unlink(temp.c_str());
        return false;
    };
    if (int err = WriteAll(fd, data, 0); err != 0) return fail(err);
    // mkstemp makes the file for the owner only
    if (exists) {
        ::fchmod(fd, existing.st_mode & 07777);
    } else {
        mode_t mask = ::umask(0);
        ::umask(mask);
        ::fchmod(fd, 0666 & ~mask);
    }
    if (::fsync(fd) != 0) return fail(errno);
    int closed = ::close(fd);
    fd = -1; // closed even when close reports an error
    if (closed != 0) return fail(errno);
    if (::rename(temp.c_str(), target.c_str()) != 0) return fail(errno);
    return true;
}

bool IsSpecialFile(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode) && !S_ISDIR(st.st_mode);
}

bool CheckWriteTarget(const std::string& path, std::string& error) {
    if (path.empty()) {
        error = "no file name given";
        return false;
    }
    struct stat st {};
    if (path.back() == '/' || (::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode))) {
        error = "'" + path + "' is a directory, not a file name";
        return false;
    }
    const std::string target = FollowLinks(path);
    // an existing node or file that can be written is written into, whatever its directory
    if (::stat(target.c_str(), &st) == 0 && !S_ISDIR(st.st_mode) &&
        ::access(target.c_str(), W_OK) == 0)
        return true;
    const std::string dir = DirectoryOf(target);
    if (::stat(dir.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
        error = "the directory '" + dir + "' does not exist";
        return false;
    }
    if (::access(dir.c_str(), W_OK) != 0) {
        error = "the directory '" + dir + "' cannot be written (" + std::strerror(errno) + ")";
        return false;
    }
    return true;
}

bool PathExists(const std::string& path) {
    struct stat st;
    return !path.empty() && stat(path.c_str(), &st) == 0;
}

std::string OverwriteQuestion(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    return (slash == std::string::npos ? path : path.substr(slash + 1)) +
           " is Found! OverWrite OK?";
}

bool MayOverwrite(const std::string& path, const std::function<bool(const std::string&)>& ask) {
    return !PathExists(path) || ask(OverwriteQuestion(path));
}
