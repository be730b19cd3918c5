// Data file reader: a token pre-pass into two work files, then the model builder.
//
//   TDataReader reader(geometry, tracks, settings, camera.Size);
//   reader.Hooks.ShowError = ...;          // message box in the GUI
//   reader.Hooks.RebuildBodies = ...;      // grown copies and meshes
//   if (reader.PrepareTokens(path)) reader.ReadDataFile(WorkFilePath(DivFileName));
//
// or simply reader.Load(path), which runs both passes.
#pragma once

#include "geometry/MyCGUnit.h"
#include "input/DisplaySettings.h"
#include "input/Tracks.h"

#include <cstdint>
#include <cstdio>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>

// ---- Work files -------------------------------------------------------------------------

inline constexpr const char* DivFileName = "div.tmp";
inline constexpr const char* LineFileName = "line.tmp";
inline constexpr const char* DummyFileName = "dummy.tmp";

// Private directory of this process for the work files, with a trailing '/'. Created on
// first use below $TMPDIR (or /tmp) and removed with its content at normal exit and on the
// usual terminating signals; directories that a killed run left behind are removed when the
// next run makes its own. Empty when it cannot be created.
const std::string& WorkDir();
// WorkDir() + name, e.g. WorkFilePath(DummyFileName); empty when there is no work directory.
std::string WorkFilePath(const std::string& name);
// Removes the work directory now (also done at exit); a later WorkDir() makes a new one.
void RemoveWorkDir();
// Each work directory records its owner (pid, start time, pid namespace) in this file.
inline constexpr const char* WorkOwnerFileName = "owner";
// Removes the "trazon-XXXXXX" directories below base (with a trailing '/') whose owner no
// longer runs; done whenever a work directory is made. Another run's directory is never
// touched, nor one without an owner record.
void RemoveStaleWorkDirs(const std::string& base);

// ---- Text helpers -------------------------------------------------------------------------

// Blank-separated tokens; "..." keeps blanks; tokens trimmed, empty ones dropped.
void SplitWords(std::string_view line, TMatrixAs& out);
// Fields at every separator character, empty ones included; a trailing empty field is not added.
void SplitAt(std::string_view line, TMatrixAs& out, std::string_view separators);
// Strips characters up to and including blank (control characters, tab) at both ends.
std::string_view TrimView(std::string_view s);
std::string UpperCase(std::string_view s); // ASCII letters only
// Text from a file made safe to show in a message or on a terminal: at most maxBytes of it
// (then "..." follows), control characters and bytes that are no UTF-8 character escaped
// ("\t", "\x1B").
std::string ShownText(std::string_view s, size_t maxBytes = 64);

// Largest magnitude of a real in a data file or a tool entry: the scene size, its squares and
// the drawing stay finite.
inline constexpr double MaxDataReal = 1e30;
inline constexpr const char* MaxDataRealText = "|value| > 1E+30";
// Body sizes may go further, as long as their squares stay finite (about 1.34E+154).
inline constexpr double MaxBodyReal = 1.3e154;
inline constexpr const char* MaxBodyRealText = "|value| > 1.3E+154";

// Memory the system can give this process now (MemAvailable, or the physical memory), in bytes.
uint64_t MemoryAvailable();

// Decimal integer with optional sign that fits 32 bits.
bool TryStrToInt32(std::string_view s, int32_t& value);
// Real with "." as decimal separator whatever the locale: [sign] digits [. digits] [e [sign]
// digits]. Infinite or out-of-range values are rejected.
bool TryStrToFloatDot(std::string_view s, double& value);

// Raised by StrToFloatDot on text that is not a real.
class EConvertError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};
double StrToFloatDot(std::string_view s);

// ---- Built-in sample ------------------------------------------------------------------------

// The sample data file, one line per entry (free layout; 10 bodies, 7 zones, 2 histories).
extern const char* const SampleDataLines[];
extern const int SampleDataLineCount;
// Writes the sample to WorkFilePath(DummyFileName); returns that path, empty on failure.
std::string WriteSampleData();

// ---- Reader -------------------------------------------------------------------------------

// Steps of a load that belong to the window; each may be left empty (then it is skipped).
struct TReadHooks {
    // Shows the composed error text (default: written to standard error).
    std::function<void(const std::string& text)> ShowError;
    // After a successful read, in this order, once the model steps are done:
    std::function<void()> CutBoxChanged; // rebuild the cut box mesh
    std::function<void()> ResetCamera;   // rotation and translation, orientation kept
    std::function<void()> RebuildBodies; // GrownBodies and every body mesh (SceneSize)
    std::function<void()> RefreshLabels; // range label and legend (UpdateRangeLabel)
};

class TDataReader {
  public:
    // The reader fills the given model; size is the camera's Size.
    TDataReader(TGeometry& geometry, TTracks& tracks, TDisplaySettings& settings, double& size);
    ~TDataReader();
    TDataReader(const TDataReader&) = delete;
    TDataReader& operator=(const TDataReader&) = delete;

    TReadHooks Hooks;

