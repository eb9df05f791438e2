// The Qt window runtime: drawing into palette-indexed windows, palettes,
// mouse and menu routines, dialogs run from the logic thread, Pause, and the
// end of the program from every state it can wait in.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QFontMetrics>
#include <QLineEdit>
#include <QMainWindow>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QRadioButton>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

#include <sys/resource.h>
#include <unistd.h>

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/dialog.hpp"
#include "platform/qt/dialog_view.hpp"
#include "platform/qt/qt_runtime.hpp"
#include "platform/qt/surface_view.hpp"

namespace zeno {
namespace {

// Generous: a guard against hanging, not a speed requirement.
constexpr int deadlock_guard_ms = 10000;

bool eventually(const std::function<bool()>& condition, int timeout_ms = deadlock_guard_ms) {
  return QTest::qWaitFor(condition, timeout_ms);
}

constexpr QSize test_screen(1024, 768);

class QtRuntimeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    rt = std::make_unique<QtRuntime>(test_screen);
    install_runtime(rt.get());
    rt->frame()->resize(1200, 900);
    rt->frame()->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(rt->frame()));
  }
  void TearDown() override {
    rt.reset();  // ends and joins a program still running
    install_runtime(nullptr);
  }

  // Opens the picture window, 256 colours, and fills it with a pattern of
  // indices.
  void open_picture_with_pattern() {
    gw_open_window(picture_unit, "picture");
    for (int y = 0; y < 64; ++y)
      for (int x = 0; x < 64; ++x) {
        gw_set_color((x * 7 + y * 3) % 256);
        gw_set_pixel(x, y);
      }
  }

  std::vector<int> indices(int unit, QRect area) const {
    std::vector<int> v;
    for (int y = area.top(); y <= area.bottom(); ++y)
      for (int x = area.left(); x <= area.right(); ++x) v.push_back(rt->pixel(unit, x, y));
    return v;
  }
  std::vector<QRgb> shown(int unit, QRect area) const {
    std::vector<QRgb> v;
    for (int y = area.top(); y <= area.bottom(); ++y)
      for (int x = area.left(); x <= area.right(); ++x) v.push_back(rt->shown_pixel(unit, x, y));
    return v;
  }

  std::unique_ptr<QtRuntime> rt;
};

// ---------------------------------------------------------------------------
// Drawing

struct XorFigure {
  const char* name;
  std::function<void()> draw;
};

class XorTwice : public QtRuntimeTest, public ::testing::WithParamInterface<XorFigure> {};

TEST_P(XorTwice, RestoresEveryPixelAndWhatIsShown) {
  open_picture_with_pattern();
  const QRect area(0, 0, 64, 64);
  rt->present_now();
  const auto before = indices(picture_unit, area);
  const auto shown_before = shown(picture_unit, area);

  gw_set_write_mode(write_xor);
  gw_set_color(0xA5);
  GetParam().draw();
  rt->present_now();
  EXPECT_NE(indices(picture_unit, area), before) << "the figure drew nothing";
  EXPECT_NE(shown(picture_unit, area), shown_before);

  GetParam().draw();
  rt->present_now();
  EXPECT_EQ(indices(picture_unit, area), before);
  EXPECT_EQ(shown(picture_unit, area), shown_before);
}

