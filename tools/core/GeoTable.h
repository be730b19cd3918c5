// The editor's two tables as plain text: row 0 is the header row, column 0 the label column,
// as in the grids. Shared by the validation, the file writers and the editor file reader.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

using TGeoRow = std::vector<std::string>;
using TGeoTable = std::vector<TGeoRow>; // Table[row][column]

inline constexpr int GeoColCount = 33;   // label, symbol, number, parameters 1 to 30
inline constexpr int ZoneColCount = 102; // label, material, terms 1 to 100
inline constexpr int ZoneTermCount = ZoneColCount - 2;

// Header row plus `dataRows` empty data rows, zone rows labelled.
TGeoTable MakeBodyTable(int dataRows = 1);
TGeoTable MakeZoneTable(int dataRows = 1);

// Row label of a numbered grid: "Z%.4d", all rows from 10000 on share "Z9999".
std::string ZoneLabel(int row);

// Row operations with the grid's rules; `numbered` relabels the rows from the changed one on.
void TableRenumber(TGeoTable& t, int fromRow, bool numbered);
void TableAppendRow(TGeoTable& t, bool numbered);
void TableInsertRow(TGeoTable& t, int at, bool numbered);
void TableDeleteRow(TGeoTable& t, int at, bool numbered); // keeps one data row
void TableClearAll(TGeoTable& t, bool numbered);

// In-row cell shifts of the popup commands "Delete" and "Insert".
void RowDeleteCell(TGeoRow& row, int col);
void RowInsertCell(TGeoRow& row, int col);

// Comma text of a row: cells joined by commas, a cell quoted when it holds a blank, a control
// character, a comma or a double quote (inner quotes doubled).
std::string RowToCommaText(const TGeoRow& row);
// Items of a comma text; empty for an empty text.
std::vector<std::string> CommaTextItems(const std::string& text);
// Empties the row, then fills it from the items; an empty item becomes a single blank,
// items beyond the last column are dropped.
void RowFromCommaText(TGeoRow& row, const std::string& text);

// Text helpers with the conventions of the editor: trimming removes blanks and control
// characters, upper-casing is ASCII only.
std::string TrimText(const std::string& s);
std::string UpperText(const std::string& s);
bool IsBlankText(const std::string& s);
// Whole text an optionally signed decimal integer (no blanks).
bool ParseIntText(const std::string& s, int64_t& value);
// Whole text a finite real with "." as decimal separator, optional sign and exponent;
// surrounding blanks are tolerated.
bool ParseRealText(const std::string& s, double& value);
