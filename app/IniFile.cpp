#include "IniFile.h"

#include "input/FileWrite.h"
#include "input/Reader.h"

#include <cctype>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <unistd.h>

namespace {

bool SameText(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (std::tolower((unsigned char)a[i]) != std::tolower((unsigned char)b[i])) return false;
    return true;
}

std::string Trim(const std::string& s) {
    return std::string(TrimView(s));
}

} // namespace

std::string FloatToStrGeneral(double value) {
    if (std::isnan(value)) return "NAN";
    if (std::isinf(value)) return value > 0 ? "INF" : "-INF";
    if (value == 0) return "0";
    char buf[64];
    bool neg = value < 0;
    // 15 significant digits: one before the point, 14 after
    std::snprintf(buf, sizeof buf, "%.14e", value);
    std::string s(buf);
    size_t e = s.find('e');
    int exp = std::atoi(s.c_str() + e + 1);
    std::string digits;
    for (size_t i = neg ? 1 : 0; i < e; ++i)
        if (std::isdigit((unsigned char)s[i])) digits += s[i];
    while (digits.size() > 1 && digits.back() == '0') digits.pop_back();
    std::string out = neg ? "-" : "";
    if (exp < -5 || exp >= 15) {
        out += digits[0];
        if (digits.size() > 1) out += "." + digits.substr(1);
        out += "E" + std::to_string(exp);
        return out;
    }
    if (exp < 0) {
        out += "0." + std::string(-exp - 1, '0') + digits;
        return out;
    }
    if ((int)digits.size() <= exp + 1) {
        out += digits + std::string(exp + 1 - digits.size(), '0');
        return out;
    }
    out += digits.substr(0, exp + 1) + "." + digits.substr(exp + 1);
    return out;
}

TIniFile::TIniFile(const std::string& path) : Path(path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return;
    std::stringstream ss;
    ss << in.rdbuf();
    if (in.bad()) return;
    WasRead = true;
    SetText(ss.str());
}

void TIniFile::SetText(const std::string& text) {
    Sections.clear();
    Sections.push_back(TSection{});
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        std::string t = Trim(line);
        if (t.size() >= 2 && t.front() == '[' && t.back() == ']') {
            Sections.push_back(TSection{Trim(t.substr(1, t.size() - 2)), {}});
            continue;
        }
        TLine l;
        l.Raw = line;
        size_t eq = line.find('=');
        if (eq != std::string::npos && t[0] != ';' && t[0] != '#') {
            l.Key = Trim(line.substr(0, eq));
            l.Value = Trim(line.substr(eq + 1));
        }
        Sections.back().Lines.push_back(l);
    }
    RebuildIndex();
}

std::string TIniFile::IndexKey(const std::string& section, const std::string& key) {
    std::string k;
    k.reserve(section.size() + key.size() + 1);
    for (char c : section) k += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    k += '\n'; // no name holds a line break
    for (char c : key) k += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return k;
}

void TIniFile::AddToIndex(size_t section, size_t line) {
    // the first of duplicate keys is the one read
    Index[IndexKey(Sections[section].Name, Sections[section].Lines[line].Key)].push_back(
        TPlace{section, line});
}

void TIniFile::RebuildIndex() {
    Index.clear();
    for (size_t s = 0; s < Sections.size(); ++s) {
        if (Sections[s].Name.empty() || Sections[s].Deleted) continue;
        for (size_t l = 0; l < Sections[s].Lines.size(); ++l)
            if (!Sections[s].Lines[l].Key.empty() && !Sections[s].Lines[l].Deleted)
                AddToIndex(s, l);
    }
}

const TIniFile::TLine* TIniFile::Find(const std::string& section, const std::string& key) const {
    if (section.empty() || key.empty()) return nullptr;
    auto it = Index.find(IndexKey(section, key));
    if (it == Index.end()) return nullptr;
    const TPlace& first = it->second.front();
    return &Sections[first.Section].Lines[first.Line];
}

bool TIniFile::ValueExists(const std::string& section, const std::string& key) const {
    return Find(section, key) != nullptr;
}

bool TIniFile::SectionExists(const std::string& section) const {
    for (const auto& s : Sections)
        if (!s.Name.empty() && !s.Deleted && SameText(s.Name, section)) return true;
    return false;
}

