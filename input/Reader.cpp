// Two-pass data file reader: PrepareTokens writes one token per line into "div.tmp" with
// its source line number in "line.tmp"; ReadDataFile builds the model from them.
#include "input/Reader.h"

#include "geometry/Lattice.h"
#include "input/LineIO.h"
#include "input/LineTokens.h"
#include "input/TextUtil.h"

#include <algorithm>
#include <bit>
#include <charconv>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <limits>
#include <new>
#include <set>
#include <unordered_map>
#include <sys/statvfs.h>
#include <unistd.h>

namespace {

bool Contains(std::string_view s, std::string_view what) {
    return TLineTokenizer::Contains(s, what);
}

using TLayout = TLineTokenizer::TLayout;

} // namespace

uint64_t MemoryAvailable() {
    if (std::FILE* f = std::fopen("/proc/meminfo", "r")) {
        char line[256];
        unsigned long long kb = 0;
        bool found = false;
        while (!found && std::fgets(line, sizeof line, f))
            found = std::sscanf(line, "MemAvailable: %llu kB", &kb) == 1;
        std::fclose(f);
        if (found) return static_cast<uint64_t>(kb) << 10;
    }
    long pages = ::sysconf(_SC_PHYS_PAGES), page = ::sysconf(_SC_PAGESIZE);
    return pages > 0 && page > 0 ? static_cast<uint64_t>(pages) * static_cast<uint64_t>(page)
                                 : UINT64_MAX;
}

struct TDataReader::TWorkReader {
    TLineReader In;
};

namespace {

constexpr bool LittleEndian = std::endian::native == std::endian::little;

// The leading run of plain integers of a line of a material list ("-", 1 to 9 digits,
// blank-separated), each handed to `take` with where its text ends; returns where the rest of
// the line (from a token of any other form on) starts.
template <class Take> size_t IntegerRun(std::string_view text, Take&& take) {
    const size_t n = text.size();
    size_t i = 0;
    for (;;) {
        while (i < n && text[i] == ' ') ++i;
        // Eight bytes at a time while they are four one-digit numbers, each followed by one
        // blank: the rule in a phantom's list of a few materials.
        constexpr uint64_t Lanes = 0x00FF00FF00FF00FFull, High = 0x0080008000800080ull;
        while (LittleEndian && i + 8 <= n) {
            uint64_t w;
            std::memcpy(&w, text.data() + i, 8);
            const uint64_t d = w & Lanes; // bytes 0, 2, 4, 6 in lanes of 16 bits
            if ((w & ~Lanes) != 0x2000200020002000ull ||        // blanks between
                ((d + 0x0050005000500050ull) & High) != High || // each >= '0'
                ((d + 0x0046004600460046ull) & High) != 0)      // each <= '9'
                break;
            const uint64_t v = d - 0x0030003000300030ull;
            for (size_t k = 0; k < 4; ++k)
                take(static_cast<int32_t>((v >> (16 * k)) & 0xFF), i + 2 * k + 1);
            i += 8;
        }
        if (i >= n) return n;
        const size_t start = i;
        const bool negative = text[i] == '-';
        if (negative) ++i;
        const size_t digits = i;
        int32_t v = 0;
        while (i < n && i - digits < 9 && text[i] >= '0' && text[i] <= '9')
            v = v * 10 + (text[i++] - '0');
        if (i == digits || (i < n && text[i] != ' ')) return start;
        take(negative ? -v : v, i);
    }
}

} // namespace

// The lines of a data file with their numbers, and the faults of the file itself, in the order
// a reading meets them: a NUL byte near the start (a binary file opened by mistake), a line
// longer than the limit, a failed read.
struct TDataReader::TDataLines {
    TLineReader In;
    long long Counter = 0;
    char LineText[24] = {}; // decimal number of the current line
    size_t LineTextLen = 0;
    size_t Probed = 0;
    enum { None, Binary, Overlong, ReadFailed } Fault = None;
    std::string FaultText;
    long long FaultLine = 0;

    // The next line without its line feed and CR; false at the end or at a fault.
    bool Next(std::string_view& line) {
        if (Fault != None) return false;
        if (!In.Next(line)) {
            if (In.Overlong()) {
                Fault = Overlong;
                FaultText.assign(In.OverlongStart());
                FaultLine = Counter + 1;
            } else if (In.Failed()) {
                Fault = ReadFailed;
            }
            return false;
        }
        ++Counter;
        LineTextLen = static_cast<size_t>(
            std::to_chars(LineText, LineText + sizeof LineText, Counter).ptr - LineText);
        // a data file is text: said at once rather than after reading all of it
        constexpr size_t BinaryProbeBytes = 64 << 10;
        if (Probed < BinaryProbeBytes) {
            Probed += line.size() + 1;
            if (line.find('\0') != std::string_view::npos) {
                Fault = Binary;
                FaultText.assign(line.substr(0, 256));
                FaultLine = Counter;
                return false;
            }
        }
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1); // CR LF files
        return true;
    }
    std::string_view Number() const { return std::string_view(LineText, LineTextLen); }
    // Reads the rest of the file for its faults.
    void Drain() {
        std::string_view line;
        while (Next(line)) {
        }
    }
};

