#include "PngImage.h"

#include <zlib.h>

#include <cstdlib>
#include <cstring>

namespace {

constexpr unsigned char kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
constexpr int kColourRgb = 2;
constexpr int kColourRgba = 6;
// Guards against a corrupt header asking for gigabytes.
constexpr long kMaxPixels = 64L * 1024 * 1024;

std::uint32_t be32(const std::string& s, std::size_t at)
{
    return (std::uint32_t(std::uint8_t(s[at])) << 24) | (std::uint32_t(std::uint8_t(s[at + 1])) << 16) |
           (std::uint32_t(std::uint8_t(s[at + 2])) << 8) | std::uint32_t(std::uint8_t(s[at + 3]));
}

int paeth(int a, int b, int c)
{
    const int p = a + b - c;
    const int pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
    return (pa <= pb && pa <= pc) ? a : (pb <= pc ? b : c);
}

}  // namespace

long PngImage::countNear(int r, int g, int b, int tolerance) const
{
    long n = 0;
    for (std::size_t i = 0; i + 3 < rgba.size(); i += 4) {
        if (std::abs(rgba[i] - r) <= tolerance && std::abs(rgba[i + 1] - g) <= tolerance &&
            std::abs(rgba[i + 2] - b) <= tolerance) {
            ++n;
        }
    }
    return n;
}

bool decodePng(const std::string& bytes, PngImage& image, std::string& error)
{
    if (bytes.size() < 8 || std::memcmp(bytes.data(), kSignature, 8) != 0) {
        error = "not a PNG file";
        return false;
    }
    int colourType = -1;
    std::string compressed;
    for (std::size_t at = 8; at + 12 <= bytes.size();) {
        const std::uint32_t length = be32(bytes, at);
        const std::string type = bytes.substr(at + 4, 4);
        if (length > bytes.size() - at - 12) {
            error = "truncated " + type + " chunk";
            return false;
        }
        const std::size_t data = at + 8;
        if (type == "IHDR" && length >= 13) {
            image.width = static_cast<int>(be32(bytes, data));
            image.height = static_cast<int>(be32(bytes, data + 4));
            const int depth = std::uint8_t(bytes[data + 8]);
            colourType = std::uint8_t(bytes[data + 9]);
            const int interlace = std::uint8_t(bytes[data + 12]);
            if (depth != 8 || (colourType != kColourRgb && colourType != kColourRgba) || interlace != 0 ||
                image.width <= 0 || image.height <= 0 ||
                static_cast<long>(image.width) * image.height > kMaxPixels) {
                error = "unsupported PNG format";
                return false;
            }
        } else if (type == "IDAT") {
            compressed.append(bytes, data, length);
        } else if (type == "IEND") {
            break;
        }
        at = data + length + 4;  // the CRC is not checked
    }
    if (colourType < 0) {
        error = "no IHDR chunk";
        return false;
    }
    const std::size_t channels = colourType == kColourRgba ? 4 : 3;
    const std::size_t stride = channels * static_cast<std::size_t>(image.width);
    std::vector<std::uint8_t> raw((stride + 1) * static_cast<std::size_t>(image.height));
    uLongf rawSize = raw.size();
    if (uncompress(raw.data(), &rawSize, reinterpret_cast<const Bytef*>(compressed.data()), compressed.size()) !=
            Z_OK ||
        rawSize != raw.size()) {
        error = "corrupt image data";
        return false;
    }

    // Undo the per-row filters in place, then widen to RGBA.
    std::vector<std::uint8_t> prev(stride, 0);
    image.rgba.assign(static_cast<std::size_t>(image.width) * image.height * 4, 255);
    for (int y = 0; y < image.height; ++y) {
        std::uint8_t* row = raw.data() + static_cast<std::size_t>(y) * (stride + 1);
        const int filter = row[0];
        std::uint8_t* cur = row + 1;
        for (std::size_t i = 0; i < stride; ++i) {
            const int a = i >= channels ? cur[i - channels] : 0;
            const int b = prev[i];
            const int c = i >= channels ? prev[i - channels] : 0;
            int predictor = 0;
            switch (filter) {
            case 0: predictor = 0; break;
            case 1: predictor = a; break;
            case 2: predictor = b; break;
            case 3: predictor = (a + b) / 2; break;
            case 4: predictor = paeth(a, b, c); break;
            default:
                error = "bad row filter";
                return false;
            }
            cur[i] = static_cast<std::uint8_t>(cur[i] + predictor);
        }
        std::memcpy(prev.data(), cur, stride);
        for (int x = 0; x < image.width; ++x) {
            std::uint8_t* out = &image.rgba[(static_cast<std::size_t>(y) * image.width + x) * 4];
            std::memcpy(out, cur + static_cast<std::size_t>(x) * channels, channels);
        }
    }
    return true;
}
