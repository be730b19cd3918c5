// Text output of the editor's tables: the blank-separated card layout (editor file, or a
// complete data file with section keywords for the viewer) and the comma-separated layout.
#pragma once

#include "GeoTable.h"

#include <string>

// Blank-separated layout; with sections it is a complete "CSTA-FREE" data file.
std::string FormatBlankSeparated(const TGeoTable& bodies, const TGeoTable& zones,
                                 bool withSections);
// Comma-separated editor layout.
std::string FormatCsv(const TGeoTable& bodies, const TGeoTable& zones);

// Both write through a temporary file (WriteFileReplacing): a failed write leaves the
// previous file as it was. False with a reason in `error`.
bool WriteBlankSeparatedFile(const std::string& path, const TGeoTable& bodies,
                             const TGeoTable& zones, bool withSections, std::string& error);
bool WriteCsvFile(const std::string& path, const TGeoTable& bodies, const TGeoTable& zones,
                  std::string& error);

// A cell whose text would not read back as one item of the editor file: in the blank-separated
// layout a blank or double quote inside the trimmed text, in the comma-separated one a comma.
struct TSplitCell {
    bool IsZone = false;
    int Row = 0, Col = 0; // table coordinates
    std::string Text;
};
bool FindSplitCell(const TGeoTable& bodies, const TGeoTable& zones, bool csv, TSplitCell& where);

// True when the file name's extension is ".csv" in any case.
bool HasCsvExtension(const std::string& path);
