#pragma once
// The window runtime on Qt 6 Widgets.
//
// Two threads meet here. The user-interface thread (the one that made the
// QApplication and this object) owns every widget: the frame window, the
// child windows in its MDI area, menus and dialogs; it calls the program's
// menu and mouse routines. The logic thread runs the program's entry routine
// and calls the gw_/dlg_ operations.
//
// Drawing from the logic thread goes into palette-indexed surfaces under a
// short lock; the user-interface thread turns them into images on a timer, so
// the logic thread never waits for a repaint (except a palette load, which
// waits until the previous one has been shown, so that colour cycling runs at
// the display's pace). Operations that change widgets are queued to the
// user-interface thread and never wait for it. The only waits of the logic
// thread (Pause, a key, a dialog, a sleep, a palette load) are released by
// request_shutdown(), after which every operation on the logic thread throws
// ProgramShutdown.
//
// Operations may also be called on the user-interface thread (the program's
// mouse and menu routines do): there they never wait and never throw;
// gw_wait_key and gw_sleep return at once and dlg_modal returns -1.

#include <QFont>
#include <QImage>
#include <QObject>
#include <QSize>
#include <QString>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/dialog.hpp"
#include "platform/runtime.hpp"

class QAction;
class QMainWindow;
class QMdiSubWindow;
class QSocketNotifier;

namespace zeno {

class FrameWindow;
class SurfaceView;
struct Surface;
struct DialogSession;

// Key-state bits handed to mouse routines.
inline constexpr int key_state_left = 1;
inline constexpr int key_state_right = 2;
inline constexpr int key_state_shift = 4;
inline constexpr int key_state_control = 8;
inline constexpr int key_state_middle = 16;

class QtRuntime : public QObject, public Runtime {
  Q_OBJECT

 public:
  // Must be made on the QApplication's thread. `available_screen` is the
  // largest window gw_configure_window grants and the size of a window that
  // gw_open_window makes; empty: the primary screen's available geometry.
  explicit QtRuntime(QSize available_screen = {});
  ~QtRuntime() override;

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

  // --- the program's logic thread ---
  // Starts `entry` on a logic thread of its own at below-normal priority.
  // `entry` is the first code that runs there (set up per-thread state such
  // as the FPU control word in it). When it returns or unwinds (a
  // ProgramShutdown ends it quietly), `at_shutdown` runs on the same thread;
  // then program_finished() is emitted on the user-interface thread, after
  // the thread has been joined. At most one program per runtime.
  void start_program(std::function<void()> entry, std::function<void()> at_shutdown);
  bool program_running() const;
  // From now on every operation on the logic thread throws ProgramShutdown
  // and every wait of it ends. Any thread; idempotent.
  void request_shutdown();
  bool shutdown_requested() const { return shutdown_.load(); }
  // Waits until the logic thread has ended and joins it (user-interface
  // thread; the logic thread never needs it to end).
  void join_program();

  // --- the user-interface side ---
  QMainWindow* frame() const;
  bool paused() const { return paused_.load(); }
  void set_paused(bool paused);
  // Whether the program has written lines to the default window (they stay
  // readable after the program has ended).
  bool wrote_lines() const { return wrote_lines_.load(); }
  void set_available_screen(QSize size);
  QSize available_screen() const;

  // --- what tests look at (user-interface thread) ---
  // Converts every pending change into the shown images now.
  void present_now();
  SurfaceView* view(int unit) const;      // nullptr when the unit has no window
  QMdiSubWindow* subwindow(int unit) const;
  QAction* menu_action(int menu, int item) const;  // 1-based, as gw_add_menu_item counts
  int pixel(int unit, int x, int y) const;         // the stored value; -1 outside
  QRgb shown_pixel(int unit, int x, int y) const;  // as shown after the last present
  int active_unit() const;
  QSize window_size(int unit) const;
  int window_colors(int unit) const;
  std::string about_text() const;

