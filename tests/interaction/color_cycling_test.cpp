// Palette rotation after a completed picture and the header rewrite.

#include "interaction/color_cycling.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include <fcntl.h>
#include <unistd.h>

#include "driver/picture_file.hpp"
#include "interaction/scripted_runtime.hpp"
#include "interaction/zoom_box.hpp"

namespace zeno {
namespace {

Palette built(bool sixteen_colors) {
  Palette p;
  build_palette(sixteen_colors, p);
  return p;
}

TEST(RotatePalette, OneStepIn236Colours) {
  const Palette before = built(false);
  Palette p = before;
  rotate_palette(p);
  EXPECT_EQ(p.entries[1], before.entries[234]);
  EXPECT_EQ(p.entries[2], before.entries[1]);
  EXPECT_EQ(p.entries[234], before.entries[233]);
  EXPECT_EQ(p.entries[0], before.entries[0]);
  EXPECT_EQ(p.entries[235], before.entries[235]);
}

TEST(RotatePalette, OneStepIn16Colours) {
  const Palette before = built(true);
  Palette p = before;
  rotate_palette(p);
  EXPECT_EQ(p.entries[1], 0xFFFF00u);
  EXPECT_EQ(p.entries[2], 0x88FF00u);
  EXPECT_EQ(p.entries[14], before.entries[13]);
  EXPECT_EQ(p.entries[0], before.entries[0]);
  EXPECT_EQ(p.entries[15], before.entries[15]);
}

TEST(RotatePalette, LastColorIndexMinusOneStepsReturnToTheStart) {
  for (bool sixteen : {true, false}) {
    SCOPED_TRACE(sixteen ? "16 colours" : "236 colours");
    const Palette before = built(sixteen);
    Palette p = before;
    const int steps = before.last_color_index - 1;
    for (int i = 0; i < steps; ++i) {
      rotate_palette(p);
      if (i + 1 < steps) {
        ASSERT_NE(p.entries, before.entries) << "back after " << i + 1;
      }
    }
    EXPECT_EQ(p.entries, before.entries);
  }
}

// A completed picture: file open with its header and every row written, the
// picture window open with the palette loaded, the left button heard.
class CycleColorsTest : public testing::RuntimeTest {
 protected:
  void prepare(bool sixteen_colors) {
    CaseParameters& p = session.params;
    p.width = 640;
    p.height = 480;
    p.sixteen_colors = sixteen_colors;
    build_palette(sixteen_colors, session.palette);
    p.last_color_index = session.palette.last_color_index;
    original = session.palette;

    choose_picture_name(session.picture);
    open_picture_file(session.picture, p, session.palette);
    std::array<uint8_t, 1280> row{};
    for (int r = 0; r < p.height; ++r) {
      for (int c = 0; c < p.width; ++c)
        row[static_cast<size_t>(c)] = static_cast<uint8_t>((r + c) % (p.last_color_index + 1));
      write_picture_row(session.picture, p, r, row.data());
    }
    path = session.picture.path;

    rt.open_window(picture_unit, "picture");
    load_palette(session.palette);
    rt.palette_loads = 0;
    rt.register_mouse(picture_unit, mouse_left_down, mouse_routine(session.interaction));
    rt.register_mouse(picture_unit, mouse_left_up, mouse_routine(session.interaction));
  }

  // Zeroes the palette area of the file on disk, so that a rewrite shows.
  void blank_palette_on_disk() {
    const int fd = ::open(path.c_str(), O_WRONLY);
    ASSERT_GE(fd, 0);
    const std::vector<uint8_t> zeros(static_cast<size_t>(4 * session.palette.size()), 0);
    ASSERT_EQ(::pwrite(fd, zeros.data(), zeros.size(), header_palette_offset),
              static_cast<ssize_t>(zeros.size()));
    ::close(fd);
  }

  // The palette area of the file as 32-bit values.
  std::vector<uint32_t> palette_on_disk() const {
    const std::vector<uint8_t> bytes = read_bytes(path);
    std::vector<uint32_t> values;
    for (int i = 0; i < session.palette.size(); ++i) {
      const size_t at = static_cast<size_t>(header_palette_offset + 4 * i);
      values.push_back(bytes[at] | bytes[at + 1] << 8 | bytes[at + 2] << 16 | static_cast<uint32_t>(bytes[at + 3]) << 24);
    }
    return values;
  }

  std::vector<uint32_t> entries(const Palette& p) const {
    return {p.entries.begin(), p.entries.begin() + p.size()};
  }

  Palette rotated(int times) const {
    Palette p = original;
    for (int i = 0; i < times; ++i) rotate_palette(p);
    return p;
  }

  void TearDown() override {
    close_picture_file(session.picture, false);
    RuntimeTest::TearDown();
  }

