#include "input/SignalCleanup.h"

#include <atomic>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstring>
#include <mutex>
#include <signal.h>
#include <unistd.h>

namespace {

// A signal handler can reach only static storage: the held paths live in fixed slots that
// are filled before they are marked in use, so the handler never reads half a path and
// never allocates.
enum : int { Free = 0, Filling = 1, Held = 2 };
struct TSlot {
    std::atomic<int> State{Free};
    bool Directory = false;
    pid_t Owner = 0; // a forked child must not remove its parent's files
    char Path[PATH_MAX];
};
constexpr int SlotCount = 32;
TSlot Slots[SlotCount];
std::once_flag HandlersInstalled;

const int CleanSignals[] = {SIGTERM, SIGINT, SIGHUP, SIGPIPE, SIGQUIT, SIGABRT, SIGXFSZ};

void RemoveHeld(bool directories) {
    const pid_t me = getpid();
    for (TSlot& s : Slots) {
        if (s.State.load() != Held || s.Directory != directories || s.Owner != me) continue;
        if (directories)
            rmdir(s.Path);
        else
            unlink(s.Path);
    }
}

void RemoveOnSignal(int sig) {
    const int saved = errno;
    RemoveHeld(false);
    RemoveHeld(true);
    errno = saved;
    signal(sig, SIG_DFL);
    raise(sig);
}

// Only signals at their default action: a handler of the program's own is left alone.
void InstallHandlers() {
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

int HoldForSignalCleanup(const std::string& path, bool directory) {
    if (path.empty() || path.size() >= PATH_MAX) return -1;
    std::call_once(HandlersInstalled, InstallHandlers);
    for (int i = 0; i < SlotCount; ++i) {
        TSlot& s = Slots[i];
        int expected = Free;
        if (!s.State.compare_exchange_strong(expected, Filling)) continue;
        std::memcpy(s.Path, path.c_str(), path.size() + 1);
        s.Directory = directory;
        s.Owner = getpid();
        s.State.store(Held);
        return i;
    }
    return -1;
}

void ReleaseSignalCleanup(int slot) {
    if (slot >= 0 && slot < SlotCount) Slots[slot].State.store(Free);
}
