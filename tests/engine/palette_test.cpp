// The 16- and 236-colour palettes.

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <ostream>

#include "engine/palette.hpp"

namespace zeno {
namespace {

Palette built(bool sixteen_colors) {
  Palette palette;
  build_palette(sixteen_colors, palette);
  return palette;
}

TEST(Palette, SixteenColourTable) {
  const Palette p = built(true);
  const std::array<uint32_t, 16> expected = {0x000000, 0x88FF00, 0x03FF03, 0x00FF88, 0x00FFFF, 0x03B8FF,
                                             0x0370FF, 0x0303FF, 0x8800FF, 0xFF00FF, 0xFF0088, 0xFF0303,
                                             0xFF7003, 0xFFB803, 0xFFFF00, 0xFFFFFF};
  for (size_t i = 0; i < expected.size(); ++i) {
    EXPECT_EQ(p.entries[i], expected[i]) << i;
  }
  EXPECT_EQ(p.last_color_index, 15);
  EXPECT_EQ(p.bits_per_pixel, 4);
  EXPECT_EQ(p.size(), 16);
}

struct Row {
  int entry;
  uint32_t value;
};

void PrintTo(const Row& p, std::ostream* os) { *os << "entry " << p.entry; }

class Palette236Rows : public ::testing::TestWithParam<Row> {};

TEST_P(Palette236Rows, Value) {
  static const Palette p = built(false);
  EXPECT_EQ(p.entries[GetParam().entry], GetParam().value);
}

INSTANTIATE_TEST_SUITE_P(
    Engine, Palette236Rows,
    ::testing::Values(Row{0, 0x000000}, Row{1, 0xFBFF00}, Row{20, 0xAFFF00}, Row{21, 0xAAFF00},
                      Row{38, 0x12FF00}, Row{39, 0x00FF00}, Row{40, 0x00FF12}, Row{77, 0x00FFFB},
                      Row{78, 0x00FFFF}, Row{79, 0x00FBFF}, Row{116, 0x0012FF}, Row{117, 0x0000FF},
                      Row{118, 0x1200FF}, Row{155, 0xFB00FF}, Row{156, 0xFF00FF}, Row{157, 0xFF00FB},
                      Row{194, 0xFF0012}, Row{195, 0xFF0000}, Row{196, 0xFF1200}, Row{233, 0xFFFB00},
                      Row{234, 0xFFFF00}, Row{235, 0xFFFFFF}));

// The channel ramp, c(0) .. c(39): 20 steps of 4, then the cubic steps
// floor((k s)^3) + 4 with s = 1/17 as binary32, which gives 12 (not 11) at
// k = 34 and so c(35) = 57.
constexpr std::array<uint32_t, 40> ramp = {255, 251, 247, 243, 239, 235, 231, 227, 223, 219, 215, 211, 207, 203,
                                           199, 195, 191, 187, 183, 179, 175, 170, 165, 159, 153, 147, 140, 133,
                                           125, 117, 109, 100, 90,  80,  69,  57,  45,  32,  18,  0};

TEST(Palette, Wheel236FollowsTheRampOnEveryEdge) {
  const Palette p = built(false);
  EXPECT_EQ(p.last_color_index, 235);
  EXPECT_EQ(p.bits_per_pixel, 8);
  EXPECT_EQ(p.size(), 236);
  auto red = [&](int i) { return (p.entries[i] >> 16) & 0xFF; };
  auto green = [&](int i) { return (p.entries[i] >> 8) & 0xFF; };
  auto blue = [&](int i) { return p.entries[i] & 0xFF; };
  for (int t = 1; t <= 39; ++t) {
    EXPECT_EQ(red(t), ramp[t]) << t;                // 0 -> 39: red falls
    EXPECT_EQ(blue(78 - t), ramp[t]) << 78 - t;     // 78 -> 39: blue falls
    EXPECT_EQ(green(78 + t), ramp[t]) << 78 + t;    // 78 -> 117: green falls
    EXPECT_EQ(red(156 - t), ramp[t]) << 156 - t;    // 156 -> 117: red falls
    EXPECT_EQ(blue(156 + t), ramp[t]) << 156 + t;   // 156 -> 195: blue falls
    EXPECT_EQ(green(234 - t), ramp[t]) << 234 - t;  // 234 -> 195: green falls
  }
  EXPECT_EQ(p.entries[35], 0x39FF00u);  // c(35) = 80 - 11 - 12
}

TEST(Palette, EveryWheelEntryHasOneFullOneEmptyOneRampChannel) {
  const Palette p = built(false);
  for (int i = 1; i <= 234; ++i) {
    const uint32_t channels[3] = {(p.entries[i] >> 16) & 0xFF, (p.entries[i] >> 8) & 0xFF, p.entries[i] & 0xFF};
    int full = 0;
    int empty = 0;
    for (const uint32_t c : channels) {
      full += c == 255;
      empty += c == 0;
    }
    EXPECT_GE(full, 1) << i;
    EXPECT_GE(empty, 1) << i;
    EXPECT_EQ(p.entries[i] >> 24, 0u) << i;
  }
}

TEST(Palette, RebuildingSwitchesModes) {
  Palette p;
  build_palette(false, p);
  build_palette(true, p);
  EXPECT_EQ(p.entries[15], 0xFFFFFFu);
  EXPECT_EQ(p.entries[1], 0x88FF00u);
  EXPECT_EQ(p.last_color_index, 15);
  build_palette(false, p);
  EXPECT_EQ(p.entries[15], 0xC3FF00u);  // c(15) = 195
  EXPECT_EQ(p.bits_per_pixel, 8);
}

}  // namespace
}  // namespace zeno
