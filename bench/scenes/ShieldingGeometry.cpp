#include "ShieldingGeometry.h"

#include <cmath>
#include <cstdio>
#include <fstream>
#include <numbers>
#include <vector>

namespace {

struct TZone {
    std::string Name;
    int Material = 0;
    std::vector<std::vector<int>> Groups; // signed body numbers, one list per OR group
};

class TBuilder {
  public:
    explicit TBuilder(const TShieldingOptions& o) : Scale(o.Scale), Seed(o.Seed) {}

    // Adds a body; lengths are scaled, values listed in `plain` positions are not (directions,
    // the TEC ratio, HEX normal).
    int Body(const char* symbol, std::initializer_list<double> params,
             std::initializer_list<int> plain = {}) {
        int number = static_cast<int>(++Count);
        std::string line = std::string(symbol) + " " + std::to_string(number);
        int i = 0;
        for (double v : params) {
            bool keep = false;
            for (int p : plain) keep = keep || p == i;
            char buf[40];
            std::snprintf(buf, sizeof buf, " %.10g", keep ? v : v * Scale);
            line += buf;
            ++i;
        }
        Bodies += line + "\n";
        return number;
    }
    // A half-space P.N >= d |N|; d is a length.
    int Haf(double nx, double ny, double nz, double d) {
        return Body("HAF", {nx, ny, nz, d}, {0, 1, 2});
    }
    int Rpp(double x0, double x1, double y0, double y1, double z0, double z1) {
        return Body("RPP", {x0, x1, y0, y1, z0, z1});
    }
    int Rcc(double vx, double vy, double vz, double hx, double hy, double hz, double r) {
        return Body("RCC", {vx, vy, vz, hx, hy, hz, r});
    }

    TZone& Zone(int material, std::vector<std::vector<int>> groups) {
        TZone& z = Zones.emplace_back();
        z.Name = "Z" + std::to_string(Zones.size());
        z.Material = material;
        z.Groups = std::move(groups);
        return z;
    }

    double Random() { // [0, 1), the check's generator
        Seed = Seed * 134775813u + 1u;
        return Seed / 4294967296.0;
    }

    // One small component centred at (x, y, z), at most `half` from its centre in every
    // direction; returns its body number.
    int Component(double x, double y, double z, double half) {
        double a = half * (0.55 + 0.4 * Random()); // characteristic size, below half
        double th = Random() * std::numbers::pi;
        double c = std::cos(th), s = std::sin(th);
        // Mostly boxes and cylinders, as in converted inputs; every simple type occurs.
        static const int mix[20] = {0, 0, 0, 0, 0, 0, 2, 2, 2, 2, 2, 1, 1, 4, 4, 3, 6, 5, 7, 9};
        int kind = mix[static_cast<int>(Random() * 20)];
        if (kind == 9 && Random() < 0.5) kind = 8;
        switch (kind) {
        case 0:
            return Rpp(x - a, x + a, y - 0.8 * a, y + 0.8 * a, z - 0.6 * a, z + 0.6 * a);
        case 1:
            return Body("SPH", {x, y, z, a});
        case 2: // oblique cylinder
            return Rcc(x - 0.35 * a, y - 0.35 * a, z - 0.35 * a, 0.7 * a, 0.7 * a, 0.7 * a,
                       0.35 * a);
        case 3: { // box turned about z
            double h1x = 1.2 * a * c, h1y = 1.2 * a * s, h2x = -0.8 * a * s, h2y = 0.8 * a * c;
            return Body("BOX", {x - (h1x + h2x) / 2, y - (h1y + h2y) / 2, z - a / 2, h1x, h1y, 0,
                                h2x, h2y, 0, 0, 0, a});
        }
        case 4:
            return Body("TRC", {x, y, z - a, 0, 0, 2 * a, 0.7 * a, 0.3 * a});
        case 5:
            return Body("HEX", {x, y, z - 0.8 * a, 0, 0, 1.6 * a, 1.2 * a, c, s, 0}, {7, 8, 9});
        case 6:
            return Body("REC", {x, y, z - a, 0, 0, 2 * a, 0.7 * a * c, 0.7 * a * s, 0,
                                -0.4 * a * s, 0.4 * a * c, 0});
        case 7:
            return Body("ELL", {x - 0.4 * a, y, z, x + 0.4 * a, y, z, 1.8 * a});
        case 8:
            return Body("WED", {x - 0.6 * a, y - 0.6 * a, z - 0.6 * a, 1.2 * a, 0, 0, 0, 1.2 * a,
                                0, 0, 0, 1.2 * a});
        default:
            return Body("GEL", {x, y, z, 0.9 * a * c, 0.9 * a * s, 0, -0.6 * a * s, 0.6 * a * c,
                                0, 0, 0, 0.5 * a});
        }
    }

