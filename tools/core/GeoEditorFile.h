// Reading an editor file (blank-separated ".geo" or comma-separated ".csv") back into the
// editor's tables, through a token file with one upper-cased token per line.
#pragma once

#include "GeoTable.h"

#include <cstdint>
#include <string>
#include <vector>

// Tokens of one line: split at commas (fields trimmed) for a ".csv" file, at blanks otherwise;
// every token upper-cased.
void EditorLineTokens(const std::string& line, bool csv, std::vector<std::string>& out);

// Tokenises the editor file `path` (layout by its extension, any case) into `tokenFile`.
// False with a reason in `error` when a file cannot be read or written.
bool TokeniseEditorFile(const std::string& path, const std::string& tokenFile, std::string& error);

// A data file whose geometry is a box lattice ("GSTA" header, "SLAB" layout): its cell counts.
struct TEditorLattice {
    int64_t NX = 0, NY = 0, NZ = 0; // cells per axis
    int64_t Cells() const { return NX * NY * NZ; }
};
// Whether the file starts as a lattice data file; reads only its first lines.
bool EditorFileLattice(const std::string& path, TEditorLattice& out);
// What the editor says instead of opening a lattice.
std::string EditorLatticeMessage(const std::string& fileName, const TEditorLattice& lattice);

struct TEditorLoad {
    int Dropped = 0; // tokens that found no column (rows longer than the table)
};

// Fills fresh tables from the tokens: bodies start at every token that is not a number, zones
// at every token containing "Z", and the tokens after the zones' "END" are the materials
// of zone rows 1, 2, ... in turn.
TEditorLoad LoadEditorTokens(const std::vector<std::string>& tokens, TGeoTable& bodies,
                             TGeoTable& zones);
// Reads the token file and loads it as above. False with a reason when it cannot be read.
bool LoadEditorTokenFile(const std::string& tokenFile, TGeoTable& bodies, TGeoTable& zones,
                         TEditorLoad& info, std::string& error);