INSTANTIATE_TEST_SUITE_P(
    Figures, XorTwice,
    ::testing::Values(
        XorFigure{"rectangle", [] { gw_rectangle(rectangle_outline, 10, 12, 40, 30); }},
        XorFigure{"rectangle_reversed_corners", [] { gw_rectangle(rectangle_outline, 40, 30, 10, 12); }},
        XorFigure{"rectangle_one_row", [] { gw_rectangle(rectangle_outline, 5, 20, 50, 20); }},
        XorFigure{"rectangle_one_column", [] { gw_rectangle(rectangle_outline, 20, 5, 20, 50); }},
        XorFigure{"rectangle_one_pixel", [] { gw_rectangle(rectangle_outline, 33, 33, 33, 33); }},
        XorFigure{"rectangle_past_the_edges", [] { gw_rectangle(rectangle_outline, -20, -5, 30, 2000); }},
        XorFigure{"lines", [] {
                    gw_move_to(0, 0);
                    gw_line_to(63, 40);
                    gw_move_to(0, 63);
                    gw_line_to(63, 0);
                  }},
        XorFigure{"pixel", [] { gw_set_pixel(17, 9); }}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(QtRuntimeTest, RectangleIncludesBothCorners) {
  gw_open_window(picture_unit, "picture");
  gw_set_color(9);
  gw_rectangle(rectangle_outline, 10, 20, 30, 25);
  for (auto [x, y] : {std::pair{10, 20}, {30, 20}, {10, 25}, {30, 25}, {20, 20}, {10, 22}, {30, 22}})
    EXPECT_EQ(rt->pixel(picture_unit, x, y), 9) << x << "," << y;
  EXPECT_EQ(rt->pixel(picture_unit, 20, 22), 0) << "an outline, not a filled box";
  EXPECT_EQ(rt->pixel(picture_unit, 31, 25), 0);
}

TEST_F(QtRuntimeTest, ExclusiveOrRectangleTouchesEachOutlinePixelOnce) {
  gw_open_window(picture_unit, "picture");
  gw_set_write_mode(write_xor);
  gw_set_color(9);
  gw_rectangle(rectangle_outline, 10, 20, 30, 25);
  gw_rectangle(rectangle_outline, 50, 50, 50, 50);
  // A corner drawn twice would cancel itself out.
  for (auto [x, y] : {std::pair{10, 20}, {30, 20}, {10, 25}, {30, 25}, {50, 50}})
    EXPECT_EQ(rt->pixel(picture_unit, x, y), 9) << x << "," << y;
}

TEST_F(QtRuntimeTest, PaletteLoadChangesTheShownColoursButNotTheIndices) {
  open_picture_with_pattern();
  rt->present_now();
  const QRect area(0, 0, 64, 64);
  const auto before = indices(picture_unit, area);

  std::vector<uint32_t> palette(256);
  for (int i = 0; i < 256; ++i) palette[static_cast<std::size_t>(i)] = static_cast<uint32_t>(i);  // shades of red
  palette[7] = 0x00FF0000;  // blue: red is the low byte
  palette[10] = 0x000000FF;  // red
  gw_remap_palette(palette.data(), 256);
  rt->present_now();

  EXPECT_EQ(indices(picture_unit, area), before);
  // (1, 0) has index 7, (0, 1) index 3 and (1, 1) index 10.
  EXPECT_EQ(rt->pixel(picture_unit, 1, 0), 7);
  EXPECT_EQ(rt->shown_pixel(picture_unit, 1, 0), qRgb(0, 0, 255));
  EXPECT_EQ(rt->shown_pixel(picture_unit, 1, 1), qRgb(255, 0, 0));
  EXPECT_EQ(rt->shown_pixel(picture_unit, 0, 1), qRgb(3, 0, 0));
}

TEST_F(QtRuntimeTest, PaletteLoadIsIgnoredByAWindowOfTwentyColoursOrFewer) {
  // The default window has 16 colours.
  gw_set_color(4);
  gw_set_pixel(3, 3);
  rt->present_now();
  const QRgb before = rt->shown_pixel(default_unit, 3, 3);
  std::vector<uint32_t> palette(256, 0x00FFFFFF);
  gw_remap_palette(palette.data(), 256);
  rt->present_now();
  EXPECT_EQ(rt->shown_pixel(default_unit, 3, 3), before);
}

TEST_F(QtRuntimeTest, PaletteLoadsFromTheLogicThreadAllArriveAndTheLastIsShown) {
  open_picture_with_pattern();
  std::atomic<int> loads{0};
  rt->start_program(
      [&] {
        std::vector<uint32_t> palette(256);
        for (int round = 0; round < 100; ++round) {
          for (int i = 0; i < 256; ++i) palette[static_cast<std::size_t>(i)] = static_cast<uint32_t>((i + round) % 256);
          gw_remap_palette(palette.data(), 256);
          ++loads;
        }
      },
      {});
  QSignalSpy finished(rt.get(), &QtRuntime::program_finished);
  ASSERT_TRUE(eventually([&] { return finished.count() == 1; }));
  EXPECT_EQ(loads.load(), 100);
  // The last load: entry i holds i + 99 in red.
  ASSERT_TRUE(eventually([&] { return rt->shown_pixel(picture_unit, 1, 0) == qRgb(7 + 99, 0, 0); }));
}

struct ColorCase {
  int unit;
  int requested;
  int expected;
};

class SetColorClamps : public QtRuntimeTest, public ::testing::WithParamInterface<ColorCase> {};

TEST_P(SetColorClamps, ToTheWindowsColours) {
  if (GetParam().unit == picture_unit) gw_open_window(picture_unit, "picture");
  gw_set_color(GetParam().requested);
  gw_set_pixel(5, 5);
  EXPECT_EQ(rt->pixel(GetParam().unit, 5, 5), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Cases, SetColorClamps,
                         ::testing::Values(ColorCase{default_unit, -3, 0}, ColorCase{default_unit, 0, 0},
                                           ColorCase{default_unit, 15, 15}, ColorCase{default_unit, 16, 15},
                                           ColorCase{default_unit, 235, 15}, ColorCase{picture_unit, 235, 235},
                                           ColorCase{picture_unit, 255, 255}, ColorCase{picture_unit, 256, 255},
                                           ColorCase{picture_unit, 100000, 255}, ColorCase{picture_unit, -1, 0}));

TEST_F(QtRuntimeTest, PixelsDrawnOnTheLogicThreadAreShownWithoutBeingAsked) {
  gw_open_window(picture_unit, "picture");
  rt->present_now();
  rt->start_program(
      [] {
        gw_set_color(15);
        gw_set_pixel(100, 50);
      },
      {});
  EXPECT_TRUE(eventually([&] { return rt->shown_pixel(picture_unit, 100, 50) == qRgb(255, 255, 255); }));
}

TEST_F(QtRuntimeTest, TextAdvancesByItsWidthAndLeavesTheBackgroundAlone) {
  gw_open_window(picture_unit, "picture");
  gw_set_color(3);
  gw_rectangle(rectangle_outline, 0, 0, 400, 100);  // a frame of index 3 around the text area
  gw_init_fonts();
  gw_select_font({"Arial", 18, true});
  gw_set_color_rgb(0x000000FF);  // red
  gw_move_to(20, 30);
  gw_out_text("STRIKE ANY KEY");
  const Point end = gw_move_to(0, 0);

  QFont font;
  font.setFamily("Liberation Sans");
  font.setBold(true);
  int size = 18;
  font.setPixelSize(size);
  while (QFontMetrics(font).height() > 18) font.setPixelSize(--size);
  EXPECT_EQ(end.x, 20 + QFontMetrics(font).horizontalAdvance("STRIKE ANY KEY"));
  EXPECT_EQ(end.y, 30);

  int red = 0;
  for (int y = 30; y < 48; ++y)
    for (int x = 20; x < end.x; ++x)
      if (rt->pixel(picture_unit, x, y) == (0x1000000 | 0x0000FF)) ++red;
  EXPECT_GT(red, 50) << "the text is drawn in its colour";
  EXPECT_EQ(rt->pixel(picture_unit, 0, 50), 3) << "the frame stays";
  EXPECT_EQ(rt->pixel(picture_unit, 15, 40), 0) << "transparent: the background stays";
  EXPECT_EQ(rt->pixel(picture_unit, end.x + 10, 40), 0);
}

TEST_F(QtRuntimeTest, RgbColoursOfASixteenColourWindowAreItsNearestPaletteEntries) {
  gw_set_background_rgb(0x00FFFF00);  // cyan, red in the low byte
  gw_clear_screen();
  EXPECT_EQ(rt->pixel(default_unit, 10, 10), 14);
  gw_set_color_rgb(0x000000F0);  // nearly red
  gw_set_pixel(1, 1);
  EXPECT_EQ(rt->pixel(default_unit, 1, 1), 9);
}

// ---------------------------------------------------------------------------
// Windows

TEST_F(QtRuntimeTest, OpenMakesTheWindowActiveAndScreenSizedAndCloseReturnsToTheDefault) {
  EXPECT_EQ(rt->active_unit(), default_unit);
  EXPECT_EQ(rt->window_size(default_unit), QSize(640, 480));
  EXPECT_EQ(rt->window_colors(default_unit), 16);

  gw_open_window(picture_unit, std::string("Mandelbrot Set at (-0.7, 0.1)  ") + '\0' + "junk");
  EXPECT_EQ(rt->active_unit(), picture_unit);
  EXPECT_EQ(rt->window_size(picture_unit), test_screen);
  EXPECT_EQ(rt->window_colors(picture_unit), 256);
  ASSERT_NE(rt->subwindow(picture_unit), nullptr);
  EXPECT_EQ(rt->subwindow(picture_unit)->windowTitle(), "Mandelbrot Set at (-0.7, 0.1)");
  EXPECT_EQ(rt->frame()->findChild<QMdiArea*>()->activeSubWindow(), rt->subwindow(picture_unit));

  gw_close_window(picture_unit);
  EXPECT_EQ(rt->active_unit(), default_unit);
  EXPECT_EQ(rt->subwindow(picture_unit), nullptr);
  EXPECT_EQ(rt->frame()->findChild<QMdiArea*>()->subWindowList().size(), 1);
}

TEST_F(QtRuntimeTest, CopyPutsTheActiveWindowsPictureOnTheClipboard) {
  gw_open_window(picture_unit, "picture");
  gw_set_color(12);
  gw_set_pixel(7, 3);
  rt->menu_action(2, 1)->trigger();  // Edit > Copy
  const QImage copied = QGuiApplication::clipboard()->image();
  ASSERT_EQ(copied.size(), test_screen);
  EXPECT_EQ(copied.pixel(7, 3), rt->shown_pixel(picture_unit, 7, 3));
  EXPECT_NE(copied.pixel(7, 3), copied.pixel(8, 3));
}

TEST_F(QtRuntimeTest, UserCannotCloseARuntimeWindow) {
  QMdiSubWindow* window = rt->subwindow(default_unit);
  ASSERT_NE(window, nullptr);
  window->close();
  QTest::qWait(10);
  EXPECT_EQ(rt->subwindow(default_unit), window);
  EXPECT_TRUE(window->isVisible());
}

TEST_F(QtRuntimeTest, ConfigureGrantsWhatTheScreenHolds) {
  WindowConfig c;
  c.x_pixels = 800;
  c.y_pixels = 600;
  c.colors = 236;
  c.title = std::string("ZenoPlot HELP") + '\0' + std::string(66, ' ');
  EXPECT_TRUE(gw_configure_window(c));
  EXPECT_EQ(rt->window_size(default_unit), QSize(800, 600));
  EXPECT_EQ(rt->window_colors(default_unit), 236);
  EXPECT_EQ(rt->subwindow(default_unit)->windowTitle(), "ZenoPlot HELP");
}

struct RefusalCase {
  const char* name;
  int16_t width, height, colors;
  int16_t granted_width, granted_height, granted_colors;
};

class ConfigureRefuses : public QtRuntimeTest, public ::testing::WithParamInterface<RefusalCase> {};

TEST_P(ConfigureRefuses, AndRewritesTheRecordToWhatASecondCallGets) {
  rt->set_available_screen(QSize(1024, 700));
  const RefusalCase& k = GetParam();
  WindowConfig c;
  c.x_pixels = k.width;
  c.y_pixels = k.height;
  c.colors = k.colors;
  EXPECT_FALSE(gw_configure_window(c));
  EXPECT_EQ(c.x_pixels, k.granted_width);
  EXPECT_EQ(c.y_pixels, k.granted_height);
  EXPECT_EQ(c.colors, k.granted_colors);
  EXPECT_EQ(rt->window_size(default_unit), QSize(640, 480)) << "nothing changes on refusal";

  EXPECT_TRUE(gw_configure_window(c));
  EXPECT_EQ(rt->window_size(default_unit), QSize(k.granted_width, k.granted_height));
  EXPECT_EQ(rt->window_colors(default_unit), k.granted_colors);
}

INSTANTIATE_TEST_SUITE_P(Cases, ConfigureRefuses,
                         ::testing::Values(RefusalCase{"too_tall", 1024, 768, 236, 1024, 700, 236},
                                           RefusalCase{"too_wide_and_tall", 1280, 1024, 16, 1024, 700, 16},
                                           RefusalCase{"too_many_colours", 800, 600, 300, 800, 600, 256},
                                           RefusalCase{"too_few_colours", 800, 600, 1, 800, 600, 2}),
                         [](const auto& info) { return std::string(info.param.name); });

// ---------------------------------------------------------------------------
// Mouse

struct MouseCall {
  int unit, event, x, y;
};

class MouseTest : public QtRuntimeTest {
 protected:
  void SetUp() override {
    QtRuntimeTest::SetUp();
    gw_open_window(picture_unit, "picture");
  }
  MouseRoutine recorder() {
    return [this](int unit, int event, int, int x, int y) { calls.push_back({unit, event, x, y}); };
  }
  void send(int unit, int event, QPoint at) {
    QWidget* view = rt->view(unit);
    switch (event) {
      case mouse_left_down: QTest::mousePress(view, Qt::LeftButton, {}, at); break;
      case mouse_left_up: QTest::mouseRelease(view, Qt::LeftButton, {}, at); break;
      case mouse_right_down: QTest::mousePress(view, Qt::RightButton, {}, at); break;
      case mouse_right_up: QTest::mouseRelease(view, Qt::RightButton, {}, at); break;
      case mouse_move: QTest::mouseMove(view, at); break;
    }
    QCoreApplication::processEvents();
  }
  std::vector<MouseCall> calls;
};

class MouseEvents : public MouseTest, public ::testing::WithParamInterface<int> {};

TEST_P(MouseEvents, ReachTheRoutineOfTheirUnitAndEventUntilUnregistered) {
  const int event = GetParam();
  gw_register_mouse(picture_unit, event, recorder());
  send(picture_unit, event, QPoint(30, 40));
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].unit, picture_unit);
  EXPECT_EQ(calls[0].event, event);
  EXPECT_EQ(calls[0].x, 30);
  EXPECT_EQ(calls[0].y, 40);

  // Other windows and other events do not reach it.
  send(default_unit, event, QPoint(30, 40));
  for (int other : {mouse_left_down, mouse_left_up, mouse_right_down, mouse_right_up, mouse_move})
    if (other != event) send(picture_unit, other, QPoint(31, 41));
  EXPECT_EQ(calls.size(), 1u);

  gw_unregister_mouse(picture_unit, event);
  send(picture_unit, event, QPoint(32, 42));
  EXPECT_EQ(calls.size(), 1u);
}

INSTANTIATE_TEST_SUITE_P(Events, MouseEvents,
                         ::testing::Values(mouse_left_down, mouse_left_up, mouse_right_down, mouse_right_up,
                                           mouse_move));

TEST_F(MouseTest, RoutineMayRegisterAndUnregisterFromTheUserInterfaceThread) {
  // As the zoom box's mouse routine does: movement is heard while a button is held.
  MouseRoutine on_mouse;
  on_mouse = [&](int unit, int event, int, int x, int y) {
    calls.push_back({unit, event, x, y});
    if (event == mouse_left_down) gw_register_mouse(unit, mouse_move, on_mouse);
    if (event == mouse_left_up) gw_unregister_mouse(unit, mouse_move);
  };
  gw_register_mouse(picture_unit, mouse_left_down, on_mouse);
  gw_register_mouse(picture_unit, mouse_left_up, on_mouse);
  send(picture_unit, mouse_move, QPoint(1, 1));
  send(picture_unit, mouse_left_down, QPoint(2, 2));
  send(picture_unit, mouse_move, QPoint(3, 3));
  send(picture_unit, mouse_left_up, QPoint(4, 4));
  send(picture_unit, mouse_move, QPoint(5, 5));
  ASSERT_EQ(calls.size(), 3u);
  EXPECT_EQ(calls[0].event, mouse_left_down);
  EXPECT_EQ(calls[1].event, mouse_move);
  EXPECT_EQ(calls[1].x, 3);
  EXPECT_EQ(calls[2].event, mouse_left_up);
}

TEST_F(MouseTest, CoordinatesArePicturePixelsWhenTheViewIsScaled) {
  gw_register_mouse(picture_unit, mouse_left_down, recorder());
  // The picture drawn is 512 x 384; fitted into a smaller window it is shrunk.
  gw_set_color(15);
  gw_rectangle(rectangle_outline, 0, 0, 511, 383);
  rt->present_now();
  rt->menu_action(3, 1)->trigger();  // View > Fit to Window
  QMdiSubWindow* window = rt->subwindow(picture_unit);
  window->resize(300, 260);
  QCoreApplication::processEvents();
  SurfaceView* view = rt->view(picture_unit);
  ASSERT_TRUE(view->fit());
  const double scale = std::min(view->width() / 512.0, view->height() / 384.0);
  ASSERT_LT(scale, 1.0);
  const QPoint at(100, 75);
  send(picture_unit, mouse_left_down, at);
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].x, static_cast<int>(100 / scale));
  EXPECT_EQ(calls[0].y, static_cast<int>(75 / scale));

  rt->menu_action(3, 2)->trigger();  // View > Actual Size
  QCoreApplication::processEvents();
  send(picture_unit, mouse_left_down, at);
  ASSERT_EQ(calls.size(), 2u);
  EXPECT_EQ(calls[1].x, 100);
  EXPECT_EQ(calls[1].y, 75);
}

