// Writes a CT-like voxel phantom (see Phantom.h) as a GSTA SLAB data file.
//   make_phantom OUT.dat [--size NXxNYxNZ] [--voxel CM] [--uneven] [--tracks N] [--seed N]
#include "Phantom.h"

#include <cstdio>
#include <cstdlib>
#include <string>

int main(int argc, char** argv) {
    TPhantomOptions o;
    std::string out;
    bool ok = true;
    for (int i = 1; i < argc && ok; ++i) {
        std::string a = argv[i];
        bool more = i + 1 < argc;
        if (a == "--size" && more)
            ok = std::sscanf(argv[++i], "%dx%dx%d", &o.NX, &o.NY, &o.NZ) == 3;
        else if (a == "--voxel" && more)
            o.Voxel = std::atof(argv[++i]);
        else if (a == "--uneven")
            o.Uneven = true;
        else if (a == "--tracks" && more)
            o.TrackPoints = std::atoll(argv[++i]);
        else if (a == "--seed" && more)
            o.Seed = static_cast<uint32_t>(std::strtoul(argv[++i], nullptr, 10));
        else if (out.empty() && a[0] != '-')
            out = a;
        else
            ok = false;
    }
    if (!ok || out.empty() || o.NX < 1 || o.NY < 1 || o.NZ < 1 || !(o.Voxel > 0)) {
        std::fprintf(stderr, "usage: make_phantom OUT.dat [--size NXxNYxNZ] [--voxel CM] "
                             "[--uneven] [--tracks N] [--seed N]\n");
        return 2;
    }
    std::string error;
    if (!WritePhantomFile(out, o, error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 1;
    }
    return 0;
}
