// trazon-cli: headless front end over the engine (info, check, volume, render, slice, where,
// tracks, merge).
#include "Cli.h"

#include "input/AppPaths.h"

#include <cstdio>
#include <cstring>

static void PrintHelp(FILE* f) {
    std::fprintf(f,
                 "trazon-cli - headless front end of the TRAZON viewer\n\n"
                 "Usage: trazon-cli SUBCOMMAND [ARGS]\n       trazon-cli --version\n\n"
                 "%s\n%s\n%s\n%s\n%s\n%s\n%s\n%s\n"
                 "Exit codes: 0 success, 1 read error in the data file, 2 wrong usage.\n"
                 "Help pages: %s\n",
                 CliInfoUsage, CliCheckUsage, CliVolumeUsage, CliRenderUsage, CliSliceUsage,
                 CliWhereUsage, CliTracksUsage, CliMergeUsage, HelpPagePath(ExecutableDir(), "index.html").c_str());
}

int main(int argc, char** argv) {
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
