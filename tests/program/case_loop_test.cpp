// The entry routine and the case loop on the in-memory runtime, with scripted
// dialog answers, menu choices and mouse events.

#include "driver/program.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "interaction/scripted_runtime.hpp"

namespace zeno {
namespace {

namespace fs = std::filesystem;

// What a scripted showing of the dialog does before it closes.
using Edit = std::function<void(Dialog&)>;

// A cheap picture: 640 x 480 in 16 colours at the smallest magnification,
// where nearly every point escapes at once.
void small_picture(Dialog& d) {
  dlg_set(d, ctl::resolution_list, 1, DlgSelector::state);
  dlg_click(d, ctl::sixteen_colors);
  dlg_set(d, ctl::magnification, "1.250000E-01");
}

void uncheck_keep(Dialog& d) { dlg_set(d, ctl::message, 0, DlgSelector::state); }

size_t count_lines_starting(const std::string& text, const std::string& start) {
  size_t n = 0;
  for (size_t at = 0; at < text.size();) {
    const size_t end = text.find('\n', at);
    if (text.compare(at, start.size(), start) == 0) ++n;
    if (end == std::string::npos) break;
    at = end + 1;
  }
  return n;
}

class CaseLoopTest : public testing::RuntimeTest {
 protected:
  void SetUp() override {
    RuntimeTest::SetUp();
    // Every wait of the program ends with "&New Case or Exit"; the first row
    // of a picture to be stopped chooses "&Stop/Zoom Picture".
    rt.on_sleep([this](int) { rt.choose_menu_item(4, 4); });
    session.on_row_done = [this](int rows_done, int) {
      if (rows_done == 1 && pictures_to_stop > 0) {
        --pictures_to_stop;
        rt.choose_menu_item(4, 2);
      }
    };
  }

  // One showing of the dialog: records its message and centre texts, edits,
  // closes with `result`.
  void answer(int result, Edit edit = {}) {
    rt.script_dialog([this, result, edit](Dialog& d) {
      std::string text;
      dlg_get(d, ctl::message, text, 128, DlgSelector::label);
      messages.emplace_back(trimmed(text));
      dlg_get(d, ctl::center_x, text, 128);
      center_x_texts.emplace_back(trimmed(text));
      int keep = 0;
      dlg_get(d, ctl::message, keep, DlgSelector::state);
      keep_checked.push_back(keep);
      if (edit) edit(d);
      files_while_shown.push_back(picture_files());
      return result;
    });
  }

  std::vector<std::string> picture_files() const {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(directory()))
      if (entry.path().extension() == ".BMP") names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }

  std::string run_log() const { return read_text(directory() / "ZENOPLOT.TXT"); }