TEST_F(MouseTest, NothingReachesTheRoutineWhilePaused) {
  gw_register_mouse(picture_unit, mouse_left_down, recorder());
  rt->set_paused(true);
  send(picture_unit, mouse_left_down, QPoint(3, 3));
  EXPECT_TRUE(calls.empty());
  rt->set_paused(false);
  send(picture_unit, mouse_left_down, QPoint(3, 3));
  EXPECT_EQ(calls.size(), 1u);
}

// ---------------------------------------------------------------------------
// Menus

class MenuTest : public QtRuntimeTest {
 protected:
  // The State menu as the program installs it; "Rotate Colors" toggles its
  // own check mark from the state it is given.
  void install_state_menu() {
    gw_add_menu_item(4, 2, menu_unchecked, "&Stop/Zoom Picture", [this](int state) { record("stop", state); });
    gw_add_menu_item(4, 3, menu_checked, "&Rotate Colors", [this](int state) {
      record("rotate", state);
      gw_modify_menu_flags(4, 3, state ? menu_unchecked : menu_checked);
    });
    gw_add_menu_item(4, 4, menu_unchecked, "&New Case or Exit", [this](int state) { record("new", state); });
  }
  void record(const char* what, int state) { chosen.push_back(std::string(what) + " " + std::to_string(state)); }
  QStringList state_menu_texts() const {
    QStringList texts;
    for (int i = 1; QAction* a = rt->menu_action(4, i); ++i) texts << a->text();
    return texts;
  }
  std::vector<std::string> chosen;
};

