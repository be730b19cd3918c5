#include "TrackFile.h"

#include <cmath>
#include <cstdio>
#include <memory>

namespace {

struct TRandom {
    uint64_t S;
    double Next() { // uniform in [0, 1)
        S = S * 6364136223846793005ULL + 1442695040888963407ULL;
        return static_cast<double>(S >> 11) / 9007199254740992.0;
    }
};

struct TFileCloser {
    void operator()(std::FILE* f) const {
        if (f) std::fclose(f);
    }
};

} // namespace

bool ParseTrackFileLayout(const std::string& text, TTrackFileLayout& layout) {
    if (text == "free")
        layout = TTrackFileLayout::Free;
    else if (text == "csv")
        layout = TTrackFileLayout::Csv;
    else if (text == "fixed")
        layout = TTrackFileLayout::Fixed;
    else
        return false;
    return true;
}

bool WriteTrackFile(const std::string& path, const TTrackFileOptions& o,
                    TTrackFileSummary* summary) {
    std::unique_ptr<std::FILE, TFileCloser> file(std::fopen(path.c_str(), "w"));
    std::FILE* f = file.get();
    if (!f) return false;
    std::setvbuf(f, nullptr, _IOFBF, 1 << 20);
    const bool csv = o.Layout == TTrackFileLayout::Csv;
    const char* header = o.Layout == TTrackFileLayout::Free ? "CSTA-FREE" : csv ? "CSTA-CSV" : "CSTA";
    std::fprintf(f, "%s%s\n", header, o.Time ? "-TIME" : "");
    // A target cylinder in a box of air, the box in the void; lengths times Scale.
    const double s = o.Scale;
    const char sep = csv ? ',' : ' ';
    auto card = [&](const char* symbol, int number, std::initializer_list<double> params) {
        std::fprintf(f, "%s%c%d", symbol, sep, number);
        for (double v : params) std::fprintf(f, "%c%.6E", sep, v * s);
        std::fputc('\n', f);
    };
    card("RPP", 1, {-60, 60, -60, 60, -10, 110});
    card("RCC", 2, {0, 0, 0, 0, 0, 40, 15});
    std::fprintf(f, "END\n");
    if (csv)
        std::fprintf(f, "Z1,2\nZ2,1,-2\nZ3,-1\nEND\nCEND\nMSTA\n3\n1,2,0\nMEND\n");
    else
        std::fprintf(f, "Z1 2\nZ2 1 -2\nZ3 -1\nEND\nCEND\nMSTA\n3\n1 2 0\nMEND\n");

    TRandom rnd{o.Seed * 2862933555777941757ULL + 3037000493ULL};
    int64_t written = 0, histories = 0, tracks = 0;
    char line[160];
    while (written < o.Points) {
        ++histories;
        std::fprintf(f, "0%c%lld\n", sep, static_cast<long long>(histories));
        // 20 to 90 points a history (55 on average), in tracks of 3 to 17 points
        int64_t left = std::min<int64_t>(o.Points - written, 20 + static_cast<int64_t>(rnd.Next() * 71));
        double energy0 = 10.0 * (0.5 + rnd.Next());
        bool first = true;
        while (left > 0) {
            const int64_t n = std::min<int64_t>(left, 3 + static_cast<int64_t>(rnd.Next() * 15));
            const int kind = first ? 4 : 4 + static_cast<int>(rnd.Next() * 3);
            // the first track starts at the beam spot, later ones somewhere along the shower
            double x = first ? 0.0 : (rnd.Next() - 0.5) * 20, y = first ? 0.0 : (rnd.Next() - 0.5) * 20;
            double z = first ? -5.0 : rnd.Next() * 60;
            double dx = (rnd.Next() - 0.5) * 0.6, dy = (rnd.Next() - 0.5) * 0.6, dz = 1.0;
            const double norm = std::sqrt(dx * dx + dy * dy + dz * dz);
            dx /= norm, dy /= norm, dz /= norm;
            double energy = energy0 * (first ? 1.0 : 0.05 + 0.5 * rnd.Next());
            double time = (z + 5.0) / 30.0; // ns at the speed of light, in cm
            for (int64_t i = 0; i < n; ++i) {
                const int zone = z >= 0 && z <= 40 && x * x + y * y <= 225 ? 1 : 2;
                const double px = x * s, py = y * s, pz = z * s;
                int len = 0;
                if (o.Layout == TTrackFileLayout::Fixed) {
                    len = std::snprintf(line, sizeof line, "%1d%13.5E%13.5E%13.5E%10.3E%4d%10.3E", kind,
                                        px, py, pz, energy, zone, 1.0);
                    if (o.Time) len += std::snprintf(line + len, sizeof line - len, "%12.4E", time);
                } else {
                    len = std::snprintf(line, sizeof line, "%d%c%.5E%c%.5E%c%.5E%c%.5E%c%d%c%.5E",
                                        kind, sep, px, sep, py, sep, pz, sep, energy, sep, zone,
                                        sep, 1.0);
                    if (o.Time)
                        len += std::snprintf(line + len, sizeof line - len, "%c%.5E", sep, time);
                }
                line[len++] = '\n';
                std::fwrite(line, 1, static_cast<size_t>(len), f);
                const double step = 0.5 + 3.0 * rnd.Next();
                x += dx * step, y += dy * step, z += dz * step;
                time += step / 30.0;
                energy *= 0.7 + 0.25 * rnd.Next();
                // scattering bends the direction a little
                dx += (rnd.Next() - 0.5) * 0.4, dy += (rnd.Next() - 0.5) * 0.4;
                const double m = std::sqrt(dx * dx + dy * dy + dz * dz);
                dx /= m, dy /= m, dz /= m;
            }
            std::fputs("-1\n", f);
            ++tracks;
            written += n;
            left -= n;
            first = false;
        }
        std::fprintf(f, "9%c1\n", sep);
    }
    if (std::ferror(f)) return false;
    const long bytes = std::ftell(f);
    if (std::fclose(file.release()) != 0) return false;
    if (summary) *summary = {written, histories, tracks, static_cast<uint64_t>(bytes)};
    return true;
}
