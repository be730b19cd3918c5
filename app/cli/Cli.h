// trazon-cli subcommands. Each returns the process exit code
// (0 success, 1 read error, 2 wrong usage or missing display); the program's end turns any
// of them into WriteErrorExit when standard output could not be written.
#pragma once

#include <cstdint>
#include "geometry/MyCGUnit.h"
#include "input/DisplaySettings.h"
#include "input/Tracks.h"

#include <string>
#include <vector>

inline constexpr int WriteErrorExit = 3;
inline constexpr int OutOfMemoryExit = 4; // a std::bad_alloc anywhere in a run

using TCliArgs = std::vector<std::string>; // the words after the subcommand name

int CliInfo(const TCliArgs& args);
int CliCheck(const TCliArgs& args);
int CliVolume(const TCliArgs& args);
int CliRender(const TCliArgs& args);
int CliSlice(const TCliArgs& args);
int CliWhere(const TCliArgs& args);
int CliTracks(const TCliArgs& args);
int CliMerge(const TCliArgs& args);

// Usage text of each subcommand, for --help and usage errors.
extern const char* const CliInfoUsage;
extern const char* const CliCheckUsage;
extern const char* const CliVolumeUsage;
extern const char* const CliRenderUsage;

// "--read-max N" of info and render: reads the number after args[i] and advances i.
// Returns false with a usage message in `error` when it is missing or not an integer.
bool ParseReadMaxOption(const TCliArgs& args, size_t& i, int32_t& readMax, std::string& error);
extern const char* const CliSliceUsage;
extern const char* const CliWhereUsage;
extern const char* const CliTracksUsage;
extern const char* const CliMergeUsage;

// Writes a part file of check or volume --part to `path`, or to standard output when it is
// empty; returns the exit code.
int WritePartFile(const char* command, const std::string& path, const std::string& text);

// ---- shared by the subcommands ----

// Prints "trazon-cli COMMAND: MESSAGE" and the usage to standard error; returns 2.
int UsageError(const char* command, const std::string& message, const char* usage);
bool IsHelp(const std::string& arg);
// Loads a data file; on a read error prints the reader's text to standard error and returns
// false. settings.ReadMax applies.
bool LoadData(const std::string& path, TGeometry& geometry, TTracks& tracks,
              TDisplaySettings& settings);
bool LoadGeometry(const std::string& path, TGeometry& geometry);
// A thread count 0..256 (0 = all cores).
bool ParseThreads(const std::string& text, int& threads);

// "WxH" with both from 1 to 8192.
bool ParseSize(const std::string& text, int& width, int& height);
// A subcommand's own option: its names, the entries its values go to and, when set, a flag
// raised when the option is given.
struct TOption {
    std::vector<std::string> Names;
    std::vector<std::string*> Values;
    bool* Given = nullptr;
};
// Reads a subcommand's words: its options, --threads, --help and the data file. Returns -1
// when the words were read, otherwise the exit code to return at once.
int ReadArgs(const TCliArgs& args, const char* cmd, const char* usage,
             const std::vector<TOption>& options, std::string& file, int& threads);

// A result line on standard output. Names from the data file may hold control characters
// (escape sequences a terminal would act on): they are shown escaped ("\x1B").
void PrintLine(const std::string& line);
void PrintLines(const std::vector<std::string>& lines);

// Progress on standard error, rewritten in place, only for a terminal.
struct TProgress {
    TProgress();
    void Show(const std::string& line);
    void Done();
    bool On;
    std::string Shown;
};