TEST_F(MenuTest, TheFrameHasItsSixMenusAndTheProgramsItemsFollowPause) {
  EXPECT_EQ(rt->frame()->windowTitle(), "ZenoPlot");
  QStringList menus;
  for (QAction* a : rt->frame()->menuBar()->actions()) menus << a->text().remove('&');
  EXPECT_EQ(menus, QStringList({"File", "Edit", "View", "State", "Window", "Help"}));
  install_state_menu();
  EXPECT_EQ(state_menu_texts(),
            QStringList({"Pause", "&Stop/Zoom Picture", "&Rotate Colors", "&New Case or Exit"}));
  EXPECT_TRUE(rt->menu_action(4, 3)->isChecked());
  EXPECT_FALSE(rt->menu_action(4, 2)->isChecked());
}

TEST_F(MenuTest, RoutinesGetTheCheckStateTheItemHadWhenChosen) {
  install_state_menu();
  QAction* rotate = rt->menu_action(4, 3);
  rotate->trigger();
  EXPECT_FALSE(rotate->isChecked());
  rotate->trigger();
  EXPECT_TRUE(rotate->isChecked());
  rt->menu_action(4, 2)->trigger();
  EXPECT_EQ(chosen, (std::vector<std::string>{"rotate 1", "rotate 0", "stop 0"}));
}

