#pragma once
// A small PNG reader for the screenshots of the browser test: 8-bit RGB or
// RGBA, not interlaced, which is what the browser writes.

#include <cstdint>
#include <string>
#include <vector>

/// \brief A decoded image, four bytes (RGBA) per pixel, rows top to bottom.
struct PngImage {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> rgba;

    /// \brief Pixels within `tolerance` of (r, g, b) in every channel.
    long countNear(int r, int g, int b, int tolerance) const;
};

/// \brief Decodes `bytes`; false with `error` set when it is not a PNG this reader handles.
bool decodePng(const std::string& bytes, PngImage& image, std::string& error);
