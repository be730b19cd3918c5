// placeholder until this subcommand lands
#include "Cli.h"
#include <cstdio>
const char* const CliCheckUsage = "  check ...";
int CliCheck(const TCliArgs&) { std::fprintf(stderr, "not available yet\n"); return 2; }
const char* const CliVolumeUsage = "  volume ...";
int CliVolume(const TCliArgs&) { std::fprintf(stderr, "not available yet\n"); return 2; }
