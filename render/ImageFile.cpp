#include "ImageFile.h"

#include "input/FileWrite.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace {

void Put32BE(std::vector<uint8_t>& o, uint32_t v) {
    for (int s = 24; s >= 0; s -= 8) o.push_back(static_cast<uint8_t>(v >> s));
}
void Put16LE(std::vector<uint8_t>& o, uint32_t v) {
    o.push_back(static_cast<uint8_t>(v));
    o.push_back(static_cast<uint8_t>(v >> 8));
}
void Put32LE(std::vector<uint8_t>& o, uint32_t v) {
    Put16LE(o, v);
    Put16LE(o, v >> 16);
}

// ---- PNG: rows filtered with "Sub", deflated with fixed Huffman codes and byte runs ----

uint32_t Crc32(const uint8_t* p, size_t n, uint32_t crc = 0) {
    static const std::array<uint32_t, 256> table = [] {
        std::array<uint32_t, 256> t{};
        for (uint32_t k = 0; k < 256; ++k) {
            uint32_t c = k;
            for (int b = 0; b < 8; ++b) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            t[k] = c;
        }
        return t;
    }();
    crc = ~crc;
    for (size_t i = 0; i < n; ++i) crc = table[(crc ^ p[i]) & 0xFF] ^ (crc >> 8);
    return ~crc;
}

class TBitsLSB { // deflate bit order
  public:
    std::vector<uint8_t>& Out;
    explicit TBitsLSB(std::vector<uint8_t>& out) : Out(out) {}
    void Bits(uint32_t value, int count) { // value's low bits, least significant first
        for (int i = 0; i < count; ++i) Bit((value >> i) & 1);
    }
    void Code(uint32_t code, int length) { // Huffman code, most significant first
        for (int i = length - 1; i >= 0; --i) Bit((code >> i) & 1);
    }
    void Flush() {
        if (Used) Out.push_back(Acc);
        Acc = 0, Used = 0;
    }

  private:
    void Bit(uint32_t b) {
        Acc = static_cast<uint8_t>(Acc | (b << Used));
        if (++Used == 8) Flush();
    }
    uint8_t Acc = 0;
    int Used = 0;
};

void FixedSymbol(TBitsLSB& w, int sym) {
    if (sym < 144)
        w.Code(0x30 + sym, 8);
    else if (sym < 256)
        w.Code(0x190 + sym - 144, 9);
    else if (sym < 280)
        w.Code(sym - 256, 7);
    else
        w.Code(0xC0 + sym - 280, 8);
}

void FixedLength(TBitsLSB& w, int len) {
    static const int base[29] = {3,  4,  5,  6,  7,  8,  9,  10, 11,  13,  15,  17,  19,  23, 27,
                                 31, 35, 43, 51, 59, 67, 83, 99, 115, 131, 163, 195, 227, 258};
    static const int extra[29] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2,
                                  2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
    int k = 28;
    while (base[k] > len) --k;
    FixedSymbol(w, 257 + k);
    w.Bits(static_cast<uint32_t>(len - base[k]), extra[k]);
    w.Code(0, 5); // distance 1
}

std::vector<uint8_t> Deflate(const std::vector<uint8_t>& data) {
    std::vector<uint8_t> out = {0x78, 0x01};
    TBitsLSB w(out);
    w.Bits(1, 1); // last block
    w.Bits(1, 2); // fixed Huffman codes
    size_t i = 0;
    while (i < data.size()) {
        if (i > 0) {
            size_t r = 0;
            while (i + r < data.size() && r < 258 && data[i + r] == data[i - 1]) ++r;
            if (r >= 3) {
                FixedLength(w, static_cast<int>(r));
                i += r;
                continue;
            }
        }
        FixedSymbol(w, data[i++]);
    }
    FixedSymbol(w, 256);
    w.Flush();
    uint32_t a = 1, b = 0;
    for (uint8_t c : data) a = (a + c) % 65521, b = (b + a) % 65521;
    Put32BE(out, (b << 16) | a);
    return out;
}