// Tokens straight from the data file, a line at a time (the one-pass load). A token is a view
// into the line as read, or, where it has to be changed (upper-cased, a quoted token joined),
// into Text; both stay put until the next line is read.
struct TDataReader::TDirectTokens {
    TDataLines Lines;
    TLineTokenizer Tokenizer;
    std::string Text;
    std::vector<std::string_view> Tokens; // of the current line
    size_t Next = 0;
    std::string LineNo; // number of the line they came from

    // Tokenizes lines until one gives tokens; false at the end of the file or at a fault.
    bool Fill() {
        Tokens.clear();
        Next = 0;
        std::string_view line;
        while (Lines.Next(line)) {
            if (Lines.Counter == 1) Tokenizer.Start(line);
            TokenizeLine(line, 0);
            if (!Tokens.empty()) {
                LineNo.assign(Lines.Number());
                return true;
            }
        }
        return false;
    }

    // Reads the next line of a material list: its leading run of plain integers onto `out`
    // when they are no more than `room` (IntegerRun), the rest as tokens; `last` is the text
    // of the last integer taken. False at the end of the file or at a fault.
    bool FillIntegers(std::vector<int32_t>& out, size_t room, std::string_view& last) {
        Tokens.clear();
        Next = 0;
        std::string_view line;
        if (!Lines.Next(line)) return false;
        const size_t before = out.size();
        size_t end = 0;
        size_t rest = IntegerRun(line, [&](int32_t v, size_t at) {
            out.push_back(v);
            end = at;
        });
        if (out.size() - before > room) { // more than the list holds: the line goes as tokens
            out.resize(before);
            rest = 0;
        }
        if (out.size() > before) {
            size_t start = end;
            while (start > 0 && line[start - 1] != ' ') --start;
            last = line.substr(start, end - start);
        }
        LineNo.assign(Lines.Number());
        TokenizeLine(line, rest);
        return true;
    }

    // The tokens of a line from `from` on.
    void TokenizeLine(std::string_view line, size_t from) {
        {
            // what is copied is never more than the line: the views into Text stay valid
            Text.clear();
            if (Text.capacity() < line.size()) Text.reserve(line.size());
            Tokenizer.Line(line, from, [this, line](std::string_view t, bool upper) {
                const bool inLine = t.data() >= line.data() && t.data() + t.size() <= line.data() + line.size();
                bool lower = false;
                if (upper)
                    for (char c : t) lower |= c >= 'a' && c <= 'z';
                if (inLine && !lower) {
                    Tokens.push_back(t);
                    return;
                }
                const size_t at = Text.size();
                Text.append(t);
                if (upper)
                    for (size_t i = at; i < Text.size(); ++i)
                        if (Text[i] >= 'a' && Text[i] <= 'z') Text[i] = static_cast<char>(Text[i] - 32);
                Tokens.push_back(std::string_view(Text).substr(at));
            });
        }
    }
};

TDataReader::TDataReader(TGeometry& geometry, TTracks& tracks, TDisplaySettings& settings,
                         double& size)
    : Geometry(geometry), Tracks(tracks), Settings(settings), Size(size) {}

TDataReader::~TDataReader() = default;

// ---- Pass 1 ---------------------------------------------------------------------------------

void TDataReader::RemoveTokenFiles() {
    std::string div = WorkFilePath(DivFileName), line = WorkFilePath(LineFileName);
    if (!div.empty()) std::remove(div.c_str());
    if (!line.empty()) std::remove(line.c_str());
}

void TDataReader::ShowText(std::string text) {
    LastErrorText = std::move(text);
    if (Hooks.ShowError)
        Hooks.ShowError(LastErrorText);
    else
        std::fputs(LastErrorText.c_str(), stderr);
}

bool TDataReader::PrepareTokens(const std::string& dataPath) {
    LastErrorText.clear();
    ReadStr = ReadLine = std::string_view();
    bool ok = false;
    try {
        ok = Tokenize(dataPath);
    } catch (const std::bad_alloc&) {
        ReportReadError("Out of memory");
    } catch (const std::length_error&) {
        ReportReadError("Out of memory");
    }
    // a failed pre-pass must not leave the previous file's tokens behind
    if (!ok) RemoveTokenFiles();
    return ok;
}

bool TDataReader::FileError(const std::string& what, const std::string& path, int err) {
    EmptyModel();
    ShowText(what + " : " + ShownText(path, 4096) +
             (err ? " (" + std::string(std::strerror(err)) + ")" : "") + "\n");
    return false;
}

bool TDataReader::ReportLineFault(const TDataLines& lines, const std::string& dataPath) {
    if (lines.Fault == TDataLines::ReadFailed) {
        FileError("Cannot read file", dataPath, lines.In.Error());
        return true;
    }
    Kept.assign(lines.FaultText);
    KeptLine = std::to_string(lines.FaultLine);
    ReadStr = Kept;
    ReadLine = KeptLine;
    return ReportReadError(lines.Fault == TDataLines::Binary ? "Read Binary Data Error"
                                                             : "Read Line Too Long Error");
}