    // A component, sometimes inside a housing box; adds its zones and returns the outermost body.
    int Slot(double x, double y, double z, double half) {
        if (Random() < 1.0 / 3) {
            int housing = Rpp(x - half, x + half, y - half, y + half, z - half, z + half);
            int inner = Component(x, y, z, 0.8 * half);
            Zone(26, {{housing, -inner}});
            Zone(1 + static_cast<int>(Random() * 8), {{inner}});
            return housing;
        }
        int body = Component(x, y, z, half);
        Zone(1 + static_cast<int>(Random() * 8), {{body}});
        return body;
    }

    std::string Text(const TShieldingOptions& o) {
        std::string t = "CSTA-FREE\n" + Bodies + "END\n";
        for (const TZone& z : Zones) {
            std::string line = z.Name;
            int onLine = 0;
            for (size_t g = 0; g < z.Groups.size(); ++g) {
                if (g > 0) line += " OR";
                for (int b : z.Groups[g]) {
                    if (++onLine % 16 == 0) line += "\n   "; // long zones wrap, as usual
                    line += " " + std::to_string(b);
                }
            }
            t += line + "\n";
        }
        t += "END\nCEND\nMSTA\n" + std::to_string(Zones.size()) + "\n";
        for (size_t i = 0; i < Zones.size(); ++i)
            t += std::to_string(Zones[i].Material) + ((i + 1) % 20 == 0 ? "\n" : " ");
        t += "\nMEND\n";
        for (int h = 1; h <= o.Histories; ++h) t += History(h);
        return t;
    }

  private:
    // An electron along the beam pipe that ends in a few photons spreading from the dump.
    std::string History(int h) {
        std::string t = "0 " + std::to_string(h) + "\n";
        auto point = [&](int kind, double x, double y, double z, double e) {
            char buf[160];
            std::snprintf(buf, sizeof buf, "%d %.6e %.6e %.6e %.4e 1 1.0\n", kind, x * Scale,
                          y * Scale, z * Scale, e);
            t += buf;
        };
        for (int k = 0; k <= 20; ++k) point(5, -1200 + 100.0 * k, 0, 150, 1000 - k);
        t += "-1\n";
        for (int p = 0; p < 5; ++p) {
            double x = 1000, y = 0, z = 150, e = 100 * Random();
            for (int k = 0; k < 10; ++k) {
                point(4, x, y, z, e);
                x += 60 * (Random() - 0.3), y += 80 * (Random() - 0.5),
                    z += 60 * (Random() - 0.5);
                e *= 0.8;
            }
            t += "-1\n";
        }
        return t + "9 1\n";
    }

    double Scale;
    uint32_t Seed;
    uint32_t Count = 0;
    std::string Bodies;