void Chunk(std::vector<uint8_t>& o, const char* type, const std::vector<uint8_t>& body) {
    Put32BE(o, static_cast<uint32_t>(body.size()));
    size_t start = o.size();
    o.insert(o.end(), type, type + 4);
    o.insert(o.end(), body.begin(), body.end());
    Put32BE(o, Crc32(o.data() + start, o.size() - start));
}

// ---- JPEG: baseline, 4:4:4, one DC and one AC table with plain fixed-length codes ----

class TBitsMSB {
  public:
    std::vector<uint8_t>& Out;
    explicit TBitsMSB(std::vector<uint8_t>& out) : Out(out) {}
    void Bits(uint32_t value, int count) {
        for (int i = count - 1; i >= 0; --i) {
            Acc = static_cast<uint8_t>((Acc << 1) | ((value >> i) & 1));
            if (++Used == 8) Emit();
        }
    }
    void Flush() { // pad with ones
        while (Used) Bits(1, 1);
    }

  private:
    void Emit() {
        Out.push_back(Acc);
        if (Acc == 0xFF) Out.push_back(0); // stuffing
        Acc = 0, Used = 0;
    }
    uint8_t Acc = 0;
    int Used = 0;
};

int Category(int v) {
    int a = std::abs(v), n = 0;
    while (a) ++n, a >>= 1;
    return n;
}

// AC symbols in the order of their codes: EOB, ZRL, then run/size pairs.
std::array<int, 256> AcCodeOf() {
    std::array<int, 256> code{};
    code.fill(-1);
    int k = 0;
    code[0x00] = k++;
    code[0xF0] = k++;
    for (int r = 0; r < 16; ++r)
        for (int s = 1; s <= 10; ++s) code[static_cast<size_t>(r << 4 | s)] = k++;
    return code;
}

} // namespace

std::vector<uint8_t> EncodePng(int width, int height, const std::vector<uint8_t>& rgb) {
    std::vector<uint8_t> raw;
    size_t row = static_cast<size_t>(width) * 3;
    raw.reserve((row + 1) * static_cast<size_t>(height));
    for (int y = 0; y < height; ++y) {
        const uint8_t* p = rgb.data() + row * static_cast<size_t>(y);
        raw.push_back(1); // Sub
        for (size_t x = 0; x < row; ++x)
            raw.push_back(static_cast<uint8_t>(p[x] - (x >= 3 ? p[x - 3] : 0)));
    }
    std::vector<uint8_t> o = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
    std::vector<uint8_t> ihdr;
    Put32BE(ihdr, static_cast<uint32_t>(width));
    Put32BE(ihdr, static_cast<uint32_t>(height));
    ihdr.insert(ihdr.end(), {8, 2, 0, 0, 0}); // 8-bit RGB
    Chunk(o, "IHDR", ihdr);
    Chunk(o, "IDAT", Deflate(raw));
    Chunk(o, "IEND", {});
    return o;
}

std::vector<uint8_t> EncodeBmp(int width, int height, const std::vector<uint8_t>& rgb) {
    uint32_t stride = (static_cast<uint32_t>(width) * 3 + 3) & ~3u;
    uint32_t size = stride * static_cast<uint32_t>(height);
    std::vector<uint8_t> o = {'B', 'M'};
    Put32LE(o, 54 + size);
    Put32LE(o, 0);
    Put32LE(o, 54);
    Put32LE(o, 40);
    Put32LE(o, static_cast<uint32_t>(width));
    Put32LE(o, static_cast<uint32_t>(height)); // bottom-up rows
    Put16LE(o, 1);
    Put16LE(o, 24);
    Put32LE(o, 0);
    Put32LE(o, size);
    Put32LE(o, 2835);
    Put32LE(o, 2835);
    Put32LE(o, 0);
    Put32LE(o, 0);
    for (int y = height - 1; y >= 0; --y) {
        const uint8_t* p = rgb.data() + static_cast<size_t>(width) * 3 * static_cast<size_t>(y);
        for (int x = 0; x < width; ++x, p += 3) o.insert(o.end(), {p[2], p[1], p[0]});
        for (uint32_t k = static_cast<uint32_t>(width) * 3; k < stride; ++k) o.push_back(0);
    }
    return o;
}

