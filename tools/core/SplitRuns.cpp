#include "SplitRuns.h"

#include "CheckFormat.h"
#include "geometry/Lattice.h"

#include <algorithm>
#include <bit>
#include <cinttypes>
#include <cstdio>
#include <cstring>

namespace {

// Reals as their bit patterns: exact, and free of the locale's decimal point.
std::string Bits(uint64_t v) {
    char text[17];
    std::snprintf(text, sizeof text, "%016" PRIx64, v);
    return text;
}
std::string Bits(double v) { return Bits(std::bit_cast<uint64_t>(v)); }

bool ReadBits(const std::string& word, uint64_t& v) {
    if (word.size() != 16) return false;
    v = 0;
    for (char c : word) {
        int d = c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
        if (d < 0) return false;
        v = v << 4 | static_cast<uint64_t>(d);
    }
    return true;
}
bool ReadBits(const std::string& word, double& v) {
    uint64_t u = 0;
    if (!ReadBits(word, u)) return false;
    v = std::bit_cast<double>(u);
    return true;
}

bool ReadCount(const std::string& word, int64_t& v) {
    if (word.empty() || word.size() > 18) return false;
    v = 0;
    for (char c : word) {
        if (c < '0' || c > '9') return false;
        v = v * 10 + (c - '0');
    }
    return true;
}

std::vector<std::string> Words(const std::string& line) {
    std::vector<std::string> out;
    size_t from = 0;
    while (from <= line.size()) {
        size_t blank = line.find(' ', from);
        if (blank == std::string::npos) blank = line.size();
        if (blank > from) out.push_back(line.substr(from, blank - from));
        from = blank + 1;
    }
    return out;
}

std::string PartHead(const char* kind, const TRunPart& part, uint64_t fingerprint) {
    return std::string("trazon-part ") + kind + " " + std::to_string(part.Index + 1) + "/" +
           std::to_string(part.Count) + "\ngeometry " + Bits(fingerprint) + "\n";
}

std::string Reals(std::initializer_list<double> values) {
    std::string s;
    for (double v : values) s += " " + Bits(v);
    return s;
}

std::string CheckSettingsLine(const TCheckSettings& s) {
    return "settings " + std::to_string(s.Rays) +
           Reals({s.Xmin, s.Xmax, s.Ymin, s.Ymax, s.Zmin, s.Zmax, s.Tmin, s.Tmax, s.Pmin,
                  s.Pmax});
}

std::string VolumeSettingsLine(const TVolumeSettings& s) {
    return "settings " + std::to_string(s.Level) +
           Reals({s.Xmin, s.Xmax, s.Ymin, s.Ymax, s.Zmin, s.Zmax, s.RatioMin, s.RatioMax,
                  s.AgreeMin, s.AgreeMax});
}

// One part file split into lines, with its head checked.
struct TPartFile {
    std::string Name;
    std::string Kind;
    TRunPart Part;
    std::vector<std::string> Lines;
    size_t BodyStart = 0; // first line after the head shared by all parts
};

bool ReadPartFile(const std::string& text, const std::string& name, TPartFile& f,
                  std::string& error) {
    f.Name = name;
    size_t from = 0;
    while (from < text.size()) {
        size_t end = text.find('\n', from);
        if (end == std::string::npos) end = text.size();
        f.Lines.push_back(text.substr(from, end - from));
        from = end + 1;
    }
    std::vector<std::string> head = f.Lines.empty() ? std::vector<std::string>{}
                                                    : Words(f.Lines[0]);
    if (head.size() != 3 || head[0] != "trazon-part" ||
        (head[1] != "check" && head[1] != "volume") ||
        !ParseRunPart(head[2], f.Part, error)) {
        error = name + ": not a part file of trazon-cli check or volume --part";
        return false;
    }
    f.Kind = head[1];
    if (f.Lines.back() != "end") {
        error = name + ": cut short (no \"end\" line)";
        return false;
    }
    f.BodyStart = 1;
    while (f.BodyStart < f.Lines.size()) {
        const std::string w = Words(f.Lines[f.BodyStart]).empty()
                                  ? std::string()
                                  : Words(f.Lines[f.BodyStart])[0];
        if (w == "rays" || w == "level" || w == "end") break;
        ++f.BodyStart;
    }
    if (f.BodyStart < 3 || f.Lines[1].rfind("geometry ", 0) != 0 ||
        f.Lines[2].rfind("settings ", 0) != 0) {
        error = name + ": the head lacks its geometry or settings line";
        return false;
    }
    return true;
}

bool Malformed(const TPartFile& f, size_t line, std::string& error) {
    error = f.Name + ": line " + std::to_string(line + 1) + " is not what a part file holds";
    return false;
}

bool MergeCheck(const std::vector<TPartFile>& parts, TMergedRun& out, std::string& error) {
    const std::vector<std::string> s = Words(parts[0].Lines[2]);
    int64_t rays = 0;
    if (s.size() != 12) return Malformed(parts[0], 2, error);
    if (s[1].size() > 1 && s[1][0] == '-') {
        rays = 0; // no rays: every part is empty
    } else if (!ReadCount(s[1], rays) || rays > INT32_MAX) {
        return Malformed(parts[0], 2, error);
    }
    const int64_t n = parts[0].Part.Count;
    std::vector<std::string>& lines = out.Lines;
    lines = {"0%"};
    int64_t lastPercent = 0;
    int32_t errors = 0;
    for (const TPartFile& f : parts) {
        const int64_t first = rays * f.Part.Index / n, end = rays * (f.Part.Index + 1) / n;
        size_t k = f.BodyStart;
        std::vector<std::string> w = Words(f.Lines[k]);
        int64_t a = 0, b = 0;
        if (w.size() != 3 || w[0] != "rays" || !ReadCount(w[1], a) || !ReadCount(w[2], b) ||
            a != first || b != end)
            return Malformed(f, k, error);
        int64_t lastRay = first;
        for (++k; k + 1 < f.Lines.size(); k += 3) {
            w = Words(f.Lines[k]);
            int64_t ray = 0;
            if (w.size() != 2 || w[0] != "error" || !ReadCount(w[1], ray) || ray < lastRay ||
                ray >= end || k + 3 >= f.Lines.size())
                return Malformed(f, k, error);
            lastRay = ray;
            // the progress line as it stands when the ray is reported
            const int64_t p = (ray * 100 + rays - 1) / rays;
            if (p > lastPercent) {
                lastPercent = p;
                lines[0] = std::to_string(p) + "%";
            }
            lines.push_back(f.Lines[k + 1]);
            lines.push_back(f.Lines[k + 2]);
            if (++errors >= CheckErrorLimit) {
                lines.push_back("Stop by error count is 10 over");
                return true;
            }
        }
        if (k + 1 != f.Lines.size()) return Malformed(f, k, error);
    }
    lines[0] = "100%";
    lines.push_back("error count = " + std::to_string(errors));
    lines.push_back("Check End");
    return true;
}

bool MergeVolume(const std::vector<TPartFile>& parts, TMergedRun& out, std::string& error) {
    const TPartFile& p0 = parts[0];
    const std::vector<std::string> s = Words(p0.Lines[2]);
    TVolumeSettings set;
    int64_t level = 0;
    double* reals[10] = {&set.Xmin,     &set.Xmax,     &set.Ymin,     &set.Ymax,
                         &set.Zmin,     &set.Zmax,     &set.RatioMin, &set.RatioMax,
                         &set.AgreeMin, &set.AgreeMax};
    if (s.size() != 12 || !ReadCount(s[1], level) || level > VolumeMaxLevel)
        return Malformed(p0, 2, error);
    for (int k = 0; k < 10; ++k)
        if (!ReadBits(s[static_cast<size_t>(k) + 2], *reals[k])) return Malformed(p0, 2, error);
    set.Level = static_cast<int32_t>(level);
    // zones: "zones COUNT", then "zone TICK NAME" each
    std::vector<std::string> w = p0.Lines.size() > 3 ? Words(p0.Lines[3]) : std::vector<std::string>{};
    int64_t count = 0;
    if (w.size() != 2 || w[0] != "zones" || !ReadCount(w[1], count) ||
        static_cast<size_t>(count) + 4 != p0.BodyStart)
        return Malformed(p0, 3, error);
    out.Zones.assign(static_cast<size_t>(count), TZoneData{});
    std::vector<bool> ticks(static_cast<size_t>(count));
    for (size_t z = 0; z < out.Zones.size(); ++z) {
        const std::string& l = p0.Lines[4 + z];
        if (l.size() < 7 || l.rfind("zone ", 0) != 0 || (l[5] != '0' && l[5] != '1') || l[6] != ' ')
            return Malformed(p0, 4 + z, error);
        ticks[z] = l[5] == '1';
        out.Zones[z].Name = l.substr(7);
    }

    const size_t sums = out.Zones.size() * 3;
    std::vector<std::vector<TExactSum>> levels(static_cast<size_t>(level) + 1,
                                               std::vector<TExactSum>(sums));
    for (const TPartFile& f : parts) {
        int64_t k = -1;
        for (size_t i = f.BodyStart; i + 1 < f.Lines.size(); ++i) {
            w = Words(f.Lines[i]);
            int64_t a = 0, b = 0;
            if (w.size() == 2 && w[0] == "level") {
                if (!ReadCount(w[1], a) || a != k + 1 || a > level) return Malformed(f, i, error);
                k = a;
                continue;
            }
            if (k < 0 || w.size() < 4 || w[0] != "sum" || !ReadCount(w[1], a) ||
                !ReadCount(w[2], b) || a >= count || b > 2)
                return Malformed(f, i, error);
            TExactSum& sum = levels[static_cast<size_t>(k)][static_cast<size_t>(a * 3 + b)];
            for (size_t j = 3; j < w.size(); ++j) {
                double v = 0;
                if (!ReadBits(w[j], v)) return Malformed(f, i, error);
                sum.Add(v);
            }
        }
        if (k != level) {
            error = f.Name + ": cut short (levels up to " + std::to_string(level) +
                    " expected, " + std::to_string(k) + " found)";
            return false;
        }
    }

    TCheckErrorSegments unused;
    TVolumeRun run(unused);
    run.StartFromSums(out.Zones, set, ticks);
    for (const std::vector<TExactSum>& sum : levels) {
        if (!run.Running()) break;
        run.FinishLevel(sum);
    }
    if (run.Running()) run.Step();
    out.Lines = run.Lines();
    out.Lines.insert(out.Lines.end(), run.ResultLines().begin(), run.ResultLines().end());
    out.Volumes = run.Volumes;
    return true;
}

} // namespace

