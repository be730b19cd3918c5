// A sectioned key/value text file ("[Section]" lines, then "key=value" lines), read whole,
// edited in memory and written back whole. Keys it does not know are kept as they stand, in
// their place. Section and key names compare without regard to case. No Qt here.
#pragma once

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

class TIniFile {
  public:
    TIniFile() = default;
    // Reads the file; a missing or unreadable file gives an empty one.
    explicit TIniFile(const std::string& path);

    const std::string& FileName() const { return Path; }
    bool Loaded() const { return WasRead; } // the file existed and was read

    bool ValueExists(const std::string& section, const std::string& key) const;
    bool SectionExists(const std::string& section) const;
    std::string ReadString(const std::string& section, const std::string& key,
                           const std::string& def) const;
    // Decimal integer; def when missing or not a number.
    int32_t ReadInteger(const std::string& section, const std::string& key, int32_t def) const;
    // "0" false, any other number true; def when missing or not a number.
    bool ReadBool(const std::string& section, const std::string& key, bool def) const;
    // Real with "." as separator; def when missing or not a number.
    double ReadFloat(const std::string& section, const std::string& key, double def) const;

    void WriteString(const std::string& section, const std::string& key, const std::string& value);
    void WriteInteger(const std::string& section, const std::string& key, int32_t value);
    void WriteBool(const std::string& section, const std::string& key, bool value);
    void WriteFloat(const std::string& section, const std::string& key, double value);
    void EraseSection(const std::string& section);
    void DeleteKey(const std::string& section, const std::string& key);

    // Writes the whole file through a temporary file beside it, so a failed write leaves the
    // old file intact; where no file can be created beside it, an existing writable file is
    // rewritten in place, never left cut short. False when it cannot be written whole (the
    // old file is then as it was), with the reason in `error` when given.
    bool UpdateFile(std::string* error = nullptr) const;
    bool SaveAs(const std::string& path, std::string* error = nullptr) const;
    // The file's text as UpdateFile would write it.
    std::string Text() const;
    void SetText(const std::string& text);

  private:
    struct TLine {
        std::string Raw; // the line as read (kept for lines that are not key=value)
        std::string Key; // empty for other lines
        std::string Value;
        bool Deleted = false; // removed lines stay in place, so positions in Index hold
    };
    struct TSection {
        std::string Name; // empty for lines before the first section
        std::vector<TLine> Lines;
        bool Deleted = false;
    };
    // The lines of each section and key (both lower-cased, joined by '\n'), in file order:
    // lookups do not grow with the number of keys in the file.
    struct TPlace {
        size_t Section, Line;
    };
    static std::string IndexKey(const std::string& section, const std::string& key);
    void AddToIndex(size_t section, size_t line);
    void RebuildIndex();
    const TLine* Find(const std::string& section, const std::string& key) const;
    std::string Path;
    bool WasRead = false;
    std::vector<TSection> Sections;
    std::unordered_map<std::string, std::vector<TPlace>> Index;
};

// A real as general decimal text: up to 15 significant digits, "." as separator, exponent
// form ("1E-6", "1E15") for very small or large values.
std::string FloatToStrGeneral(double value);
