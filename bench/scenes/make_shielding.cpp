// Writes a shielding-style data file (see ShieldingGeometry.h).
//   make_shielding OUT.dat [--seed N] [--scale S] [--histories N] [--columns N] [--slices N]
#include "ShieldingGeometry.h"

#include <cstdio>
#include <cstdlib>
#include <string>

int main(int argc, char** argv) {
    TShieldingOptions o;
    std::string out;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        bool more = i + 1 < argc;
        if (a == "--seed" && more)
            o.Seed = static_cast<uint32_t>(std::strtoul(argv[++i], nullptr, 10));
        else if (a == "--scale" && more)
            o.Scale = std::atof(argv[++i]);
        else if (a == "--histories" && more)
            o.Histories = std::atoi(argv[++i]);
        else if (a == "--columns" && more)
            o.RackColumns = std::atoi(argv[++i]);
        else if (a == "--slices" && more)
            o.TargetSlices = std::atoi(argv[++i]);
        else if (out.empty() && a[0] != '-')
            out = a;
        else {
            out.clear();
            break;
        }
    }
    if (out.empty() || !(o.Scale > 0) || o.Histories < 0 || o.RackColumns < 0 ||
        o.TargetSlices < 0) {
        std::fprintf(stderr, "usage: make_shielding OUT.dat [--seed N] [--scale S] "
                             "[--histories N] [--columns N] [--slices N]\n");
        return 2;
    }
    std::string error;
    if (!WriteShieldingFile(out, o, error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 1;
    }
    return 0;
}
