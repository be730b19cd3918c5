// The fuzz input as a data file in the work directory, as the reader takes it.
#pragma once

#include "input/Reader.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

// Writes the bytes to a fresh file of the given name and returns its path; aborts when it
// cannot, since every later finding would then be about the missing file.
inline std::string WriteFuzzInput(const std::string& path, const uint8_t* data, size_t size) {
    if (path.empty()) std::abort();
    std::remove(path.c_str()); // a new file each time: rewriting a truncated one is slow
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) std::abort();
    if (size) std::fwrite(data, 1, size, f);
    std::fclose(f);
    return path;
}
