#pragma once
// The 16- and 236-colour palettes.

#include <array>
#include <cstdint>

namespace zeno {

struct Palette {
  std::array<uint32_t, 256> entries{};  // 0x00RRGGBB, the picture file's colour table order
  int32_t last_color_index = 235;       // 15 or 235
  int32_t bits_per_pixel = 8;           // 4 or 8
  int32_t size() const { return last_color_index + 1; }
};

// Fills entries 0..last_color_index for the colour mode, sets
// last_color_index and bits_per_pixel.
void build_palette(bool sixteen_colors, Palette& palette);

// Loads the palette into the active window. The window shows the file's
// colours: each entry is handed over as 0x00BBGGRR.
void load_palette(const Palette& palette);

}  // namespace zeno
