#include "Phantom.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>

std::vector<double> PhantomEdges(const TPhantomOptions& o, int axis) {
    const int n = axis == 0 ? o.NX : axis == 1 ? o.NY : o.NZ;
    const double step = axis == 2 ? 2 * o.Voxel : o.Voxel;
    std::vector<double> e(static_cast<size_t>(n) + 1);
    for (int i = 0; i <= n; ++i) {
        double u = i - n / 2.0;
        // a smooth, monotone warp: cells from about half to one and a half voxels
        if (o.Uneven) u += 0.15 * n / 3.14159265358979 * std::sin(3.14159265358979 * i / n * 2);
        e[static_cast<size_t>(i)] = u * step;
    }
    return e;
}

int32_t PhantomMaterial(const TPhantomOptions& o, int i, int j, int k) {
    // normalised coordinates of the cell centre: -1..1 across x and y, 0..1 along z
    const double x = (i + 0.5) / o.NX * 2 - 1, y = (j + 0.5) / o.NY * 2 - 1;
    const double z = (k + 0.5) / o.NZ;
    auto in = [](double u, double v, double a, double b) { return u * u / (a * a) + v * v / (b * b) <= 1; };
    // body outline, a little narrower towards the ends
    const double shrink = 1 - 0.15 * (2 * z - 1) * (2 * z - 1);
    if (!in(x, y, 0.9 * shrink, 0.62 * shrink)) return PhAir;
    // spine behind the centre, ribs as an elliptic shell broken into bars along z
    if (in(x, y + 0.42, 0.09, 0.09)) return PhBone;
    const double ring = x * x / (0.78 * 0.78 * shrink * shrink) + y * y / (0.52 * 0.52 * shrink * shrink);
    if (ring > 0.86 && ring <= 1 && std::fmod(z * 12, 1.0) < 0.45 && y > -0.45) return PhBone;
    // lungs in the upper two thirds
    if (z > 0.3 && (in(x - 0.33, y + 0.02, 0.24, 0.36) || in(x + 0.33, y + 0.02, 0.24, 0.36)))
        return PhLung;
    return PhTissue;
}

bool WritePhantomFile(const std::string& path, const TPhantomOptions& o, std::string& error) {
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> f(std::fopen(path.c_str(), "w"), std::fclose);
    if (!f) {
        error = "cannot write " + path;
        return false;
    }
    std::FILE* out = f.get();
    std::fprintf(out, "GSTA-FREE\nSLAB\n%d %d %d\n", o.NX + 1, o.NY + 1, o.NZ + 1);
    for (int a = 0; a < 3; ++a) {
        std::vector<double> e = PhantomEdges(o, a);
        for (size_t i = 0; i < e.size(); ++i)
            std::fprintf(out, "%.10g%c", e[i], (i + 1) % 10 == 0 || i + 1 == e.size() ? '\n' : ' ');
    }
    const int64_t cells = int64_t{o.NX} * o.NY * o.NZ;
    std::fprintf(out, "MSTA\n%lld %lld\n", static_cast<long long>(cells),
                 static_cast<long long>(cells));
    std::string line;
    for (int k = 0; k < o.NZ; ++k)
        for (int j = 0; j < o.NY; ++j) {
            line.clear();
            for (int i = 0; i < o.NX; ++i) {
                line += static_cast<char>('0' + PhantomMaterial(o, i, j, k));
                line += i + 1 == o.NX ? '\n' : ' ';
            }
            std::fputs(line.c_str(), out);
        }
    std::fputs("MEND\n", out);
    if (o.TrackPoints > 0) {
        // points at random inside the cells, each with its zone (cell number + 1)
        std::vector<double> e[3] = {PhantomEdges(o, 0), PhantomEdges(o, 1), PhantomEdges(o, 2)};
        uint64_t s = o.Seed * 0x9E3779B97F4A7C15ull + 1;
        auto next = [&s] {
            s ^= s << 13, s ^= s >> 7, s ^= s << 17;
            return static_cast<double>(s >> 11) * 0x1p-53;
        };
        std::fputs("0 1\n", out);
        for (int64_t p = 0; p < o.TrackPoints; ++p) {
            int c[3];
            double x[3];
            for (int a = 0; a < 3; ++a) {
                const int n = static_cast<int>(e[a].size()) - 1;
                c[a] = std::min(n - 1, static_cast<int>(next() * n));
                double lo = e[a][static_cast<size_t>(c[a])], hi = e[a][static_cast<size_t>(c[a]) + 1];
                x[a] = lo + (0.05 + 0.9 * next()) * (hi - lo);
            }
            const int64_t zone = (int64_t{c[2]} * o.NY + c[1]) * o.NX + c[0] + 1;
            std::fprintf(out, "4 %.9e %.9e %.9e 1.0 %lld 1\n", x[0], x[1], x[2],
                         static_cast<long long>(zone));
            if (p % 50 == 49) std::fputs("-1\n", out);
        }
        std::fputs("-1\n9 1\n", out);
    }
    if (std::ferror(out)) {
        error = "cannot write " + path;
        return false;
    }
    return true;
}