bool TDataReader::Tokenize(const std::string& dataPath) {
    auto fail = [this](const std::string& what, const std::string& path, int err) {
        return FileError(what, path, err);
    };

    const std::string& dir = WorkDir();
    if (dir.empty()) return fail("Cannot create the work directory", "", errno);
    std::string divPath = dir + DivFileName, linePath = dir + LineFileName;

    TDataLines lines;
    if (!lines.In.Open(dataPath)) return fail("Cannot open file", dataPath, errno);
    lines.In.MaxLine = MaxLineLength;
    TLineWriter div, lineNo;
    if (!div.Create(divPath)) return fail("Cannot write file", divPath, errno);
    if (!lineNo.Create(linePath)) return fail("Cannot write file", linePath, errno);
    uint64_t reserve = WorkSpaceReserve;
    if (reserve == 0) {
        struct statvfs fs {};
        reserve = uint64_t{512} << 20;
        if (::statvfs(dir.c_str(), &fs) == 0)
            reserve = std::min<uint64_t>(reserve, uint64_t(fs.f_blocks) * fs.f_frsize / 20);
    }
    div.KeepSpaceFree(reserve);
    lineNo.KeepSpaceFree(reserve);

    // Layout and time column from the first line.
    std::string_view line;
    bool have = lines.Next(line);
    TLineTokenizer tokenizer;
    if (have) tokenizer.Start(line);
    const TLayout layout = tokenizer.Layout;

    int64_t tokens = 0;
    char lineText[24]; // decimal line number with its line feed, made once per line
    size_t lineTextLen = 0;
    // The material list of a SLAB layout (millions of integers for a voxel phantom) goes
    // straight into FastMaterials instead of through the work files: from the third token after
    // "MSTA" up to the first token that is not an integer, which is written as usual.
    enum { Header, Layout, SeekMsta, Counts, Materials, Off } fast =
        layout == TLayout::Csv ? Off : Header;
    int countsLeft = 2;
    std::error_code sizeError;
    const uint64_t fileBytes = std::filesystem::file_size(dataPath, sizeError);
    FastMaterials.clear();
    FastNext = 0;
    auto takeFast = [&](std::string_view token) {
        switch (fast) {
        case Header: {
            std::string upper = UpperCase(token);
            fast = Contains(upper, "GSTA") && !Contains(upper, "CSTA") ? Layout : Off;
            return false;
        }
        case Layout:
            fast = UpperCase(token) == "SLAB" ? SeekMsta : Off;
            return false;
        case SeekMsta:
            if (token.size() == 4 && UpperCase(token) == "MSTA") fast = Counts;
            return false;
        case Counts: {
            // room for the announced count at once (no regrowth of a list of millions), but
            // never more than the file can hold: every number takes at least two bytes
            int32_t count = 0;
            if (TryStrToInt32(token, count) && count > 0)
                FastMaterials.reserve(std::min<uint64_t>(static_cast<uint64_t>(count),
                                                         fileBytes / 2 + 1));
            if (--countsLeft == 0) fast = Materials;
            return false;
        }
        case Materials: {
            int32_t m = 0;
            if (TryStrToInt32(token, m)) {
                FastMaterials.push_back(m);
                return true;
            }
            fast = Off;
            return false;
        }
        case Off:
            break;
        }
        return false;
    };
    // A line of the material list read in place (IntegerRun); the rest goes the usual way.
    auto fastLine = [&](std::string_view text) -> size_t {
        return IntegerRun(text, [&](int32_t v, size_t) { FastMaterials.push_back(v); });
    };
    auto put = [&](std::string_view token, bool upper) {
        if (fast != Off && takeFast(token)) return;
        if (upper)
            div.PutUpper(token);
        else
            div.Put(token);
        div.EndLine();
        lineNo.Put(std::string_view(lineText, lineTextLen));
        ++tokens;
    };
    while (have) {
        lineTextLen = lines.Number().copy(lineText, sizeof lineText - 1);
        lineText[lineTextLen++] = '\n';
        if (div.Failed() || lineNo.Failed()) break; // said after the loop
        const bool materialLine = fast == Materials && layout != TLayout::Csv &&
                                  !(layout == TLayout::Fixed && tokenizer.HistoryPart);
        tokenizer.Line(line, materialLine ? fastLine(line) : 0, put);
        have = lines.Next(line);
    }
    if (lines.Fault != TDataLines::None) return !ReportLineFault(lines, dataPath);
    if (!div.Close()) return fail("Cannot write file", divPath, errno);
    if (!lineNo.Close()) return fail("Cannot write file", linePath, errno);
    PreparedTokens = tokens;
    PreparedDiv = divPath;
    return true;
}

// ---- Pass 2 ---------------------------------------------------------------------------------

void TDataReader::NextToken() {
    if (Direct) {
        TDirectTokens& d = *Direct;
        if (d.Next < d.Tokens.size() || d.Fill()) {
            ReadStr = d.Tokens[d.Next++];
            ReadLine = d.LineNo;
        } else {
            ReadStr = ReadLine = std::string_view();
        }
        return;
    }
    std::string_view t, l;
    if (Div && Div->In.Next(t)) {
        ReadStr = t;
        ReadLine = (Line && Line->In.Next(l)) ? l : std::string_view();
    } else {
        ReadStr = ReadLine = std::string_view();
    }
}

