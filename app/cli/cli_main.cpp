// trazon-cli: headless front end over the engine (info, check, volume, render, slice, where,
// tracks, merge).
#include "Cli.h"

#include "input/AppPaths.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <new>
#include <string>
#include <unistd.h>

namespace {

// A standard stream the caller closed is opened on /dev/null for reading: no file opened
// later takes its number (output would land in it), and writes to it fail, so that the
// result's loss is reported.
void KeepStandardStreamsTaken() {
    for (int fd = 0; fd <= 2; ++fd) {
        if (fcntl(fd, F_GETFD) != -1 || errno != EBADF) continue;
        int opened = open("/dev/null", O_RDONLY | O_NOCTTY);
        if (opened >= 0 && opened != fd) {
            dup2(opened, fd);
            close(opened);
        }
    }
}

// The result on standard output reached its target (a full disk, a closed stream or
// /dev/full do not pass as success): otherwise a message and WriteErrorExit.
int FinishOutput(int code) {
    errno = 0;
    const bool flushed = std::fflush(stdout) == 0;
    if (flushed && !std::ferror(stdout)) return code;
    const int err = flushed ? 0 : errno;
    std::fprintf(stderr, "trazon-cli: the output cannot be written: %s\n",
                 err != 0 ? std::strerror(err) : "write error");
    return WriteErrorExit;
}

} // namespace

static void PrintHelp(FILE* f) {
    std::fprintf(f,
                 "trazon-cli - headless front end of the TRAZON viewer\n\n"
                 "Usage: trazon-cli SUBCOMMAND [ARGS]\n       trazon-cli --version\n\n"
                 "%s\n%s\n%s\n%s\n%s\n%s\n%s\n%s\n"
                 "Exit codes: 0 success, 1 read error in the data file, 2 wrong usage,\n"
                 "3 the output could not be written, 4 out of memory.\n"
                 "Help pages: %s\n",
                 CliInfoUsage, CliCheckUsage, CliVolumeUsage, CliRenderUsage, CliSliceUsage,
                 CliWhereUsage, CliTracksUsage, CliMergeUsage, HelpPagePath(ExecutableDir(), "index.html").c_str());
}

static int Run(int argc, char** argv) {
    if (argc < 2) {
        PrintHelp(stderr);
        return 2;
    }
    std::string cmd = argv[1];
    if (cmd == "--version" || cmd == "-V") {
        std::printf("trazon-cli %s\n", TRAZON_VERSION);
        return 0;
    }
    if (cmd == "--help" || cmd == "-h" || cmd == "help") {
        PrintHelp(stdout);
        return 0;
    }
    TCliArgs args(argv + 2, argv + argc);
    if (cmd == "info") return CliInfo(args);
    if (cmd == "check") return CliCheck(args);
    if (cmd == "volume") return CliVolume(args);
    if (cmd == "render") return CliRender(args);
    if (cmd == "slice") return CliSlice(args);
    if (cmd == "where") return CliWhere(args);
    if (cmd == "tracks") return CliTracks(args);
    if (cmd == "merge") return CliMerge(args);
    std::fprintf(stderr, "trazon-cli: unknown subcommand '%s'\n\n", cmd.c_str());
    PrintHelp(stderr);
    return 2;
}

int main(int argc, char** argv) {
    KeepStandardStreamsTaken();
    int code = 0;
    try {
        code = Run(argc, argv);
    } catch (const std::bad_alloc&) {
        // what was printed so far stays; the run itself is no success
        std::fflush(stdout);
        std::fputs("trazon-cli: out of memory\n", stderr);
        code = OutOfMemoryExit;
    }
    return FinishOutput(code);
}
