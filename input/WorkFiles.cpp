// Private per-process directory for the reader's work files, so that two running copies
// never share them and the program directory need not be writable.
#include "input/Reader.h"

#include <cstdlib>
#include <filesystem>
#include <system_error>
#include <unistd.h>

namespace {
std::string Dir;
pid_t Owner = 0;
bool ExitHookSet = false;

void RemoveAtExit() {
    RemoveWorkDir();
}
} // namespace

const std::string& WorkDir() {
    if (!Dir.empty() && Owner == getpid()) return Dir;
    Dir.clear();
    const char* base = std::getenv("TMPDIR");
    std::string tmpl = (base && *base) ? base : "/tmp";
    if (tmpl.back() != '/') tmpl += '/';
    tmpl += "trazon-XXXXXX";
    if (mkdtemp(tmpl.data()) == nullptr) return Dir;
    Dir = tmpl + '/';
    Owner = getpid();
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
