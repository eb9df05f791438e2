#pragma once
// The picture sizes the program offers and the bounds of what it computes.

#include <array>
#include <cstdint>
#include <string_view>

namespace zeno {

struct Resolution {
  int32_t code;
  std::string_view list_item;  // as the dialog's list shows it
  int32_t width;
  int32_t height;
  char letter;                 // first character of the screen-mode code
};

inline constexpr std::array<Resolution, 4> resolutions{{
    {1, " 640 x 480", 640, 480, 'V'},
    {2, " 800 x 600", 800, 600, 'S'},
    {3, "1024 x 768", 1024, 768, 'X'},
    {4, "1280 x 1024", 1280, 1024, 'Z'},
}};

// Codes other than 1, 3 and 4 mean 800 x 600.
inline constexpr const Resolution& resolution_for_code(int32_t code) {
  for (const auto& r : resolutions)
    if (r.code == code) return r;
  return resolutions[1];
}

inline constexpr double center_x_min = -2.0;
inline constexpr double center_x_max = 0.75;
inline constexpr double center_y_min = -1.5;
inline constexpr double center_y_max = 1.5;
inline constexpr float magnification_min = 0.125f;
inline constexpr float border_width_max = 1.5f;

// The magnification at which the pixel spacing reaches the unit
// 2.22044604925e-16: 11258999068427828 / width, divided in extended and
// stored in single precision.
inline float max_magnification_for_width(int32_t width) {
  return static_cast<float>(11258999068427828.0L / static_cast<long double>(width));
}

}  // namespace zeno
