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
