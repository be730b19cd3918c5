#include "GeoEditorFile.h"

#include "GeoWriter.h"
#include "input/FileWrite.h"
#include "input/Reader.h"

#include <cerrno>
#include <cstring>
#include <fstream>

void EditorLineTokens(const std::string& line, bool csv, std::vector<std::string>& out) {
    out.clear();
    TMatrixAs parts;
    if (csv)
        SplitAt(line, parts, ",");
    else
        SplitWords(line, parts);
    out.reserve(parts.size());
    for (const std::string& p : parts) out.push_back(UpperCase(csv ? TrimView(p) : p));
}

bool TokeniseEditorFile(const std::string& path, const std::string& tokenFile, std::string& error) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = path + ": " + std::strerror(errno);
        return false;
    }
    const bool csv = HasCsvExtension(path);
    std::string text, line;
    std::vector<std::string> tokens;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        EditorLineTokens(line, csv, tokens);
        for (const std::string& t : tokens) text += t + "\n";
    }
    if (in.bad()) {
        error = path + ": read error";
        return false;
    }
    if (!WriteFileReplacing(tokenFile, text, error)) {
        error = tokenFile + ": " + error;
        return false;
    }
    return true;
}

bool EditorFileLattice(const std::string& path, TEditorLattice& out) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    const bool csv = HasCsvExtension(path);
    std::vector<std::string> tokens, words;
    std::string line;
    // the header, the layout and three counts come first; a few lines hold them
    for (int lines = 0; lines < 64 && tokens.size() < 5 && std::getline(in, line); ++lines) {
        if (line.size() > 4096) line.resize(4096);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        EditorLineTokens(line, csv, words);
        for (std::string& w : words)
            if (!IsBlankText(w)) tokens.push_back(std::move(w));
    }
    if (tokens.size() < 5 || tokens[0].find("GSTA") == std::string::npos ||
        tokens[0].find("CSTA") != std::string::npos || tokens[1] != "SLAB")
        return false;
    int32_t n[3];
    for (int a = 0; a < 3; ++a)
        if (!TryStrToInt32(tokens[static_cast<size_t>(a) + 2], n[a]) || n[a] < 2) return false;
    out.NX = n[0] - 1, out.NY = n[1] - 1, out.NZ = n[2] - 1;
    return true;
}

std::string EditorLatticeMessage(const std::string& fileName, const TEditorLattice& lattice) {
    return fileName + " holds a lattice of " + std::to_string(lattice.NX) + " x " +
           std::to_string(lattice.NY) + " x " + std::to_string(lattice.NZ) + " cells (" +
           std::to_string(lattice.Cells()) +
           " voxels).\nA lattice is not edited cell by cell: change the file that made it, "
           "then open it in the viewer.";
}

TEditorLoad LoadEditorTokens(const std::vector<std::string>& tokens, TGeoTable& bodies,
                             TGeoTable& zones) {
    TEditorLoad info;
    size_t i = 0;
    auto put = [&](TGeoTable& t, size_t& col, const std::string& tok) {
        TGeoRow& row = t.back();
        if (col < row.size())
            row[col] = tok;
        else
            ++info.Dropped;
        ++col;
    };

    bodies = MakeBodyTable(1);
    size_t col = 0;
    for (; i < tokens.size() && tokens[i] != "END"; ++i) {
        const std::string& tok = tokens[i];
        if (IsBlankText(tok)) continue;
        double v = 0;
        if (!ParseRealText(tok, v)) {
            TableAppendRow(bodies, false);
            bodies.back()[1] = tok;
            col = 2;
        } else {
            put(bodies, col, tok);
        }
    }
    // the row left by clearing holds only what came before the first body
    TableDeleteRow(bodies, 1, false);
    if (i < tokens.size()) ++i;

    zones = MakeZoneTable(1);
    col = 0;
    for (; i < tokens.size() && tokens[i] != "END"; ++i) {
        const std::string& tok = tokens[i];
        if (IsBlankText(tok)) continue;
        if (tok.find('Z') != std::string::npos) {
            TableAppendRow(zones, true);
            col = 2;
        } else {
            put(zones, col, tok);
        }
    }
    TableDeleteRow(zones, 1, true);
    if (i < tokens.size()) ++i;

    size_t zr = 1;
    for (; i < tokens.size() && zr < zones.size(); ++i) {
        if (IsBlankText(tokens[i])) continue;
        zones[zr++][1] = tokens[i];
    }
    return info;
}

bool LoadEditorTokenFile(const std::string& tokenFile, TGeoTable& bodies, TGeoTable& zones,
                         TEditorLoad& info, std::string& error) {
    std::ifstream in(tokenFile, std::ios::binary);
    if (!in) {
        error = tokenFile + ": " + std::strerror(errno);
        return false;
    }
    std::vector<std::string> tokens;
    std::string line;
    while (std::getline(in, line)) tokens.push_back(line);
    if (in.bad()) {
        error = tokenFile + ": read error";
        return false;
    }
    info = LoadEditorTokens(tokens, bodies, zones);
    return true;
}