std::vector<uint8_t> EncodeJpeg(int width, int height, const std::vector<uint8_t>& rgb,
                                int quality) {
    static const int baseQ[64] = {16,  11,  10,  16,  24, 40, 51,  61,  12,  12,  14,  19,  26,
                                  58,  60,  55,  14,  13, 16, 24,  40,  57,  69,  56,  14,  17,
                                  22,  29,  51,  87,  80, 62, 18,  22,  37,  56,  68,  109, 103,
                                  77,  24,  35,  55,  64, 81, 104, 113, 92,  49,  64,  78,  87,
                                  103, 121, 120, 101, 72, 92, 95,  98,  112, 100, 103, 99};
    quality = std::clamp(quality, 1, 100);
    int scale = quality < 50 ? 5000 / quality : 200 - 2 * quality;
    std::array<int, 64> q{};
    for (int k = 0; k < 64; ++k)
        q[static_cast<size_t>(k)] = std::clamp((baseQ[k] * scale + 50) / 100, 1, 255);
    std::array<int, 64> zig{}; // zigzag position -> natural index
    {
        int k = 0;
        for (int s = 0; s < 15; ++s)
            for (int t = 0; t <= s; ++t) {
                int r = (s % 2) ? t : s - t, c = s - r;
                if (r < 8 && c < 8) zig[static_cast<size_t>(k++)] = r * 8 + c;
            }
    }
    std::vector<uint8_t> o = {0xFF, 0xD8};
    auto marker = [&](uint8_t m, const std::vector<uint8_t>& body) {
        o.insert(o.end(), {0xFF, m, static_cast<uint8_t>((body.size() + 2) >> 8),
                           static_cast<uint8_t>(body.size() + 2)});
        o.insert(o.end(), body.begin(), body.end());
    };
    marker(0xE0, {'J', 'F', 'I', 'F', 0, 1, 1, 0, 0, 1, 0, 1, 0, 0});
    std::vector<uint8_t> dqt = {0};
    for (int k = 0; k < 64; ++k)
        dqt.push_back(static_cast<uint8_t>(q[static_cast<size_t>(zig[static_cast<size_t>(k)])]));
    marker(0xDB, dqt);
    marker(0xC0, {8, static_cast<uint8_t>(height >> 8), static_cast<uint8_t>(height),
                  static_cast<uint8_t>(width >> 8), static_cast<uint8_t>(width), 3, 1, 0x11, 0, 2,
                  0x11, 0, 3, 0x11, 0});
    // DC: 12 categories with 4-bit codes; AC: 162 symbols with 8-bit codes.
    std::vector<uint8_t> dht = {0x00};
    for (int l = 1; l <= 16; ++l) dht.push_back(l == 4 ? 12 : 0);
    for (int k = 0; k < 12; ++k) dht.push_back(static_cast<uint8_t>(k));
    dht.push_back(0x10);
    for (int l = 1; l <= 16; ++l) dht.push_back(l == 8 ? 162 : 0);
    dht.push_back(0x00);
    dht.push_back(0xF0);
    for (int r = 0; r < 16; ++r)
        for (int s = 1; s <= 10; ++s) dht.push_back(static_cast<uint8_t>(r << 4 | s));
    marker(0xC4, dht);
    marker(0xDA, {3, 1, 0x00, 2, 0x00, 3, 0x00, 0, 63, 0});

    static const std::array<int, 256> acCode = AcCodeOf();
    std::array<double, 64> cosTable{};
    for (int x = 0; x < 8; ++x)
        for (int u = 0; u < 8; ++u)
            cosTable[static_cast<size_t>(x * 8 + u)] =
                std::cos((2 * x + 1) * u * 3.14159265358979323846 / 16) *
                (u == 0 ? std::sqrt(0.125) : 0.5);
    TBitsMSB w(o);
    std::array<int, 3> prevDc{};
    auto pixel = [&](int x, int y, int c) {
        x = std::min(x, width - 1), y = std::min(y, height - 1);
        const uint8_t* p =
            rgb.data() +
            (static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)) * 3;
        double r = p[0], g = p[1], b = p[2];
        if (c == 0) return 0.299 * r + 0.587 * g + 0.114 * b - 128;
        if (c == 1) return -0.168736 * r - 0.331264 * g + 0.5 * b;
        return 0.5 * r - 0.418688 * g - 0.081312 * b;
    };
    for (int by = 0; by < height; by += 8)
        for (int bx = 0; bx < width; bx += 8)
            for (int c = 0; c < 3; ++c) {
                std::array<double, 64> f{}, t{};
                for (int y = 0; y < 8; ++y)
                    for (int x = 0; x < 8; ++x)
                        f[static_cast<size_t>(y * 8 + x)] = pixel(bx + x, by + y, c);
                for (int y = 0; y < 8; ++y) // rows
                    for (int u = 0; u < 8; ++u) {
                        double s = 0;
                        for (int x = 0; x < 8; ++x)
                            s += f[static_cast<size_t>(y * 8 + x)] *
                                 cosTable[static_cast<size_t>(x * 8 + u)];
                        t[static_cast<size_t>(y * 8 + u)] = s;
                    }
                std::array<int, 64> coef{};
                for (int u = 0; u < 8; ++u) // columns
                    for (int v = 0; v < 8; ++v) {
                        double s = 0;
                        for (int y = 0; y < 8; ++y)
                            s += t[static_cast<size_t>(y * 8 + u)] *
                                 cosTable[static_cast<size_t>(y * 8 + v)];
                        size_t n = static_cast<size_t>(v * 8 + u);
                        coef[n] = static_cast<int>(std::lround(s / q[n]));
                    }
                int dc = coef[0], diff = dc - prevDc[static_cast<size_t>(c)];
                prevDc[static_cast<size_t>(c)] = dc;
                int cat = Category(diff);
                w.Bits(static_cast<uint32_t>(cat), 4);
                if (cat)
                    w.Bits(static_cast<uint32_t>(diff < 0 ? diff + (1 << cat) - 1 : diff), cat);
                int run = 0;
                for (int k = 1; k < 64; ++k) {
                    int v = coef[static_cast<size_t>(zig[static_cast<size_t>(k)])];
                    if (v == 0) {
                        ++run;
                        continue;
                    }
                    while (run > 15) w.Bits(static_cast<uint32_t>(acCode[0xF0]), 8), run -= 16;
                    int s = std::min(Category(v), 10);
                    v = std::clamp(v, -1023, 1023);
                    w.Bits(static_cast<uint32_t>(acCode[static_cast<size_t>(run << 4 | s)]), 8);
                    w.Bits(static_cast<uint32_t>(v < 0 ? v + (1 << s) - 1 : v), s);
                    run = 0;
                }
                if (run) w.Bits(static_cast<uint32_t>(acCode[0x00]), 8);
            }
    w.Flush();
    o.insert(o.end(), {0xFF, 0xD9});
    return o;
}