TEST_F(MenuTest, TheCheckMarkIsTheProgramsToChange) {
  // A routine that leaves the mark alone: choosing the item does not toggle it.
  gw_add_menu_item(4, 2, menu_checked, "&Keep", [this](int state) { record("keep", state); });
  QAction* keep = rt->menu_action(4, 2);
  keep->trigger();
  EXPECT_TRUE(keep->isChecked());
  keep->trigger();
  EXPECT_TRUE(keep->isChecked());
  EXPECT_EQ(chosen, (std::vector<std::string>{"keep 1", "keep 1"}));
}

TEST_F(MenuTest, ItemsAddedFromTheLogicThreadArriveInOrder) {
  rt->start_program([this] { install_state_menu(); }, {});
  QSignalSpy finished(rt.get(), &QtRuntime::program_finished);
  ASSERT_TRUE(eventually([&] { return finished.count() == 1; }));
  EXPECT_EQ(state_menu_texts(),
            QStringList({"Pause", "&Stop/Zoom Picture", "&Rotate Colors", "&New Case or Exit"}));
}

TEST_F(MenuTest, NoRoutineRunsWhilePausedAndPauseReadsResume) {
  install_state_menu();
  QAction* pause = rt->menu_action(4, 1);
  pause->trigger();
  EXPECT_TRUE(rt->paused());
  EXPECT_EQ(pause->text(), "Resume");
  rt->menu_action(4, 3)->trigger();
  rt->menu_action(4, 2)->trigger();
  EXPECT_TRUE(chosen.empty());
  EXPECT_TRUE(rt->menu_action(4, 3)->isChecked()) << "a refused choice leaves the mark";
  pause->trigger();
  EXPECT_FALSE(rt->paused());
  EXPECT_EQ(pause->text(), "Pause");
  rt->menu_action(4, 2)->trigger();
  EXPECT_EQ(chosen, (std::vector<std::string>{"stop 0"}));
}