bool ParseRunPart(const std::string& text, TRunPart& part, std::string& error) {
    const size_t slash = text.find('/');
    int64_t i = 0, n = 0;
    if (slash == std::string::npos || !ReadCount(text.substr(0, slash), i) ||
        !ReadCount(text.substr(slash + 1), n) || i < 1 || n < 1 || i > n || n > MaxRunParts) {
        error = "\"" + text + "\" is not a part I/N with 1 <= I <= N <= " +
                std::to_string(MaxRunParts);
        return false;
    }
    part.Index = static_cast<int>(i - 1);
    part.Count = static_cast<int>(n);
    return true;
}

uint64_t GeometryFingerprint(const TAGeoData& bodies, const TAZoneData& zones) {
    uint64_t h = 1469598103934665603ull; // FNV-1a
    auto bytes = [&h](const void* data, size_t size) {
        const unsigned char* p = static_cast<const unsigned char*>(data);
        for (size_t k = 0; k < size; ++k) h = (h ^ p[k]) * 1099511628211ull;
    };
    auto text = [&](const std::string& s) {
        const uint64_t size = s.size();
        bytes(&size, sizeof size);
        bytes(s.data(), s.size());
    };
    auto number = [&](auto v) { bytes(&v, sizeof v); };
    number(uint64_t(bodies.size()));
    for (const TGeoData& b : bodies) {
        text(b.Symbol);
        number(b.Number);
        for (double p : b.Params) number(std::bit_cast<uint64_t>(p));
    }
    number(uint64_t(zones.size()));
    for (const TZoneData& z : zones) {
        text(z.Name);
        number(z.Material);
        number(uint64_t(z.BodyIndex.size()));
        for (size_t g = 0; g < z.BodyIndex.size(); ++g) {
            number(g < z.GroupOp.size() ? z.GroupOp[g] : ' ');
            number(uint64_t(z.BodyIndex[g].size()));
            for (size_t t = 0; t < z.BodyIndex[g].size(); ++t) {
                number(z.BodyIndex[g][t]);
                number(g < z.Sign.size() && t < z.Sign[g].size() ? z.Sign[g][t] : 1);
            }
        }
    }
    if (const TLattice* lat = zones.Lattice.get()) {
        for (int a = 0; a < 3; ++a) {
            number(uint64_t(lat->Edges(a).size()));
            for (double e : lat->Edges(a)) number(std::bit_cast<uint64_t>(e));
        }
        for (size_t k = 0; k < lat->CellCount(); ++k) number(lat->Material(k));
    }
    return h;
}

