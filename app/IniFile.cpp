#include "IniFile.h"

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
}

const TIniFile::TLine* TIniFile::Find(const std::string& section, const std::string& key) const {
    for (const auto& s : Sections) {
        if (s.Name.empty() || !SameText(s.Name, section)) continue;
        for (const auto& l : s.Lines)
            if (!l.Key.empty() && SameText(l.Key, key)) return &l;
    }
    return nullptr;
}

bool TIniFile::ValueExists(const std::string& section, const std::string& key) const {
    return Find(section, key) != nullptr;
}

bool TIniFile::SectionExists(const std::string& section) const {
    for (const auto& s : Sections)
        if (!s.Name.empty() && SameText(s.Name, section)) return true;
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
    TSection* sec = nullptr;
    for (auto& s : Sections)
        if (!s.Name.empty() && SameText(s.Name, section)) {
            sec = &s;
            for (auto& l : s.Lines)
                if (!l.Key.empty() && SameText(l.Key, key)) {
                    l.Value = v;
                    l.Raw.clear();
                    return;
                }
        }
    if (!sec) {
        if (Sections.empty()) Sections.push_back(TSection{});
        Sections.push_back(TSection{section, {}});
        sec = &Sections.back();
    }
    // New keys go after the section's last entry, before any trailing blank lines.
    size_t at = sec->Lines.size();
    while (at > 0 && sec->Lines[at - 1].Key.empty() && Trim(sec->Lines[at - 1].Raw).empty()) --at;
    sec->Lines.insert(sec->Lines.begin() + at, TLine{"", key, v});
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
    for (size_t i = 0; i < Sections.size();) {
        if (!Sections[i].Name.empty() && SameText(Sections[i].Name, section))
            Sections.erase(Sections.begin() + i);
        else
            ++i;
    }
}

void TIniFile::DeleteKey(const std::string& section, const std::string& key) {
    for (auto& s : Sections) {
        if (s.Name.empty() || !SameText(s.Name, section)) continue;
        for (size_t i = 0; i < s.Lines.size();) {
            if (!s.Lines[i].Key.empty() && SameText(s.Lines[i].Key, key))
                s.Lines.erase(s.Lines.begin() + i);
            else
                ++i;
        }
    }
}

std::string TIniFile::Text() const {
    std::string out;
    for (const auto& s : Sections) {
        if (!s.Name.empty()) out += "[" + s.Name + "]\n";
        for (const auto& l : s.Lines) {
            if (!l.Key.empty())
                out += l.Key + "=" + l.Value + "\n";
            else
                out += l.Raw + "\n";
        }
    }
    return out;
}

bool TIniFile::UpdateFile() const {
    return SaveAs(Path);
}

bool TIniFile::SaveAs(const std::string& path) const {
    if (path.empty()) return false;
    const std::string text = Text();
    const std::string tmp = path + ".new";
    {
        std::ofstream out(tmp, std::ios::binary | std::ios::trunc);
        if (out) {
            out << text;
            out.flush();
            const bool written = static_cast<bool>(out);
            out.close();
            if (written && std::rename(tmp.c_str(), path.c_str()) == 0) return true;
            std::remove(tmp.c_str());
            return false;
        }
    }
    // No file can be made beside it (a program directory that is not writable, holding a
    // writable file): the file is rewritten in place rather than the settings being lost.
    if (access(path.c_str(), W_OK) != 0) return false;
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
    out.flush();
    return static_cast<bool>(out);
}
