#include "GeoWriter.h"

#include "input/FileWrite.h"

namespace {

// Right-aligns s in `width` characters; a longer text is never cut.
std::string RightAlign(const std::string& s, size_t width) {
    return s.size() >= width ? s : std::string(width - s.size(), ' ') + s;
}

const std::string& Cell(const TGeoRow& row, size_t col) {
    static const std::string empty;
    return col < row.size() ? row[col] : empty;
}

std::string BodyHead(const std::string& symbol, const std::string& number) {
    return "  " + RightAlign(symbol, 3) + "  " + RightAlign(number, 3);
}

std::string TermField(const std::string& op, const std::string& term) {
    // Appended piece by piece: g++ 12 -O3 warns falsely on "literal" + temporary string.
    std::string field = " ";
    field += RightAlign(op, 2);
    field += ' ';
    field += RightAlign(term, 6);
    return field;
}

} // namespace

std::string FormatBlankSeparated(const TGeoTable& bodies, const TGeoTable& zones,
                                 bool withSections) {
    std::string out;
    if (withSections) out += "CSTA-FREE\n";

    for (size_t r = 1; r < bodies.size(); ++r) {
        const TGeoRow& row = bodies[r];
        std::string line = BodyHead(Cell(row, 1), Cell(row, 2));
        for (int k = 1; k <= 30; ++k) {
            line += " " + RightAlign(Cell(row, static_cast<size_t>(k + 2)), 12);
            if (k % 5 == 0 && !IsBlankText(line)) {
                out += line + "\n";
                line = BodyHead("", "");
            }
            // a blank group is kept: its blanks lead the next line that is written
        }
    }
    out += "  END\n";

    for (size_t r = 1; r < zones.size(); ++r) {
        const TGeoRow& row = zones[r];
        std::vector<std::string> terms;
        // a cell of blanks (every empty cell after CANCEL) is no term
        for (size_t c = 2; c < row.size(); ++c)
            if (!IsBlankText(row[c])) terms.push_back(row[c]);
        std::string line = RightAlign(TrimText(Cell(row, 0)), 5);
        for (size_t t = 0; t < terms.size(); ++t) {
            if (terms[t] == "OR") {
                // an "OR" with nothing after it is written alone
                line += TermField("OR", t + 1 < terms.size() ? terms[t + 1] : std::string());
                ++t;
            } else {
                line += TermField("", terms[t]);
            }
            if (line.size() == 75) {
                out += line + "\n";
                line = std::string(5, ' ');
            }
        }
        if (!IsBlankText(line)) out += line + "\n";
    }
    out += "  END\n";

    const size_t zoneRows = zones.empty() ? 0 : zones.size() - 1;
    if (withSections) {
        out += "CEND\nMSTA\n";
        out += std::to_string(zoneRows) + "\n";
    }
    for (size_t i = 0; i < zoneRows; ++i) {
        out += RightAlign(TrimText(Cell(zones[i + 1], 1)), 4) + " ";
        if ((i + 1) % 15 == 0 || i + 1 == zoneRows) out += "\n";
    }
    if (withSections) out += "MEND\n";
    return out;
}

std::string FormatCsv(const TGeoTable& bodies, const TGeoTable& zones) {
    std::string out;
    for (size_t r = 1; r < bodies.size(); ++r) {
        const TGeoRow& row = bodies[r];
        for (size_t c = 1; c < row.size(); ++c)
            if (!IsBlankText(row[c])) out += row[c] + ",";
        out += "\n";
    }
    out += "END\n";
    for (size_t r = 1; r < zones.size(); ++r) {
        const TGeoRow& row = zones[r];
        for (size_t c = 0; c < row.size(); ++c)
            if (c != 1 && !IsBlankText(row[c])) out += row[c] + ",";
        out += "\n";
    }
    out += "END\n";
    const size_t zoneRows = zones.empty() ? 0 : zones.size() - 1;
    for (size_t i = 0; i < zoneRows; ++i) {
        out += TrimText(Cell(zones[i + 1], 1)) + ",";
        if ((i + 1) % 50 == 0 || i + 1 == zoneRows) out += "\n";
    }
    return out;
}

bool WriteBlankSeparatedFile(const std::string& path, const TGeoTable& bodies,
                             const TGeoTable& zones, bool withSections, std::string& error) {
    return WriteFileReplacing(path, FormatBlankSeparated(bodies, zones, withSections), error);
}

bool WriteCsvFile(const std::string& path, const TGeoTable& bodies, const TGeoTable& zones,
                  std::string& error) {
    return WriteFileReplacing(path, FormatCsv(bodies, zones), error);
}

bool FindSplitCell(const TGeoTable& bodies, const TGeoTable& zones, bool csv, TSplitCell& where) {
    const TGeoTable* tables[2] = {&bodies, &zones};
    for (int k = 0; k < 2; ++k) {
        const TGeoTable& t = *tables[k];
        for (size_t r = 1; r < t.size(); ++r)
            for (size_t c = 1; c < t[r].size(); ++c) {
                const std::string text = csv ? t[r][c] : TrimText(t[r][c]);
                if (text.find_first_of(csv ? "," : " \"") == std::string::npos) continue;
                where = {k == 1, static_cast<int>(r), static_cast<int>(c), t[r][c]};
                return true;
            }
    }
    return false;
}

bool HasCsvExtension(const std::string& path) {
    size_t slash = path.find_last_of('/');
    std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    size_t dot = name.find_last_of('.');
    return dot != std::string::npos && UpperText(name.substr(dot)) == ".CSV";
}