std::string CheckPartText(const TCheckRun& run, const TAZoneData& zones,
                          const TCheckSettings& settings, const TRunPart& part,
                          uint64_t fingerprint) {
    std::string t = PartHead("check", part, fingerprint) + CheckSettingsLine(settings) + "\n";
    t += "rays " + std::to_string(run.FirstRay()) + " " + std::to_string(run.EndRay()) + "\n";
    for (const TCheckRun::TReported& r : run.Reported()) {
        t += "error " + std::to_string(r.Ray) + "\n";
        t += CheckFindingLine(r.Finding, zones, r.Dir) + "\n";
        t += CheckBodiesLine(r.Finding) + "\n";
    }
    return t + "end\n";
}

std::string VolumePartText(const TVolumeRun& run, const TAZoneData& zones,
                           const TVolumeSettings& settings, const std::vector<bool>& ticks,
                           const TRunPart& part, uint64_t fingerprint) {
    std::string t = PartHead("volume", part, fingerprint) + VolumeSettingsLine(settings) + "\n";
    const size_t count = ZoneCount(zones);
    t += "zones " + std::to_string(count) + "\n";
    for (size_t z = 0; z < count; ++z)
        t += std::string("zone ") + (z < ticks.size() && ticks[z] ? "1 " : "0 ") +
             ZoneName(zones, z) + "\n";
    const std::vector<std::vector<TExactSum>>& levels = run.PartSums();
    for (size_t k = 0; k < levels.size(); ++k) {
        t += "level " + std::to_string(k) + "\n";
        for (size_t i = 0; i < levels[k].size(); ++i) {
            const TExactSum& sum = levels[k][i];
            if (sum.Empty()) continue;
            t += "sum " + std::to_string(i / 3) + " " + std::to_string(i % 3) + " " +
                 Bits(sum.NonFinite());
            for (double p : sum.Partials()) t += " " + Bits(p);
            t += "\n";
        }
    }
    return t + "end\n";
}

