// "check" and "volume": the geometry check and the region volume calculation, run by the same
// cores as their dialogs, printing what the dialogs' lists hold at the end.
#include "Cli.h"

#include "input/FileWrite.h"
#include "input/Reader.h"
#include "tools/core/CheckCore.h"
#include "tools/core/CheckFormat.h"
#include "tools/core/SplitRuns.h"
#include "tools/core/VolumeCore.h"

#include <cstdio>
#include <string>
#include <vector>
#include <unistd.h>

const char* const CliCheckUsage =
    "  check FILE [--rays N] [--start XMIN XMAX YMIN YMAX ZMIN ZMAX] [--theta MIN MAX]\n"
    "        [--phi MIN MAX] [--threads N] [--part I/N [-o PART]]\n"
    "      Ray-walk geometry check as the dialog runs it right after program start.\n"
    "      Defaults: 100000 rays from the origin, theta 0 360, phi -90 90 (degrees).\n"
    "      Prints the lines of the dialog's output list. --part I/N fires only the I-th of N\n"
    "      shares of the rays and writes a part file (to PART, or standard output) instead;\n"
    "      \"trazon-cli merge\" turns the N part files into the output of the whole run.";
const char* const CliVolumeUsage =
    "  volume FILE [--level L] [--box XMIN XMAX YMIN YMAX ZMIN ZMAX] [--ratio MIN MAX]\n"
    "        [--agree MIN MAX] [--zones all|NAME,NAME,...] [-o RESULT.dat] [--threads N]\n"
    "        [--part I/N]\n"
    "      Region volume calculation. Defaults: level 12 (0 to 14), box -100 100 on every\n"
    "      axis, level-to-level ratio (--ratio) and direction agreement (--agree) 0.999 1.001,\n"
    "      the zones whose material is above 0 ticked (--zones all ticks the void zones too,\n"
    "      whose volume outside the geometry never converges). Prints the final output lines\n"
    "      and the result lines; -o writes the result file (\".dat\" is appended to a name\n"
    "      without extension). --part I/N walks only the I-th of N shares of every level's\n"
    "      grid rows, through every level up to L, and writes a part file to -o PART (as\n"
    "      named) or standard output; \"trazon-cli merge\" gives the whole run's output.";

namespace {

struct TArgReader {
    const TCliArgs& Args;
    size_t Pos = 0;
    std::string Error;

    // Takes the words after an option into out.
    bool Take(const std::string& option, const std::vector<std::string*>& out) {
        const int n = static_cast<int>(out.size());
        if (Args.size() - Pos - 1 < static_cast<size_t>(n)) {
            Error = option + " needs " + std::to_string(n) + (n == 1 ? " value" : " values");
            return false;
        }
        for (int k = 0; k < n; ++k) *out[k] = Args[Pos + 1 + static_cast<size_t>(k)];
        Pos += static_cast<size_t>(n) + 1;
        return true;
    }

    // What every subcommand accepts: --threads N and the data file.
    bool TakeShared(const std::string& a, std::string& file, int& threads);
};

bool TArgReader::TakeShared(const std::string& a, std::string& file, int& threads) {
    if (a == "--threads") {
        std::string t;
        if (!Take(a, {&t})) return false;
        if (!ParseThreads(t, threads)) {
            Error = "--threads: \"" + t + "\" is not a thread count (0 = all cores)";
            return false;
        }
        return true;
    }
    if (a.size() > 1 && a[0] == '-' && !ParseReal(a)) {
        Error = "unknown option " + a;
        return false;
    }
    if (!file.empty()) {
        Error = "unexpected argument " + a;
        return false;
    }
    file = a;
    ++Pos;
    return true;
}

} // namespace

int ReadArgs(const TCliArgs& args, const char* cmd, const char* usage,
             const std::vector<TOption>& options, std::string& file, int& threads) {
    TArgReader in{args, 0, {}};
    while (in.Pos < args.size()) {
        const std::string& a = args[in.Pos];
        if (IsHelp(a)) {
            std::printf("Usage:\n%s\n", usage);
            return 0;
        }
        const TOption* option = nullptr;
        for (const TOption& o : options)
            for (const std::string& name : o.Names)
                if (a == name) option = &o;
        bool ok = option ? in.Take(a, option->Values) : in.TakeShared(a, file, threads);
        if (!ok) return UsageError(cmd, in.Error, usage);
        if (option && option->Given) *option->Given = true;
    }
    if (file.empty()) return UsageError(cmd, "no data file given", usage);
    return -1;
}

