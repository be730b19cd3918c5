#include "CheckFormat.h"
#include "geometry/Lattice.h"
#include "VolumeCore.h"

#include "input/FileWrite.h"
#include "input/Reader.h"

#include <string>

std::string VolumeFileName(const std::string& chosen) {
    size_t slash = chosen.find_last_of('/');
    std::string base = slash == std::string::npos ? chosen : chosen.substr(slash + 1);
    // a directory ("out/") gets no ".dat": it is refused as a directory; a FIFO or a device
    // (/dev/null) is written into as it is named
    if (base.empty() || base.find('.') != std::string::npos || IsSpecialFile(chosen))
        return chosen;
    return chosen + ".dat";
}

bool WriteVolumeFile(const std::string& path, const TAZoneData& zones,
                     const std::vector<TZoneVolume>& volumes, std::string& error) {
    std::string text = "Zone_No.,     average, x_direction, y_direction, z_direction\n"
                       "        ,       (cm3),       (cm3),       (cm3),       (cm3)\n";
    for (size_t z = 0; z < ZoneCount(zones); ++z) {
        TZoneVolume v = z < volumes.size() ? volumes[z] : TZoneVolume{};
        double mean = (v.XLast + v.YLast + v.ZLast) / 3;
        // one line per zone, and nothing a terminal acts on when the file is shown
        text += PadLeft(ShownText(ZoneName(zones, z), std::string::npos), 8) + ", " + FormatE(mean, 5) + ", " + FormatE(v.XLast, 5) +
                ", " + FormatE(v.YLast, 5) + ", " + FormatE(v.ZLast, 5) + "\n";
    }

    if (!WriteFileReplacing(path, text, error)) {
        error = "Cannot write " + path + ": " + error;
        return false;
    }
    return true;
}