  public:
    std::vector<TZone> Zones;
};

std::vector<int> Neg(const std::vector<int>& bodies) {
    std::vector<int> r;
    for (int b : bodies) r.push_back(-b);
    return r;
}

void Append(std::vector<int>& to, const std::vector<int>& more) {
    to.insert(to.end(), more.begin(), more.end());
}

// The half-spaces of a prism along x: `sides` faces at distance `apothem` from the axis
// (y = cy, z = cz), the first face's normal at `turn` degrees in the y-z plane, and the two
// ends x >= x0, x <= x1; all normals point inwards.
std::vector<int> Prism(TBuilder& b, int sides, double turn, double apothem, double cy, double cz,
                       double x0, double x1) {
    std::vector<int> faces;
    for (int k = 0; k < sides; ++k) {
        double phi = (turn + 360.0 * k / sides) * std::numbers::pi / 180;
        double ny = -std::cos(phi), nz = -std::sin(phi); // inwards
        faces.push_back(b.Haf(0, ny, nz, ny * cy + nz * cz - apothem));
    }
    faces.push_back(b.Haf(1, 0, 0, x0));
    faces.push_back(b.Haf(-1, 0, 0, -x1));
    return faces;
}

// The buried target and its block (see TShieldingOptions::TargetSlices); returns the groups of
// the ground zone around them: the ground box minus both prisms, one group per pair of faces.
std::vector<std::vector<int>> BuriedTarget(TBuilder& b, int slices,
                                           const std::vector<int>& groundBox) {
    const double cy = 0, cz = -180, length = 1000, radius = 40;
    const std::vector<int> housing = Prism(b, 8, 22.5, 70, cy, cz, -20, length + 20);
    const int core = b.Rcc(0, cy, cz, length, 0, 0, radius);
    // slices between parallel half-spaces x >= c (the last cut ends the last slice)
    std::vector<int> cuts;
    for (int k = 1; k < slices; ++k) cuts.push_back(b.Haf(1, 0, 0, length * k / slices));
    for (int k = 0; k < slices; ++k) {
        std::vector<int> slice{core};
        if (k > 0) slice.push_back(cuts[static_cast<size_t>(k - 1)]);
        if (k + 1 < slices) slice.push_back(-cuts[static_cast<size_t>(k)]);
        b.Zone(k % 2 ? 8 : 9, {slice});
    }
    // eight sectors of the housing around the core, between planes through the axis: four
    // planes, each bounding two pairs of opposite sectors with either sign
    std::vector<int> planes;
    for (int k = 0; k < 4; ++k) {
        double phi = 45.0 * k * std::numbers::pi / 180;
        double ny = -std::sin(phi), nz = std::cos(phi); // sides at larger angles are >= 0
        planes.push_back(b.Haf(0, ny, nz, ny * cy + nz * cz));
    }
    for (int k = 0; k < 8; ++k) {
        const int from = planes[static_cast<size_t>(k % 4)], to = planes[static_cast<size_t>((k + 1) % 4)];
        const int s0 = k < 4 ? 1 : -1, s1 = (k + 1) % 8 < 4 ? -1 : 1;
        std::vector<int> sector = housing;
        sector.push_back(-core);
        sector.push_back(s0 * from);
        sector.push_back(s1 * to);
        b.Zone(3, {sector});
    }
    const std::vector<int> block = Prism(b, 6, 0, 50, 300, -250, -900, -600);
    b.Zone(4, {block});
    std::vector<std::vector<int>> ground;
    for (int h : housing)
        for (int k : block) {
            std::vector<int> group = groundBox;
            group.push_back(-h);
            group.push_back(-k);
            ground.push_back(std::move(group));
        }
    return ground;
}

} // namespace