TEST_F(MenuTest, AboutShowsTheTextWithItsLinesSplitAtCarriageReturns) {
  gw_set_about_text("Z E N O P L O T\r\rHigh-precision\rBeta");
  rt->menu_action(6, 1)->trigger();
  QMessageBox* box = nullptr;
  ASSERT_TRUE(eventually([&] { return (box = rt->frame()->findChild<QMessageBox*>()) != nullptr; }));
  EXPECT_EQ(box->text(), "Z E N O P L O T\n\nHigh-precision\nBeta");
  box->close();
}

// ---------------------------------------------------------------------------
// The logic thread

TEST_F(QtRuntimeTest, TheProgramRunsOnAThreadOfItsOwnAtLowerPriority) {
  std::thread::id logic_thread;
  int logic_nice = 0;
  rt->start_program(
      [&] {
        logic_thread = std::this_thread::get_id();
        logic_nice = getpriority(PRIO_PROCESS, static_cast<id_t>(gettid()));
      },
      {});
  QSignalSpy finished(rt.get(), &QtRuntime::program_finished);
  ASSERT_TRUE(eventually([&] { return finished.count() == 1; }));
  EXPECT_NE(logic_thread, std::this_thread::get_id());
  EXPECT_GT(logic_nice, getpriority(PRIO_PROCESS, static_cast<id_t>(gettid())));
  EXPECT_EQ(finished.at(0).at(0).toInt(), 0);
}

TEST_F(QtRuntimeTest, PauseHoldsTheLogicThreadAtItsNextCall) {
  gw_open_window(picture_unit, "picture");
  std::atomic<long> calls{0};
  rt->start_program(
      [&] {
        for (;;) {
          gw_set_pixel(static_cast<int>(calls % 100), 0);
          ++calls;
        }
      },
      {});
  ASSERT_TRUE(eventually([&] { return calls.load() > 1000; }));
  rt->set_paused(true);
  // Once held, the count stays where it is.
  long held = -1;
  ASSERT_TRUE(eventually([&] {
    const long now = calls.load();
    QTest::qWait(50);
    if (calls.load() != now) return false;
    held = now;
    return true;
  }));
  QTest::qWait(200);
  EXPECT_EQ(calls.load(), held);
  rt->set_paused(false);
  EXPECT_TRUE(eventually([&] { return calls.load() > held; }));
  // End the program while the counter it writes still exists.
  rt->request_shutdown();
  rt->join_program();
}

TEST_F(QtRuntimeTest, WaitKeyReturnsOnAKeyTypedInTheWindow) {
  std::atomic<bool> returned{false};
  rt->start_program(
      [&] {
        gw_focus_window(default_unit);
        gw_wait_key();
        returned = true;
      },
      {});
  QTest::qWait(100);
  QWidget* view = rt->view(default_unit);
  QTest::keyClick(view, Qt::Key_Shift);
  QTest::qWait(100);
  EXPECT_FALSE(returned) << "a modifier alone is no key";
  QTest::keyClick(view, Qt::Key_A);
  EXPECT_TRUE(eventually([&] { return returned.load(); }));
}

// ---------------------------------------------------------------------------
// Dialogs run from the logic thread

class DialogTest : public QtRuntimeTest {
 protected:
  void SetUp() override {
    QtRuntimeTest::SetUp();
    ASSERT_TRUE(dlg_init(dialog, parameter_dialog_template));
    dlg_set(dialog, ctl::resolution_list, 2, DlgSelector::item_count);
    dlg_set(dialog, ctl::resolution_list, " 640 x 480", DlgSelector::item, 1);
    dlg_set(dialog, ctl::resolution_list, " 800 x 600", DlgSelector::item, 2);
    dlg_set(dialog, ctl::resolution_list, 2, DlgSelector::state);
    dlg_set(dialog, ctl::colors_236, 1, DlgSelector::state);
    dlg_set(dialog, ctl::center_x, "-0.5");
    // The click routine of the colour radios, as the program's: it unchecks
    // the other one of the pair and notes where it ran.
    for (int id : {ctl::sixteen_colors, ctl::colors_236})
      dlg_set_callback(dialog, id, [this](Dialog& d, int clicked, int) {
        click_thread = std::this_thread::get_id();
        ++clicks;
        dlg_set(d, clicked == ctl::sixteen_colors ? ctl::colors_236 : ctl::sixteen_colors, 0, DlgSelector::state);
        dlg_set(d, ctl::angle, "clicked");
      });
  }

