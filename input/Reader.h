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
// first use below $TMPDIR (or /tmp) and removed with its content at normal exit. Empty
// when it cannot be created.
const std::string& WorkDir();
// WorkDir() + name, e.g. WorkFilePath(DummyFileName); empty when there is no work directory.
std::string WorkFilePath(const std::string& name);
// Removes the work directory now (also done at exit); a later WorkDir() makes a new one.
void RemoveWorkDir();

// ---- Text helpers -------------------------------------------------------------------------

// Blank-separated tokens; "..." keeps blanks; tokens trimmed, empty ones dropped.
void SplitWords(std::string_view line, TMatrixAs& out);
// Fields at every separator character, empty ones included; a trailing empty field is not added.
void SplitAt(std::string_view line, TMatrixAs& out, std::string_view separators);
// Strips characters up to and including blank (control characters, tab) at both ends.
std::string_view TrimView(std::string_view s);
std::string UpperCase(std::string_view s); // ASCII letters only

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

    // Pass 1: the data file into "div.tmp" and "line.tmp" of WorkDir(). False (with an
    // error shown and the model emptied) when a file cannot be opened or written.
    bool PrepareTokens(const std::string& dataPath);
    // Pass 2: rebuilds the model from "div.tmp" (and "line.tmp" beside it), then runs the
    // post-load steps. False after a read error; the model is then empty.
    bool ReadDataFile(const std::string& divPath);
    // Both passes on a data file.
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
    bool ReadModel();
    bool ReadCgCards();
    bool ReadGenerated(int& materialSkip);
    bool ReadMaterials(int extraSkip);
    bool ReadHistories();
    void PostLoad();
    void EmptyModel();
    bool AtEnd();

    TGeometry& Geometry;
    TTracks& Tracks;
    TDisplaySettings& Settings;
    double& Size;

    std::unique_ptr<TWorkReader> Div;
    std::unique_ptr<TWorkReader> Line;
    // Views into the work file buffers (or into Kept), valid until the next NextToken.
    std::string_view ReadStr;
    std::string_view ReadLine;
    std::string Kept;
    std::string LastErrorText;
    // Token count of the last pre-pass, to size the track list in one step.
    int64_t PreparedTokens = -1;
    std::string PreparedDiv;
};