std::string ShieldingDataText(const TShieldingOptions& o) {
    TBuilder b(o);
    const double* w = ShieldingWorld;
    // World half-spaces; the ceiling slopes down towards -x.
    const int xLo = b.Haf(1, 0, 0, w[0]), xHi = b.Haf(-1, 0, 0, -w[1]);
    const int yLo = b.Haf(0, 1, 0, w[2]), yHi = b.Haf(0, -1, 0, -w[3]);
    const int zLo = b.Haf(0, 0, 1, w[4]), zHi = b.Haf(0.05, 0, -1, -w[5]);
    const int ground = b.Haf(0, 0, 1, -100);                     // above the ground: z >= -100
    const int wallIn = b.Haf(1, 0, 0, 600), wallOut = b.Haf(1, 0, 0, 800); // shielding wall
    const int half = b.Haf(0, 1, 0, 0);                          // y >= 0: splits the air
    // Beam pipe from beyond the world into the downstream hall; ducts in the ground.
    const int pipe = b.Rcc(-1300, 0, 150, 2200, 0, 0, 20);
    const int vacuum = b.Rcc(-1300, 0, 150, 2200, 0, 0, 15);
    const int duct = b.Rcc(-400, -900, -250, 0, 1800, 0, 40);
    const int slant = b.Rcc(-1300, -900, -350, 2600, 1800, 0, 25);

    std::vector<int> upPos, upNeg, upBoth; // upstream items: y > 0, y < 0, both
    // Collimators around the pipe: four nested layers, all pierced by it.
    for (double x0 : {-1100.0, -700.0, -300.0, 100.0}) {
        int layer[4];
        for (int k = 0; k < 4; ++k)
            layer[k] = b.Rpp(x0 + 10 * k, x0 + 150 - 10 * k, -100 + 15 * k, 100 - 15 * k,
                             -100 + 15 * k, 300 - 15 * k);
        for (int k = 0; k < 3; ++k) b.Zone(k % 2 ? 2 : 26, {{layer[k], -layer[k + 1], -pipe}});
        b.Zone(26, {{layer[3], -pipe}});
        upBoth.push_back(layer[0]);
    }
    // Side blocks: L-shaped outer layer (two OR groups), two inner layers, sources inside.
    for (double side : {1.0, -1.0})
        for (double x0 : {-1000.0, -600.0, -200.0, 200.0}) {
            auto y = [side](double a, double c) { return side > 0 ? a : -c; };
            auto y1 = [side](double a, double c) { return side > 0 ? c : -a; };
            int outer = b.Rpp(x0, x0 + 250, y(200, 400), y1(200, 400), -100, 200);
            int lip = b.Rpp(x0, x0 + 250, y(200, 300), y1(200, 300), 200, 260);
            int mid = b.Rpp(x0 + 20, x0 + 230, y(220, 380), y1(220, 380), -80, 180);
            int core = b.Rpp(x0 + 40, x0 + 210, y(240, 360), y1(240, 360), -60, 160);
            b.Zone(2, {{outer, -mid}, {lip}});
            b.Zone(3, {{mid, -core}});
            std::vector<int> sources;
            for (double sx : {80.0, 125.0, 170.0})
                for (double sy : {270.0, 330.0}) sources.push_back(b.Body("SPH", {x0 + sx, side * sy, 50, 15}));
            std::vector<int> coreTerms{core};
            Append(coreTerms, Neg(sources));
            b.Zone(26, {coreTerms});
            for (int s : sources) b.Zone(5, {{s}});
            Append(side > 0 ? upPos : upNeg, {outer, lip});
        }
    // Racks of small components on both sides of the hall.
    for (double side : {1.0, -1.0})
        for (double y : {550.0, 650.0})
            for (int i = 0; i < o.RackColumns; ++i)
                for (int k = 0; k < 6; ++k) {
                    int body = b.Slot(-1100 + 100.0 * i, side * y, -40 + 90.0 * k, 15);
                    (side > 0 ? upPos : upNeg).push_back(body);
                }
    // Beam dump: nested vertical cylinders, and monitors around it.
    int dump[4];
    for (int k = 0; k < 4; ++k)
        dump[k] = b.Rcc(1050, 0, -100 + 30 * k, 0, 0, 400 - 60 * k, 120 - 30 * k);
    for (int k = 0; k < 3; ++k) b.Zone(k % 2 ? 2 : 26, {{dump[k], -dump[k + 1]}});
    b.Zone(29, {{dump[3]}});
    std::vector<int> down{dump[0]};
    for (double x : {850.0, 950.0, 1050.0, 1150.0})
        for (double y : {-500.0, -300.0, 300.0, 500.0})
            for (double z : {-40.0, 50.0, 140.0, 230.0, 320.0})
                down.push_back(b.Slot(x, y, z, 15));

    // Halls, wall, ground, pipe, ducts and the outer void.
    b.Zone(6, {{pipe, -vacuum, xLo}});
    b.Zone(0, {{vacuum, xLo}}); // beam vacuum: a void inside the set-up
    std::vector<int> hall{xLo, yLo, yHi, zLo, zHi, ground, -wallIn, -pipe};
    std::vector<int> airPos = hall, airNeg = hall;
    airPos.push_back(half);
    airNeg.push_back(-half);
    for (auto* a : {&airPos, &airNeg}) Append(*a, Neg(upBoth));
    Append(airPos, Neg(upPos));
    Append(airNeg, Neg(upNeg));
    b.Zone(7, {airPos, airNeg});
    b.Zone(2, {{yLo, yHi, zLo, zHi, ground, wallIn, -wallOut, -pipe}});
    std::vector<int> downAir{xHi, yLo, yHi, zLo, zHi, ground, wallOut, -pipe};
    Append(downAir, Neg(down));
    b.Zone(7, {downAir});
    const std::vector<int> groundBox{xLo, xHi, yLo, yHi, zLo, zHi, -ground, -duct, -slant};
    b.Zone(2, o.TargetSlices > 0 ? BuriedTarget(b, o.TargetSlices, groundBox)
                                 : std::vector<std::vector<int>>{groundBox});
    b.Zone(7, {{duct, yLo, yHi}});
    b.Zone(7, {{slant, xLo, xHi, yLo, yHi}});
    b.Zone(0, {{-xLo}, {-xHi}, {-yLo}, {-yHi}, {-zLo}, {-zHi}});
    return b.Text(o);
}

bool WriteShieldingFile(const std::string& path, const TShieldingOptions& options,
                        std::string& error) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (!out) {
        error = "cannot create " + path;
        return false;
    }
    out << ShieldingDataText(options);
    out.close();
    if (!out) {
        error = "cannot write " + path;
        return false;
    }
    return true;
}