 signals:
  void program_finished(int exit_code);
  void frame_closed();

 private:
  struct DrawState;
  // A menu item the program added: its routine, and its check mark as the
  // program last set it.
  struct MenuItemRecord {
    MenuRoutine routine;
    bool checked = false;
  };

  bool on_ui_thread() const { return std::this_thread::get_id() == ui_thread_; }
  // Pause and shutdown for an operation called on the logic thread.
  void gate();
  void gate_slow();
  // Runs `task` on the user-interface thread: at once when called there,
  // else queued in call order.
  void post(std::function<void()> task);
  void run_posted();
  void bell_rung();
  // Waits on the logic thread until `done` holds (checked under wait_mutex_)
  // or the program has to end (throws ProgramShutdown). A timeout in
  // milliseconds < 0 waits without limit; returns false on timeout.
  bool wait_for(const std::function<bool()>& done, int timeout_ms = -1);

  // Drawing helpers; canvas_mutex_ held.
  Surface& active_surface();
  void plot(Surface& s, int x, int y, uint32_t value);
  void touched(Surface& s, int x1, int y1, int x2, int y2);
  void request_present();
  uint32_t pixel_for_rgb(const Surface& s, uint32_t rgb) const;
  // Lays text with its top-left corner at (x, y) into `s`; returns its
  // advance. Renders with `lock` (on canvas_mutex_) released.
  int draw_text(Surface& s, const QFont& font, uint32_t color, int x, int y, const QString& text,
                std::unique_lock<std::mutex>& lock);

  // User-interface side.
  void present_all();
  void present(Surface& s);
  void create_view(const std::shared_ptr<Surface>& s, const std::string& title);
  void update_view(const std::shared_ptr<Surface>& s, const std::string& title);
  void destroy_view(const std::shared_ptr<Surface>& s);
  void activate_view(const std::shared_ptr<Surface>& s);
  void deliver_mouse(int unit, int event, int key_state, int x, int y);
  void deliver_key(int unit);
  void menu_item_chosen(QAction* action);
  void copy_active_picture();
  void set_fit(bool fit);
  void show_about();
  void frame_close_requested();
  void open_dialog(const std::shared_ptr<DialogSession>& session, const Dialog& model);
  void close_dialog(const std::shared_ptr<DialogSession>& session);
  void push_dialog_event(const std::shared_ptr<DialogSession>& session, int kind, int id);
  void set_input_blocked(bool blocked);
  void program_ended(int exit_code);

  const std::thread::id ui_thread_;
  FrameWindow* frame_ = nullptr;  // owned; deleted in the destructor

  // Pause, shutdown, keys and every wait of the logic thread.
  mutable std::mutex wait_mutex_;
  std::condition_variable wait_cv_;
  std::atomic<bool> paused_{false};
  std::atomic<bool> shutdown_{false};
  std::map<int, uint64_t> keys_;  // keys typed per unit

  // Tasks for the user-interface thread.
  std::mutex post_mutex_;
  std::deque<std::function<void()>> posted_;
  int bell_fd_ = -1;                   // written when the queue gets its first task
  QSocketNotifier* bell_ = nullptr;    // owned

  // Surfaces and the drawing state.
  mutable std::mutex canvas_mutex_;
  std::map<int, std::shared_ptr<Surface>> units_;
  std::unique_ptr<DrawState> draw_;
  QSize available_;
  std::atomic<bool> present_requested_{false};
  bool fit_ = false;  // user-interface thread

  std::mutex mouse_mutex_;
  std::map<std::pair<int, int>, MouseRoutine> mouse_;

  std::map<QAction*, MenuItemRecord> menu_items_;  // user-interface thread
  std::string about_;  // user-interface thread
  std::atomic<bool> wrote_lines_{false};
  std::vector<std::shared_ptr<DialogSession>> dialogs_;  // user-interface thread

  std::thread logic_;
  std::atomic<bool> program_running_{false};
};

}  // namespace zeno
