// Files and directories removed when the program is ended by a signal it leaves at its
// default action (SIGTERM, SIGINT, SIGHUP, SIGPIPE, SIGQUIT, SIGABRT, SIGXFSZ): a temporary
// file being written or the reader's work directory does not stay behind.
#pragma once

#include <string>

// Holds a path for removal on such a signal; the handlers are installed on the first call.
// Files are removed before directories (a directory only when empty). Returns the slot to
// release, or -1 when every slot is taken or the path is too long (then nothing is held).
int HoldForSignalCleanup(const std::string& path, bool directory = false);
// Stops holding a slot (the path is not touched). -1 is ignored.
void ReleaseSignalCleanup(int slot);

// Holds a path while in scope.
class TSignalCleanupHold {
  public:
    explicit TSignalCleanupHold(const std::string& path, bool directory = false)
        : Slot(HoldForSignalCleanup(path, directory)) {}
    ~TSignalCleanupHold() { ReleaseSignalCleanup(Slot); }
    TSignalCleanupHold(const TSignalCleanupHold&) = delete;
    TSignalCleanupHold& operator=(const TSignalCleanupHold&) = delete;

  private:
    int Slot;
};