bool TDataReader::AtEnd() {
    if (Direct) {
        if (Direct->Next < Direct->Tokens.size()) return false;
        // the next line overwrites the texts the current token and its line number are in
        Kept.assign(ReadStr);
        KeptLine.assign(ReadLine);
        ReadStr = Kept;
        ReadLine = KeptLine;
        return !Direct->Fill();
    }
    if (!Div) return true;
    if (Div->In.Buffered()) return false;
    // the refill overwrites the buffer the current token points into
    Kept.assign(ReadStr);
    ReadStr = Kept;
    return Div->In.AtEnd();
}

void TDataReader::EmptyModel() {
    Geometry.Clear();
    Tracks.clear();
    Size = 0.0;
    Settings.HasTime = false;
    Settings.MaxTime = 0.0;
}

bool TDataReader::ReportReadError(const std::string& message) {
    EmptyModel();
    // a token may be megabytes long or hold terminal control sequences
    std::string text = "error : " + message + "\nReadStr : " + ShownText(ReadStr) +
                       "\nLine : " + ShownText(ReadLine) + "\n";
    if (Deferring)
        PendingError = std::move(text); // shown unless the rest of the file has a fault
    else
        ShowText(std::move(text));
    return true;
}

bool TDataReader::ReadDataFile(const std::string& divPath) {
    LastErrorText.clear();
    EmptyModel();
    std::string linePath = divPath;
    size_t slash = linePath.find_last_of('/');
    linePath =
        (slash == std::string::npos ? std::string() : linePath.substr(0, slash + 1)) + LineFileName;
    Div = std::make_unique<TWorkReader>();
    Line = std::make_unique<TWorkReader>();
    // A missing work file reads as an empty one: the header error follows.
    if (!Div->In.Open(divPath)) Div.reset();
    if (!Line->In.Open(linePath)) Line.reset();

    // the material list the pre-pass kept belongs to its own work files, and is read once
    if (divPath != PreparedDiv) FastMaterials.clear();
    FastNext = 0;
    bool ok = Guarded([this] { return ReadModel(); });
    if (!FastMaterials.empty()) PreparedDiv.clear();
    std::vector<int32_t>().swap(FastMaterials);
    // the token views point into the buffers released here
    Kept.assign(ReadStr);
    KeptLine.assign(ReadLine);
    ReadStr = Kept;
    ReadLine = KeptLine;
    Div.reset();
    Line.reset();
    if (ok)
        ok = Guarded([this] {
            PostLoad();
            return true;
        });
    return ok;
}

template <class Step> bool TDataReader::Guarded(Step&& step) {
    try {
        return step();
    } catch (const std::bad_alloc&) {
    } catch (const std::length_error&) {
    }
    ReportReadError("Out of memory");
    return false;
}

bool TDataReader::Load(const std::string& dataPath) {
    LastErrorText.clear();
    PendingError.clear();
    ReadStr = ReadLine = std::string_view();
    // no work files: the model is built as the file is read, in one pass
    Direct = std::make_unique<TDirectTokens>();
    if (!Direct->Lines.In.Open(dataPath)) {
        const int err = errno;
        Direct.reset();
        return FileError("Cannot open file", dataPath, err);
    }
    Direct->Lines.In.MaxLine = MaxLineLength;
    EmptyModel();
    FastMaterials.clear();
    FastNext = 0;
    Deferring = true;
    bool ok = Guarded([this] { return ReadModel(); });
    Deferring = false;
    // the token views point into the buffers released below
    Kept.assign(ReadStr);
    KeptLine.assign(ReadLine);
    ReadStr = Kept;
    ReadLine = KeptLine;
    // The faults of the file itself (binary, an overlong line, a failed read) outrank what
    // the model reading said, wherever in the file they are: the rest is read for them.
    Direct->Lines.Drain();
    if (Direct->Lines.Fault != TDataLines::None) {
        ok = false;
        ReportLineFault(Direct->Lines, dataPath);
    } else if (!ok) {
        ShowText(std::move(PendingError));
    }
    PendingError.clear();
    Direct.reset();
    if (ok)
        ok = Guarded([this] {
            PostLoad();
            return true;
        });
    return ok;
}

bool TDataReader::LoadSample() {
    std::string path = WriteSampleData();
    if (path.empty()) {
        EmptyModel();
        ShowText("Cannot write the sample data file\n");
        return false;
    }
    bool ok = Load(path);
    std::remove(path.c_str());
    return ok;
}

bool TDataReader::ReadReal(double& value, const char* message, double limit,
                           const char* limitText) {
    if (!TryStrToFloatDot(ReadStr, value)) return !ReportReadError(message);
    // beyond this the scene size, its squares and the drawing overflow
    if (std::fabs(value) > limit)
        return !ReportReadError(std::string(message) + " (out of range: " + limitText + ")");
    return true;
}

bool TDataReader::ReadModel() {
    Generated = std::make_unique<TGenerated>();
    NextToken();
    Settings.HasTime = Contains(ReadStr, "TIME");
    bool cgCards = Contains(ReadStr, "CSTA");
    int materialSkip = 0;
    if (cgCards) {
        if (!ReadCgCards()) return false;
    } else if (Contains(ReadStr, "GSTA")) {
        if (!ReadGenerated(materialSkip)) return false;
    } else {
        ReportReadError("Not found keyword CSTA or GSTA");
        return false;
    }
    if (!ReadMaterials(materialSkip)) return false;
    return ReadHistories();
}

