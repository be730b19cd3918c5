// Private per-process directory for the reader's work files, so that two running copies
// never share them and the program directory need not be writable.
#include "input/Reader.h"
#include "input/SignalCleanup.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <signal.h>
#include <sstream>
#include <system_error>
#include <sys/stat.h>
#include <unistd.h>

namespace {
std::string Dir;
pid_t Owner = 0;
bool ExitHookSet = false;

void RemoveAtExit() {
    RemoveWorkDir();
}

// The work files and the directory, held for removal when a signal ends the program.
int Holds[5] = {-1, -1, -1, -1, -1};

void HoldForSignals(const std::string& dir) {
    const char* names[] = {DivFileName, LineFileName, DummyFileName, WorkOwnerFileName};
    for (int i = 0; i < 4; ++i) Holds[i] = HoldForSignalCleanup(dir + names[i]);
    Holds[4] = HoldForSignalCleanup(dir, true);
}

void ReleaseSignalHolds() {
    for (int& h : Holds) {
        ReleaseSignalCleanup(h);
        h = -1;
    }
}

// Start time of a process in clock ticks since boot (field 22 of /proc/PID/stat), 0 when
// unknown. With the pid it names one process even after the pid is reused.
unsigned long long StartTime(pid_t pid) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
    std::string text;
    if (!std::getline(in, text)) return 0;
    // the command name in parentheses may hold blanks: count fields after the last ')'
    size_t close = text.rfind(')');
    if (close == std::string::npos) return 0;
    std::istringstream rest(text.substr(close + 1));
    std::string field;
    for (int k = 3; k <= 22 && rest >> field; ++k)
        if (k == 22) return std::strtoull(field.c_str(), nullptr, 10);
    return 0;
}

// The pid namespace: a pid recorded in another one cannot be checked from here.
std::string PidNamespace() {
    char buf[128];
    ssize_t n = readlink("/proc/self/ns/pid", buf, sizeof buf - 1);
    return n > 0 ? std::string(buf, static_cast<size_t>(n)) : std::string("-");
}

std::string OwnerRecord(pid_t pid) {
    return std::to_string(pid) + " " + std::to_string(StartTime(pid)) + " " + PidNamespace() + "\n";
}

// True only when the directory's record names a process of this namespace that is gone.
// A directory without a record may be one that another run is just creating: kept.
bool OwnerIsGone(const std::string& dir) {
    std::ifstream in(dir + WorkOwnerFileName);
    long long pid = 0;
    unsigned long long start = 0;
    std::string ns;
    if (!(in >> pid >> start >> ns) || pid <= 0 || ns != PidNamespace()) return false;
    if (kill(static_cast<pid_t>(pid), 0) != 0) return errno == ESRCH;
    // the pid is in use: by the owner, unless it started at another time (pid reused)
    unsigned long long now = StartTime(static_cast<pid_t>(pid));
    return start != 0 && now != 0 && now != start;
}

} // namespace

void RemoveStaleWorkDirs(const std::string& base) {
    DIR* d = opendir(base.c_str());
    if (!d) return;
    const uid_t me = getuid();
    while (dirent* e = readdir(d)) {
        const std::string name = e->d_name;
        if (name.rfind("trazon-", 0) != 0 || name.size() != 13) continue;
        std::string path = base + name;
        struct stat st {};
        // only real directories of this user, never through a link
        if (lstat(path.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != me) continue;
        path += '/';
        if (path == Dir || !OwnerIsGone(path)) continue;
        std::error_code ec;
        std::filesystem::remove_all(path, ec);
    }
    closedir(d);
}

const std::string& WorkDir() {
    if (!Dir.empty() && Owner == getpid()) return Dir;
    Dir.clear();
    ReleaseSignalHolds(); // a forked child's copies of its parent's holds
    // $TMPDIR first; /tmp when it is unset or unusable
    const char* env = std::getenv("TMPDIR");
    for (std::string base : {std::string(env ? env : ""), std::string("/tmp")}) {
        if (base.empty()) continue;
        if (base.back() != '/') base += '/';
        std::string tmpl = base + "trazon-XXXXXX";
        if (mkdtemp(tmpl.data()) != nullptr) {
            Dir = tmpl + '/';
            // the owner first, so that no other run takes this directory for a stale one
            std::ofstream(Dir + WorkOwnerFileName) << OwnerRecord(getpid());
            RemoveStaleWorkDirs(base);
            break;
        }
    }
    if (Dir.empty()) return Dir;
    Owner = getpid();
    HoldForSignals(Dir);
    if (!ExitHookSet) {
        std::atexit(RemoveAtExit);
        ExitHookSet = true;
    }
    return Dir;
}

std::string WorkFilePath(const std::string& name) {
    const std::string& d = WorkDir();
    return d.empty() ? std::string() : d + name;
}

void RemoveWorkDir() {
    // a forked child must not remove its parent's files
    if (!Dir.empty() && Owner == getpid()) {
        std::error_code ec;
        std::filesystem::remove_all(Dir, ec);
        ReleaseSignalHolds();
    }
    Dir.clear();
}
