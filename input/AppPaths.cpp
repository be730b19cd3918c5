#include "AppPaths.h"

#include <climits>
#include <cstdlib>
#include <unistd.h>

namespace {

bool Exists(const std::string& path) {
    return access(path.c_str(), F_OK) == 0;
}

std::string WithSlash(std::string dir) {
    if (!dir.empty() && dir.back() != '/') dir += '/';
    return dir;
}

// The installed help folder, resolved (no "bin/.."), or empty when there is none.
std::string InstalledHelpDir(const std::string& exeDir) {
    std::string dir = exeDir + "../share/trazon/help/";
    if (!Exists(dir + "index.html")) return {};
    char resolved[PATH_MAX + 1];
    if (realpath(dir.c_str(), resolved)) return WithSlash(resolved);
    return dir;
}

} // namespace

std::string ExecutableDir() {
    char buf[PATH_MAX + 1];
    ssize_t n = readlink("/proc/self/exe", buf, PATH_MAX);
    std::string path = n > 0 ? std::string(buf, (size_t)n) : std::string();
    size_t slash = path.rfind('/');
    if (slash == std::string::npos) {
        char cwd[PATH_MAX + 1];
        if (getcwd(cwd, sizeof cwd)) return std::string(cwd) + "/";
        return "./";
    }
    return path.substr(0, slash + 1);
}

bool IsInstalledLayout(const std::string& exeDir) {
    std::string dir = WithSlash(exeDir);
    bool inBin = dir.size() >= 5 && dir.compare(dir.size() - 5, 5, "/bin/") == 0;
    return inBin && Exists(dir + "../share/trazon");
}

std::string HelpDir(const std::string& exeDir) {
    std::string dir = WithSlash(exeDir);
    std::string beside = dir + "help/";
    if (Exists(beside + "index.html")) return beside;
    std::string installed = InstalledHelpDir(dir);
    return installed.empty() ? beside : installed;
}

std::string HelpPagePath(const std::string& exeDir, const std::string& page) {
    return HelpDir(exeDir) + page;
}

std::string FileUrl(const std::string& path) {
    static const char hex[] = "0123456789ABCDEF";
    std::string url = "file://";
    for (unsigned char c : path) {
        bool keep = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
                    c == '/' || c == '-' || c == '.' || c == '_' || c == '~';
        if (keep) {
            url += (char)c;
        } else {
            url += '%';
            url += hex[c >> 4];
            url += hex[c & 15];
        }
    }
    return url;
}

std::string HelpPageUrl(const std::string& exeDir, const std::string& page) {
    return FileUrl(HelpPagePath(exeDir, page));
}