bool TDataReader::ReadCgCards() {
    TGeometry& g = Geometry;
    int part = 0; // 0 bodies, 1 zones, 2 after the second "END"
    std::unordered_map<int32_t, int> firstIndex;
    while (!AtEnd()) {
        NextToken();
        if (ReadStr == "CEND") break;
        if (part == 0) {
            if (ReadStr == "END") {
                part = 1;
                for (size_t i = 0; i < g.Bodies.size(); ++i)
                    firstIndex.emplace(g.Bodies[i].Number, static_cast<int>(i));
                continue;
            }
            TGeoData body;
            body.Symbol = ReadStr;
            int count = ParameterCount(body.Symbol);
            if (count == 0) return !ReportReadError("Read Body Symbol Error");
            NextToken();
            int32_t number = 0;
            if (!TryStrToInt32(ReadStr, number) || number < 1 || number > 99999)
                return !ReportReadError("Read Body Number Error");
            body.Number = number;
            for (int k = 0; k < count; ++k) {
                NextToken();
                if (!ReadReal(body.Params[static_cast<size_t>(k)], "Read Body Parameter Error",
                              MaxBodyReal, MaxBodyRealText))
                    return false;
            }
            g.Bodies.push_back(std::move(body));
            g.BodyLooks.push_back({PaletteColor(static_cast<int64_t>(g.Bodies.size())), true});
        } else if (part == 1) {
            if (ReadStr == "END") {
                part = 2;
                continue;
            }
            int32_t n = 0;
            if (Contains(ReadStr, "Z")) {
                TZoneData zone;
                zone.Name = ReadStr;
                zone.BodyIndex.emplace_back();
                zone.Sign.emplace_back();
                zone.GroupOp.push_back('O');
                g.Zones.push_back(std::move(zone));
            } else if (ReadStr == "OR") {
                // a group needs a zone to belong to
                if (g.Zones.empty()) return !ReportReadError("Read Zone Parameter Error");
                TZoneData& z = g.Zones.back();
                z.BodyIndex.emplace_back();
                z.Sign.emplace_back();
                z.GroupOp.push_back('O');
            } else if (TryStrToInt32(ReadStr, n)) {
                if (g.Zones.empty()) return !ReportReadError("Read Zone Parameter Error");
                // |n| in 64 bits: the most negative 32-bit number has no 32-bit magnitude
                int64_t magnitude = n < 0 ? -static_cast<int64_t>(n) : n;
                int index = -1;
                if (magnitude <= std::numeric_limits<int32_t>::max()) {
                    auto it = firstIndex.find(static_cast<int32_t>(magnitude));
                    if (it != firstIndex.end()) index = it->second;
                }
                TZoneData& z = g.Zones.back();
                z.BodyIndex.back().push_back(index);
                z.Sign.back().push_back(n < 0 ? -1 : 1);
            } else {
                return !ReportReadError("Read Zone Parameter Error");
            }
        } else if (ReadStr == "MSTA") {
            // "CEND" left out: the material section starts here
            return true;
        }
    }
    return true;
}

