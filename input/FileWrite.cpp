#include "input/FileWrite.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
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

} // namespace

bool WriteFileReplacing(const std::string& path, std::string_view data, std::string& error) {
    const std::string target = FollowLinks(path);
    std::string temp = target + ".XXXXXX";
    int fd = ::mkstemp(temp.data());
    if (fd < 0) {
        error = std::strerror(errno);
        return false;
    }
    auto fail = [&](int err) {
        error = std::strerror(err);
        if (fd >= 0) ::close(fd);
        ::unlink(temp.c_str());
        return false;
    };
    size_t done = 0;
    while (done < data.size()) {
        ssize_t n = ::write(fd, data.data() + done, data.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return fail(n < 0 ? errno : ENOSPC);
        done += static_cast<size_t>(n);
    }
    // mkstemp makes the file for the owner only
    struct stat old {};
    if (::stat(target.c_str(), &old) == 0) {
        ::fchmod(fd, old.st_mode & 07777);
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
    const std::string dir = DirectoryOf(FollowLinks(path));
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