void PrintLine(const std::string& line) {
    std::printf("%s\n", ShownText(line, std::string::npos).c_str());
}

void PrintLines(const std::vector<std::string>& lines) {
    for (const std::string& l : lines) PrintLine(l);
}

int UsageError(const char* command, const std::string& message, const char* usage) {
    std::fprintf(stderr, "trazon-cli %s: %s\n\nUsage:\n%s\n", command, message.c_str(), usage);
    return 2;
}

bool IsHelp(const std::string& a) {
    return a == "--help" || a == "-h";
}

bool LoadData(const std::string& path, TGeometry& geometry, TTracks& tracks,
              TDisplaySettings& settings) {
    double size = 0;
    TDataReader reader(geometry, tracks, settings, size);
    reader.Hooks.ShowError = [](const std::string& text) {
        std::fputs(text.c_str(), stderr);
        if (!text.empty() && text.back() != '\n') std::fputc('\n', stderr);
    };
    bool ok = reader.Load(path);
    // nothing of the load is needed during a long run: no work directory stays behind
    RemoveWorkDir();
    return ok;
}

bool LoadGeometry(const std::string& path, TGeometry& geometry) {
    TTracks tracks;
    TDisplaySettings settings;
    return LoadData(path, geometry, tracks, settings);
}

bool ParseThreads(const std::string& text, int& threads) {
    auto v = ParseInt(text);
    if (!v || *v < 0 || *v > 256) return false;
    threads = *v;
    return true;
}

bool ParseSize(const std::string& text, int& w, int& h) {
    size_t x = text.find_first_of("xX");
    if (x == std::string::npos) return false;
    std::string a = text.substr(0, x), b = text.substr(x + 1);
    int32_t wi = 0, hi = 0;
    if (!TryStrToInt32(a, wi) || !TryStrToInt32(b, hi)) return false;
    // a picture is held whole in memory; keep it to a sane size
    if (wi < 1 || hi < 1 || wi > 8192 || hi > 8192) return false;
    w = wi, h = hi;
    return true;
}

TProgress::TProgress() : On(isatty(STDERR_FILENO) != 0) {}

void TProgress::Show(const std::string& line) {
    if (!On || line == Shown) return;
    Shown = line;
    std::fprintf(stderr, "\r%s\033[K", ShownText(line, std::string::npos).c_str());
    std::fflush(stderr);
}

void TProgress::Done() {
    if (On && !Shown.empty()) std::fputs("\r\033[K", stderr);
}

int CliCheck(const TCliArgs& args) {
    const char* cmd = "check";
    std::string file, partText, output;
    bool havePart = false;
    TCheckEntries entries;
    int threads = 0;
    const std::vector<TOption> options = {{{"--rays"}, {&entries.Rays}},
                                          {{"--start"},
                                           {&entries.Xmin, &entries.Xmax, &entries.Ymin,
                                            &entries.Ymax, &entries.Zmin, &entries.Zmax}},
                                          {{"--theta"}, {&entries.Tmin, &entries.Tmax}},
                                          {{"--phi"}, {&entries.Pmin, &entries.Pmax}},
                                          {{"--part"}, {&partText}, &havePart},
                                          {{"-o", "--output"}, {&output}}};
    if (int code = ReadArgs(args, cmd, CliCheckUsage, options, file, threads); code >= 0)
        return code;
    TCheckSettings settings;
    std::string error;
    if (!ConvertCheckEntries(entries, settings, error))
        return UsageError(cmd, error, CliCheckUsage);
    // no ray checks nothing: a clean result would claim a check that never ran
    if (settings.Rays < 1)
        return UsageError(cmd, "--rays: \"" + entries.Rays + "\" is no count of rays (1 or more)",
                          CliCheckUsage);
    TRunPart part;
    if (havePart && !ParseRunPart(partText, part, error))
        return UsageError(cmd, "--part: " + error, CliCheckUsage);
    if (!output.empty() && !havePart)
        return UsageError(cmd, "-o names a part file: give --part I/N too", CliCheckUsage);
    if (!output.empty() && !CheckWriteTarget(output, error))
        return UsageError(cmd, "-o: " + error, CliCheckUsage);

    TGeometry geometry;
    if (!LoadGeometry(file, geometry)) return 1;

    TCheckErrorSegments errors;
    TCheckRun run(errors); // a fresh generator: seed 0, as right after program start
    run.Threads = threads;
    run.Part = part.Index;
    run.Parts = part.Count;
    run.Start(geometry.Bodies, geometry.Zones, settings);
    TProgress progress;
    while (run.Running()) {
        run.Advance(4096);
        if (!run.Lines().empty()) progress.Show(run.Lines()[0]);
    }
    progress.Done();
    if (havePart)
        return WritePartFile(cmd, output,
                             CheckPartText(run, geometry.Zones, settings, part,
                                           GeometryFingerprint(geometry.Bodies, geometry.Zones)));
    PrintLines(run.Lines());
    return 0;
}

