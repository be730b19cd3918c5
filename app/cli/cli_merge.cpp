// "merge": the part files of a check or volume run split with --part, merged into the output
// of the whole run.
#include "Cli.h"

#include "input/FileWrite.h"
#include "tools/core/SplitRuns.h"
#include "tools/core/VolumeCore.h"

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

const char* const CliMergeUsage =
    "  merge PART... [-o RESULT.dat]\n"
    "      Merges the N part files of \"check --part I/N\" or \"volume --part I/N\" (all of\n"
    "      them, any order) and prints what the whole run prints, byte for byte; for a\n"
    "      volume run -o writes the result file as volume -o does. Parts of another\n"
    "      geometry, other settings or another N, and missing, doubled or cut files, are\n"
    "      refused with exit code 1.";

int WritePartFile(const char* command, const std::string& path, const std::string& text) {
    std::string error;
    if (path.empty()) {
        if (std::fwrite(text.data(), 1, text.size(), stdout) != text.size() ||
            std::fflush(stdout) != 0) {
            std::fprintf(stderr, "trazon-cli %s: cannot write the part to standard output\n",
                         command);
            return 1;
        }
        return 0;
    }
    if (!WriteFileReplacing(path, text, error)) {
        std::fprintf(stderr, "trazon-cli %s: cannot write %s: %s\n", command, path.c_str(),
                     error.c_str());
        return 1;
    }
    return 0;
}

int CliMerge(const TCliArgs& args) {
    const char* cmd = "merge";
    std::vector<std::string> files;
    std::string output;
    for (size_t k = 0; k < args.size(); ++k) {
        const std::string& a = args[k];
        if (IsHelp(a)) {
            std::printf("Usage:\n%s\n", CliMergeUsage);
            return 0;
        }
        if (a == "-o" || a == "--output") {
            if (k + 1 >= args.size()) return UsageError(cmd, a + " needs 1 value", CliMergeUsage);
            output = args[++k];
        } else if (a.size() > 1 && a[0] == '-') {
            return UsageError(cmd, "unknown option " + a, CliMergeUsage);
        } else {
            files.push_back(a);
        }
    }
    if (files.empty()) return UsageError(cmd, "no part files given", CliMergeUsage);
    std::string error;
    const std::string resultPath = output.empty() ? std::string() : VolumeFileName(output);
    if (!output.empty() &&
        (!CheckWriteTarget(output, error) || !CheckWriteTarget(resultPath, error)))
        return UsageError(cmd, "-o: " + error, CliMergeUsage);

    std::vector<std::string> texts;
    for (const std::string& f : files) {
        std::ifstream in(f, std::ios::binary);
        std::ostringstream text;
        if (!in || !(text << in.rdbuf()) || in.bad()) {
            std::fprintf(stderr, "trazon-cli merge: cannot read %s\n", f.c_str());
            return 1;
        }
        texts.push_back(text.str());
    }
    TMergedRun merged;
    if (!MergeRunParts(texts, files, merged, error)) {
        std::fprintf(stderr, "trazon-cli merge: %s\n", error.c_str());
        return 1;
    }
    if (!output.empty() && !merged.Volume)
        return UsageError(cmd, "-o writes a volume result file; these are check parts",
                          CliMergeUsage);
    PrintLines(merged.Lines); // escaped as the whole run prints them
    std::fflush(stdout);
    if (!output.empty() && !WriteVolumeFile(resultPath, merged.Zones, merged.Volumes, error)) {
        std::fprintf(stderr, "trazon-cli merge: %s\n", error.c_str());
        return 1;
    }
    return 0;
}
