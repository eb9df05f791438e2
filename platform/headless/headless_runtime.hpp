#pragma once
// The window runtime in memory: every window is an array of colour indices
// with a palette. Used by the batch renderer and by the tests, which can also
// script dialogs, menu choices, mouse events and key presses.

#include <atomic>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "platform/dialog.hpp"
#include "platform/runtime.hpp"

namespace zeno {

class HeadlessRuntime : public Runtime {
 public:
  struct Window {
    bool open = false;
    int width = 0;
    int height = 0;
    int colors = 256;
    std::string title;
    std::vector<uint8_t> pixels;          // width * height colour indices
    std::vector<uint32_t> palette;        // as loaded, 0x00BBGGRR
    int palette_loads = 0;
  };

  struct MenuItem {
    std::string text;
    int flags = menu_unchecked;
    MenuRoutine routine;
  };

  // The display the runtime pretends to have.
  HeadlessRuntime(int screen_width = 1600, int screen_height = 1200, int screen_colors = 256);

  // --- Runtime ---
  bool configure_window(WindowConfig& config) override;
  void open_window(int unit, std::string_view title) override;
  void close_window(int unit) override;
  void set_about_text(std::string_view text) override;
  void remap_palette(const uint32_t* colors, int count) override;
  void set_color(int index) override;
  void set_pixel(int x, int y) override;
  Point move_to(int x, int y) override;
  void line_to(int x, int y) override;
  void rectangle(int control, int x1, int y1, int x2, int y2) override;
  void set_write_mode(int mode) override;
  void register_mouse(int unit, int event, MouseRoutine routine) override;
  void unregister_mouse(int unit, int event) override;
  void add_menu_item(int menu, int item, int flags, std::string_view text, MenuRoutine routine) override;
  void modify_menu_flags(int menu, int item, int flags) override;
  void write_line(std::string_view line) override;
  void focus_window(int unit) override;
  void clear_screen() override;
  void set_background_rgb(uint32_t rgb) override;
  void init_fonts() override;
  void select_font(const FontRequest& font) override;
  void set_color_rgb(uint32_t rgb) override;
  void out_text(std::string_view utf8) override;
  void wait_key() override;
  int run_modal(Dialog& dialog) override;
  void sleep_ms(int milliseconds) override;

  // --- what tests look at ---
  Window window(int unit) const;                 // a copy
  int pixel(int unit, int x, int y) const;       // -1 outside the window
  int active_unit() const;
  int write_mode() const;
  int current_color() const;
  std::string about_text() const;
  std::vector<std::string> lines() const;        // write_line output
  // Every call except set_color/set_pixel, as text ("move_to 190 0", "out_text ZENOPLOT", ...).
  std::vector<std::string> calls() const;
  void clear_calls();
  std::map<int, std::vector<MenuItem>> menus() const;
  bool mouse_registered(int unit, int event) const;

  // --- what tests do ---
  // Answers for dlg_modal, one per showing, in order. Each may act on the
  // dialog (dlg_set, dlg_click) and returns the closing id. When none is
  // left, dlg_modal ends the program (throws ProgramShutdown).
  void script_dialog(std::function<int(Dialog&)> answer);
  // Called on every sleep_ms with the count of sleeps so far; lets a test act
  // "while the program waits". Without a hook the runtime really sleeps.
  void on_sleep(std::function<void(int sleeps)> hook);
  // Called on gw_wait_key; without a hook the key comes at once.
  void on_wait_key(std::function<void()> hook);
  // Delivers a mouse event to the routine registered for (unit, event), if any.
  void fire_mouse(int unit, int event, int x, int y, int key_state = 0);
  // Chooses a menu item: its routine gets 1 when the item is checked.
  void choose_menu_item(int menu, int item);
  // From now on every runtime call on the logic thread throws ProgramShutdown.
  void request_shutdown();

 private:
  Window& active();
  void plot(Window& w, int x, int y, int index);  // honours the write mode
  void record(std::string call);
  void check_shutdown() const;

  mutable std::mutex mutex_;
  int screen_width_, screen_height_, screen_colors_;
  std::map<int, Window> windows_;
  int active_ = default_unit;
  int color_ = 0;
  int mode_ = write_copy;
  Point position_;
  std::string about_;
  std::vector<std::string> lines_;
  std::vector<std::string> calls_;
  std::map<std::pair<int, int>, MouseRoutine> mouse_;
  std::map<int, std::vector<MenuItem>> menus_;
  std::deque<std::function<int(Dialog&)>> dialog_answers_;
  std::function<void(int)> sleep_hook_;
  std::function<void()> key_hook_;
  int sleeps_ = 0;
  std::atomic<bool> shutdown_{false};
};

}  // namespace zeno
