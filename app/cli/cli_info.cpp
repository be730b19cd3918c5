// placeholder until this subcommand lands
#include "Cli.h"
#include <cstdio>
const char* const CliInfoUsage = "  info ...";
int CliInfo(const TCliArgs&) { std::fprintf(stderr, "not available yet\n"); return 2; }
