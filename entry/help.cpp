#include "entry/help.hpp"

#include <array>
#include <cstdint>
#include <string_view>

namespace zeno {
namespace {

constexpr uint32_t rgb(uint32_t red, uint32_t green, uint32_t blue) { return red | green << 8 | blue << 16; }

const FontRequest title_font{"Times New Roman", 48, true};     // F1
const FontRequest subtitle_font{"Times New Roman", 32, true};  // F2
const FontRequest credits_font{"Arial", 18, true};             // F3
const FontRequest heading_font{"Arial", 16, true};             // F4
const FontRequest body_font{"Arial", 16, false};               // F5

struct Colour {
  bool is_rgb;
  uint32_t value;  // RGB with red in the low byte, or a palette index
  bool operator==(const Colour&) const = default;
};
constexpr Colour title_colour{true, rgb(255, 0, 32)};
constexpr Colour subtitle_colour{true, rgb(0, 255, 255)};
constexpr Colour black{false, 0};

constexpr int continues = -1;  // x of a run that goes on where the last ended

struct Run {
  const FontRequest* font;
  Colour colour;
  int x, y;
  std::string_view text;
};

const std::array<Run, 22> page{{
    {&title_font, title_colour, 190, 0, "ZENOPLOT"},
    {&subtitle_font, subtitle_colour, 22, 50, "High-Resolution rendition of the Mandelbrot Set"},
    {&credits_font, black, 60, 95, "Reference:  H.-O. Peitgen and P. H. Richter, \"The Beauty of Fractals\""},
    {&credits_font, black, 140, 114, "(Springer-Verlag, Berlin Heidelberg, 1986)"},
    {&credits_font, black, 60, 144, "ZenoPlot: the ZenoPlot developers, 2026"},
    {&credits_font, black, 60, 165, "Win32 BETA version: June 1, 1996"},
    {&credits_font, black, 60, 186, "Send comments and suggestions to  zenoplot-dev@zenoplot.org"},
    {&heading_font, black, 0, 216, "The Mandelbrot set: stability of iterations of  z := z\u00b2 + c"},
    {&body_font, black, 0, 234,
     "Computes and displays a portion of the Mandelbrot set in color, with high resolution and high numerical"},
    {&body_font, black, 0, 252,
     "precision.  Color 0 (black) is used for values of the complex number c for which z := z\u00b2 + c does not "
     "diverge"},
    {&body_font, black, 0, 270,
     "within some maximum number of iterations starting from z = 0 + 0 i.  For values of c which do lead to "
     "diver-"},
    {&body_font, black, 0, 288, "gence, colors 1\u2013234 (or 1\u201314) are assigned by various algorithms."},
    {&heading_font, black, 0, 316, "The \"State\" Menu.  "},
    {&body_font, black, continues, 0,
     "To stop the computation of a picture and draw a zoom box, use the State Menu or the"},
    {&body_font, black, 0, 334,
     "Left mouse button.  Dragging or clicking the Left button will position the box and the Right button will "
     "resize"},
    {&body_font, black, 0, 352,
     "it.  The State Menu is used to set rotation of the color palette, and to return to the dialog box for a "
     "new case."},
    {&heading_font, black, 0, 380, "The Dialog Box.  "},
    {&body_font, black, continues, 0,
     "Enter the directory for saving output files.  Choose resolution from 640x480 to 1280x1024,"},
    {&body_font, black, 0, 398,
     "and 16 or 236 colors.  Parameters of the zoom window may be modified.  Color algorithms are: computed"},
    {&body_font, black, 0, 416,
     "\"Escape\" time, integer number of iterations to reach 1000, or the azimuth of the last computed point.  "
     "Points"},
    {&body_font, black, 0, 434,
     "closer than some limit to the boundary of the set may be colored white to demonstrate connectedness."},
    {&heading_font, black, 220, 462, "STRIKE ANY KEY TO CONTINUE"},
}};

}  // namespace

void show_help(Point& scratch) {
  gw_focus_window(default_unit);
  gw_set_background_rgb(rgb(160, 160, 160));
  gw_clear_screen();
  gw_init_fonts();

  const FontRequest* font = nullptr;
  const Colour* colour = nullptr;
  for (std::size_t i = 0; i < page.size(); ++i) {
    const Run& run = page[i];
    // The title is placed before its colour is chosen; every later run gets
    // its colour first.
    const bool place_first = i == 0;
    const bool place = run.x != continues;
    if (run.font != font) {
      gw_select_font(*run.font);
      font = run.font;
    }
    if (place && place_first) scratch = gw_move_to(run.x, run.y);
    if (colour == nullptr || !(run.colour == *colour)) {
      if (run.colour.is_rgb)
        gw_set_color_rgb(run.colour.value);
      else
        gw_set_color(static_cast<int>(run.colour.value));
      colour = &run.colour;
    }
    if (place && !place_first) scratch = gw_move_to(run.x, run.y);
    gw_out_text(run.text);
  }

  gw_wait_key();
}

}  // namespace zeno
