// Writes a picture as a PNG file (8-bit RGB, no compression), for the
// screenshots that tests leave as artifacts.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tolvex {

// `rgb` holds width * height pixels, three bytes each (red, green, blue),
// rows from the top. False when the file cannot be written.
bool WritePng(const std::string& path, int width, int height, const std::vector<uint8_t>& rgb);

}  // namespace tolvex
