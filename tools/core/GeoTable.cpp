#include "GeoTable.h"

#include "input/Reader.h"

#include <algorithm>
#include <cstdio>

TGeoTable MakeBodyTable(int dataRows) {
    TGeoTable t(static_cast<size_t>(dataRows + 1), TGeoRow(GeoColCount));
    t[0][1] = "SYMBOL";
    t[0][2] = "NUMBER";
    for (int k = 1; k <= 30; ++k) t[0][static_cast<size_t>(k + 2)] = std::to_string(k);
    return t;
}

TGeoTable MakeZoneTable(int dataRows) {
    TGeoTable t(static_cast<size_t>(dataRows + 1), TGeoRow(ZoneColCount));
    t[0][0] = "NUMBER";
    t[0][1] = "MATERIAL";
    for (int k = 1; k <= ZoneTermCount; ++k) t[0][static_cast<size_t>(k + 1)] = std::to_string(k);
    TableRenumber(t, 1, true);
    return t;
}

std::string ZoneLabel(int row) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "Z%.4d", row < 10000 ? row : 9999);
    return buf;
}

void TableRenumber(TGeoTable& t, int fromRow, bool numbered) {
    if (!numbered) return;
    for (size_t r = static_cast<size_t>(std::max(fromRow, 1)); r < t.size(); ++r)
        t[r][0] = ZoneLabel(static_cast<int>(r));
}

static size_t ColsOf(const TGeoTable& t) {
    return t.empty() ? 0 : t[0].size();
}

void TableAppendRow(TGeoTable& t, bool numbered) {
    t.emplace_back(ColsOf(t));
    TableRenumber(t, static_cast<int>(t.size()) - 1, numbered);
}

void TableInsertRow(TGeoTable& t, int at, bool numbered) {
    if (at < 1 || at > static_cast<int>(t.size())) return;
    t.insert(t.begin() + at, TGeoRow(ColsOf(t)));
    TableRenumber(t, at, numbered);
}

void TableDeleteRow(TGeoTable& t, int at, bool numbered) {
    if (at < 1 || at >= static_cast<int>(t.size())) return;
    if (t.size() > 2)
        t.erase(t.begin() + at);
    else
        t[static_cast<size_t>(at)].assign(ColsOf(t), std::string());
    TableRenumber(t, at, numbered);
}

void TableClearAll(TGeoTable& t, bool numbered) {
    t.resize(2);
    t[1].assign(ColsOf(t), std::string());
    TableRenumber(t, 0, numbered);
}

void RowDeleteCell(TGeoRow& row, int col) {
    if (col < 0 || col >= static_cast<int>(row.size())) return;
    for (size_t c = static_cast<size_t>(col); c + 1 < row.size(); ++c) row[c] = row[c + 1];
    row.back().clear();
}

void RowInsertCell(TGeoRow& row, int col) {
    if (col < 0 || col >= static_cast<int>(row.size())) return;
    for (size_t c = row.size() - 1; c > static_cast<size_t>(col); --c) row[c] = row[c - 1];
    row[static_cast<size_t>(col)].clear();
}

std::string RowToCommaText(const TGeoRow& row) {
    std::string out;
    for (size_t c = 0; c < row.size(); ++c) {
        if (c) out += ',';
        const std::string& s = row[c];
        bool quote = false;
        for (unsigned char ch : s)
            if (ch <= ' ' || ch == ',' || ch == '"') quote = true;
        if (!quote) {
            out += s;
            continue;
        }
        out += '"';
        for (char ch : s) {
            if (ch == '"') out += '"';
            out += ch;
        }
        out += '"';
    }
    return out;
}

std::vector<std::string> CommaTextItems(const std::string& text) {
    std::vector<std::string> items;
    if (text.empty()) return items;
    size_t i = 0;
    while (true) {
        std::string item;
        if (i < text.size() && text[i] == '"') {
            ++i;
            while (i < text.size()) {
                if (text[i] == '"') {
                    if (i + 1 < text.size() && text[i + 1] == '"') {
                        item += '"';
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                item += text[i++];
            }
            // anything between the closing quote and the next comma belongs to the item
            while (i < text.size() && text[i] != ',') item += text[i++];
        } else {
            while (i < text.size() && text[i] != ',') item += text[i++];
        }
        items.push_back(item);
        if (i >= text.size()) break;
        ++i; // the comma
    }
    return items;
}

void RowFromCommaText(TGeoRow& row, const std::string& text) {
    for (auto& cell : row) cell.clear();
    std::vector<std::string> items = CommaTextItems(text);
    for (size_t c = 0; c < items.size() && c < row.size(); ++c)
        row[c] = items[c].empty() ? std::string(" ") : items[c];
}

static bool IsTrimmed(unsigned char ch) {
    return ch <= ' ';
}

std::string TrimText(const std::string& s) {
    size_t b = 0, e = s.size();
    while (b < e && IsTrimmed(static_cast<unsigned char>(s[b]))) ++b;
    while (e > b && IsTrimmed(static_cast<unsigned char>(s[e - 1]))) --e;
    return s.substr(b, e - b);
}

std::string UpperText(const std::string& s) {
    std::string out = s;
    for (char& ch : out)
        if (ch >= 'a' && ch <= 'z') ch = static_cast<char>(ch - 'a' + 'A');
    return out;
}

bool IsBlankText(const std::string& s) {
    return TrimText(s).empty();
}

bool ParseIntText(const std::string& s, int64_t& value) {
    if (s.empty()) return false;
    size_t i = 0;
    bool neg = false;
    if (s[0] == '+' || s[0] == '-') {
        neg = s[0] == '-';
        i = 1;
    }
    if (i >= s.size()) return false;
    int64_t v = 0;
    for (; i < s.size(); ++i) {
        if (s[i] < '0' || s[i] > '9') return false;
        if (v > (INT64_MAX - 9) / 10) return false;
        v = v * 10 + (s[i] - '0');
    }
    value = neg ? -v : v;
    return true;
}

bool ParseRealText(const std::string& text, double& value) {
    return TryStrToFloatDot(TrimView(text), value);
}