bool TDataReader::ReadGenerated(int& materialSkip) {
    TGenerated& gen = *Generated;
    NextToken();
    std::string layout(ReadStr);
    auto readCount = [this](int32_t& v, int32_t least) {
        NextToken();
        return TryStrToInt32(ReadStr, v) && v >= least;
    };
    const char* const countError = "Read Body Parameter Error";
    // The coordinates grow with what is read; the model is made only after the materials,
    // so a count far beyond the file's content costs nothing.
    auto readReals = [this, countError](int32_t count, std::vector<double>& out) {
        out.clear();
        for (int32_t k = 0; k < count; ++k) {
            NextToken();
            double v = 0;
            if (!ReadReal(v, countError, MaxBodyReal, MaxBodyRealText)) return false;
            out.push_back(v);
        }
        return true;
    };
    auto tooMany = [this](int64_t bodies) { return bodies > MaxGeneratedBodies; };

    if (layout == "CYLS") {
        int32_t nr = 0, nz = 0;
        if (!readCount(nr, 1)) return !ReportReadError(countError);
        if (!readCount(nz, 2) || tooMany(static_cast<int64_t>(nz - 1) * nr))
            return !ReportReadError(countError);
        if (!readReals(nr, gen.Coord[0]) || !readReals(nz, gen.Coord[2])) return false;
        gen.Layout = TGenerated::Cyls;
        gen.Count = static_cast<size_t>(nz - 1) * static_cast<size_t>(nr);
        materialSkip = 1;
    } else if (layout == "SLAB") {
        int32_t nx = 0, ny = 0, nz = 0;
        if (!readCount(nx, 2)) return !ReportReadError(countError);
        if (!readCount(ny, 2)) return !ReportReadError(countError);
        if (!readCount(nz, 2)) return !ReportReadError(countError);
        const int64_t cells = static_cast<int64_t>(nx - 1) * (ny - 1) * static_cast<int64_t>(nz - 1);
        // A large lattice is bounded by memory rather than by the body limit: the material
        // list is read into 4 bytes a cell and kept in 1 or 2.
        const bool large = tooMany(cells);
        if (large) {
            if (cells > MaxLatticeCells)
                return !ReportReadError(std::string(countError) + " (lattice of " +
                                        std::to_string(cells) + " cells; at most " +
                                        std::to_string(MaxLatticeCells) + ")");
            const uint64_t need = static_cast<uint64_t>(cells) * 6 + (uint64_t{64} << 20);
            const uint64_t have = MemoryLimit ? MemoryLimit : MemoryAvailable();
            if (need > have)
                return !ReportReadError(std::string(countError) + " (lattice of " +
                                        std::to_string(cells) + " cells needs " +
                                        std::to_string(need >> 20) + " MB; " +
                                        std::to_string(have >> 20) + " MB available)");
        }
        if (!readReals(nx, gen.Coord[0]) || !readReals(ny, gen.Coord[1]) ||
            !readReals(nz, gen.Coord[2]))
            return false;
        auto ordered = [](const std::vector<double>& v) {
            return std::is_sorted(v.begin(), v.end());
        };
        const bool lattice = (large || cells >= MinLatticeCells) && ordered(gen.Coord[0]) &&
                             ordered(gen.Coord[1]) && ordered(gen.Coord[2]);
        // boundaries out of order make cells that hold nothing: only the body model has them
        if (large && !lattice) return !ReportReadError(countError);
        gen.Layout = lattice ? TGenerated::Lattice : TGenerated::Slab;
        gen.Count =
            static_cast<size_t>(nx - 1) * static_cast<size_t>(ny - 1) * static_cast<size_t>(nz - 1);
        materialSkip = 1;
    } else if (TrimView(layout) == "SPHR") {
        int32_t n = 0;
        if (!readCount(n, 1) || tooMany(n)) return !ReportReadError(countError);
        if (!readReals(n, gen.Coord[0])) return false;
        gen.Layout = TGenerated::Sphr;
        gen.Count = static_cast<size_t>(n);
    } else {
        return !ReportReadError("Not found keyword SPHR or SLAB or CYLS");
    }
    return true;
}

void TDataReader::BuildGenerated() {
    const TGenerated& gen = *Generated;
    TGeometry& g = Geometry;
    const size_t n = gen.Count;
    g.Bodies.assign(n, TGeoData());
    g.BodyLooks.assign(n, TLook());
    g.Zones.assign(n, TZoneData());
    auto addBody = [&g](size_t k, const char* symbol, std::initializer_list<double> params) {
        TGeoData& b = g.Bodies[k];
        b.Symbol = symbol;
        b.Number = static_cast<int32_t>(k + 1);
        size_t p = 0;
        for (double v : params) b.Params[p++] = v;
        g.BodyLooks[k] = {PaletteColor(static_cast<int64_t>(k)), true};
    };
    auto addZone = [&g](size_t k, int first, int second) {
        TZoneData& z = g.Zones[k];
        z.Name = std::to_string(k + 1);
        z.BodyIndex = {{first}};
        z.Sign = {{1}};
        if (second >= 0) {
            z.BodyIndex[0].push_back(second);
            z.Sign[0].push_back(-1);
        }
        z.GroupOp = {'O'};
    };
    const std::vector<double>& x = gen.Coord[0];
    const std::vector<double>& y = gen.Coord[1];
    const std::vector<double>& z = gen.Coord[2];
    switch (gen.Layout) {
    case TGenerated::Cyls: {
        const size_t nr = x.size();
        for (size_t j = 1; j < z.size(); ++j)
            for (size_t i = 1; i <= nr; ++i) {
                size_t k = (j - 1) * nr + (i - 1);
                addBody(k, "RCC", {0, 0, z[j - 1], 0, 0, z[j] - z[j - 1], x[i - 1]});
                addZone(k, static_cast<int>(k), i == 1 ? -1 : static_cast<int>(k - 1));
            }
        break;
    }
    case TGenerated::Slab: {
        const size_t sx = x.size() - 1, sy = y.size() - 1;
        for (size_t kz = 0; kz + 1 < z.size(); ++kz)
            for (size_t jy = 0; jy < sy; ++jy)
                for (size_t ix = 0; ix < sx; ++ix) {
                    size_t k = kz * sy * sx + jy * sx + ix;
                    addBody(k, "RPP", {x[ix], x[ix + 1], y[jy], y[jy + 1], z[kz], z[kz + 1]});
                    addZone(k, static_cast<int>(k), -1);
                }
        break;
    }
    case TGenerated::Sphr:
        for (size_t k = 0; k < n; ++k) {
            addBody(k, "SPH", {0, 0, 0, x[k]});
            addZone(k, static_cast<int>(k), k == 0 ? -1 : static_cast<int>(k - 1));
        }
        break;
    case TGenerated::Lattice:
    case TGenerated::None:
        break;
    }
}