  // Runs dlg_modal on the logic thread; returns when the dialog is on screen.
  DialogView* show_dialog() {
    rt->start_program([this] { result = dlg_modal(dialog); }, {});
    DialogView* view = nullptr;
    eventually([&] { return (view = rt->frame()->findChild<DialogView*>()) != nullptr && view->isVisible(); });
    return view;
  }
  bool program_finished() {
    return eventually([&] { return !rt->program_running(); });
  }

  Dialog dialog;
  std::atomic<int> result{-100};
  std::thread::id click_thread;
  std::atomic<int> clicks{0};
};

struct CloseCase {
  const char* name;
  std::function<void(DialogView*)> close;
  int result;
};

class DialogCloses : public DialogTest, public ::testing::WithParamInterface<CloseCase> {};

TEST_P(DialogCloses, AndDlgModalReturnsItsId) {
  DialogView* view = show_dialog();
  ASSERT_NE(view, nullptr);
  QTest::qWait(50);
  EXPECT_EQ(result.load(), -100) << "dlg_modal blocks while the dialog is up";
  EXPECT_TRUE(rt->program_running());
  GetParam().close(view);
  ASSERT_TRUE(program_finished());
  EXPECT_EQ(result.load(), GetParam().result);
  EXPECT_TRUE(eventually([&] { return rt->frame()->findChild<DialogView*>() == nullptr; }));
  EXPECT_TRUE(rt->frame()->menuBar()->actions().at(3)->menu()->isEnabled()) << "the frame takes input again";
}

void click(DialogView* view, int id) { QTest::mouseClick(view->control(id), Qt::LeftButton); }