  Session session;
  int pictures_to_stop = 0;
  std::vector<std::string> messages;
  std::vector<std::string> center_x_texts;
  std::vector<int> keep_checked;
  std::vector<std::vector<std::string>> files_while_shown;
};

using Names = std::vector<std::string>;

TEST_F(CaseLoopTest, StartUpPreparesWindowMenuAndAboutText) {
  answer(ctl::exit);
  EXPECT_EQ(run_program(session), exit_success);

  EXPECT_EQ(rt.about_text(),
            "Z E N O P L O T\r\rHigh-precision rendition of the Mandelbrot set\r\rBeta: 01 June, 1996\r"
            "Comments to: zenoplot-dev@zenoplot.org");
  const auto calls = rt.calls();
  ASSERT_FALSE(calls.empty());
  EXPECT_EQ(calls.front(), "configure_window 640 480 16");
  EXPECT_EQ(rt.window(default_unit).title, "ZenoPlot HELP");
  const auto items = rt.menus().at(4);
  ASSERT_EQ(items.size(), 4u);
  EXPECT_EQ(items[1].text, "&Stop/Zoom Picture");
  EXPECT_EQ(messages, Names{"Enter or Confirm Parameters"});
  EXPECT_EQ(center_x_texts, Names{"-7.454298994000000E-001"});
  EXPECT_TRUE(picture_files().empty());
  EXPECT_FALSE(fs::exists(directory() / "ZENOPLOT.TXT"));
}

TEST(StartUp, RefusedWindowConfigurationIsRetriedOnceWithTheAdjustedRecord) {
  testing::ScriptedRuntime rt(600, 400, 256);  // smaller than 640 x 480
  install_runtime(&rt);
  Session session;
  start_up(session);
  const auto calls = rt.calls();
  ASSERT_EQ(calls.size(), 2u);
  EXPECT_EQ(calls[0], "configure_window 640 480 16");
  EXPECT_EQ(calls[1], "configure_window 600 400 16");
  EXPECT_EQ(session.loop.window_config.x_pixels, 600);
  install_runtime(nullptr);
}

TEST_F(CaseLoopTest, CompletedPictureIsOfferedForKeepingAndKept) {
  answer(ctl::ok, small_picture);
  answer(ctl::exit);  // the keep box is checked

  EXPECT_EQ(run_program(session), exit_success);

  EXPECT_EQ(messages, (Names{"Enter or Confirm Parameters", "Sa&ve ZENOPIC0.BMP"}));
  EXPECT_EQ(keep_checked, (std::vector<int>{1, 1}));
  EXPECT_EQ(picture_files(), Names{"ZENOPIC0.BMP"});
  EXPECT_EQ(fs::file_size(directory() / "ZENOPIC0.BMP"), 153920u);
  const std::string log = run_log();
  EXPECT_EQ(count_lines_starting(log, " Output file is ZENOPIC0.BMP.  Screen mode is V1, algorithm E "), 1u);
  EXPECT_EQ(count_lines_starting(log, " Total iterations ="), 1u);
  // The picture window was titled, closed again, and the write mode is copy.
  const auto calls = rt.calls();
  EXPECT_NE(std::find_if(calls.begin(), calls.end(),
                         [](const std::string& c) { return c.rfind("open_window 9 Mandelbrot Set at (", 0) == 0; }),
            calls.end());
  EXPECT_FALSE(rt.window(picture_unit).open);
  EXPECT_EQ(rt.write_mode(), write_copy);
}

// The keep decision is taken by every closing but a dismissal (2).
struct KeepCase {
  const char* name;
  int result;
  bool uncheck;
  bool kept;
};

class KeepOrDeleteTest : public CaseLoopTest, public ::testing::WithParamInterface<KeepCase> {};

TEST_P(KeepOrDeleteTest, DecidedByTheCheckBoxWhenTheDialogCloses) {
  const KeepCase& c = GetParam();
  answer(ctl::ok, small_picture);
  answer(c.result, c.uncheck ? Edit(uncheck_keep) : Edit());
  if (c.result != ctl::exit) answer(ctl::exit);

  EXPECT_EQ(run_program(session), exit_success);
  EXPECT_EQ(picture_files(), c.kept ? Names{"ZENOPIC0.BMP"} : Names{});
}

INSTANTIATE_TEST_SUITE_P(
    Closings, KeepOrDeleteTest,
    ::testing::Values(KeepCase{"ExitKeeps", ctl::exit, false, true},
                      KeepCase{"ExitUncheckedDeletes", ctl::exit, true, false},
                      KeepCase{"HelpUncheckedDeletes", ctl::help, true, false},
                      KeepCase{"FailureKeeps", -1, false, true}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(CaseLoopTest, OkAfterUncheckingStartsTheNextPictureUnderTheFreedName) {
  answer(ctl::ok, small_picture);
  answer(ctl::ok, uncheck_keep);
  answer(ctl::exit);

  EXPECT_EQ(run_program(session), exit_success);

  EXPECT_EQ(messages, (Names{"Enter or Confirm Parameters", "Sa&ve ZENOPIC0.BMP", "Sa&ve ZENOPIC0.BMP"}));
  EXPECT_EQ(picture_files(), Names{"ZENOPIC0.BMP"});  // the second picture, kept at Exit
}

TEST_F(CaseLoopTest, DismissalChangesNothing) {
  answer(ctl::ok, small_picture);
  answer(2, [](Dialog& d) {
    uncheck_keep(d);
    dlg_set(d, ctl::center_x, "0.5");  // not read: a dismissal is not validated
  });
  answer(ctl::exit);

  EXPECT_EQ(run_program(session), exit_success);

  EXPECT_EQ(messages, (Names{"Enter or Confirm Parameters", "Sa&ve ZENOPIC0.BMP", "Sa&ve ZENOPIC0.BMP"}));
  EXPECT_EQ(center_x_texts[1], center_x_texts[2]);
  EXPECT_EQ(keep_checked[2], 1);               // a fresh dialog: checked again
  EXPECT_EQ(picture_files(), Names{"ZENOPIC0.BMP"});
}

TEST_F(CaseLoopTest, HelpValidatesThenShowsThePage) {
  bool page_shown = false;
  std::vector<std::string> calls_at_key;
  rt.on_wait_key([&] {
    page_shown = true;
    calls_at_key = rt.calls();
  });
  answer(ctl::help, [](Dialog& d) {
    dlg_set(d, ctl::resolution_list, 1, DlgSelector::state);
    dlg_set(d, ctl::center_x, "-1.5");
  });
  answer(ctl::exit);

  EXPECT_EQ(run_program(session), exit_success);

  ASSERT_TRUE(page_shown);
  // The window was reconfigured to the entered size before the page.
  const auto configure = std::find(calls_at_key.begin(), calls_at_key.end(), "configure_window 640 480 236");
  const auto focus = std::find(calls_at_key.begin(), calls_at_key.end(), "focus_window 0");
  ASSERT_NE(configure, calls_at_key.end());
  ASSERT_NE(focus, calls_at_key.end());
  EXPECT_LT(configure, focus);
  // Back to the dialog with the validated values, and no picture.
  EXPECT_EQ(center_x_texts.at(1), "-1.500000000000000");
  EXPECT_EQ(messages.at(1), "Enter or Confirm Parameters");
  EXPECT_EQ(session.params.resolution_code, 1);
  EXPECT_TRUE(picture_files().empty());
}

TEST_F(CaseLoopTest, ClampedValueAsksForARecheckAndComputesNothing) {
  answer(ctl::ok, [](Dialog& d) {
    small_picture(d);
    dlg_set(d, ctl::center_x, "5");
  });
  answer(ctl::exit);

  EXPECT_EQ(run_program(session), exit_success);

  EXPECT_EQ(messages, (Names{"Enter or Confirm Parameters", "*** RE-CHECK PARAMETERS ***"}));
  EXPECT_EQ(center_x_texts.at(1), "7.500000000000000E-001");
  EXPECT_TRUE(picture_files().empty());
  EXPECT_FALSE(fs::exists(directory() / "ZENOPLOT.TXT"));
}

TEST_F(CaseLoopTest, RecheckWinsOverAWaitingPicture) {
  answer(ctl::ok, small_picture);
  answer(ctl::ok, [](Dialog& d) { dlg_set(d, ctl::center_y, "9"); });
  answer(ctl::exit);

  EXPECT_EQ(run_program(session), exit_success);

  EXPECT_EQ(messages.at(2), "*** RE-CHECK PARAMETERS ***");
  EXPECT_EQ(picture_files(), Names{"ZENOPIC0.BMP"});  // kept by the second closing
}

TEST_F(CaseLoopTest, StoppedPictureLeavesNoFileAndNoTimingLine) {
  pictures_to_stop = 1;
  answer(ctl::ok, small_picture);
  answer(ctl::exit);

  EXPECT_EQ(run_program(session), exit_success);

  EXPECT_EQ(files_while_shown.at(1), Names{});
  EXPECT_EQ(messages.at(1), "Enter or Confirm Parameters");
  const std::string log = run_log();
  EXPECT_EQ(count_lines_starting(log, " Output file is"), 1u);
  EXPECT_EQ(count_lines_starting(log, " Total iterations ="), 0u);
}

TEST_F(CaseLoopTest, ThreeStoppedAndOneCompletedPicture) {
  pictures_to_stop = 3;
  answer(ctl::ok, small_picture);
  for (int i = 0; i < 3; ++i) answer(ctl::ok, small_picture);  // each zoom box multiplied it by 10
  answer(ctl::exit);

  EXPECT_EQ(run_program(session), exit_success);

  const std::string log = run_log();
  EXPECT_EQ(count_lines_starting(log, " Output file is ZENOPIC0.BMP."), 4u);
  EXPECT_EQ(count_lines_starting(log, " Center:"), 4u);
  EXPECT_EQ(count_lines_starting(log, " Magnification "), 4u);
  EXPECT_EQ(count_lines_starting(log, " Total iterations ="), 1u);
  // The timing line and its empty line close the log.
  EXPECT_EQ(log.substr(log.size() - 4), "\r\n\r\n");
  EXPECT_EQ(picture_files(), Names{"ZENOPIC0.BMP"});
}

TEST_F(CaseLoopTest, ZoomBoxSetsTheNextView) {
  // A left click at column 100 during the first idle pass of the zoom box,
  // after a stopped picture; the release follows.
  pictures_to_stop = 1;
  int sleeps_seen = 0;
  rt.on_sleep([&](int) {
    if (++sleeps_seen == 1) {
      rt.fire_mouse(picture_unit, mouse_left_down, 100, 240);
    } else if (sleeps_seen == 2) {
      rt.choose_menu_item(4, 4);
    }
  });
  rt.after_rectangle = [&](int count) {
    if (count == 3) rt.fire_mouse(picture_unit, mouse_left_up, 100, 240);
  };
  answer(ctl::ok, small_picture);
  answer(ctl::exit);

  EXPECT_EQ(run_program(session), exit_success);

  // 2.5 / 0.125 = 20 across 640 columns: 220 columns left of the centre.
  EXPECT_NEAR(session.params.center_x, -0.7454298994 - 220 * (20.0 / 640), 1e-12);
  EXPECT_EQ(session.params.magnification, 1.25f);
  EXPECT_EQ(center_x_texts.at(1), "-7.620429899400000");
}

TEST_F(CaseLoopTest, ThreeDialogFailuresInARowStopWithTheFatalLine) {
  for (int i = 0; i < 3; ++i) answer(-1);

  EXPECT_EQ(run_program(session), exit_failure);

  EXPECT_EQ(messages.size(), 3u);
  const auto lines = rt.lines();
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0], "  **** FATAL ERROR - " + blank_padded("Failed to show dialog box", 128));
}

TEST_F(CaseLoopTest, FailuresNotInARowDoNotStop) {
  answer(-1);
  answer(-1);
  answer(2);
  answer(-1);
  answer(-1);
  answer(ctl::exit);

  EXPECT_EQ(run_program(session), exit_success);
  EXPECT_EQ(messages.size(), 6u);
  EXPECT_TRUE(rt.lines().empty());
}

TEST_F(CaseLoopTest, ShutdownDuringAPictureDeletesItsFileAndClosesTheLog) {
  session.on_row_done = [this](int rows_done, int) {
    if (rows_done == 10) rt.request_shutdown();
  };
  answer(ctl::ok, small_picture);

  EXPECT_THROW(run_program(session), ProgramShutdown);

  EXPECT_TRUE(picture_files().empty());
  EXPECT_EQ(session.run_log.fd, -1);
  EXPECT_EQ(count_lines_starting(run_log(), " Output file is"), 1u);
}

TEST_F(CaseLoopTest, ShutdownWhileACompletedPictureWaitsKeepsIt) {
  answer(ctl::ok, small_picture);
  // No second answer: the runtime ends the program at the next dialog.

  EXPECT_THROW(run_program(session), ProgramShutdown);

  EXPECT_EQ(picture_files(), Names{"ZENOPIC0.BMP"});
  EXPECT_EQ(count_lines_starting(run_log(), " Total iterations ="), 1u);
}

TEST_F(CaseLoopTest, FileErrorEndsTheProgramWithAReport) {
  // Every name taken, and the last resort is a directory: no file can be made.
  for (char c : std::string("0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ"))
    std::ofstream(directory() / (std::string("ZENOPIC") + c + ".BMP")).put('x');
  fs::create_directory(directory() / "ZENOPIC_.BMP");
  answer(ctl::ok, small_picture);

  EXPECT_EQ(run_program(session), exit_failure);

  const auto lines = rt.lines();
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0].rfind(" **** FILE ERROR - ", 0), 0u);
  EXPECT_NE(lines[0].find("ZENOPIC_.BMP"), std::string::npos);
  EXPECT_EQ(session.run_log.fd, -1);
}

}  // namespace
}  // namespace zeno
