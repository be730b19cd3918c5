#include "resource.h"

#include <cerrno>
#include <cstdlib>
#include <sys/stat.h>
#include <unistd.h>

const std::array<const char*, 3> DisplayTypeNames = {"Body", "Zone", "Material"};
const std::array<const char*, 4> LineKindNames = {"Solid", "Dot", "DashDot", "DashDotDot"};
const std::array<const char*, 3> ParticleNames = {"Photon", "Electron", "Positron"};

namespace {
bool MakeDirs(const std::string& dir) {
    std::string part;
    for (size_t i = 0; i < dir.size(); ++i) {
        part += dir[i];
        if ((dir[i] == '/' && i > 0) || i + 1 == dir.size())
            if (mkdir(part.c_str(), 0755) != 0 && errno != EEXIST) return false;
    }
    return true;
}
} // namespace

std::string SettingsFilePath(const std::string& exeDir) {
    std::string dir = exeDir;
    if (!dir.empty() && dir.back() != '/') dir += '/';
    std::string beside = dir + SettingsFileName;
    // A settings file that exists and is writable, or a writable program directory; an
    // installed program (bin/ beside share/trazon) keeps its settings per user even when
    // it runs as root, so that one user's settings never land in the system's bin folder.
    bool writable = access(beside.c_str(), F_OK) == 0 ? access(beside.c_str(), W_OK) == 0
                                                      : access(dir.c_str(), W_OK) == 0;
    if (writable && !IsInstalledLayout(dir)) return beside;
    std::string conf;
    if (const char* x = std::getenv("XDG_CONFIG_HOME"); x && *x == '/')
        conf = x;
    else if (const char* h = std::getenv("HOME"); h && *h)
        conf = std::string(h) + "/.config";
    else
        return beside;
    conf += "/trazon/";
    MakeDirs(conf);
    return conf + SettingsFileName;
}