INSTANTIATE_TEST_SUITE_P(
    Ways, DialogCloses,
    ::testing::Values(CloseCase{"ok", [](DialogView* v) { click(v, ctl::ok); }, ctl::ok},
                      CloseCase{"help", [](DialogView* v) { click(v, ctl::help); }, ctl::help},
                      CloseCase{"exit", [](DialogView* v) { click(v, ctl::exit); }, ctl::exit},
                      CloseCase{"escape", [](DialogView* v) { QTest::keyClick(v, Qt::Key_Escape); }, 2},
                      CloseCase{"close_box", [](DialogView* v) { v->close(); }, 2}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(DialogTest, ClicksRunTheirRoutineOnTheLogicThreadAndValuesComeBack) {
  DialogView* view = show_dialog();
  ASSERT_NE(view, nullptr);
  auto* sixteen = static_cast<QRadioButton*>(view->control(ctl::sixteen_colors));
  click(view, ctl::sixteen_colors);
  ASSERT_TRUE(eventually([&] { return clicks.load() == 1; }));
  // The routine's change to the model shows in the widgets.
  auto* angle = static_cast<QLineEdit*>(view->control(ctl::angle));
  EXPECT_TRUE(eventually([&] { return angle->text() == "clicked"; }));
  EXPECT_TRUE(sixteen->isChecked());

  auto* center = static_cast<QLineEdit*>(view->control(ctl::center_x));
  center->clear();
  QTest::keyClicks(center, "0.25");
  click(view, ctl::ok);
  ASSERT_TRUE(program_finished());
  EXPECT_EQ(result.load(), ctl::ok);
  EXPECT_NE(click_thread, std::this_thread::get_id());
  EXPECT_NE(click_thread, std::thread::id());

  int state = -1;
  dlg_get(dialog, ctl::sixteen_colors, state, DlgSelector::state);
  EXPECT_EQ(state, 1);
  dlg_get(dialog, ctl::colors_236, state, DlgSelector::state);
  EXPECT_EQ(state, 0);
  std::string text;
  dlg_get(dialog, ctl::center_x, text, 4);
  EXPECT_EQ(text, "0.25");
  dlg_get(dialog, ctl::angle, text, 7);
  EXPECT_EQ(text, "clicked");
  dlg_get(dialog, ctl::resolution_list, state, DlgSelector::state);
  EXPECT_EQ(state, 2);
}

TEST_F(DialogTest, FrameTakesNoOtherInputWhileTheDialogIsUp) {
  DialogView* view = show_dialog();
  ASSERT_NE(view, nullptr);
  EXPECT_FALSE(rt->frame()->findChild<QMdiArea*>()->isEnabled());
  EXPECT_FALSE(rt->frame()->menuBar()->actions().at(3)->menu()->isEnabled());
  click(view, ctl::exit);
  ASSERT_TRUE(program_finished());
}

// ---------------------------------------------------------------------------
// The end of the program from every state it can wait in

struct EndCase {
  const char* name;
  std::function<void()> entry;  // gets to its waiting state and stays there
  bool pause;                   // the user has paused the program as well
};

class ProgramEnds : public QtRuntimeTest, public ::testing::WithParamInterface<EndCase> {};

void close_frame(QtRuntime& rt) { rt.frame()->close(); }
void choose_exit(QtRuntime& rt) { rt.menu_action(1, 1)->trigger(); }

TEST_P(ProgramEnds, WhenTheFrameIsClosedAndTheProgramsFilesAreClosedOnItsThread) {
  for (auto end : {close_frame, choose_exit}) {
    rt.reset();
    rt = std::make_unique<QtRuntime>(test_screen);
    install_runtime(rt.get());
    rt->frame()->show();

    std::atomic<bool> reached{false}, unwound{false}, closed_files{false};
    std::thread::id entry_thread, shutdown_thread;
    QSignalSpy finished(rt.get(), &QtRuntime::program_finished);
    rt->start_program(
        [&] {
          entry_thread = std::this_thread::get_id();
          struct Unwind {
            std::atomic<bool>& flag;
            ~Unwind() { flag = true; }
          } unwind{unwound};
          gw_open_window(picture_unit, "picture");
          reached = true;
          GetParam().entry();
          ADD_FAILURE() << "the waiting state ended by itself";
        },
        [&] {
          shutdown_thread = std::this_thread::get_id();
          closed_files = true;
        });
    ASSERT_TRUE(eventually([&] { return reached.load(); }));
    QTest::qWait(50);  // let it settle into its wait
    if (GetParam().pause) rt->menu_action(4, 1)->trigger();
    QTest::qWait(20);
    end(*rt);
    ASSERT_TRUE(eventually([&] { return finished.count() == 1; })) << "the program did not end";
    EXPECT_FALSE(rt->program_running());
    EXPECT_TRUE(unwound.load());
    EXPECT_TRUE(closed_files.load());
    EXPECT_EQ(shutdown_thread, entry_thread);
    EXPECT_EQ(finished.at(0).at(0).toInt(), 0);
    EXPECT_EQ(rt->frame()->findChild<DialogView*>(), nullptr);
  }
}

void draw_for_ever() {
  for (int i = 0;; ++i) {
    gw_set_color(i % 236);
    gw_set_pixel(i % 640, (i / 640) % 480);
  }
}

void cycle_colours_for_ever() {
  std::vector<uint32_t> palette(236);
  for (int round = 0;; ++round) {
    for (int i = 0; i < 236; ++i) palette[static_cast<std::size_t>(i)] = static_cast<uint32_t>((i + round) * 0x010203);
    gw_remap_palette(palette.data(), 236);
  }
}

void zoom_box_for_ever() {
  gw_set_write_mode(write_xor);
  for (;;) {
    gw_rectangle(rectangle_outline, 100, 100, 200, 180);
    gw_sleep(20);
    gw_rectangle(rectangle_outline, 100, 100, 200, 180);
  }
}

void dialog_for_ever() {
  Dialog d;
  dlg_init(d, parameter_dialog_template);
  dlg_modal(d);
}

void help_page_waiting() {
  gw_focus_window(default_unit);
  gw_out_text("STRIKE ANY KEY TO CONTINUE");
  gw_wait_key();
}

void long_sleep() { gw_sleep(60 * 60 * 1000); }

INSTANTIATE_TEST_SUITE_P(
    States, ProgramEnds,
    ::testing::Values(EndCase{"dialog_shown", dialog_for_ever, false},
                      EndCase{"picture_computing", draw_for_ever, false},
                      EndCase{"colour_cycling", cycle_colours_for_ever, false},
                      EndCase{"zoom_box_waiting", zoom_box_for_ever, false},
                      EndCase{"help_page_waiting_for_a_key", help_page_waiting, false},
                      EndCase{"sleeping", long_sleep, false},
                      EndCase{"paused_while_computing", draw_for_ever, true},
                      EndCase{"paused_while_sleeping", long_sleep, true}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(QtRuntimeTest, AProgramThatFailsEndsWithExitCodeOneAndStillClosesItsFiles) {
  std::atomic<bool> closed_files{false};
  QSignalSpy finished(rt.get(), &QtRuntime::program_finished);
  rt->start_program([] { throw std::runtime_error("broken"); }, [&] { closed_files = true; });
  ASSERT_TRUE(eventually([&] { return finished.count() == 1; }));
  EXPECT_EQ(finished.at(0).at(0).toInt(), 1);
  EXPECT_TRUE(closed_files.load());
}

TEST_F(QtRuntimeTest, EveryCallAfterTheEndThrowsOnTheLogicThreadButNotOnTheUserInterfaceThread) {
  rt->request_shutdown();
  std::atomic<int> thrown{0};
  std::thread logic([&] {
    for (const auto& call : std::vector<std::function<void()>>{
             [] { gw_set_pixel(1, 1); }, [] { gw_sleep(1); }, [] { gw_wait_key(); },
             [] { gw_open_window(picture_unit, "x"); }, [] {
               Dialog d;
               dlg_init(d, parameter_dialog_template);
               dlg_modal(d);
             }}) {
      try {
        call();
      } catch (const ProgramShutdown&) {
        ++thrown;
      }
    }
  });
  logic.join();
  EXPECT_EQ(thrown.load(), 5);
  // A mouse routine running on the user-interface thread may still call in.
  EXPECT_NO_THROW(gw_register_mouse(picture_unit, mouse_move, [](int, int, int, int, int) {}));
}

}  // namespace
}  // namespace zeno
