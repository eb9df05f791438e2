#pragma once
// The window runtime the program draws on, as one small interface with two
// implementations: Qt (platform/qt) for the program, in memory
// (platform/headless) for the tests and the batch renderer.
//
// The program calls the gw_ operations below; they forward to the runtime
// installed with install_runtime(). Drawing operations act on the active
// window. Only gw_configure_window reports a result the program examines.

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace zeno {

// The record handed to gw_configure_window. On refusal the runtime rewrites
// it to the nearest configuration it can provide.
struct WindowConfig {
  int16_t x_pixels = 640;
  int16_t y_pixels = 480;
  int16_t text_columns = -1;  // -1: runtime default
  int16_t text_rows = -1;
  int16_t colors = 16;        // at most 256
  int32_t font_size = -1;
  std::string title;          // at most 80 characters
};

// Window units the program uses.
inline constexpr int default_unit = 0;
inline constexpr int picture_unit = 9;

// Mouse event bits.
inline constexpr int mouse_left_down = 1;
inline constexpr int mouse_left_up = 2;
inline constexpr int mouse_right_down = 8;
inline constexpr int mouse_right_up = 16;
inline constexpr int mouse_move = 64;

// Menu item flags.
inline constexpr int menu_checked = 16;
inline constexpr int menu_unchecked = 32;

// Write modes.
inline constexpr int write_copy = 3;
inline constexpr int write_xor = 4;

// gw_rectangle control: outline only.
inline constexpr int rectangle_outline = 2;

using MouseRoutine = std::function<void(int unit, int event, int key_state, int x, int y)>;
using MenuRoutine = std::function<void(int state)>;

struct Point {
  int x = 0;
  int y = 0;
};

// A font request for gw_select_font: typeface name, height in pixels, weight.
struct FontRequest {
  std::string typeface;
  int height = 16;
  bool bold = false;
};

class Dialog;

// Thrown out of a runtime call on the logic thread when the program has to
// end (the frame window was closed). The entry routine unwinds and the
// program's files are closed on the way out.
struct ProgramShutdown {};

class Runtime {
 public:
  virtual ~Runtime() = default;

  virtual bool configure_window(WindowConfig& config) = 0;
  virtual void open_window(int unit, std::string_view title) = 0;
  virtual void close_window(int unit) = 0;
  virtual void set_about_text(std::string_view text) = 0;

  // colors: 0x00BBGGRR (red in the low byte), entry 0 first. The runtime
  // takes as many entries as the window has colours, up to count.
  virtual void remap_palette(const uint32_t* colors, int count) = 0;
  virtual void set_color(int index) = 0;
  virtual void set_pixel(int x, int y) = 0;
  // Moves the current position; returns the previous one.
  virtual Point move_to(int x, int y) = 0;
  virtual void line_to(int x, int y) = 0;
  virtual void rectangle(int control, int x1, int y1, int x2, int y2) = 0;
  virtual void set_write_mode(int mode) = 0;

  virtual void register_mouse(int unit, int event, MouseRoutine routine) = 0;
  virtual void unregister_mouse(int unit, int event) = 0;
  virtual void add_menu_item(int menu, int item, int flags, std::string_view text,
                             MenuRoutine routine) = 0;
  virtual void modify_menu_flags(int menu, int item, int flags) = 0;

  // One line of text output in the default window.
  virtual void write_line(std::string_view line) = 0;

  virtual void focus_window(int unit) = 0;
  virtual void clear_screen() = 0;
  virtual void set_background_rgb(uint32_t rgb) = 0;  // red in the low byte
  virtual void init_fonts() = 0;
  virtual void select_font(const FontRequest& font) = 0;
  virtual void set_color_rgb(uint32_t rgb) = 0;       // red in the low byte
  virtual void out_text(std::string_view utf8) = 0;   // transparent background
  virtual void wait_key() = 0;

  // Runs the dialog modally on the calling thread's behalf; returns the id of
  // the push button that closed it, 2 for a dismissal, -1 when it cannot be
  // shown.
  virtual int run_modal(Dialog& dialog) = 0;

  // Sleeps the calling (logic) thread. A runtime may end the sleep early by
  // throwing ProgramShutdown.
  virtual void sleep_ms(int milliseconds) = 0;
};

// Installs the runtime every gw_/dlg_ operation goes to (not owned).
void install_runtime(Runtime* runtime);
// The installed runtime. Calling an operation with none installed aborts.
Runtime& runtime();

inline bool gw_configure_window(WindowConfig& config) { return runtime().configure_window(config); }
inline void gw_open_window(int unit, std::string_view title) { runtime().open_window(unit, title); }
inline void gw_close_window(int unit) { runtime().close_window(unit); }
inline void gw_set_about_text(std::string_view text) { runtime().set_about_text(text); }
inline void gw_remap_palette(const uint32_t* colors, int count) { runtime().remap_palette(colors, count); }
inline void gw_set_color(int index) { runtime().set_color(index); }
inline void gw_set_pixel(int x, int y) { runtime().set_pixel(x, y); }
inline Point gw_move_to(int x, int y) { return runtime().move_to(x, y); }
inline void gw_line_to(int x, int y) { runtime().line_to(x, y); }
inline void gw_rectangle(int control, int x1, int y1, int x2, int y2) { runtime().rectangle(control, x1, y1, x2, y2); }
inline void gw_set_write_mode(int mode) { runtime().set_write_mode(mode); }
inline void gw_register_mouse(int unit, int event, MouseRoutine routine) { runtime().register_mouse(unit, event, std::move(routine)); }
inline void gw_unregister_mouse(int unit, int event) { runtime().unregister_mouse(unit, event); }
inline void gw_add_menu_item(int menu, int item, int flags, std::string_view text, MenuRoutine routine) {
  runtime().add_menu_item(menu, item, flags, text, std::move(routine));
}
inline void gw_modify_menu_flags(int menu, int item, int flags) { runtime().modify_menu_flags(menu, item, flags); }
inline void gw_write_line(std::string_view line) { runtime().write_line(line); }
inline void gw_focus_window(int unit) { runtime().focus_window(unit); }
inline void gw_clear_screen() { runtime().clear_screen(); }
inline void gw_set_background_rgb(uint32_t rgb) { runtime().set_background_rgb(rgb); }
inline void gw_init_fonts() { runtime().init_fonts(); }
inline void gw_select_font(const FontRequest& font) { runtime().select_font(font); }
inline void gw_set_color_rgb(uint32_t rgb) { runtime().set_color_rgb(rgb); }
inline void gw_out_text(std::string_view utf8) { runtime().out_text(utf8); }
inline void gw_wait_key() { runtime().wait_key(); }
inline void gw_sleep(int milliseconds) { runtime().sleep_ms(milliseconds); }

}  // namespace zeno
