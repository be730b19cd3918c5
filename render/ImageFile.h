// Writes an RGB image (tightly packed rows, top row first) as PNG, JPEG or BMP, chosen by the
// file name's extension (.png, .jpg/.jpeg, .bmp; any case). Self-contained encoders, no
// image library needed.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

enum class TImageFormat { Unknown, Png, Jpeg, Bmp };

TImageFormat ImageFormatOf(const std::string& path);

// False with a reason in error when the extension is unknown or the file cannot be written.
bool SaveImage(const std::string& path, int width, int height, const std::vector<uint8_t>& rgb,
               std::string& error);

// The encoded bytes of each format.
std::vector<uint8_t> EncodePng(int width, int height, const std::vector<uint8_t>& rgb);
std::vector<uint8_t> EncodeBmp(int width, int height, const std::vector<uint8_t>& rgb);
std::vector<uint8_t> EncodeJpeg(int width, int height, const std::vector<uint8_t>& rgb,
                                int quality = 90);
