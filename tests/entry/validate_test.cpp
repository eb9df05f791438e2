// Reading the closed dialog back: directory, window configuration, bounds,
// border, algorithm, unreadable boxes and the read-back of clamped values.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>

#include "driver/format.hpp"
#include "driver/limits.hpp"
#include "entry/entry_fixture.hpp"

namespace zeno::testing {
namespace {

using Validation = EntryTest;

TEST_F(Validation, StartUpValuesPassUnchanged) {
  s.loop.recheck = true;  // a good directory clears it
  fill();
  validate();
  EXPECT_FALSE(s.loop.recheck);
  EXPECT_EQ(s.params.center_x, -0.7454298994);
  EXPECT_EQ(s.params.center_y, 0.11300779474);
  EXPECT_EQ(s.params.magnification, 0.9f);
  EXPECT_EQ(s.params.border_width, 0.15f);
  EXPECT_FALSE(s.params.border_enabled);
  EXPECT_EQ(s.params.algorithm_code, (std::array<char, 2>{'E', ' '}));
  EXPECT_EQ(s.params.angle, 0);
  EXPECT_EQ(s.params.resolution_code, 2);
  EXPECT_EQ(s.params.width, 800);
  EXPECT_EQ(s.params.height, 600);
  EXPECT_EQ(s.params.last_color_index, 235);
  EXPECT_EQ(s.params.screen_mode_code, (std::array<char, 2>{'S', '2'}));
  EXPECT_EQ(s.params.max_magnification, 1.4073749e13f);
  EXPECT_EQ(trimmed(s.params.directory), start_directory_);
  EXPECT_EQ(s.params.directory.size(), 260u);
  EXPECT_EQ(runtime_->calls(), std::vector<std::string>{"configure_window 800 600 236"});
}

// --- the view numbers and their bounds ---

struct ViewCase {
  const char* x;
  const char* y;
  const char* magnification;
  double want_x, want_y;
  float want_magnification;
  bool recheck;
};

void PrintTo(const ViewCase& c, std::ostream* os) {
  *os << '"' << c.x << "\" \"" << c.y << "\" \"" << c.magnification << '"';
}

class ViewBounds : public EntryTest, public ::testing::WithParamInterface<ViewCase> {};

TEST_P(ViewBounds, ClampToTheViolatedBoundInclusive) {
  const ViewCase& c = GetParam();
  fill();
  type(ctl::center_x, c.x);
  type(ctl::center_y, c.y);
  type(ctl::magnification, c.magnification);
  validate();
  EXPECT_EQ(s.params.center_x, c.want_x);
  EXPECT_EQ(s.params.center_y, c.want_y);
  EXPECT_EQ(s.params.magnification, c.want_magnification);
  EXPECT_EQ(s.loop.recheck, c.recheck);
}

const float ceiling_800 = max_magnification_for_width(800);

INSTANTIATE_TEST_SUITE_P(
    Cases, ViewBounds,
    ::testing::Values(ViewCase{"0.75", "-1.5", "0.125", 0.75, -1.5, 0.125f, false},
                      ViewCase{"-2", "1.5", "1", -2.0, 1.5, 1.0f, false},
                      ViewCase{"0.7500001", "0", "1", 0.75, 0.0, 1.0f, true},
                      ViewCase{"-2.0000000000000004", "0", "1", -2.0, 0.0, 1.0f, true},
                      ViewCase{"0", "-1.5000001", "1", 0.0, -1.5, 1.0f, true},
                      ViewCase{"0", "1.5000001", "1", 0.0, 1.5, 1.0f, true},
                      ViewCase{"0", "0", "0", 0.0, 0.0, 0.125f, true},
                      ViewCase{"0", "0", "-3", 0.0, 0.0, 0.125f, true},
                      ViewCase{"0", "0", "0.1", 0.0, 0.0, 0.125f, true},
                      ViewCase{"0", "0", "2e13", 0.0, 0.0, 1.4073749e13f, true},
                      ViewCase{"0", "0", "  1.0E+05  ", 0.0, 0.0, 1e5f, false},
                      // all three out: each is clamped, none is read after a check
                      ViewCase{"9", "-9", "-1", 0.75, -1.5, 0.125f, true}));

TEST_F(Validation, CeilingAtEightHundredIsTheExtendedQuotientInSinglePrecision) {
  EXPECT_EQ(ceiling_800, static_cast<float>(11258999068427828.0L / 800.0L));
  EXPECT_EQ(ceiling_800, 1.4073749e13f);
}

// --- Border ---

struct BorderCase {
  bool checked;
  const char* width_text;
  float want_width;
  bool recheck;
  std::array<char, 2> want_code;
};

class BorderWidth : public EntryTest, public ::testing::WithParamInterface<BorderCase> {};

TEST_P(BorderWidth, IsReadOnlyWhenCheckedAndHasOnlyAnUpperBound) {
  const BorderCase& c = GetParam();
  fill();
  set_state(ctl::border, c.checked ? 1 : 0);
  type(ctl::border_width, c.width_text);
  validate();
  EXPECT_EQ(s.params.border_enabled, c.checked);
  EXPECT_EQ(s.params.border_width, c.want_width);
  EXPECT_EQ(s.loop.recheck, c.recheck);
  EXPECT_EQ(s.params.algorithm_code, c.want_code);
}

INSTANTIATE_TEST_SUITE_P(Cases, BorderWidth,
                         ::testing::Values(BorderCase{false, "9", 0.15f, false, {'E', ' '}},
                                           BorderCase{false, "rubbish", 0.15f, false, {'E', ' '}},
                                           BorderCase{true, "2", 1.5f, true, {'E', 'B'}},
                                           BorderCase{true, "1.5", 1.5f, false, {'E', 'B'}},
                                           BorderCase{true, "-0.5", -0.5f, false, {'E', 'B'}},
                                           BorderCase{true, "0", 0.0f, false, {'E', 'B'}}));

// --- algorithm and angle ---

struct AlgorithmCase {
  int radio;
  bool border;
  const char* angle_text;
  std::array<char, 2> want_code;
  int32_t want_angle;
};

class Algorithm : public EntryTest, public ::testing::WithParamInterface<AlgorithmCase> {};

TEST_P(Algorithm, CodeAndAngle) {
  const AlgorithmCase& c = GetParam();
  fill();
  click(c.radio);
  set_state(ctl::border, c.border ? 1 : 0);
  type(ctl::angle, c.angle_text);
  validate();
  EXPECT_EQ(s.params.algorithm_code, c.want_code);
  EXPECT_EQ(s.params.angle, c.want_angle);
  EXPECT_FALSE(s.loop.recheck);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Algorithm,
    ::testing::Values(AlgorithmCase{ctl::azimuthal, false, "0", {'A', ' '}, 360},
                      AlgorithmCase{ctl::azimuthal, false, "360", {'A', ' '}, 360},
                      AlgorithmCase{ctl::azimuthal, false, "361", {'A', ' '}, 1},
                      AlgorithmCase{ctl::azimuthal, false, "-90", {'A', ' '}, 270},
                      AlgorithmCase{ctl::azimuthal, false, "725", {'A', ' '}, 5},
                      AlgorithmCase{ctl::azimuthal, false, "-720", {'A', ' '}, 360},
                      AlgorithmCase{ctl::azimuthal, false, "    45", {'A', ' '}, 45},
                      AlgorithmCase{ctl::azimuthal, true, "45", {'A', 'B'}, 45},
                      AlgorithmCase{ctl::escape, true, "725", {'E', 'B'}, 0},
                      AlgorithmCase{ctl::escape, false, "not read", {'E', ' '}, 0},
                      AlgorithmCase{ctl::integer, false, "45", {'I', ' '}, -1},
                      AlgorithmCase{ctl::integer, true, "45", {'I', 'B'}, -1}));

TEST_F(Validation, NoAlgorithmCheckedKeepsCodeAndAngle) {
  s.params.algorithm_code = {'A', 'B'};
  s.params.angle = 45;
  fill();
  for (int id : {ctl::escape, ctl::integer, ctl::azimuthal}) set_state(id, 0);
  type(ctl::angle, "90");
  set_state(ctl::border, 1);
  validate();
  EXPECT_EQ(s.params.algorithm_code, (std::array<char, 2>{'A', 'B'}));
  EXPECT_EQ(s.params.angle, 45);

  // With Border unchecked the code loses its border mark as well.
  fill();
  for (int id : {ctl::escape, ctl::integer, ctl::azimuthal}) set_state(id, 0);
  set_state(ctl::border, 0);
  validate();
  EXPECT_EQ(s.params.algorithm_code, (std::array<char, 2>{'A', ' '}));
  EXPECT_EQ(s.params.angle, 45);
  EXPECT_FALSE(s.params.border_enabled);
}

// --- boxes whose text is no number ---

struct UnreadableCase {
  int box;
  const char* text;
};

void PrintTo(const UnreadableCase& c, std::ostream* os) { *os << "box " << c.box << " \"" << c.text << '"'; }

class UnreadableBox : public EntryTest, public ::testing::WithParamInterface<UnreadableCase> {};

TEST_P(UnreadableBox, KeepsThePreviousValueAndAsksForARecheck) {
  s.params.center_x = -0.5;
  s.params.center_y = 0.25;
  s.params.magnification = 3.0f;
  s.params.border_width = 0.5f;
  s.params.algorithm_code = {'A', 'B'};
  s.params.angle = 45;
  fill();
  type(GetParam().box, GetParam().text);
  validate();
  EXPECT_TRUE(s.loop.recheck);
  EXPECT_EQ(s.params.center_x, -0.5);
  EXPECT_EQ(s.params.center_y, 0.25);
  EXPECT_EQ(s.params.magnification, 3.0f);
  EXPECT_EQ(s.params.border_width, 0.5f);
  EXPECT_EQ(s.params.algorithm_code, (std::array<char, 2>{'A', 'B'}));
  EXPECT_EQ(s.params.angle, 45);

  // The dialog comes back with the message and the last good values.
  fill_after_validation();
  EXPECT_EQ(text_of(ctl::message), "*** RE-CHECK PARAMETERS ***");
  EXPECT_EQ(text_of(ctl::center_x), "-5.000000000000000E-001");
  EXPECT_EQ(text_of(ctl::magnification), "3.000000");
  EXPECT_EQ(text_of(ctl::border_width), "   .50");
  EXPECT_EQ(text_of(ctl::angle), "    45");
}

INSTANTIATE_TEST_SUITE_P(
    Texts, UnreadableBox,
    ::testing::Values(UnreadableCase{ctl::center_x, "abc"}, UnreadableCase{ctl::center_x, ""},
                      UnreadableCase{ctl::center_x, "   "}, UnreadableCase{ctl::center_x, "0.5x"},
                      UnreadableCase{ctl::center_x, "0.1 0.2"}, UnreadableCase{ctl::center_x, "0,5"},
                      UnreadableCase{ctl::center_x, "nan"}, UnreadableCase{ctl::center_x, "1e999"},
                      UnreadableCase{ctl::center_y, "-"}, UnreadableCase{ctl::center_y, "1.0E"},
                      UnreadableCase{ctl::magnification, "."}, UnreadableCase{ctl::magnification, "inf"},
                      UnreadableCase{ctl::magnification, "1e39"},
                      UnreadableCase{ctl::border_width, "wide"}, UnreadableCase{ctl::border_width, "2mm"},
                      UnreadableCase{ctl::angle, "4.5"}, UnreadableCase{ctl::angle, "90 degrees"},
                      UnreadableCase{ctl::angle, ""}, UnreadableCase{ctl::angle, "1e2"},
                      UnreadableCase{ctl::angle, "99999999999"}));

TEST_F(Validation, NumberTextsAreReadFromTheirFirst128Characters) {
  fill();
  type(ctl::center_x, "0.5" + std::string(125, ' ') + "junk");
  type(ctl::center_y, std::string(127, ' ') + "1");
  validate();
  EXPECT_EQ(s.params.center_x, 0.5);
  EXPECT_FALSE(s.loop.recheck);
  EXPECT_EQ(s.params.center_y, 1.0);

  fill();
  type(ctl::center_x, std::string(128, ' ') + "0.25");  // nothing but blanks within 128
  validate();
  EXPECT_TRUE(s.loop.recheck);
  EXPECT_EQ(s.params.center_x, 0.5);
}

// --- clamped values read back ---

TEST_F(Validation, ClampedCentersPassWhenConfirmedUnchanged) {
  fill();
  type(ctl::center_x, "0.9");
  type(ctl::center_y, "-7");
  validate();
  ASSERT_TRUE(s.loop.recheck);
  fill_after_validation();
  EXPECT_EQ(text_of(ctl::message), "*** RE-CHECK PARAMETERS ***");
  validate();
  EXPECT_FALSE(s.loop.recheck);
  EXPECT_EQ(s.params.center_x, 0.75);
  EXPECT_EQ(s.params.center_y, -1.5);

  type(ctl::center_x, "-3");
  type(ctl::center_y, "1.75");
  validate();
  ASSERT_TRUE(s.loop.recheck);
  fill_after_validation();
  validate();
  EXPECT_FALSE(s.loop.recheck);
  EXPECT_EQ(s.params.center_x, -2.0);
  EXPECT_EQ(s.params.center_y, 1.5);
}

struct CeilingCase {
  int32_t resolution_code;
  const char* shown;
  bool rechecks_again;
};

class MagnificationCeiling : public EntryTest, public ::testing::WithParamInterface<CeilingCase> {};

TEST_P(MagnificationCeiling, ReadsBackAboveItselfExceptAt1280) {
  const CeilingCase& c = GetParam();
  s.params.resolution_code = c.resolution_code;
  fill();
  type(ctl::magnification, "1e15");
  validate();
  ASSERT_TRUE(s.loop.recheck);
  const float ceiling = s.params.max_magnification;
  EXPECT_EQ(s.params.magnification, ceiling);

  fill_after_validation();
  EXPECT_EQ(text_of(ctl::magnification), c.shown);
  validate();
  EXPECT_EQ(s.loop.recheck, c.rechecks_again);
  EXPECT_EQ(s.params.magnification, ceiling);
  fill_after_validation();
  EXPECT_EQ(text_of(ctl::message),
            c.rechecks_again ? "*** RE-CHECK PARAMETERS ***" : "Enter or Confirm Parameters");
}

INSTANTIATE_TEST_SUITE_P(Widths, MagnificationCeiling,
                         ::testing::Values(CeilingCase{1, "1.759219E+13", true},
                                           CeilingCase{2, "1.407375E+13", true},
                                           CeilingCase{3, "1.099512E+13", true},
                                           CeilingCase{4, "8.796093E+12", false}));

// --- colour mode, resolution, window configuration ---

struct ResolutionCase {
  int32_t item;
  bool sixteen;
  int32_t width, height, code;
  char letter;
  int32_t last_color_index;
  const char* call;
};

class ResolutionList : public EntryTest, public ::testing::WithParamInterface<ResolutionCase> {};

TEST_P(ResolutionList, SizeLetterAndTheWindowConfiguration) {
  const ResolutionCase& c = GetParam();
  s.params.screen_mode_code = {'S', '2'};
  fill();
  set_state(ctl::resolution_list, c.item);
  click(c.sixteen ? ctl::sixteen_colors : ctl::colors_236);
  validate();
  EXPECT_EQ(s.params.resolution_code, c.code);
  EXPECT_EQ(s.params.width, c.width);
  EXPECT_EQ(s.params.height, c.height);
  EXPECT_EQ(s.params.screen_mode_code[0], c.letter);
  EXPECT_EQ(s.params.screen_mode_code[1], '2');  // set with the palette, not here
  EXPECT_EQ(s.params.sixteen_colors, c.sixteen);
  EXPECT_EQ(s.params.last_color_index, c.last_color_index);
  EXPECT_EQ(s.params.max_magnification, max_magnification_for_width(c.width));
  EXPECT_FALSE(s.loop.recheck);
  EXPECT_EQ(runtime_->calls(), std::vector<std::string>{c.call});
  EXPECT_EQ(s.loop.window_config.text_columns, -1);
  EXPECT_EQ(s.loop.window_config.text_rows, -1);
  EXPECT_EQ(s.loop.window_config.font_size, -1);
}

INSTANTIATE_TEST_SUITE_P(
    Items, ResolutionList,
    ::testing::Values(ResolutionCase{1, true, 640, 480, 1, 'V', 15, "configure_window 640 480 16"},
                      ResolutionCase{2, false, 800, 600, 2, 'S', 235, "configure_window 800 600 236"},
                      ResolutionCase{3, false, 1024, 768, 3, 'X', 235, "configure_window 1024 768 236"},
                      ResolutionCase{4, true, 1280, 1024, 4, 'Z', 15, "configure_window 1280 1024 16"},
                      // no item selected: 800 x 600, the code stays as read
                      ResolutionCase{0, false, 800, 600, 0, 'S', 235, "configure_window 800 600 236"}));

TEST_F(Validation, WindowConfigurationKeepsItsTitle) {
  s.loop.window_config.title = "ZenoPlot HELP";
  fill();
  validate();
  EXPECT_EQ(s.loop.window_config.title, "ZenoPlot HELP");
}

TEST_F(Validation, SizeTheDisplayRefusesTakesTheGrantedSize) {
  use_runtime(std::make_unique<HeadlessRuntime>(1024, 768));
  fill();
  set_state(ctl::resolution_list, 4);
  validate();
  EXPECT_TRUE(s.loop.recheck);
  EXPECT_EQ(s.params.width, 1024);
  EXPECT_EQ(s.params.height, 768);
  EXPECT_EQ(s.params.resolution_code, 3);
  EXPECT_EQ(s.params.screen_mode_code[0], 'X');
  EXPECT_EQ(s.params.max_magnification, max_magnification_for_width(1024));
  EXPECT_FALSE(s.params.sixteen_colors);
  EXPECT_EQ(s.params.last_color_index, 235);
  EXPECT_EQ(runtime_->calls(),
            (std::vector<std::string>{"configure_window 1280 1024 236", "configure_window 1024 768 236"}));

  // The next showing offers the granted size, which now passes.
  fill_after_validation();
  EXPECT_EQ(state_of(ctl::resolution_list), 3);
  validate();
  EXPECT_FALSE(s.loop.recheck);
}

struct ColourGrantCase {
  int screen_colors;
  bool sixteen;
  int32_t last_color_index;
};

class GrantedColours : public EntryTest, public ::testing::WithParamInterface<ColourGrantCase> {};

TEST_P(GrantedColours, FewerThan236GiveTheSixteenColourMode) {
  use_runtime(std::make_unique<HeadlessRuntime>(1600, 1200, GetParam().screen_colors));
  fill();
  validate();
  EXPECT_TRUE(s.loop.recheck);
  EXPECT_EQ(s.params.sixteen_colors, GetParam().sixteen);
  EXPECT_EQ(s.params.last_color_index, GetParam().last_color_index);
}

INSTANTIATE_TEST_SUITE_P(Displays, GrantedColours,
                         ::testing::Values(ColourGrantCase{2, true, 15}, ColourGrantCase{64, true, 15},
                                           ColourGrantCase{235, true, 15}));

TEST_F(Validation, ColoursTheDisplayRefusesGiveSixteenColours) {
  use_runtime(std::make_unique<HeadlessRuntime>(1600, 1200, 16));
  fill();
  validate();
  EXPECT_TRUE(s.loop.recheck);
  EXPECT_TRUE(s.params.sixteen_colors);
  EXPECT_EQ(s.params.last_color_index, 15);
  EXPECT_EQ(s.params.width, 800);
  EXPECT_EQ(s.params.resolution_code, 2);
  EXPECT_EQ(runtime_->calls(),
            (std::vector<std::string>{"configure_window 800 600 236", "configure_window 800 600 16"}));
  fill_after_validation();
  EXPECT_EQ(state_of(ctl::sixteen_colors), 1);
  EXPECT_EQ(state_of(ctl::colors_236), 0);
}

struct GrantCase {
  int screen_width, screen_height;
  int32_t width, height, code;
  char letter;
};

class GrantedSize : public EntryTest, public ::testing::WithParamInterface<GrantCase> {};

TEST_P(GrantedSize, GivesTheSmallestCodeThatHoldsIt) {
  const GrantCase& c = GetParam();
  use_runtime(std::make_unique<HeadlessRuntime>(c.screen_width, c.screen_height));
  fill();
  set_state(ctl::resolution_list, 4);
  validate();
  EXPECT_TRUE(s.loop.recheck);
  EXPECT_EQ(s.params.width, c.width);
  EXPECT_EQ(s.params.height, c.height);
  EXPECT_EQ(s.params.resolution_code, c.code);
  EXPECT_EQ(s.params.screen_mode_code[0], c.letter);
}

INSTANTIATE_TEST_SUITE_P(Screens, GrantedSize,
                         ::testing::Values(GrantCase{1280, 1000, 1280, 1000, 4, 'Z'},
                                           GrantCase{1024, 1024, 1024, 1024, 4, 'Z'},
                                           GrantCase{801, 600, 801, 600, 3, 'X'},
                                           GrantCase{800, 600, 800, 600, 2, 'S'},
                                           GrantCase{640, 481, 640, 481, 2, 'S'},
                                           GrantCase{640, 480, 640, 480, 1, 'V'},
                                           GrantCase{320, 200, 320, 200, 1, 'V'}));

// A runtime that refuses and then offers more than the program can draw.
class GenerousRuntime : public HeadlessRuntime {
 public:
  bool configure_window(WindowConfig& config) override {
    HeadlessRuntime::configure_window(config);
    config.x_pixels = 1920;
    config.y_pixels = 1200;
    config.colors = 256;
    return false;
  }
};

TEST_F(Validation, GrantedSizeNeverExceedsTheLargestPicture) {
  use_runtime(std::make_unique<GenerousRuntime>());
  fill();
  validate();
  EXPECT_TRUE(s.loop.recheck);
  EXPECT_EQ(s.params.width, 1280);
  EXPECT_EQ(s.params.height, 1024);
  EXPECT_EQ(s.params.resolution_code, 4);
  EXPECT_EQ(s.params.last_color_index, 235);
  EXPECT_FALSE(s.params.sixteen_colors);
}

// --- the directory ---

class Directory : public EntryTest {
 protected:
  void SetUp() override {
    EntryTest::SetUp();
    char pattern[] = "/tmp/zeno-entry-XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    scratch_ = pattern;
  }
  void TearDown() override {
    EntryTest::TearDown();
    std::system(("rm -rf '" + scratch_ + "'").c_str());
  }
  std::string scratch_;
};

TEST_F(Directory, ExistingDirectoryBecomesCurrentAndClearsRecheck) {
  s.loop.recheck = true;
  fill();
  type(ctl::directory, scratch_ + "   ");
  validate();
  EXPECT_FALSE(s.loop.recheck);
  EXPECT_EQ(working_directory(), scratch_);
  EXPECT_EQ(s.params.directory, blank_padded(scratch_, 260));
}

TEST_F(Directory, DirectoryThatCannotBeMadeCurrentIsKeptOutAndRechecked) {
  ASSERT_EQ(::mkdir((scratch_ + "/a").c_str(), 0755), 0);
  // A zero character would end the name the system sees at "a".
  const std::string with_zero = scratch_ + std::string("/a\0b", 4);
  for (const std::string& text : {scratch_ + "/missing", std::string(), std::string("   "), with_zero}) {
    fill();
    type(ctl::directory, text);
    validate();
    EXPECT_TRUE(s.loop.recheck) << text;
    EXPECT_EQ(working_directory(), start_directory_) << text;
    // The next showing presents the still-current directory.
    fill_after_validation();
    EXPECT_EQ(text_of(ctl::directory), start_directory_);
    EXPECT_EQ(text_of(ctl::message), "*** RE-CHECK PARAMETERS ***");
  }
}

TEST_F(Directory, LaterStepsOnlySetRecheck) {
  fill();
  type(ctl::directory, scratch_ + "/missing");
  validate();
  ASSERT_TRUE(s.loop.recheck);
  // Everything else is fine, but the directory failed: recheck stays.
  EXPECT_EQ(s.params.center_x, -0.7454298994);
}

TEST_F(Directory, TextLongerThanTheFieldIsNotCutToAnotherDirectory) {
  // A directory whose path is exactly 260 characters, with a subdirectory.
  std::string path = scratch_;
  while (path.size() < 260) {
    const std::size_t room = 260 - path.size() - 1;
    path += "/" + std::string(std::min<std::size_t>(room == 0 ? 1 : room, 100), 'd');
    if (path.size() > 260) GTEST_SKIP() << "cannot build a 260-character path";
    ASSERT_EQ(::mkdir(path.c_str(), 0755), 0) << path;
  }
  ASSERT_EQ(path.size(), 260u);
  const std::string deeper = path + "/sub";
  ASSERT_EQ(::mkdir(deeper.c_str(), 0755), 0);

  fill();
  type(ctl::directory, path);
  validate();
  EXPECT_FALSE(s.loop.recheck);
  EXPECT_EQ(working_directory(), path);
  // 260 characters are shown in full.
  fill();
  EXPECT_EQ(text_of(ctl::directory), path);

  type(ctl::directory, deeper);
  validate();
  EXPECT_TRUE(s.loop.recheck);
  EXPECT_EQ(working_directory(), path);  // not into the first 260 characters of it

  // A current directory longer than the box is not shown cut short either.
  ASSERT_EQ(::chdir(deeper.c_str()), 0);
  fill();
  EXPECT_EQ(text_of(ctl::directory), "");
}

}  // namespace
}  // namespace zeno::testing
