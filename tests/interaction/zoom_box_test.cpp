// The mouse routine, the zoom box's geometry and the next view it yields.

#include "interaction/zoom_box.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "driver/limits.hpp"
#include "driver/view.hpp"
#include "interaction/scripted_runtime.hpp"

namespace zeno {
namespace {

// ---------------------------------------------------------------------------
// on_mouse

struct MouseStep {
  int event;
  int x, y;
  int mouse_x, mouse_y;  // expected afterwards
  bool left, right;
  bool move_heard;       // movement routine registered afterwards
};

TEST(OnMouse, EventSequence) {
  testing::ScriptedRuntime rt;
  install_runtime(&rt);
  InteractionState state;
  state.mouse_x = 1;
  state.mouse_y = 2;
  for (int event : {mouse_left_down, mouse_left_up, mouse_right_down, mouse_right_up})
    rt.register_mouse(picture_unit, event, mouse_routine(state));

  const MouseStep steps[] = {
      {mouse_left_down, 10, 20, 10, 20, true, false, true},
      {mouse_move, 30, 40, 30, 40, true, false, true},
      {mouse_right_down, 50, 60, 50, 60, true, true, true},
      // Releasing either button ends the movement, and the release point is not recorded.
      {mouse_left_up, 70, 80, 50, 60, false, true, false},
      {mouse_move, 90, 95, 50, 60, false, true, false},
      {mouse_right_up, 99, 99, 50, 60, false, false, false},
      // A press and release between two polls still moves the position.
      {mouse_left_down, 5, 6, 5, 6, true, false, true},
      {mouse_left_up, 7, 8, 5, 6, false, false, false},
  };
  int n = 0;
  for (const MouseStep& s : steps) {
    SCOPED_TRACE("step " + std::to_string(n++));
    rt.fire_mouse(picture_unit, s.event, s.x, s.y);
    EXPECT_EQ(state.mouse_x.load(), s.mouse_x);
    EXPECT_EQ(state.mouse_y.load(), s.mouse_y);
    EXPECT_EQ(state.left_button_down.load(), s.left);
    EXPECT_EQ(state.right_button_down.load(), s.right);
    EXPECT_EQ(rt.mouse_registered(picture_unit, mouse_move), s.move_heard);
  }

  // Events the routine does not know change nothing.
  on_mouse(state, picture_unit, 4, 0, 300, 300);
  on_mouse(state, picture_unit, 32, 0, 300, 300);
  EXPECT_EQ(state.mouse_x.load(), 5);
  EXPECT_FALSE(state.left_button_down.load() || state.right_button_down.load());
  install_runtime(nullptr);
}

// ---------------------------------------------------------------------------
// Geometry

struct SpanCase {
  int32_t center, size, extent;
  int32_t first, last;
};

TEST(BoxSpan, ShiftsAtTheEdges) {
  const SpanCase cases[] = {
      {400, 80, 800, 360, 440},    // inside
      {10, 80, 800, 0, 80},        // left edge: starts at 0, keeps its width
      {40, 80, 800, 0, 80},        // exactly at the edge
      {790, 80, 800, 719, 799},    // right edge: shifted left
      {400, 799, 800, 0, 799},     // exactly the picture
      {400, 900, 800, -101, 799},  // wider than the picture: negative start
      {-50, 80, 800, 0, 80},       // pointer beyond the picture, used as it comes
      {900, 80, 800, 719, 799},
  };
  for (const SpanCase& c : cases) {
    SCOPED_TRACE(std::to_string(c.center) + "/" + std::to_string(c.size));
    const Span s = box_span(c.center, c.size, c.extent);
    EXPECT_EQ(s.first, c.first);
    EXPECT_EQ(s.last, c.last);
  }
}

TEST(BoxSize, HeightAndRightButtonWidth) {
  const float four_thirds = static_cast<float>(800.0L / 600.0L);  // 1.3333334
  EXPECT_EQ(box_height_for(80, four_thirds), 60);
  EXPECT_EQ(box_height_for(64, four_thirds), 48);
  EXPECT_EQ(box_height_for(102, static_cast<float>(1024.0L / 768.0L)), 76);  // 76.4999977
  EXPECT_EQ(box_height_for(128, 1.25f), 102);                                // 102.4
  EXPECT_EQ(box_height_for(100, four_thirds), 75);

  // 50 right, 20 down: 20 * 1.3333334 = 26.67 rounds to 27; 2 * max(50, 27).
  EXPECT_EQ(right_button_width(450, 320, 400, 300, four_thirds), 100);
  // 5 right, 60 up: the vertical distance wins, 2 * 80.
  EXPECT_EQ(right_button_width(405, 240, 400, 300, four_thirds), 160);
  // On the centre: at least 1 from the vertical term, so 2.
  EXPECT_EQ(right_button_width(400, 300, 400, 300, four_thirds), 2);

  EXPECT_EQ(round_box_size(2.5), 3);
  EXPECT_EQ(round_box_size(-2.5), -3);
  EXPECT_EQ(round_box_size(2.4999999), 2);
}

// ---------------------------------------------------------------------------
// The zoom box on the in-memory runtime, after a picture has been prepared as
// the render loop leaves it.

class ZoomBoxTest : public testing::RuntimeTest {
 protected:
  // A picture of this size and magnification: view derived, zoom-box
  // defaults set, pointer on the centre, left button heard, window open.
  void prepare(int32_t width, int32_t height, float magnification) {
    CaseParameters& p = session.params;
    p.width = width;
    p.height = height;
    p.last_color_index = 235;
    p.max_magnification = max_magnification_for_width(width);
    p.magnification = magnification;
    derive_view(p, session.view);
    set_zoom_box_defaults(p, session.view);
    session.interaction.mouse_x = session.view.center_column;
    session.interaction.mouse_y = session.view.center_row;
    rt.open_window(picture_unit, "picture");
    rt.register_mouse(picture_unit, mouse_left_down, mouse_routine(session.interaction));
    rt.register_mouse(picture_unit, mouse_left_up, mouse_routine(session.interaction));
    center_x = p.center_x;
    center_y = p.center_y;
  }