int CliVolume(const TCliArgs& args) {
    const char* cmd = "volume";
    std::string file, zones, output, partText;
    bool havePart = false;
    TVolumeEntries entries;
    int threads = 0;
    const std::vector<TOption> options = {{{"--level"}, {&entries.Level}},
                                          {{"--box"},
                                           {&entries.Xmin, &entries.Xmax, &entries.Ymin,
                                            &entries.Ymax, &entries.Zmin, &entries.Zmax}},
                                          {{"--ratio"}, {&entries.RatioMin, &entries.RatioMax}},
                                          {{"--agree"}, {&entries.AgreeMin, &entries.AgreeMax}},
                                          {{"--zones"}, {&zones}},
                                          {{"-o", "--output"}, {&output}},
                                          {{"--part"}, {&partText}, &havePart}};
    if (int code = ReadArgs(args, cmd, CliVolumeUsage, options, file, threads); code >= 0)
        return code;
    TVolumeSettings settings;
    std::string error;
    if (!ConvertVolumeEntries(entries, settings, error))
        return UsageError(cmd, error, CliVolumeUsage);
    TRunPart part;
    if (havePart && !ParseRunPart(partText, part, error))
        return UsageError(cmd, "--part: " + error, CliVolumeUsage);
    // a result that cannot be written is found before the calculation, not after it (a part
    // file keeps the name as given)
    const std::string resultPath =
        output.empty() ? std::string() : havePart ? output : VolumeFileName(output);
    // (the name as given too: "-o DIR" names a directory even though "DIR.dat" would do)
    if (!output.empty() &&
        (!CheckWriteTarget(output, error) || !CheckWriteTarget(resultPath, error)))
        return UsageError(cmd, "-o: " + error, CliVolumeUsage);

    TGeometry geometry;
    if (!LoadGeometry(file, geometry)) return 1;

    std::vector<bool> ticks;
    if (!VolumeTicks(geometry.Zones, zones, ticks, error))
        return UsageError(cmd, "--zones: " + error, CliVolumeUsage);

    TCheckErrorSegments errors;
    TVolumeRun run(errors);
    run.Threads = threads;
    run.Part = part.Index;
    run.Parts = part.Count;
    run.KeepSums = havePart;
    run.Reset(geometry.Zones);
    run.Start(geometry.Bodies, geometry.Zones, settings, ticks);
    TProgress progress;
    while (run.Running()) {
        run.Step();
        if (!run.Lines().empty()) progress.Show(run.Lines()[0]);
    }
    progress.Done();
    if (havePart)
        return WritePartFile(cmd, resultPath,
                             VolumePartText(run, geometry.Zones, settings, ticks, part,
                                            GeometryFingerprint(geometry.Bodies, geometry.Zones)));
    PrintLines(run.Lines());
    PrintLines(run.ResultLines());
    std::fflush(stdout);
    if (!output.empty()) {
        if (!WriteVolumeFile(resultPath, geometry.Zones, run.Volumes, error)) {
            std::fprintf(stderr, "trazon-cli volume: %s\n", error.c_str());
            return 1;
        }
    }
    return 0;
}
