// The help page as the runtime sees it: fonts, colours, positions and texts
// in order, ending with the key wait.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "entry/help.hpp"
#include "platform/headless/headless_runtime.hpp"

namespace zeno {
namespace {

// Records palette-index colour choices among the other calls.
class ColourRecordingRuntime : public HeadlessRuntime {
 public:
  void set_color(int index) override {
    HeadlessRuntime::set_color(index);
    colours.emplace_back(calls().size(), "set_color " + std::to_string(index));
  }
  std::vector<std::string> all_calls() const {
    std::vector<std::string> merged = calls();
    for (auto it = colours.rbegin(); it != colours.rend(); ++it)
      merged.insert(merged.begin() + static_cast<std::ptrdiff_t>(it->first), it->second);
    return merged;
  }
  std::vector<std::pair<std::size_t, std::string>> colours;
};

TEST(HelpPage, DrawsTheRunsInOrderAndWaitsForAKey) {
  ColourRecordingRuntime rt;
  install_runtime(&rt);
  bool key_waited = false;
  rt.on_wait_key([&] { key_waited = true; });
  Point scratch{-1, -1};
  show_help(scratch);
  install_runtime(nullptr);

  const std::vector<std::string> expected{
      "focus_window 0",
      "set_background_rgb 160 160 160",
      "clear_screen",
      "init_fonts",
      "select_font Times New Roman 48 bold",
      "move_to 190 0",
      "set_color_rgb 255 0 32",
      "out_text ZENOPLOT",
      "select_font Times New Roman 32 bold",
      "set_color_rgb 0 255 255",
      "move_to 22 50",
      "out_text High-Resolution rendition of the Mandelbrot Set",
      "select_font Arial 18 bold",
      "set_color 0",
      "move_to 60 95",
      "out_text Reference:  H.-O. Peitgen and P. H. Richter, \"The Beauty of Fractals\"",
      "move_to 140 114",
      "out_text (Springer-Verlag, Berlin Heidelberg, 1986)",
      "move_to 60 144",
      "out_text ZenoPlot: the ZenoPlot developers, 2026",
      "move_to 60 165",
      "out_text Win32 BETA version: June 1, 1996",
      "move_to 60 186",
      "out_text Send comments and suggestions to  zenoplot-dev@zenoplot.org",
      "select_font Arial 16 bold",
      "move_to 0 216",
      "out_text The Mandelbrot set: stability of iterations of  z := z\xC2\xB2 + c",
      "select_font Arial 16 regular",
      "move_to 0 234",
      "out_text Computes and displays a portion of the Mandelbrot set in color, with high resolution and high "
      "numerical",
      "move_to 0 252",
      "out_text precision.  Color 0 (black) is used for values of the complex number c for which z := z\xC2\xB2 + c "
      "does not diverge",
      "move_to 0 270",
      "out_text within some maximum number of iterations starting from z = 0 + 0 i.  For values of c which do lead "
      "to diver-",
      "move_to 0 288",
      "out_text gence, colors 1\xE2\x80\x93" "234 (or 1\xE2\x80\x93" "14) are assigned by various algorithms.",
      "select_font Arial 16 bold",
      "move_to 0 316",
      "out_text The \"State\" Menu.  ",
      "select_font Arial 16 regular",
      "out_text To stop the computation of a picture and draw a zoom box, use the State Menu or the",
      "move_to 0 334",
      "out_text Left mouse button.  Dragging or clicking the Left button will position the box and the Right button "
      "will resize",
      "move_to 0 352",
      "out_text it.  The State Menu is used to set rotation of the color palette, and to return to the dialog box "
      "for a new case.",
      "select_font Arial 16 bold",
      "move_to 0 380",
      "out_text The Dialog Box.  ",
      "select_font Arial 16 regular",
      "out_text Enter the directory for saving output files.  Choose resolution from 640x480 to 1280x1024,",
      "move_to 0 398",
      "out_text and 16 or 236 colors.  Parameters of the zoom window may be modified.  Color algorithms are: "
      "computed",
      "move_to 0 416",
      "out_text \"Escape\" time, integer number of iterations to reach 1000, or the azimuth of the last computed "
      "point.  Points",
      "move_to 0 434",
      "out_text closer than some limit to the boundary of the set may be colored white to demonstrate "
      "connectedness.",
      "select_font Arial 16 bold",
      "move_to 220 462",
      "out_text STRIKE ANY KEY TO CONTINUE",
      "wait_key",
  };
  EXPECT_EQ(rt.all_calls(), expected);
  EXPECT_TRUE(key_waited);
  EXPECT_EQ(rt.active_unit(), default_unit);
  // The scratch record holds the position before the last move: the end of run 21.
  EXPECT_EQ(scratch.y, 434);
}

}  // namespace
}  // namespace zeno