bool TDataReader::ReadMaterials(int extraSkip) {
    TGeometry& g = Geometry;
    while (ReadStr != "MSTA") {
        if (AtEnd()) {
            NextToken();
            return !ReportReadError("Not found keyword MSTA");
        }
        NextToken();
    }
    for (int k = 0; k <= extraSkip; ++k) NextToken(); // count token(s), not interpreted
    const bool generated = Generated->Layout != TGenerated::None;
    const bool lattice = Generated->Layout == TGenerated::Lattice;
    const size_t zones = generated ? Generated->Count : g.Zones.size();
    std::vector<int32_t> numbers; // grows with what is read
    if (lattice) {
        if (!ReadLatticeMaterials(numbers)) return false;
    } else {
        for (size_t i = 0; i < zones; ++i) {
            int32_t m = 0;
            if (!NextMaterial(m)) return !ReportReadError("Read Material Number Error");
            numbers.push_back(m);
        }
    }
    do {
        if (AtEnd()) {
            NextToken();
            return !ReportReadError("Not found keyword MEND");
        }
        NextToken();
    } while (ReadStr != "MEND");
    if (lattice) {
        auto cells = std::make_shared<TLattice>();
        TGenerated& gen = *Generated;
        cells->SetEdges(std::move(gen.Coord[0]), std::move(gen.Coord[1]), std::move(gen.Coord[2]));
        cells->SetMaterials(numbers);
        std::set<std::string> used;
        for (int32_t m : cells->MaterialTable())
            if (m > 0) used.insert(std::to_string(m));
        for (const std::string& text : used) {
            int32_t m = std::stoi(text);
            g.Materials.push_back({m, PaletteColor(m), true});
        }
        g.Zones.Lattice = std::move(cells);
        return true;
    }
    if (generated) BuildGenerated();
    std::set<std::string> used; // decimal text order, no duplicates
    g.ZoneLooks.resize(g.Zones.size());
    for (size_t i = 0; i < g.Zones.size(); ++i) {
        const int32_t m = numbers[i];
        g.Zones[i].Material = m;
        g.ZoneLooks[i] = {PaletteColor(static_cast<int64_t>(i)), m >= 1};
        if (m > 0) used.insert(std::to_string(m));
    }
    for (const std::string& text : used) {
        int32_t m = std::stoi(text);
        g.Materials.push_back({m, PaletteColor(m), true});
    }
    return true;
}

bool TDataReader::ReadHistories() {
    Settings.MaxTime = 0.0;
    int32_t history = 0;
    size_t latchStart = 0;
    const bool hasTime = Settings.HasTime;
    while (!AtEnd()) {
        NextToken();
        if (ReadStr == "0") {
            NextToken();
            if (!TryStrToInt32(ReadStr, history))
                return !ReportReadError("Read History Number Error");
            if (history > Settings.ReadMax) break;
        } else if (ReadStr == "-1") {
            if (!Tracks.empty()) Tracks.SetTrackEnd(Tracks.size() - 1, -1);
        } else if (ReadStr == "9") {
            NextToken();
            int32_t latch = 1;
            if (!ReadStr.empty() && !TryStrToInt32(ReadStr, latch))
                return !ReportReadError("Read Latch Error");
            Tracks.SetLatch(latchStart, Tracks.size(), latch);
            latchStart = Tracks.size();
        } else {
            // the record that needs a new block of points names where the memory ran out
            if (Tracks.NextNeedsBlock() && !RoomForTrackBlock())
                return !ReportReadError("Out of memory");
            TrackPoint p;
            p.HistoryNo = history;
            if (!TryStrToInt32(ReadStr, p.Kind) || p.Kind < 4 || p.Kind > 6)
                return !ReportReadError("Read Particle Kind Error");
            NextToken();
            if (!ReadReal(p.X, "Read Particle X coordinate Error")) return false;
            NextToken();
            if (!ReadReal(p.Y, "Read Particle Y coordinate Error")) return false;
            NextToken();
            if (!ReadReal(p.Z, "Read Particle Z coordinate Error")) return false;
            NextToken();
            if (!ReadReal(p.Energy, "Read Particle Reaction Energy Error")) return false;
            NextToken();
            if (!TryStrToInt32(ReadStr, p.Zone))
                return !ReportReadError("Read Particle Reaction Zone Error");
            NextToken();
            bool timeRead = false;
            if (ReadStr.empty()) {
                p.Weight = 1.0; // no time token follows an empty weight
            } else {
                if (!ReadReal(p.Weight, "Read Particle Weight Error")) return false;
                if (hasTime) {
                    NextToken();
                    if (!ReadStr.empty() && !ReadReal(p.Time, "Read Particle time Error"))
                        return false;
                    timeRead = true;
                }
            }
            if (timeRead && p.Time > Settings.MaxTime) Settings.MaxTime = p.Time;
            Size = std::max({Size, p.X, p.Y, p.Z});
            Tracks.push_back(p);
        }
    }
    return true;
}

bool TDataReader::RoomForTrackBlock() const {
    const uint64_t block = TTracks::BlockBytes(Settings.HasTime);
    if (MemoryLimit) return Tracks.MemoryBytes() + block <= MemoryLimit;
    // what the system can still give, less a margin for the rest of the program
    return MemoryAvailable() >= block + (uint64_t{64} << 20);
}

bool TDataReader::NextMaterial(int32_t& m) {
    if (FastNext < FastMaterials.size()) {
        m = FastMaterials[FastNext++];
        return true;
    }
    NextToken();
    return TryStrToInt32(ReadStr, m);
}

