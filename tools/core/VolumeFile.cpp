#include "CheckFormat.h"
#include "VolumeCore.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

std::string VolumeFileName(const std::string& chosen) {
    size_t slash = chosen.find_last_of('/');
    std::string base = slash == std::string::npos ? chosen : chosen.substr(slash + 1);
    if (base.find('.') != std::string::npos) return chosen;
    return chosen + ".dat";
}

std::string VolumeOverwriteQuestion(const std::string& path) {
    size_t slash = path.find_last_of('/');
    return (slash == std::string::npos ? path : path.substr(slash + 1)) +
           " is Found! OverWrite OK?";
}

bool WriteVolumeFile(const std::string& path, const TAZoneData& zones,
                     const std::vector<TZoneVolume>& volumes, std::string& error) {
    std::string text = "Zone_No.,     average, x_direction, y_direction, z_direction\n"
                       "        ,       (cm3),       (cm3),       (cm3),       (cm3)\n";
    for (size_t z = 0; z < zones.size(); ++z) {
        TZoneVolume v = z < volumes.size() ? volumes[z] : TZoneVolume{};
        double mean = (v.XLast + v.YLast + v.ZLast) / 3;
        text += PadLeft(zones[z].Name, 8) + ", " + FormatE(mean, 5) + ", " + FormatE(v.XLast, 5) +
                ", " + FormatE(v.YLast, 5) + ", " + FormatE(v.ZLast, 5) + "\n";
    }

    // Write beside the target and rename over it, so a failed write leaves the old file.
    std::string temp = path + ".XXXXXX";
    std::vector<char> name(temp.begin(), temp.end());
    name.push_back('\0');
    int fd = mkstemp(name.data());
    if (fd < 0) {
        error = "Cannot write " + path + ": " + std::strerror(errno);
        return false;
    }
    auto fail = [&](int err) {
        error = "Cannot write " + path + ": " + std::strerror(err);
        ::unlink(name.data());
        return false;
    };
    size_t done = 0;
    while (done < text.size()) {
        ssize_t w = ::write(fd, text.data() + done, text.size() - done);
        if (w < 0) {
            if (errno == EINTR) continue;
            int err = errno;
            ::close(fd);
            return fail(err);
        }
        done += static_cast<size_t>(w);
    }
    // mkstemp creates the file for the owner only; give it the usual permissions.
    mode_t mask = ::umask(0);
    ::umask(mask);
    struct stat old {};
    mode_t mode = ::stat(path.c_str(), &old) == 0 ? (old.st_mode & 07777) : (0666 & ~mask);
    ::fchmod(fd, mode);
    int synced = ::fsync(fd) == 0 ? 0 : errno;
    int closed = ::close(fd) == 0 ? 0 : errno;
    if (synced != 0 || closed != 0) return fail(synced != 0 ? synced : closed);
    if (::rename(name.data(), path.c_str()) != 0) return fail(errno);
    return true;
}