TImageFormat ImageFormatOf(const std::string& path) {
    size_t dot = path.find_last_of('.');
    if (dot == std::string::npos || path.find('/', dot) != std::string::npos)
        return TImageFormat::Unknown;
    std::string ext = path.substr(dot + 1);
    for (char& ch : ext) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
    if (ext == "png") return TImageFormat::Png;
    if (ext == "jpg" || ext == "jpeg") return TImageFormat::Jpeg;
    if (ext == "bmp") return TImageFormat::Bmp;
    return TImageFormat::Unknown;
}

bool SaveImage(const std::string& path, int width, int height, const std::vector<uint8_t>& rgb,
               std::string& error) {
    if (width <= 0 || height <= 0 ||
        rgb.size() < static_cast<size_t>(width) * static_cast<size_t>(height) * 3) {
        error = "no image to save";
        return false;
    }
    std::vector<uint8_t> bytes;
    switch (ImageFormatOf(path)) {
    case TImageFormat::Png:
        bytes = EncodePng(width, height, rgb);
        break;
    case TImageFormat::Jpeg:
        bytes = EncodeJpeg(width, height, rgb);
        break;
    case TImageFormat::Bmp:
        bytes = EncodeBmp(width, height, rgb);
        break;
    default:
        error = "unknown picture type of '" + path + "' (use .png, .jpg, .jpeg or .bmp)";
        return false;
    }
    std::string reason;
    if (!WriteFileReplacing(
            path, std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()),
            reason)) {
        error = "cannot write '" + path + "': " + reason;
        return false;
    }
    return true;
}