    // Upper bound on the bodies a generated layout (CYLS, SLAB, SPHR) may make; larger
    // counts are rejected as a body parameter error instead of exhausting memory.
    int64_t MaxGeneratedBodies = 1000000;
    // A SLAB layout of at least this many cells, with boundaries in non-decreasing order, is
    // kept as a lattice (Lattice.h): no body or zone records, no body limit. Its bound is what
    // the machine can hold (MemoryAvailable) and MaxLatticeCells.
    int64_t MinLatticeCells = 4096;
    int64_t MaxLatticeCells = int64_t{1} << 31; // zone positions and codes stay 32-bit
    // Memory a load may take; 0: what the system reports available (MemoryAvailable).
    uint64_t MemoryLimit = 0;
    // Longest line of a data file; a longer one is a read error naming its line (a file
    // that never ends a line must not fill the memory).
    size_t MaxLineLength = size_t{16} << 20;
    // Free space the work files leave on their file system: they grow with the input, and an
    // endless one (a device, a pipe) must end in an error, not a full disk. 0: the smaller of
    // 512 MiB and a twentieth of the file system.
    uint64_t WorkSpaceReserve = 0;

    // Pass 1: the data file into "div.tmp" and "line.tmp" of WorkDir(). False (with an
    // error shown and the model emptied) when a file cannot be opened or written.
    bool PrepareTokens(const std::string& dataPath);
    // Pass 2: rebuilds the model from "div.tmp" (and "line.tmp" beside it), then runs the
    // post-load steps. The work files of a SLAB layout lack its material list, which the
    // pre-pass keeps in memory for one read. False after a read error; the model is then empty.
    bool ReadDataFile(const std::string& divPath);
    // Reads a data file in one pass, without work files: the same tokens, model, errors
    // and line numbers as PrepareTokens followed by ReadDataFile.
    bool Load(const std::string& dataPath);
    // Writes the built-in sample into "dummy.tmp" and loads it.
    bool LoadSample();

    // Composed text of the last error ("error : ...\nReadStr : ...\nLine : ...\n"),
    // empty after a successful load.
    const std::string& LastError() const { return LastErrorText; }

    // Reads the next token and its source line number; both empty at the end.
    void NextToken();
    // Empties the model, shows the composed message and records it; returns true.
    bool ReportReadError(const std::string& message);

    // Current token and its source line number (text as stored in "line.tmp").
    // Valid until the next NextToken.
    std::string_view Token() const { return ReadStr; }
    std::string_view LineNo() const { return ReadLine; }

  private:
    struct TWorkReader;
    struct TDataLines;
    struct TDirectTokens;
    bool Tokenize(const std::string& dataPath);
    // Empties the model and shows "what : path (reason)"; returns false.
    bool FileError(const std::string& what, const std::string& path, int err);
    // Reports a fault of the data file itself (TDataLines); returns true.
    bool ReportLineFault(const TDataLines& lines, const std::string& dataPath);
    // Runs one step of a load; allocation failure becomes the read error "Out of memory".
    template <class Step> bool Guarded(Step&& step);
    void ShowText(std::string text);
    void RemoveTokenFiles();
    bool ReadModel();
    bool ReadCgCards();
    bool ReadGenerated(int& materialSkip);
    void BuildGenerated();
    // The current token as a real within the limit; otherwise reports `message`.
    bool ReadReal(double& value, const char* message, double limit = MaxDataReal,
                  const char* limitText = MaxDataRealText);
    bool ReadMaterials(int extraSkip);
    // The cell materials of a lattice, one integer token each.
    bool ReadLatticeMaterials(std::vector<int32_t>& numbers);
    // The next material number: from FastMaterials while it lasts, then from the tokens.
    bool NextMaterial(int32_t& m);
    bool ReadHistories();
    // Memory for another block of track points (MemoryLimit, or what the system has).
    bool RoomForTrackBlock() const;
    void PostLoad();
    void EmptyModel();
    bool AtEnd();

    TGeometry& Geometry;
    TTracks& Tracks;
    TDisplaySettings& Settings;
    double& Size;

    // A generated layout as read, made into bodies and zones once its materials are read.
    struct TGenerated {
        enum { None, Cyls, Slab, Sphr, Lattice } Layout = None;
        size_t Count = 0;             // bodies (= zones)
        std::vector<double> Coord[3]; // CYLS: radii, -, planes; SLAB: x, y, z; SPHR: radii
    };
    std::unique_ptr<TGenerated> Generated;
    // A SLAB layout's material list as the pre-pass read it (see Tokenize).
    std::vector<int32_t> FastMaterials;
    size_t FastNext = 0;
    std::unique_ptr<TWorkReader> Div;
    std::unique_ptr<TWorkReader> Line;
    // The one-pass load's tokens; set only during Load. Its read errors wait in PendingError
    // until the rest of the file is known to have no fault of its own.
    std::unique_ptr<TDirectTokens> Direct;
    std::string PendingError;
    bool Deferring = false;
    // Views into the work file buffers (or into Kept), valid until the next NextToken.
    std::string_view ReadStr;
    std::string_view ReadLine;
    std::string Kept, KeptLine;
    std::string LastErrorText;
    // Token count of the last pre-pass, to size the track list in one step.
    int64_t PreparedTokens = -1;
    std::string PreparedDiv;
};
