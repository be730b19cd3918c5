// Private per-process directory for the reader's work files, so that two running copies
// never share them and the program directory need not be writable.
#include "input/Reader.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <system_error>
#include <signal.h>
#include <unistd.h>

namespace {
std::string Dir;
pid_t Owner = 0;
bool ExitHookSet = false;

void RemoveAtExit() {
    RemoveWorkDir();
}

// Paths for the signal handler, made when the directory is created (no allocation there).
char SigDir[512];
char SigFiles[3][560];
pid_t SigOwner = 0;
const int CleanSignals[] = {SIGTERM, SIGINT, SIGHUP};

void RemoveOnSignal(int sig) {
    if (SigOwner == getpid()) {
        for (const char* f : SigFiles) unlink(f);
        rmdir(SigDir);
    }
    signal(sig, SIG_DFL);
    raise(sig);
}

// A program stopped by a signal it does not handle itself still removes its work files.
void InstallSignalCleanup(const std::string& dir) {
    if (dir.size() + 16 > sizeof SigDir) return;
    std::snprintf(SigDir, sizeof SigDir, "%s", dir.c_str());
    const char* names[] = {DivFileName, LineFileName, DummyFileName};
    for (int i = 0; i < 3; ++i)
        std::snprintf(SigFiles[i], sizeof SigFiles[i], "%s%s", dir.c_str(), names[i]);
    SigOwner = getpid();
    for (int sig : CleanSignals) {
        struct sigaction old {};
        if (sigaction(sig, nullptr, &old) != 0 || old.sa_handler != SIG_DFL) continue;
        struct sigaction sa {};
        sa.sa_handler = RemoveOnSignal;
        sigemptyset(&sa.sa_mask);
        sigaction(sig, &sa, nullptr);
    }
}
} // namespace

const std::string& WorkDir() {
    if (!Dir.empty() && Owner == getpid()) return Dir;
    Dir.clear();
    // $TMPDIR first; /tmp when it is unset or unusable
    const char* env = std::getenv("TMPDIR");
    for (std::string base : {std::string(env ? env : ""), std::string("/tmp")}) {
        if (base.empty()) continue;
        if (base.back() != '/') base += '/';
        std::string tmpl = base + "trazon-XXXXXX";
        if (mkdtemp(tmpl.data()) != nullptr) {
            Dir = tmpl + '/';
            break;
        }
    }
    if (Dir.empty()) return Dir;
    Owner = getpid();
    InstallSignalCleanup(Dir);
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
    }
    Dir.clear();
}