std::string TIniFile::ReadString(const std::string& section, const std::string& key,
                                 const std::string& def) const {
    const TLine* l = Find(section, key);
    return l ? l->Value : def;
}

int32_t TIniFile::ReadInteger(const std::string& section, const std::string& key,
                              int32_t def) const {
    const TLine* l = Find(section, key);
    int32_t v;
    if (l && TryStrToInt32(l->Value, v)) return v;
    return def;
}

bool TIniFile::ReadBool(const std::string& section, const std::string& key, bool def) const {
    const TLine* l = Find(section, key);
    int32_t v;
    if (l && TryStrToInt32(l->Value, v)) return v != 0;
    return def;
}

double TIniFile::ReadFloat(const std::string& section, const std::string& key, double def) const {
    const TLine* l = Find(section, key);
    double v;
    if (l && TryStrToFloatDot(l->Value, v)) return v;
    return def;
}

void TIniFile::WriteString(const std::string& section, const std::string& key,
                           const std::string& value) {
    // Line breaks would split the entry into garbage lines.
    std::string v;
    for (char ch : value) v += (ch == '\n' || ch == '\r') ? ' ' : ch;
    if (auto it = Index.find(IndexKey(section, key)); it != Index.end()) {
        TLine& l = Sections[it->second.front().Section].Lines[it->second.front().Line];
        l.Value = v;
        l.Raw.clear();
        return;
    }
    // New keys go to the last section of that name (a new one at the end when none), after
    // its last entry and before any trailing blank lines: no indexed line moves.
    size_t sec = Sections.size();
    for (size_t s = 0; s < Sections.size(); ++s)
        if (!Sections[s].Name.empty() && !Sections[s].Deleted &&
            SameText(Sections[s].Name, section))
            sec = s;
    if (sec == Sections.size()) {
        if (Sections.empty()) Sections.push_back(TSection{});
        Sections.push_back(TSection{section, {}, false});
        sec = Sections.size() - 1;
    }
    std::vector<TLine>& lines = Sections[sec].Lines;
    size_t at = lines.size();
    while (at > 0 && lines[at - 1].Key.empty() && Trim(lines[at - 1].Raw).empty()) --at;
    lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(at), TLine{"", key, v, false});
    AddToIndex(sec, at);
}

void TIniFile::WriteInteger(const std::string& section, const std::string& key, int32_t value) {
    WriteString(section, key, std::to_string(value));
}

void TIniFile::WriteBool(const std::string& section, const std::string& key, bool value) {
    WriteString(section, key, value ? "1" : "0");
}

void TIniFile::WriteFloat(const std::string& section, const std::string& key, double value) {
    WriteString(section, key, FloatToStrGeneral(value));
}

void TIniFile::EraseSection(const std::string& section) {
    // every section of that name goes, so every key of the name goes with it
    for (size_t s = 0; s < Sections.size(); ++s) {
        TSection& sec = Sections[s];
        if (sec.Name.empty() || sec.Deleted || !SameText(sec.Name, section)) continue;
        sec.Deleted = true;
        for (const TLine& l : sec.Lines)
            if (!l.Key.empty()) Index.erase(IndexKey(sec.Name, l.Key));
    }
}

void TIniFile::DeleteKey(const std::string& section, const std::string& key) {
    auto it = Index.find(IndexKey(section, key));
    if (it == Index.end()) return;
    for (const TPlace& p : it->second) Sections[p.Section].Lines[p.Line].Deleted = true;
    Index.erase(it);
}

std::string TIniFile::Text() const {
    std::string out;
    for (const auto& s : Sections) {
        if (s.Deleted) continue;
        if (!s.Name.empty()) out += "[" + s.Name + "]\n";
        for (const auto& l : s.Lines) {
            if (l.Deleted) continue;
            if (!l.Key.empty())
                out += l.Key + "=" + l.Value + "\n";
            else
                out += l.Raw + "\n";
        }
    }
    return out;
}

bool TIniFile::UpdateFile(std::string* error) const {
    return SaveAs(Path, error);
}

bool TIniFile::SaveAs(const std::string& path, std::string* error) const {
    std::string reason = "no file name";
    bool ok = !path.empty() && WriteFileReplacing(path, Text(), reason);
    if (!ok && error) *error = reason;
    return ok;
}
