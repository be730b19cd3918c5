// trazon-cli subcommands. Each returns the process exit code
// (0 success, 1 read error, 2 wrong usage or missing display).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

using TCliArgs = std::vector<std::string>; // the words after the subcommand name

int CliInfo(const TCliArgs& args);
int CliCheck(const TCliArgs& args);
int CliVolume(const TCliArgs& args);
int CliRender(const TCliArgs& args);

// Usage text of each subcommand, for --help and usage errors.
extern const char* const CliInfoUsage;
extern const char* const CliCheckUsage;
extern const char* const CliVolumeUsage;
extern const char* const CliRenderUsage;

// "--read-max N" of info and render: reads the number after args[i] and advances i.
// Returns false with a usage message in `error` when it is missing or not an integer.
bool ParseReadMaxOption(const TCliArgs& args, size_t& i, int32_t& readMax, std::string& error);
