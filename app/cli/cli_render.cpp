// placeholder until this subcommand lands
#include "Cli.h"
#include <cstdio>
const char* const CliRenderUsage = "  render ...";
int CliRender(const TCliArgs&) { std::fprintf(stderr, "not available yet\n"); return 2; }