bool MergeRunParts(const std::vector<std::string>& texts, const std::vector<std::string>& names,
                   TMergedRun& out, std::string& error) {
    out = TMergedRun{};
    if (texts.empty()) {
        error = "no part files given";
        return false;
    }
    std::vector<TPartFile> parts(texts.size());
    for (size_t k = 0; k < texts.size(); ++k)
        if (!ReadPartFile(texts[k], k < names.size() ? names[k] : "part " + std::to_string(k + 1),
                          parts[k], error))
            return false;
    std::sort(parts.begin(), parts.end(), [](const TPartFile& a, const TPartFile& b) {
        return a.Part.Index < b.Part.Index;
    });
    const TPartFile& p0 = parts[0];
    const int n = p0.Part.Count;
    for (size_t k = 0; k < parts.size(); ++k) {
        const TPartFile& f = parts[k];
        if (f.Kind != p0.Kind || f.Part.Count != n || f.BodyStart != p0.BodyStart ||
            !std::equal(f.Lines.begin() + 1, f.Lines.begin() + static_cast<ptrdiff_t>(f.BodyStart),
                        p0.Lines.begin() + 1)) {
            error = f.Name + " belongs to another run than " + p0.Name +
                    " (kind, part count, geometry or settings differ)";
            return false;
        }
        if (k > 0 && f.Part.Index == parts[k - 1].Part.Index) {
            error = f.Name + " and " + parts[k - 1].Name + " are both part " +
                    std::to_string(f.Part.Index + 1) + "/" + std::to_string(n);
            return false;
        }
    }
    for (int i = 0, k = 0; i < n; ++i) {
        if (static_cast<size_t>(k) < parts.size() && parts[static_cast<size_t>(k)].Part.Index == i) {
            ++k;
            continue;
        }
        error = "part " + std::to_string(i + 1) + "/" + std::to_string(n) + " is missing";
        return false;
    }
    out.Volume = p0.Kind == "volume";
    return out.Volume ? MergeVolume(parts, out, error) : MergeCheck(parts, out, error);
}