  Session session;
  Palette original;
  std::string path;
};

TEST_F(CycleColorsTest, OneRotationIn16ColoursRewritesOnlyThePalette) {
  prepare(true);
  const std::vector<uint8_t> before = read_bytes(path);
  rt.on_sleep([&](int sleeps) {
    if (sleeps == 1) session.interaction.stop_requested = true;  // noticed at the next pass
  });

  cycle_colors(session);

  EXPECT_EQ(rt.sleeps_ms, std::vector<int>{450});
  EXPECT_EQ(rt.palette_loads, 1);
  EXPECT_EQ(entries(session.palette), entries(rotated(1)));
  EXPECT_FALSE(session.palette_rotated);

  const std::vector<uint8_t> after = read_bytes(path);
  ASSERT_EQ(after.size(), before.size());
  const size_t palette_end = static_cast<size_t>(header_palette_offset + 4 * session.palette.size());
  for (size_t i = 0; i < after.size(); ++i) {
    if (i >= static_cast<size_t>(header_palette_offset) && i < palette_end) continue;
    ASSERT_EQ(after[i], before[i]) << "byte " << i;
  }
  EXPECT_EQ(palette_on_disk(), entries(rotated(1)));
}

TEST_F(CycleColorsTest, OneRotationIn236ColoursWithoutPause) {
  prepare(false);
  rt.after_palette_load = [&](int loads) {
    if (loads == 1) session.interaction.new_case_requested = true;
  };

  cycle_colors(session);

  EXPECT_TRUE(rt.sleeps_ms.empty());
  EXPECT_EQ(entries(session.palette), entries(rotated(1)));
  EXPECT_EQ(palette_on_disk(), entries(rotated(1)));
  // The window shows the rotated palette (red in the low byte on the screen).
  const uint32_t v = rotated(1).entries[1];
  EXPECT_EQ(rt.window(picture_unit).palette.at(1), ((v & 0xFFu) << 16) | (v & 0xFF00u) | (v >> 16));
}

TEST_F(CycleColorsTest, FullCycleStillRewritesTheSameBytes) {
  prepare(false);
  const std::vector<uint32_t> start = palette_on_disk();
  blank_palette_on_disk();
  rt.after_palette_load = [&](int loads) {
    if (loads == 234) session.interaction.stop_requested = true;
  };

  cycle_colors(session);

  EXPECT_EQ(rt.palette_loads, 234);
  EXPECT_EQ(entries(session.palette), entries(original));
  EXPECT_EQ(palette_on_disk(), start);
}

struct RotationOffCase {
  bool sixteen_colors;
  int pass_ms;
};

class RotationOffTest : public CycleColorsTest, public ::testing::WithParamInterface<RotationOffCase> {};

TEST_P(RotationOffTest, NoRotationNoLoadNoHeaderRewrite) {
  prepare(GetParam().sixteen_colors);
  session.interaction.rotate_colors = false;
  blank_palette_on_disk();
  rt.on_sleep([&](int sleeps) {
    if (sleeps == 3) session.interaction.stop_requested = true;
  });

  cycle_colors(session);

  EXPECT_EQ(rt.sleeps_ms, std::vector<int>(3, GetParam().pass_ms));
  EXPECT_EQ(rt.palette_loads, 0);
  EXPECT_EQ(entries(session.palette), entries(original));
  EXPECT_EQ(palette_on_disk(), std::vector<uint32_t>(static_cast<size_t>(original.size()), 0u));
}

// Without rotation the 236-colour wait polls every 20 ms instead of spinning.
INSTANTIATE_TEST_SUITE_P(BothModes, RotationOffTest,
                         ::testing::Values(RotationOffCase{true, 450}, RotationOffCase{false, 20}));

TEST_F(CycleColorsTest, RotationSwitchedOffAndOnRewritesOnceAtTheEnd) {
  prepare(true);
  rt.on_sleep([&](int sleeps) {
    if (sleeps == 2) session.interaction.rotate_colors = false;
    if (sleeps == 3) session.interaction.rotate_colors = true;
    if (sleeps == 4) session.interaction.stop_requested = true;
  });

  cycle_colors(session);

  // Rotated after sleeps 1, 3 and 4.
  EXPECT_EQ(rt.palette_loads, 3);
  EXPECT_EQ(entries(session.palette), entries(rotated(3)));
  EXPECT_EQ(palette_on_disk(), entries(rotated(3)));
}

TEST_F(CycleColorsTest, LeftButtonEndsTheWaitAndPlacesTheBox) {
  prepare(true);
  rt.on_sleep([&](int sleeps) {
    if (sleeps == 2) rt.fire_mouse(picture_unit, mouse_left_down, 123, 45);
  });

  cycle_colors(session);

  EXPECT_EQ(rt.palette_loads, 2);
  EXPECT_EQ(session.interaction.mouse_x.load(), 123);
  EXPECT_EQ(session.interaction.mouse_y.load(), 45);
}

TEST_F(CycleColorsTest, RequestBeforeTheFirstPassLeavesEverythingAlone) {
  prepare(false);
  blank_palette_on_disk();
  session.interaction.left_button_down = true;

  cycle_colors(session);

  EXPECT_TRUE(rt.sleeps_ms.empty());
  EXPECT_EQ(rt.palette_loads, 0);
  EXPECT_EQ(palette_on_disk(), std::vector<uint32_t>(static_cast<size_t>(original.size()), 0u));
}

}  // namespace
}  // namespace zeno
