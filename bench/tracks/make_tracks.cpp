// Writes a data file of many track points for benchmarks.
//
//   make_tracks FILE [--points N] [--layout free|csv|fixed] [--time] [--seed S] [--scale F]
#include "TrackFile.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

static int Usage() {
    std::fprintf(stderr, "usage: make_tracks FILE [--points N] [--layout free|csv|fixed] "
                         "[--time] [--seed S] [--scale F]\n");
    return 2;
}

int main(int argc, char** argv) {
    TTrackFileOptions o;
    std::string path;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        const bool value = i + 1 < argc;
        if (a == "--points" && value)
            o.Points = std::atoll(argv[++i]);
        else if (a == "--layout" && value) {
            if (!ParseTrackFileLayout(argv[++i], o.Layout)) return Usage();
        } else if (a == "--time")
            o.Time = true;
        else if (a == "--seed" && value)
            o.Seed = std::strtoull(argv[++i], nullptr, 10);
        else if (a == "--scale" && value)
            o.Scale = std::atof(argv[++i]);
        else if (a[0] != '-' && path.empty())
            path = a;
        else
            return Usage();
    }
    if (path.empty() || o.Points < 0 || !(o.Scale > 0)) return Usage();
    TTrackFileSummary s;
    if (!WriteTrackFile(path, o, &s)) {
        std::fprintf(stderr, "make_tracks: cannot write %s\n", path.c_str());
        return 1;
    }
    std::printf("%s: %lld points, %lld histories, %lld tracks, %.1f MB\n", path.c_str(),
                static_cast<long long>(s.Points), static_cast<long long>(s.Histories),
                static_cast<long long>(s.Tracks), s.Bytes / 1e6);
    return 0;
}
