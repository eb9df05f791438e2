#include "engine/palette.hpp"

#include <cmath>

#include "platform/runtime.hpp"

namespace zeno {

namespace {

constexpr std::array<uint32_t, 16> sixteen_color_table = {
    0x000000, 0x88FF00, 0x03FF03, 0x00FF88, 0x00FFFF, 0x03B8FF, 0x0370FF, 0x0303FF,
    0x8800FF, 0xFF00FF, 0xFF0088, 0xFF0303, 0xFF7003, 0xFFB803, 0xFFFF00, 0xFFFFFF,
};

// Edge length of the 236-colour wheel: entries between two anchors.
constexpr int edge = 39;

// channel_ramp: the varying channel at distance t (0..39) from the anchor
// where it is 255. Falls by 4 for 20 steps, then by the cubic steps
// floor((k/17)^3) + 4 for k = 20..37, with 1/17 held as a binary32 value and
// the product and cube in extended precision; ends at the next anchor's 0.
std::array<uint32_t, edge + 1> channel_ramp() {
  std::array<uint32_t, edge + 1> ramp{};
  ramp[0] = 255;
  for (int t = 1; t <= 20; ++t) {
    ramp[t] = ramp[t - 1] - 4;
  }
  const long double step = 1.0f / 17.0f;
  for (int k = 20; k <= 37; ++k) {
    const long double p = static_cast<long double>(k) * step;
    const long double cube = p * p * p;
    ramp[k + 1] = ramp[k] - (static_cast<uint32_t>(truncl(cube)) + 4);
  }
  ramp[edge] = 0;
  return ramp;
}

constexpr uint32_t rgb(uint32_t red, uint32_t green, uint32_t blue) {
  return (red << 16) | (green << 8) | blue;
}

}  // namespace

void build_palette(bool sixteen_colors, Palette& palette) {
  if (sixteen_colors) {
    for (size_t i = 0; i < sixteen_color_table.size(); ++i) {
      palette.entries[i] = sixteen_color_table[i];
    }
    palette.last_color_index = 15;
    palette.bits_per_pixel = 4;
    return;
  }

  const auto c = channel_ramp();
  // Six edges between the anchors 0, 39, 78, 117, 156, 195 and 234; along
  // each exactly one channel runs down the ramp from 255 to 0 or back up.
  for (int i = 0; i <= 6 * edge; ++i) {
    uint32_t value = 0;
    if (i <= edge) {
      value = rgb(c[i], 255, 0);
    } else if (i <= 2 * edge) {
      value = rgb(0, 255, c[2 * edge - i]);
    } else if (i <= 3 * edge) {
      value = rgb(0, c[i - 2 * edge], 255);
    } else if (i <= 4 * edge) {
      value = rgb(c[4 * edge - i], 0, 255);
    } else if (i <= 5 * edge) {
      value = rgb(255, 0, c[i - 4 * edge]);
    } else {
      value = rgb(255, c[6 * edge - i], 0);
    }
    palette.entries[i] = value;
  }
  palette.entries[0] = 0x000000;
  palette.entries[235] = 0xFFFFFF;
  palette.last_color_index = 235;
  palette.bits_per_pixel = 8;
}

void load_palette(const Palette& palette) {
  std::array<uint32_t, 256> colors{};
  for (size_t i = 0; i < colors.size(); ++i) {
    const uint32_t v = palette.entries[i];
    colors[i] = ((v & 0xFFu) << 16) | (v & 0xFF00u) | ((v >> 16) & 0xFFu);
  }
  gw_remap_palette(colors.data(), palette.size());
}

}  // namespace zeno
