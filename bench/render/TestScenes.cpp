#include "TestScenes.h"

#include <cmath>
#include <cstdio>
#include <random>
#include <sstream>
#include <vector>

namespace testscenes {

namespace {

// Zone cards and the material list for zones given as term lists.
struct TZones {
    std::vector<std::string> Cards;
    std::vector<int> Materials;
    void Add(const std::string& terms, int material) {
        Cards.push_back("Z" + std::to_string(Cards.size() + 1) + " " + terms);
        Materials.push_back(material);
    }
    void Write(std::ostringstream& out) const {
        out << "END\n";
        for (const std::string& c : Cards) out << c << "\n";
        out << "END\nCEND\nMSTA\n" << Materials.size() << "\n";
        for (size_t k = 0; k < Materials.size(); ++k)
            out << Materials[k] << ((k + 1) % 20 == 0 ? "\n" : " ");
        out << "\nMEND\n";
    }
};

} // namespace

std::string WorldMinusBodies(int count, unsigned seed) {
    std::ostringstream out;
    out << "CSTA-FREE\nSPH 1 0 0 0 100\n";
    std::mt19937 rng(seed);
    std::uniform_real_distribution<double> pos(-70, 70), size(2, 5);
    struct TBall {
        double X, Y, Z, R;
    };
    std::vector<TBall> placed;
    TZones zones;
    std::string world = "1";
    for (int k = 0; k < count; ++k) {
        TBall b{};
        for (int attempt = 0; attempt < 1000; ++attempt) {
            b = {pos(rng), pos(rng), pos(rng), size(rng)};
            bool free = std::sqrt(b.X * b.X + b.Y * b.Y + b.Z * b.Z) + 2 * b.R < 95;
            for (const TBall& o : placed)
                if (std::hypot(b.X - o.X, b.Y - o.Y, b.Z - o.Z) < 1.8 * (b.R + o.R)) free = false;
            if (free) break;
        }
        placed.push_back(b);
        int number = k + 2;
        char card[256];
        if (k % 3 == 0)
            std::snprintf(card, sizeof card, "SPH %d %.4f %.4f %.4f %.4f", number, b.X, b.Y, b.Z,
                          b.R);
        else if (k % 3 == 1)
            std::snprintf(card, sizeof card, "RPP %d %.4f %.4f %.4f %.4f %.4f %.4f", number,
                          b.X - b.R, b.X + b.R, b.Y - 0.7 * b.R, b.Y + 0.7 * b.R, b.Z - 0.5 * b.R,
                          b.Z + 0.5 * b.R);
        else
            std::snprintf(card, sizeof card, "RCC %d %.4f %.4f %.4f 0 0 %.4f %.4f", number, b.X,
                          b.Y, b.Z - b.R, 2 * b.R, 0.6 * b.R);
        out << card << "\n";
        world += (k % 15 == 14 ? "\n -" : " -") + std::to_string(number);
    }
    zones.Add(world, 1);
    for (int k = 0; k < count; ++k) zones.Add(std::to_string(k + 2), 2 + k % 4);
    zones.Add("-1", 0);
    zones.Write(out);
    return out.str();
}

std::string HundredZones() {
    std::ostringstream out;
    out << "CSTA-FREE\n";
    std::mt19937 rng(5);
    std::uniform_real_distribution<double> pos(-80, 80);
    TZones zones;
    int number = 1;
    for (int z = 0; z < 100; ++z) {
        double x = pos(rng), y = pos(rng), zz = pos(rng);
        int terms = 3 + z % 3;
        std::string card = std::to_string(number);
        char text[256];
        std::snprintf(text, sizeof text, "RCC %d %.4f %.4f %.4f 0 0 20 10\n", number++, x, y,
                      zz - 10);
        out << text;
        for (int t = 1; t < terms; ++t) {
            std::snprintf(text, sizeof text, "SPH %d %.4f %.4f %.4f 4\n", number,
                          x + 8 * std::cos(t), y + 8 * std::sin(t), zz);
            out << text;
            card += " -" + std::to_string(number++);
        }
        zones.Add(card, 1 + z % 4);
    }
    zones.Write(out);
    return out.str();
}

std::string AllTypes() {
    return "CSTA-FREE\n"
           "RPP 1 -50 50 -50 50 -50 50\n"
           "RCC 2 -30 -30 -10 0 0 20 8\n"
           "SPH 3 0 0 0 12\n"
           "TRC 4 30 -30 -10 0 0 20 9 4\n"
           "TOR 5 -30 30 0 10 3 0 270 3\n"
           "BOX 6 20 20 -10 15 0 0 0 15 0 0 0 20\n"
           "REC 7 0 -30 -10 0 0 20 8 0 0 0 5 0\n"
           "TEC 8 0 30 -10 0 0 20 8 0 0 0 5 0 0.5\n"
           "ELL 9 -10 0 0 10 0 0 30\n"
           "WED 10 30 0 -10 12 0 0 0 12 0 0 0 20\n"
           "ARB 11 -45 -45 -5 -35 -45 -5 -35 -35 -5 -45 -35 -5\n"
           "       -45 -45 5 -35 -45 5 -35 -35 5 -45 -35 5\n"
           "       1234 5678 1265 2376 3487 4158\n"
           "HAF 12 0 0 1 40\n"
           "HEX 13 35 35 -10 0 0 20 8 1 0 0\n"
           "GEL 14 0 0 35 10 0 0 0 6 0 0 0 4\n"
           "RCC 15 0 0 -20 0 0 40 5\n"
           "END\n"
           "Z1 1 -2 -3 -4 -5 -6 -7 -8 -9 -10 -11 -12 -13 -14\n"
           "Z2 2 OR 4 OR 5 OR 6\n"
           "Z3 3 -15 OR 9 -3\n"
           "Z4 7 OR 8 OR 10 OR 11\n"
           "Z5 12 1\n"
           "Z6 13 OR 14\n"
           "Z7 3 15\n"
           "Z8 -1\n"
           "END\n"
           "CEND\n"
           "MSTA\n8\n1 2 3 4 5 6 2 0\nMEND\n";
}

std::string ConcentricSpheres(int count) {
    std::ostringstream out;
    out << "GSTA-FREE\nSPHR " << count << "\n";
    for (int k = 1; k <= count; ++k) out << k << (k % 20 == 0 ? "\n" : " ");
    out << "\nMSTA\n" << count << "\n";
    for (int k = 0; k < count; ++k) out << 1 + k % 4 << (k % 20 == 19 ? "\n" : " ");
    out << "\nMEND\n";
    return out.str();
}

bool WriteText(const std::string& path, const std::string& text) {
    std::FILE* f = std::fopen(path.c_str(), "w");
    if (!f) return false;
    bool ok = std::fwrite(text.data(), 1, text.size(), f) == text.size();
    return std::fclose(f) == 0 && ok;
}

} // namespace testscenes
