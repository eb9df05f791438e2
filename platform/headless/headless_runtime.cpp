#include "platform/headless/headless_runtime.hpp"

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <thread>

namespace zeno {

HeadlessRuntime::HeadlessRuntime(int screen_width, int screen_height, int screen_colors)
    : screen_width_(screen_width), screen_height_(screen_height), screen_colors_(std::min(screen_colors, 256)) {
  Window& w = windows_[default_unit];
  w.open = true;
  w.width = 640;
  w.height = 480;
  w.colors = std::min(16, screen_colors_);
  w.pixels.assign(static_cast<std::size_t>(w.width * w.height), 0);
}

void HeadlessRuntime::check_shutdown() const {
  if (shutdown_.load()) throw ProgramShutdown{};
}

void HeadlessRuntime::record(std::string call) { calls_.push_back(std::move(call)); }

HeadlessRuntime::Window& HeadlessRuntime::active() { return windows_[active_]; }

void HeadlessRuntime::plot(Window& w, int x, int y, int index) {
  if (x < 0 || y < 0 || x >= w.width || y >= w.height) return;
  uint8_t& p = w.pixels[static_cast<std::size_t>(y) * w.width + x];
  p = mode_ == write_xor ? static_cast<uint8_t>((p ^ index) & 0xFF)
                         : static_cast<uint8_t>(index);
}

bool HeadlessRuntime::configure_window(WindowConfig& config) {
  check_shutdown();
  std::lock_guard lock(mutex_);
  record("configure_window " + std::to_string(config.x_pixels) + " " + std::to_string(config.y_pixels) + " " +
         std::to_string(config.colors));
  bool granted = true;
  if (config.x_pixels > screen_width_ || config.y_pixels > screen_height_) {
    granted = false;
    config.x_pixels = static_cast<int16_t>(std::min<int>(config.x_pixels, screen_width_));
    config.y_pixels = static_cast<int16_t>(std::min<int>(config.y_pixels, screen_height_));
  }
  if (config.colors > screen_colors_ || config.colors < 2) {
    granted = false;
    config.colors = static_cast<int16_t>(std::clamp<int>(config.colors, 2, screen_colors_));
  }
  if (granted) {
    Window& w = active();
    w.width = config.x_pixels;
    w.height = config.y_pixels;
    w.colors = config.colors;
    if (!config.title.empty()) w.title = config.title;
    w.pixels.assign(static_cast<std::size_t>(w.width) * w.height, 0);
  }
  return granted;
}

void HeadlessRuntime::open_window(int unit, std::string_view title) {
  check_shutdown();
  std::lock_guard lock(mutex_);
  record("open_window " + std::to_string(unit) + " " + std::string(title));
  Window& w = windows_[unit];
  w.open = true;
  w.title = std::string(title);
  if (unit != default_unit || w.width == 0) {
    w.width = screen_width_;
    w.height = screen_height_;
    w.colors = screen_colors_;
    w.palette.clear();
    w.palette_loads = 0;
  }
  w.pixels.assign(static_cast<std::size_t>(w.width) * w.height, 0);
  active_ = unit;
}

void HeadlessRuntime::close_window(int unit) {
  check_shutdown();
  std::lock_guard lock(mutex_);
  record("close_window " + std::to_string(unit));
  if (unit != default_unit) {
    windows_.erase(unit);
    for (auto it = mouse_.begin(); it != mouse_.end();)
      it = it->first.first == unit ? mouse_.erase(it) : std::next(it);
  }
  active_ = default_unit;
}

void HeadlessRuntime::set_about_text(std::string_view text) {
  std::lock_guard lock(mutex_);
  about_ = std::string(text);
}

void HeadlessRuntime::remap_palette(const uint32_t* colors, int count) {
  check_shutdown();
  std::lock_guard lock(mutex_);
  Window& w = active();
  if (w.colors <= 20) return;
  int n = std::min(count, w.colors);
  w.palette.assign(colors, colors + n);
  ++w.palette_loads;
}

void HeadlessRuntime::set_color(int index) {
  std::lock_guard lock(mutex_);
  color_ = std::clamp(index, 0, active().colors - 1);
}

void HeadlessRuntime::set_pixel(int x, int y) {
  check_shutdown();
  std::lock_guard lock(mutex_);
  plot(active(), x, y, color_);
}

Point HeadlessRuntime::move_to(int x, int y) {
  check_shutdown();
  std::lock_guard lock(mutex_);
  record("move_to " + std::to_string(x) + " " + std::to_string(y));
  Point previous = position_;
  position_ = {x, y};
  return previous;
}

void HeadlessRuntime::line_to(int x, int y) {
  check_shutdown();
  std::lock_guard lock(mutex_);
  record("line_to " + std::to_string(x) + " " + std::to_string(y));
  Window& w = active();
  int x0 = position_.x, y0 = position_.y;
  const int dx = std::abs(x - x0), sx = x0 < x ? 1 : -1;
  const int dy = -std::abs(y - y0), sy = y0 < y ? 1 : -1;
  int err = dx + dy;
  for (;;) {
    plot(w, x0, y0, color_);
    if (x0 == x && y0 == y) break;
    const int e2 = 2 * err;
    if (e2 >= dy) { err += dy; x0 += sx; }
    if (e2 <= dx) { err += dx; y0 += sy; }
  }
  position_ = {x, y};
}

void HeadlessRuntime::rectangle(int control, int x1, int y1, int x2, int y2) {
  check_shutdown();
  std::lock_guard lock(mutex_);
  record("rectangle " + std::to_string(control) + " " + std::to_string(x1) + " " + std::to_string(y1) + " " +
         std::to_string(x2) + " " + std::to_string(y2));
  Window& w = active();
  if (x1 > x2) std::swap(x1, x2);
  if (y1 > y2) std::swap(y1, y2);
  // Each pixel of the outline exactly once, so that XOR twice restores it.
  for (int x = x1; x <= x2; ++x) {
    plot(w, x, y1, color_);
    if (y2 != y1) plot(w, x, y2, color_);
  }
  for (int y = y1 + 1; y < y2; ++y) {
    plot(w, x1, y, color_);
    if (x2 != x1) plot(w, x2, y, color_);
  }
}

void HeadlessRuntime::set_write_mode(int mode) {
  std::lock_guard lock(mutex_);
  record("set_write_mode " + std::to_string(mode));
  mode_ = mode == write_xor ? write_xor : write_copy;
}

void HeadlessRuntime::register_mouse(int unit, int event, MouseRoutine routine) {
  std::lock_guard lock(mutex_);
  mouse_[{unit, event}] = std::move(routine);
}

void HeadlessRuntime::unregister_mouse(int unit, int event) {
  std::lock_guard lock(mutex_);
  mouse_.erase({unit, event});
}

void HeadlessRuntime::add_menu_item(int menu, int item, int flags, std::string_view text, MenuRoutine routine) {
  std::lock_guard lock(mutex_);
  auto& items = menus_[menu];
  // Every menu starts with the runtime's own first item (State: Pause).
  if (items.empty()) items.push_back({menu == 4 ? "Pause" : "", menu_unchecked, {}});
  const auto position = static_cast<std::size_t>(std::clamp<int>(item - 1, 0, static_cast<int>(items.size())));
  items.insert(items.begin() + static_cast<std::ptrdiff_t>(position), MenuItem{std::string(text), flags, std::move(routine)});
}

void HeadlessRuntime::modify_menu_flags(int menu, int item, int flags) {
  std::lock_guard lock(mutex_);
  auto& items = menus_[menu];
  if (item >= 1 && item <= static_cast<int>(items.size())) items[static_cast<std::size_t>(item - 1)].flags = flags;
}

void HeadlessRuntime::write_line(std::string_view line) {
  std::lock_guard lock(mutex_);
  lines_.emplace_back(line);
}

void HeadlessRuntime::focus_window(int unit) {
  check_shutdown();
  std::lock_guard lock(mutex_);
  record("focus_window " + std::to_string(unit));
  if (windows_.count(unit)) active_ = unit;
}

void HeadlessRuntime::clear_screen() {
  check_shutdown();
  std::lock_guard lock(mutex_);
  record("clear_screen");
  Window& w = active();
  std::fill(w.pixels.begin(), w.pixels.end(), 0);
}

void HeadlessRuntime::set_background_rgb(uint32_t rgb) {
  std::lock_guard lock(mutex_);
  record("set_background_rgb " + std::to_string(rgb & 0xFF) + " " + std::to_string((rgb >> 8) & 0xFF) + " " +
         std::to_string((rgb >> 16) & 0xFF));
}

void HeadlessRuntime::init_fonts() {
  std::lock_guard lock(mutex_);
  record("init_fonts");
}

void HeadlessRuntime::select_font(const FontRequest& font) {
  std::lock_guard lock(mutex_);
  record("select_font " + font.typeface + " " + std::to_string(font.height) + (font.bold ? " bold" : " regular"));
}

void HeadlessRuntime::set_color_rgb(uint32_t rgb) {
  std::lock_guard lock(mutex_);
  record("set_color_rgb " + std::to_string(rgb & 0xFF) + " " + std::to_string((rgb >> 8) & 0xFF) + " " +
         std::to_string((rgb >> 16) & 0xFF));
}

void HeadlessRuntime::out_text(std::string_view utf8) {
  check_shutdown();
  std::lock_guard lock(mutex_);
  record("out_text " + std::string(utf8));
  position_.x += static_cast<int>(utf8.size()) * 8;  // a rough advance; nothing measures it here
}

void HeadlessRuntime::wait_key() {
  check_shutdown();
  std::function<void()> hook;
  {
    std::lock_guard lock(mutex_);
    record("wait_key");
    hook = key_hook_;
  }
  if (hook) hook();
  check_shutdown();
}

int HeadlessRuntime::run_modal(Dialog& dialog) {
  check_shutdown();
  std::function<int(Dialog&)> answer;
  {
    std::lock_guard lock(mutex_);
    record("dlg_modal");
    if (dialog_answers_.empty()) {
      shutdown_.store(true);
    } else {
      answer = std::move(dialog_answers_.front());
      dialog_answers_.pop_front();
    }
  }
  check_shutdown();
  return answer(dialog);
}

void HeadlessRuntime::sleep_ms(int milliseconds) {
  check_shutdown();
  std::function<void(int)> hook;
  int count;
  {
    std::lock_guard lock(mutex_);
    hook = sleep_hook_;
    count = ++sleeps_;
  }
  if (hook)
    hook(count);
  else
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
  check_shutdown();
}

HeadlessRuntime::Window HeadlessRuntime::window(int unit) const {
  std::lock_guard lock(mutex_);
  auto it = windows_.find(unit);
  return it == windows_.end() ? Window{} : it->second;
}

int HeadlessRuntime::pixel(int unit, int x, int y) const {
  std::lock_guard lock(mutex_);
  auto it = windows_.find(unit);
  if (it == windows_.end()) return -1;
  const Window& w = it->second;
  if (x < 0 || y < 0 || x >= w.width || y >= w.height) return -1;
  return w.pixels[static_cast<std::size_t>(y) * w.width + x];
}

int HeadlessRuntime::active_unit() const {
  std::lock_guard lock(mutex_);
  return active_;
}

int HeadlessRuntime::write_mode() const {
  std::lock_guard lock(mutex_);
  return mode_;
}

int HeadlessRuntime::current_color() const {
  std::lock_guard lock(mutex_);
  return color_;
}

std::string HeadlessRuntime::about_text() const {
  std::lock_guard lock(mutex_);
  return about_;
}

std::vector<std::string> HeadlessRuntime::lines() const {
  std::lock_guard lock(mutex_);
  return lines_;
}

std::vector<std::string> HeadlessRuntime::calls() const {
  std::lock_guard lock(mutex_);
  return calls_;
}

void HeadlessRuntime::clear_calls() {
  std::lock_guard lock(mutex_);
  calls_.clear();
}

std::map<int, std::vector<HeadlessRuntime::MenuItem>> HeadlessRuntime::menus() const {
  std::lock_guard lock(mutex_);
  return menus_;
}

bool HeadlessRuntime::mouse_registered(int unit, int event) const {
  std::lock_guard lock(mutex_);
  return mouse_.count({unit, event}) != 0;
}

void HeadlessRuntime::script_dialog(std::function<int(Dialog&)> answer) {
  std::lock_guard lock(mutex_);
  dialog_answers_.push_back(std::move(answer));
}

void HeadlessRuntime::on_sleep(std::function<void(int)> hook) {
  std::lock_guard lock(mutex_);
  sleep_hook_ = std::move(hook);
}

void HeadlessRuntime::on_wait_key(std::function<void()> hook) {
  std::lock_guard lock(mutex_);
  key_hook_ = std::move(hook);
}

void HeadlessRuntime::fire_mouse(int unit, int event, int x, int y, int key_state) {
  MouseRoutine routine;
  {
    std::lock_guard lock(mutex_);
    auto it = mouse_.find({unit, event});
    if (it == mouse_.end()) return;
    routine = it->second;
  }
  routine(unit, event, key_state, x, y);
}

void HeadlessRuntime::choose_menu_item(int menu, int item) {
  MenuRoutine routine;
  int state = 0;
  {
    std::lock_guard lock(mutex_);
    auto it = menus_.find(menu);
    if (it == menus_.end() || item < 1 || item > static_cast<int>(it->second.size())) return;
    const MenuItem& m = it->second[static_cast<std::size_t>(item - 1)];
    routine = m.routine;
    state = m.flags == menu_checked ? 1 : 0;
  }
  if (routine) routine(state);
}

void HeadlessRuntime::request_shutdown() { shutdown_.store(true); }

}  // namespace zeno