  // "&New Case or Exit" at the n-th idle sleep.
  void new_case_at_sleep(int n) {
    rt.on_sleep([this, n](int sleeps) {
      if (sleeps == n) session.interaction.new_case_requested = true;
    });
  }

  Session session;
  double center_x = 0.0;
  double center_y = 0.0;
};

struct DefaultBoxCase {
  int32_t width, height;
  const char* box;  // left top right bottom
  int32_t zoom_box_width;
  float next_magnification;  // from 1.0: the factor width / zoom_box_width
};

class DefaultBoxTest : public ZoomBoxTest, public ::testing::WithParamInterface<DefaultBoxCase> {};

TEST_P(DefaultBoxTest, WithoutMouseTheBoxIsCentredAndZoomsAboutTen) {
  const DefaultBoxCase& c = GetParam();
  prepare(c.width, c.height, 1.0f);
  // Entered after "&Stop/Zoom Picture": the stop request does not end the box.
  session.interaction.stop_requested = true;
  int visible = -1;
  rt.on_sleep([&](int sleeps) {
    if (sleeps == 1) visible = rt.pixel(picture_unit, (c.width / 2) - c.zoom_box_width / 2, c.height / 2);
    if (sleeps == 2) session.interaction.new_case_requested = true;
  });

  zoom_box(session);

  EXPECT_EQ(rt.rectangles, (std::vector<std::string>{c.box, c.box}));  // drawn, then erased
  EXPECT_EQ(session.view.zoom_box_width, c.zoom_box_width);
  EXPECT_EQ(session.params.magnification, c.next_magnification);
  EXPECT_EQ(session.params.center_x, center_x);
  EXPECT_EQ(session.params.center_y, center_y);
  // Idle: one 20 ms sleep per pass.
  EXPECT_EQ(rt.sleeps_ms, (std::vector<int>{20, 20}));
  // Drawn in the last palette colour by exclusive-or, gone afterwards.
  EXPECT_EQ(visible, 235);
  EXPECT_EQ(rt.pixel(picture_unit, (c.width / 2) - c.zoom_box_width / 2, c.height / 2), 0);
  EXPECT_EQ(rt.write_mode(), write_xor);
}

INSTANTIATE_TEST_SUITE_P(FourSizes, DefaultBoxTest,
                         ::testing::Values(DefaultBoxCase{640, 480, "288 216 352 264", 64, 10.0f},
                                           DefaultBoxCase{800, 600, "360 270 440 330", 80, 10.0f},
                                           DefaultBoxCase{1024, 768, "461 346 563 422", 102, 10.039216f},
                                           DefaultBoxCase{1280, 1024, "576 461 704 563", 128, 10.0f}));

TEST_F(ZoomBoxTest, EndsByUnregisteringEveryMouseEventInOrder) {
  prepare(800, 600, 0.9f);
  session.interaction.left_button_down = true;  // a button left "held" by a release outside the window
  session.interaction.mouse_x = 400;
  session.interaction.mouse_y = 300;
  rt.after_rectangle = [&](int count) {
    if (count == 3) session.interaction.new_case_requested = true;
  };

  zoom_box(session);

  const std::vector<std::pair<int, int>> expected{
      {picture_unit, 1}, {picture_unit, 8}, {picture_unit, 2}, {picture_unit, 16}, {picture_unit, 64}};
  EXPECT_EQ(rt.unregistered, expected);
  for (int event : {1, 2, 8, 16, 64}) EXPECT_FALSE(rt.mouse_registered(picture_unit, event)) << event;
  EXPECT_FALSE(session.interaction.left_button_down.load());
  EXPECT_FALSE(session.interaction.right_button_down.load());
}

TEST_F(ZoomBoxTest, RightClickSizesTheBoxAndNoSleepWhileHeld) {
  prepare(800, 600, 0.9f);
  rt.on_sleep([&](int sleeps) {
    if (sleeps == 1) rt.fire_mouse(picture_unit, mouse_right_down, 450, 320);
    if (sleeps == 2) session.interaction.new_case_requested = true;
  });
  std::size_t sleeps_while_held = 0;
  rt.after_rectangle = [&](int count) {
    if (count == 8) {  // three more passes with the button held
      sleeps_while_held = rt.sleeps_ms.size() - 1;
      rt.fire_mouse(picture_unit, mouse_right_up, 450, 320);
    }
  };

  zoom_box(session);

  ASSERT_EQ(rt.rectangles.size(), 10u);
  EXPECT_EQ(rt.rectangles[0], "360 270 440 330");
  EXPECT_EQ(rt.rectangles[2], "350 263 450 338");  // width 100, height 75
  EXPECT_EQ(rt.rectangles[9], "350 263 450 338");
  EXPECT_EQ(sleeps_while_held, 0u);
  EXPECT_EQ(session.view.zoom_box_width, 100);
  EXPECT_EQ(session.params.magnification, 8 * 0.9f);
  EXPECT_EQ(session.params.center_x, center_x);
  EXPECT_EQ(session.params.center_y, center_y);
}

TEST_F(ZoomBoxTest, RightClickOnTheCentreIsRaisedToTheMinimumWidth) {
  // 64 times below the ceiling at 640: spacing 64 units, minimum width 10.
  const float ceiling = max_magnification_for_width(640);
  prepare(640, 480, ceiling / 64);
  ASSERT_EQ(session.view.min_zoom_box_width, 10);
  rt.on_sleep([&](int sleeps) {
    if (sleeps == 1) rt.fire_mouse(picture_unit, mouse_right_down, 320, 240);
    if (sleeps == 2) session.interaction.new_case_requested = true;
  });
  rt.after_rectangle = [&](int count) {
    if (count == 3) rt.fire_mouse(picture_unit, mouse_right_up, 320, 240);
  };

  zoom_box(session);

  ASSERT_GE(rt.rectangles.size(), 3u);
  EXPECT_EQ(rt.rectangles[2], "315 237 325 244");  // 10 wide, 7 high
  EXPECT_EQ(session.view.zoom_box_width, 10);
  EXPECT_EQ(session.params.magnification, ceiling);  // 640 / 10 * ceiling / 64
}

TEST_F(ZoomBoxTest, AtTheCeilingTheBoxIsThePictureAndCannotZoomIn) {
  const float ceiling = max_magnification_for_width(640);
  prepare(640, 480, ceiling);
  ASSERT_EQ(session.view.min_zoom_box_width, 640);
  new_case_at_sleep(1);

  zoom_box(session);

  EXPECT_EQ(rt.rectangles.at(0), "-1 -1 639 479");
  EXPECT_EQ(session.params.magnification, ceiling);
}

TEST_F(ZoomBoxTest, BoxWiderThanThePictureZoomsOut) {
  prepare(800, 600, 0.9f);
  rt.on_sleep([&](int sleeps) {
    if (sleeps == 1) rt.fire_mouse(picture_unit, mouse_right_down, 850, 300);  // beyond the last column
    if (sleeps == 2) session.interaction.new_case_requested = true;
  });
  rt.after_rectangle = [&](int count) {
    if (count == 3) rt.fire_mouse(picture_unit, mouse_right_up, 850, 300);
  };

  zoom_box(session);

  EXPECT_EQ(rt.rectangles.at(2), "-101 -76 799 599");  // 900 by 675
  EXPECT_EQ(session.view.zoom_box_width, 900);
  EXPECT_LT(session.params.magnification, 0.9f);
  EXPECT_EQ(session.params.center_x, center_x);
}

// A left click moves the box; the next view is centred on the clicked point
// even where the drawn box was shifted inward at the edge.
struct LeftClickCase {
  int x, y;
  const char* box;
};

class LeftClickTest : public ZoomBoxTest, public ::testing::WithParamInterface<LeftClickCase> {};

TEST_P(LeftClickTest, NextCentreIsTheClickedPointInExtendedPrecision) {
  const LeftClickCase& c = GetParam();
  prepare(800, 600, 0.9f);
  rt.on_sleep([&](int sleeps) {
    if (sleeps == 1) rt.fire_mouse(picture_unit, mouse_left_down, c.x, c.y);
    if (sleeps == 2) session.interaction.new_case_requested = true;
  });
  rt.after_rectangle = [&](int count) {
    if (count == 3) rt.fire_mouse(picture_unit, mouse_left_up, c.x, c.y);
  };

  zoom_box(session);

  EXPECT_EQ(rt.rectangles.at(2), c.box);
  const long double spacing = session.view.pixel_spacing;
  const double expected_x = static_cast<double>(center_x + static_cast<long double>(c.x - 400) * spacing);
  const double expected_y = static_cast<double>(center_y + static_cast<long double>(300 - c.y) * spacing);
  EXPECT_EQ(session.params.center_x, expected_x);
  EXPECT_EQ(session.params.center_y, expected_y);
  EXPECT_EQ(session.params.magnification, 10 * 0.9f);
}

INSTANTIATE_TEST_SUITE_P(Clicks, LeftClickTest,
                         ::testing::Values(LeftClickCase{10, 300, "0 270 80 330"},     // left edge
                                           LeftClickCase{50, 350, "10 320 90 380"},    // double precision would differ here
                                           LeftClickCase{795, 5, "719 0 799 60"}));    // top right corner

// At column 50 the sum rounded twice in double precision lands one unit
// lower than the extended sum: the centre must not be computed in double.
TEST(NextView, CentreIsNotComputedInDoublePrecision) {
  CaseParameters p;
  ViewSetup v;
  p.width = 800;
  p.magnification = 0.9f;
  v.pixel_spacing = static_cast<double>(2.5L / (800 * static_cast<long double>(0.9f)));
  v.center_column = 400;
  v.center_row = 300;
  v.zoom_box_width = 80;
  ZoomBox box;
  box.center_x = 50;
  box.center_y = 300;
  const double start = p.center_x;
  apply_next_view(p, v, box);
  EXPECT_NE(p.center_x, start + (50 - 400) * v.pixel_spacing);
  EXPECT_EQ(p.center_x, static_cast<double>(static_cast<long double>(start) +
                                            static_cast<long double>(-350) * v.pixel_spacing));
}

TEST_F(ZoomBoxTest, NewCaseOnEntryDrawsNothingAndUsesTheUnraisedDefaultBox) {
  const float ceiling = max_magnification_for_width(640);
  prepare(640, 480, ceiling);  // minimum width 640, default width 64
  session.interaction.new_case_requested = true;
  session.interaction.mouse_x = 330;  // a left press during the rows moved it
  session.interaction.mouse_y = 230;

  zoom_box(session);

  EXPECT_TRUE(rt.rectangles.empty());
  EXPECT_TRUE(rt.sleeps_ms.empty());
  EXPECT_EQ(session.view.zoom_box_width, 64);
  EXPECT_EQ(session.params.magnification, static_cast<float>(10.0L * ceiling));
  const long double spacing = session.view.pixel_spacing;
  EXPECT_EQ(session.params.center_x, static_cast<double>(center_x + 10 * spacing));
  EXPECT_EQ(session.params.center_y, static_cast<double>(center_y + 10 * spacing));
}

TEST_F(ZoomBoxTest, BothButtonsHeldTheLeftWins) {
  prepare(800, 600, 0.9f);
  rt.on_sleep([&](int sleeps) {
    if (sleeps == 1) {
      rt.fire_mouse(picture_unit, mouse_right_down, 600, 300);
      rt.fire_mouse(picture_unit, mouse_left_down, 200, 100);
    }
    if (sleeps == 2) session.interaction.new_case_requested = true;
  });
  rt.after_rectangle = [&](int count) {
    if (count == 3) {
      rt.fire_mouse(picture_unit, mouse_left_up, 200, 100);
      rt.fire_mouse(picture_unit, mouse_right_up, 200, 100);
    }
  };

  zoom_box(session);

  EXPECT_EQ(rt.rectangles.at(2), "160 70 240 130");  // moved, not resized
  EXPECT_EQ(session.view.zoom_box_width, 80);
}

}  // namespace
}  // namespace zeno