bool TDataReader::ReadLatticeMaterials(std::vector<int32_t>& numbers) {
    const size_t cells = Generated->Count;
    if (FastNext == 0 && FastMaterials.size() >= cells) {
        numbers = std::move(FastMaterials);
        numbers.resize(cells);
        FastMaterials.clear();
        return true;
    }
    const bool inPlace = Direct && Direct->Tokenizer.Layout != TLayout::Csv &&
                         !(Direct->Tokenizer.Layout == TLayout::Fixed &&
                           Direct->Tokenizer.HistoryPart);
    if (inPlace) {
        // Whole lines of plain integers are read in place, the tokens of a line as usual: the
        // same numbers, the same errors, at the speed of reading the file.
        numbers.clear();
        numbers.reserve(cells);
        TDirectTokens& d = *Direct;
        while (numbers.size() < cells) {
            std::string_view last;
            if (d.Next >= d.Tokens.size() && FastNext >= FastMaterials.size() &&
                d.FillIntegers(numbers, cells - numbers.size(), last)) {
                if (!last.empty()) ReadStr = last, ReadLine = d.LineNo;
                continue;
            }
            int32_t m = 0;
            if (!NextMaterial(m)) return !ReportReadError("Read Material Number Error");
            numbers.push_back(m);
        }
        return true;
    }
    numbers.resize(cells);
    for (size_t i = 0; i < cells; ++i)
        if (!NextMaterial(numbers[i])) return !ReportReadError("Read Material Number Error");
    return true;
}

void TDataReader::PostLoad() {
    PrepareBodies(Geometry.Bodies);
    if (const TLattice* lat = Geometry.Zones.Lattice.get()) {
        // the farthest lower and upper cell corners, as the cells' extents give them
        double low = 0, high = 0;
        for (int a = 0; a < 3; ++a) {
            const std::vector<double>& e = lat->Edges(a);
            double l = 0, h = 0;
            for (size_t i = 0; i + 1 < e.size(); ++i) {
                l = std::max(l, e[i] * e[i]);
                h = std::max(h, e[i + 1] * e[i + 1]);
            }
            low += l, high += h;
        }
        const double dmin = std::sqrt(low), dmax = std::sqrt(high);
        if (std::isfinite(dmin)) Size = std::max(Size, dmin);
        if (std::isfinite(dmax)) Size = std::max(Size, dmax);
    }
    for (const TGeoData& b : Geometry.Bodies) {
        double x0 = 0, x1 = 0, y0 = 0, y1 = 0, z0 = 0, z1 = 0, d0 = 0, d1 = 0;
        BodyExtent(b, x0, x1, y0, y1, z0, z1, d0, d1);
        // a degenerate body may give no finite extent; it adds nothing to the scene size
        if (std::isfinite(d0)) Size = std::max(Size, d0);
        if (std::isfinite(d1)) Size = std::max(Size, d1);
    }
    ResetHistRange(Settings, HistMax(Tracks));
    TrackEnergyRange(Tracks, Settings.EnergyLow, Settings.EnergyHigh);

    // A scene of no extent (a lone half-space through the origin, bodies of size 0) still needs
    // a positive size to be framed, zoomed and given axes; it gets the program's start-up size.
    if (!(Size > 0.0)) Size = 1000.0;
    Settings.SceneSize = Size;
    double u = std::pow(10.0, std::ceil(std::log10(Size)));
    if (!std::isfinite(u)) u = std::numeric_limits<double>::max();
    double axis = 1.2 * Size;
    Settings.AxisLength = std::isfinite(axis) ? axis : std::numeric_limits<double>::max();
    Settings.DivSpace = 0.01 * u;
    Settings.DivSize = 0.0025 * u;
    Settings.StrSize = 0.01 * u;
    Settings.AllowSize = 0.01 * u;
    Settings.StrSpace = 5;
    Settings.Units = "cm";

    Settings.CutOn = false;
    Settings.CutBox = DefaultCutBox();
    Settings.CutBox.Params[0] = Settings.CutBox.Params[2] = Settings.CutBox.Params[4] = -u;
    Settings.CutBox.Params[1] = Settings.CutBox.Params[3] = Settings.CutBox.Params[5] = u;
    PrepareBody(Settings.CutBox);
    if (Hooks.CutBoxChanged) Hooks.CutBoxChanged();

    TGeometry& g = Geometry;
    for (size_t i = 0; i < std::min(g.BodyLooks.size(), Settings.GColor.size()); ++i)
        g.BodyLooks[i].Color = Settings.GColor[i];
    for (size_t i = 0; i < std::min(g.ZoneLooks.size(), Settings.ZColor.size()); ++i)
        g.ZoneLooks[i].Color = Settings.ZColor[i];
    for (size_t i = 0; i < std::min(g.Materials.size(), Settings.MColor.size()); ++i)
        g.Materials[i].Color = Settings.MColor[i];

    if (Hooks.ResetCamera) Hooks.ResetCamera();
    if (Hooks.RebuildBodies) Hooks.RebuildBodies();
    if (Hooks.RefreshLabels) Hooks.RefreshLabels();
}
