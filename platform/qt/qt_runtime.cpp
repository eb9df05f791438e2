#include "platform/qt/qt_runtime.hpp"

#include <QAction>
#include <QClipboard>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QMdiArea>
#include <QMenu>
#include <QMessageBox>
#include <QPainter>
#include <QScreen>
#include <QScrollArea>
#include <QSocketNotifier>
#include <QTimer>

#include <pthread.h>
#include <sys/eventfd.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <exception>

#include "platform/qt/dialog_view.hpp"
#include "platform/qt/frame_window.hpp"
#include "platform/qt/surface_view.hpp"

namespace zeno {

namespace {

// How long drawn pixels may wait before they are shown.
constexpr int present_delay_ms = 20;
// How much lower than the process the logic thread runs (nice steps).
constexpr int logic_thread_nice_steps = 5;

constexpr int all_mouse_events[] = {mouse_left_down, mouse_left_up, mouse_right_down, mouse_right_up, mouse_move};

QRgb to_qrgb(uint32_t bgr) { return qRgb(bgr & 0xFF, (bgr >> 8) & 0xFF, (bgr >> 16) & 0xFF); }

// A title as the program passes it: up to a terminating zero, without
// trailing blanks.
std::string clean_title(std::string_view title) {
  title = title.substr(0, title.find('\0'));
  while (!title.empty() && title.back() == ' ') title.remove_suffix(1);
  return std::string(title);
}

QString qstring(std::string_view s) { return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size())); }

// Typefaces the program names, and the metric-compatible ones installed here.
QString font_family(const std::string& typeface) {
  const QString name = QString::fromStdString(typeface).trimmed();
  if (name.compare(QStringLiteral("Times New Roman"), Qt::CaseInsensitive) == 0) return QStringLiteral("Liberation Serif");
  if (name.compare(QStringLiteral("Arial"), Qt::CaseInsensitive) == 0) return QStringLiteral("Liberation Sans");
  if (name.compare(QStringLiteral("Courier New"), Qt::CaseInsensitive) == 0) return QStringLiteral("Liberation Mono");
  return name;
}

// A font whose character cell (ascent + descent) is `height` pixels; a
// negative height asks for that character height instead, 0 for 16 pixels.
QFont make_font(const std::string& typeface, int height, bool bold) {
  QFont font;
  font.setFamilies({font_family(typeface), QString::fromStdString(typeface)});
  font.setBold(bold);
  if (height < 0) {
    font.setPixelSize(-height);
    return font;
  }
  if (height == 0) height = 16;
  int size = height;
  font.setPixelSize(size);
  while (size > 1 && QFontMetrics(font).height() > height) font.setPixelSize(--size);
  return font;
}

void lower_thread_priority() {
  const pid_t tid = gettid();
  errno = 0;
  int nice_value = getpriority(PRIO_PROCESS, static_cast<id_t>(tid));
  if (errno != 0) nice_value = 0;
  setpriority(PRIO_PROCESS, static_cast<id_t>(tid), std::min(nice_value + logic_thread_nice_steps, 19));
  pthread_setname_np(pthread_self(), "zeno-logic");
}

// The dialog as the widgets see it: values without the click routines, which
// belong to the logic thread.
Dialog widget_copy(const Dialog& dialog) {
  Dialog copy;
  copy.layout = dialog.layout;
  copy.controls.reserve(dialog.controls.size());
  for (const ControlState& c : dialog.controls) {
    ControlState s;
    s.layout = c.layout;
    s.text = c.text;
    s.checked = c.checked;
    s.items = c.items;
    s.selected = c.selected;
    copy.controls.push_back(std::move(s));
  }
  return copy;
}

// What the user can change on screen, from the widgets' copy into the model.
void apply_widget_values(Dialog& model, const Dialog& widgets) {
  for (const ControlState& w : widgets.controls) {
    ControlState* c = model.find(w.layout->id);
    if (c == nullptr || c->layout->kind != w.layout->kind) continue;
    switch (c->layout->kind) {
      case ControlKind::radio_button:
      case ControlKind::check_box:
        c->checked = w.checked;
        break;
      case ControlKind::drop_down_list:
        if (w.selected >= 0 && w.selected <= static_cast<int>(c->items.size())) c->selected = w.selected;
        break;
      case ControlKind::edit_box:
        c->text = w.text;
        break;
      default:
        break;
    }
  }
}

template <class F>
void call_guarded(const char* what, F&& f) {
  // A routine's exception must not unwind through the event loop.
  try {
    f();
  } catch (const std::exception& e) {
    std::fprintf(stderr, "zenoplot: %s routine failed: %s\n", what, e.what());
  } catch (...) {
    std::fprintf(stderr, "zenoplot: %s routine failed\n", what);
  }
}

}  // namespace

struct QtRuntime::DrawState {
  std::shared_ptr<Surface> active;
  uint32_t color = 0;  // a stored pixel value
  int mode = write_copy;
  Point position;
  QFont font;
  int lines = 0;       // lines written to the default window
};

// One showing of a dialog. The widgets live on the user-interface thread, the
// model and its click routines on the logic thread; they meet in `events`.
struct DialogSession {
  struct Event {
    enum Kind { clicked, closed, failed } kind;
    int id = 0;
    Dialog widgets;     // the widgets' values when it happened
    uint64_t seq = 0;
  };
  std::deque<Event> events;  // guarded by the runtime's wait mutex
  // User-interface thread only.
  QPointer<DialogView> view;
  Dialog shown;              // what the widgets were last built or refreshed from
  uint64_t sent = 0;         // events sent so far
};

// ---------------------------------------------------------------------------
// Construction, threads, waits

QtRuntime::QtRuntime(QSize available_screen)
    : ui_thread_(std::this_thread::get_id()), draw_(std::make_unique<DrawState>()) {
  bell_fd_ = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
  if (bell_fd_ >= 0) {
    bell_ = new QSocketNotifier(bell_fd_, QSocketNotifier::Read, this);
    connect(bell_, &QSocketNotifier::activated, this, &QtRuntime::bell_rung);
  }
  available_ = available_screen;
  if (available_.isEmpty()) {
    const QScreen* screen = QGuiApplication::primaryScreen();
    available_ = screen != nullptr ? screen->availableGeometry().size() : QSize(1024, 768);
  }
  draw_->font = make_font("Arial", 16, false);

  frame_ = new FrameWindow;
  connect(frame_, &FrameWindow::close_requested, this, &QtRuntime::frame_close_requested);
  connect(frame_, &FrameWindow::exit_chosen, frame_, &QWidget::close);
  connect(frame_, &FrameWindow::pause_chosen, this, [this] { set_paused(!paused_.load()); });
  connect(frame_, &FrameWindow::copy_chosen, this, &QtRuntime::copy_active_picture);
  connect(frame_, &FrameWindow::fit_chosen, this, &QtRuntime::set_fit);
  connect(frame_, &FrameWindow::about_chosen, this, &QtRuntime::show_about);

  // The default window exists from the start: 640 x 480, 16 colours, white.
  auto s = std::make_shared<Surface>();
  s->unit = default_unit;
  s->palette = default_palette();
  s->reset(640, 480, 16, 15);
  s->title = "ZenoPlot";
  units_[default_unit] = s;
  draw_->active = s;
  create_view(s, s->title);
}

QtRuntime::~QtRuntime() {
  request_shutdown();
  if (logic_.joinable()) logic_.join();
  delete frame_;
  delete bell_;
  if (bell_fd_ >= 0) ::close(bell_fd_);
}

void QtRuntime::start_program(std::function<void()> entry, std::function<void()> at_shutdown) {
  if (logic_.joinable() || program_running_.load()) return;
  program_running_.store(true);
  logic_ = std::thread([this, entry = std::move(entry), at_shutdown = std::move(at_shutdown)] {
    lower_thread_priority();
    int exit_code = 0;
    try {
      if (entry) entry();
    } catch (const ProgramShutdown&) {
    } catch (const std::exception& e) {
      std::fprintf(stderr, "zenoplot: %s\n", e.what());
      exit_code = 1;
    } catch (...) {
      std::fputs("zenoplot: the program ended with an unknown error\n", stderr);
      exit_code = 1;
    }
    // Nothing more of the program runs against the windows; what it still
    // has to do (close its files) it does now.
    request_shutdown();
    try {
      if (at_shutdown) at_shutdown();
    } catch (...) {
      std::fputs("zenoplot: closing the program's files failed\n", stderr);
      exit_code = 1;
    }
    program_running_.store(false);
    post([this, exit_code] { program_ended(exit_code); });
  });
}

bool QtRuntime::program_running() const { return program_running_.load(); }

void QtRuntime::join_program() {
  if (logic_.joinable()) logic_.join();
}

void QtRuntime::program_ended(int exit_code) {
  join_program();
  emit program_finished(exit_code);
}

void QtRuntime::request_shutdown() {
  {
    std::lock_guard lock(wait_mutex_);
    shutdown_.store(true);
  }
  wait_cv_.notify_all();
  post([this] {
    for (const auto& session : std::vector(dialogs_)) close_dialog(session);
  });
}

void QtRuntime::frame_close_requested() {
  request_shutdown();
  emit frame_closed();
}

void QtRuntime::set_paused(bool paused) {
  {
    std::lock_guard lock(wait_mutex_);
    paused_.store(paused);
  }
  wait_cv_.notify_all();
  if (on_ui_thread()) frame_->show_paused(paused);
  else post([this, paused] { frame_->show_paused(paused); });
}

void QtRuntime::gate() {
  if (paused_.load(std::memory_order_relaxed) || shutdown_.load(std::memory_order_relaxed)) gate_slow();
}

void QtRuntime::gate_slow() {
  if (on_ui_thread()) return;  // the user-interface thread is never held
  std::unique_lock lock(wait_mutex_);
  wait_cv_.wait(lock, [this] { return shutdown_.load() || !paused_.load(); });
  if (shutdown_.load()) throw ProgramShutdown{};
}

bool QtRuntime::wait_for(const std::function<bool()>& done, int timeout_ms) {
  std::unique_lock lock(wait_mutex_);
  const auto ready = [&] { return shutdown_.load() || done(); };
  bool met = true;
  if (timeout_ms < 0)
    wait_cv_.wait(lock, ready);
  else
    met = wait_cv_.wait_for(lock, std::chrono::milliseconds(timeout_ms), ready);
  if (shutdown_.load()) throw ProgramShutdown{};
  return met;
}

void QtRuntime::post(std::function<void()> task) {
  if (on_ui_thread()) {
    task();
    return;
  }
  bool first;
  {
    std::lock_guard lock(post_mutex_);
    first = posted_.empty();
    posted_.push_back(std::move(task));
  }
  // The queue carries the work; an eventfd rings the bell, so that nothing
  // but this queue and its mutex passes between the threads.
  if (first) {
    const uint64_t one = 1;
    if (bell_fd_ < 0 || ::write(bell_fd_, &one, sizeof one) != static_cast<ssize_t>(sizeof one))
      QMetaObject::invokeMethod(this, &QtRuntime::run_posted, Qt::QueuedConnection);
  }
}

void QtRuntime::bell_rung() {
  uint64_t count;
  while (::read(bell_fd_, &count, sizeof count) > 0) {
  }
  run_posted();
}

void QtRuntime::run_posted() {
  std::deque<std::function<void()>> tasks;
  {
    std::lock_guard lock(post_mutex_);
    tasks.swap(posted_);
  }
  for (auto& task : tasks) task();
}

// ---------------------------------------------------------------------------
// Windows

void QtRuntime::set_available_screen(QSize size) {
  std::lock_guard lock(canvas_mutex_);
  available_ = size;
}

QSize QtRuntime::available_screen() const {
  std::lock_guard lock(canvas_mutex_);
  return available_;
}

bool QtRuntime::configure_window(WindowConfig& config) {
  gate();
  std::shared_ptr<Surface> s;
  std::string title;
  {
    std::lock_guard lock(canvas_mutex_);
    bool granted = true;
    const int max_w = std::max(available_.width(), 1);
    const int max_h = std::max(available_.height(), 1);
    if (config.x_pixels < 1 || config.y_pixels < 1 || config.x_pixels > max_w || config.y_pixels > max_h) {
      granted = false;
      config.x_pixels = static_cast<int16_t>(std::clamp<int>(config.x_pixels, 1, max_w));
      config.y_pixels = static_cast<int16_t>(std::clamp<int>(config.y_pixels, 1, max_h));
    }
    if (config.colors < 2 || config.colors > 256) {
      granted = false;
      config.colors = static_cast<int16_t>(std::clamp<int>(config.colors, 2, 256));
    }
    if (!granted) return false;
    s = draw_->active;
    title = clean_title(config.title);
    if (!title.empty()) s->title = title;
    title = s->title;
    if (config.colors <= fixed_palette_colors) {
      s->palette = default_palette();
      s->palette_dirty = true;
    }
    s->reset(config.x_pixels, config.y_pixels, config.colors, s->background);
    if ((s->background & direct_color) && s->colors <= fixed_palette_colors)
      s->background = pixel_for_rgb(*s, s->background & ~direct_color);
    std::fill(s->pixels.begin(), s->pixels.end(), s->background);
  }
  post([this, s, title] { update_view(s, title); });
  return true;
}

void QtRuntime::open_window(int unit, std::string_view title) {
  gate();
  std::shared_ptr<Surface> s;
  bool fresh = false;
  const std::string name = clean_title(title);
  {
    std::lock_guard lock(canvas_mutex_);
    auto it = units_.find(unit);
    if (it == units_.end()) {
      s = std::make_shared<Surface>();
      s->unit = unit;
      units_[unit] = s;
      fresh = true;
    } else {
      s = it->second;
    }
    s->title = name;
    if (fresh || unit != default_unit) {
      // A new window is screen-sized, with the display's colours, black.
      s->palette = default_palette();
      s->palette_dirty = true;
      s->reset(available_.width(), available_.height(), 256, 0);
    } else {
      s->reset(s->width, s->height, s->colors, s->background);
    }
    draw_->active = s;
  }
  post([this, s, fresh, name] {
    if (fresh)
      create_view(s, name);
    else
      update_view(s, name);
    activate_view(s);
  });
}

void QtRuntime::close_window(int unit) {
  gate();
  std::shared_ptr<Surface> closed;
  std::shared_ptr<Surface> fallback;
  {
    std::lock_guard lock(canvas_mutex_);
    auto it = units_.find(unit);
    if (unit != default_unit && it != units_.end()) {
      closed = it->second;
      closed->open = false;
      units_.erase(it);
    }
    fallback = units_.at(default_unit);
    draw_->active = fallback;
  }
  if (closed) {
    std::lock_guard lock(mouse_mutex_);
    for (auto it = mouse_.begin(); it != mouse_.end();) it = it->first.first == unit ? mouse_.erase(it) : std::next(it);
  }
  wait_cv_.notify_all();
  post([this, closed, fallback] {
    if (closed) destroy_view(closed);
    activate_view(fallback);
  });
}

void QtRuntime::focus_window(int unit) {
  gate();
  std::shared_ptr<Surface> s;
  {
    std::lock_guard lock(canvas_mutex_);
    auto it = units_.find(unit);
    if (it == units_.end()) return;
    s = it->second;
    draw_->active = s;
  }
  post([this, s] { activate_view(s); });
}

void QtRuntime::set_about_text(std::string_view text) {
  gate();
  post([this, text = std::string(text)] { about_ = text; });
}

// ---------------------------------------------------------------------------
// Drawing

Surface& QtRuntime::active_surface() { return *draw_->active; }

void QtRuntime::plot(Surface& s, int x, int y, uint32_t value) {
  if (x < 0 || y < 0 || x >= s.width || y >= s.height) return;
  uint32_t& p = s.pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(s.width) + static_cast<std::size_t>(x)];
  p = draw_->mode == write_xor ? p ^ value : value;
}

void QtRuntime::touched(Surface& s, int x1, int y1, int x2, int y2) {
  if (x1 > x2) std::swap(x1, x2);
  if (y1 > y2) std::swap(y1, y2);
  const QRect r = QRect(QPoint(x1, y1), QPoint(x2, y2)) & QRect(0, 0, s.width, s.height);
  if (r.isEmpty()) return;
  s.dirty |= r;
  s.extent |= r;
}

void QtRuntime::request_present() {
  if (present_requested_.load(std::memory_order_relaxed) || present_requested_.exchange(true)) return;
  post([this] { QTimer::singleShot(present_delay_ms, this, &QtRuntime::present_all); });
}

uint32_t QtRuntime::pixel_for_rgb(const Surface& s, uint32_t rgb) const {
  rgb &= 0xFFFFFF;
  if (s.colors > fixed_palette_colors) return direct_color | rgb;
  // The nearest colour the fixed palette offers.
  const auto channel = [](uint32_t c, int shift) { return static_cast<int>((c >> shift) & 0xFF); };
  int best = 0;
  long best_distance = -1;
  for (int i = 0; i < s.colors; ++i) {
    const uint32_t p = s.palette[static_cast<std::size_t>(i)];
    long d = 0;
    for (int shift : {0, 8, 16}) {
      const long delta = channel(p, shift) - channel(rgb, shift);
      d += delta * delta;
    }
    if (best_distance < 0 || d < best_distance) {
      best = i;
      best_distance = d;
    }
  }
  return static_cast<uint32_t>(best);
}

void QtRuntime::remap_palette(const uint32_t* colors, int count) {
  gate();
  if (colors == nullptr || count <= 0) return;
  std::shared_ptr<Surface> s;
  {
    std::lock_guard lock(canvas_mutex_);
    s = draw_->active;
    if (s->colors <= fixed_palette_colors) return;
  }
  // One load at a time: the next waits until the previous has been shown.
  if (!on_ui_thread())
    wait_for([&] { return !s->open || s->palette_shown.load() >= s->palette_loads.load(); });
  {
    std::lock_guard lock(canvas_mutex_);
    const int n = std::min(count, s->colors);
    std::copy(colors, colors + n, s->palette.begin());
    s->palette_dirty = true;
    s->palette_loads.fetch_add(1);
  }
  post([this] { present_all(); });
}

void QtRuntime::set_color(int index) {
  gate();
  std::lock_guard lock(canvas_mutex_);
  draw_->color = static_cast<uint32_t>(std::clamp(index, 0, active_surface().colors - 1));
}

void QtRuntime::set_color_rgb(uint32_t rgb) {
  gate();
  std::lock_guard lock(canvas_mutex_);
  draw_->color = pixel_for_rgb(active_surface(), rgb);
}

void QtRuntime::set_background_rgb(uint32_t rgb) {
  gate();
  std::lock_guard lock(canvas_mutex_);
  active_surface().background = pixel_for_rgb(active_surface(), rgb);
}

void QtRuntime::set_pixel(int x, int y) {
  gate();
  {
    std::lock_guard lock(canvas_mutex_);
    Surface& s = active_surface();
    plot(s, x, y, draw_->color);
    touched(s, x, y, x, y);
  }
  request_present();
}

Point QtRuntime::move_to(int x, int y) {
  gate();
  std::lock_guard lock(canvas_mutex_);
  const Point previous = draw_->position;
  draw_->position = {x, y};
  return previous;
}

void QtRuntime::line_to(int x, int y) {
  gate();
  {
    std::lock_guard lock(canvas_mutex_);
    Surface& s = active_surface();
    int x0 = draw_->position.x, y0 = draw_->position.y;
    touched(s, x0, y0, x, y);
    const int dx = std::abs(x - x0), sx = x0 < x ? 1 : -1;
    const int dy = -std::abs(y - y0), sy = y0 < y ? 1 : -1;
    int err = dx + dy;
    for (;;) {
      plot(s, x0, y0, draw_->color);
      if (x0 == x && y0 == y) break;
      const int e2 = 2 * err;
      if (e2 >= dy) {
        err += dy;
        x0 += sx;
      }
      if (e2 <= dx) {
        err += dx;
        y0 += sy;
      }
    }
    draw_->position = {x, y};
  }
  request_present();
}

void QtRuntime::rectangle(int /*control: only outlines are drawn*/, int x1, int y1, int x2, int y2) {
  gate();
  {
    std::lock_guard lock(canvas_mutex_);
    Surface& s = active_surface();
    if (x1 > x2) std::swap(x1, x2);
    if (y1 > y2) std::swap(y1, y2);
    // Each pixel of the outline exactly once, so that XOR twice restores it.
    for (int x = x1; x <= x2; ++x) {
      plot(s, x, y1, draw_->color);
      if (y2 != y1) plot(s, x, y2, draw_->color);
    }
    for (int y = y1 + 1; y < y2; ++y) {
      plot(s, x1, y, draw_->color);
      if (x2 != x1) plot(s, x2, y, draw_->color);
    }
    touched(s, x1, y1, x2, y2);
  }
  request_present();
}

void QtRuntime::set_write_mode(int mode) {
  gate();
  std::lock_guard lock(canvas_mutex_);
  draw_->mode = mode == write_xor ? write_xor : write_copy;
}

void QtRuntime::clear_screen() {
  gate();
  {
    std::lock_guard lock(canvas_mutex_);
    Surface& s = active_surface();
    std::fill(s.pixels.begin(), s.pixels.end(), s.background);
    s.dirty = QRect(0, 0, s.width, s.height);
    s.extent = QRect();
  }
  request_present();
}

void QtRuntime::init_fonts() { gate(); }

void QtRuntime::select_font(const FontRequest& font) {
  gate();
  QFont f = make_font(font.typeface, font.height, font.bold);
  std::lock_guard lock(canvas_mutex_);
  draw_->font = f;
}

int QtRuntime::draw_text(Surface& s, const QFont& font, uint32_t color, int x, int y, const QString& text,
                         std::unique_lock<std::mutex>& lock) {
  // Rendered without the lock: a coverage mask of the text, whose top-left
  // corner is (x, y), then laid into the surface with a transparent
  // background.
  lock.unlock();
  const QFontMetrics metrics(font);
  const int advance = metrics.horizontalAdvance(text);
  const int margin = metrics.height() / 2;
  QImage mask(advance + 2 * margin, metrics.height() + margin, QImage::Format_ARGB32_Premultiplied);
  mask.fill(Qt::transparent);
  {
    QPainter painter(&mask);
    painter.setFont(font);
    painter.setPen(Qt::black);
    painter.drawText(margin, metrics.ascent(), text);
  }
  lock.lock();
  if (!s.open) return advance;
  const bool fixed = s.colors <= fixed_palette_colors;
  const QRgb ink = color & direct_color ? to_qrgb(color) : to_qrgb(s.palette[color & 0xFF]);
  const int left = x - margin;
  for (int my = 0; my < mask.height(); ++my) {
    const int py = y + my;
    if (py < 0 || py >= s.height) continue;
    const auto* line = reinterpret_cast<const QRgb*>(mask.constScanLine(my));
    for (int mx = 0; mx < mask.width(); ++mx) {
      const int px = left + mx;
      const int a = qAlpha(line[mx]);
      if (a == 0 || px < 0 || px >= s.width) continue;
      uint32_t& p = s.pixels[static_cast<std::size_t>(py) * static_cast<std::size_t>(s.width) + static_cast<std::size_t>(px)];
      if (a == 255 || (fixed && a >= 128)) {
        p = color;
      } else if (!fixed) {
        const QRgb under = p & direct_color ? to_qrgb(p) : to_qrgb(s.palette[p & 0xFF]);
        const auto mix = [a](int top, int bottom) { return (top * a + bottom * (255 - a) + 127) / 255; };
        p = direct_color | static_cast<uint32_t>(mix(qRed(ink), qRed(under))) |
            (static_cast<uint32_t>(mix(qGreen(ink), qGreen(under))) << 8) |
            (static_cast<uint32_t>(mix(qBlue(ink), qBlue(under))) << 16);
      }
    }
  }
  touched(s, left, y, left + mask.width() - 1, y + mask.height() - 1);
  return advance;
}

void QtRuntime::out_text(std::string_view utf8) {
  gate();
  {
    std::unique_lock lock(canvas_mutex_);
    std::shared_ptr<Surface> s = draw_->active;
    const QFont font = draw_->font;
    const Point at = draw_->position;
    const int advance = draw_text(*s, font, draw_->color, at.x, at.y, qstring(utf8), lock);
    draw_->position.x += advance;
  }
  request_present();
}

void QtRuntime::write_line(std::string_view line) {
  gate();
  std::fprintf(stderr, "%.*s\n", static_cast<int>(line.size()), line.data());
  wrote_lines_.store(true);
  std::shared_ptr<Surface> s;
  {
    std::unique_lock lock(canvas_mutex_);
    s = units_.at(default_unit);
    const QFont font = make_font("Courier New", 16, false);
    const int row = draw_->lines++;
    draw_text(*s, font, 0, 4, 4 + row * 16, qstring(line), lock);
  }
  request_present();
  post([this, s] { activate_view(s); });
}

// ---------------------------------------------------------------------------
// Mouse, menus, keys

void QtRuntime::register_mouse(int unit, int event, MouseRoutine routine) {
  gate();
  std::lock_guard lock(mouse_mutex_);
  for (int bit : all_mouse_events)
    if (event & bit) mouse_[{unit, bit}] = routine;
}

void QtRuntime::unregister_mouse(int unit, int event) {
  gate();
  std::lock_guard lock(mouse_mutex_);
  for (int bit : all_mouse_events)
    if (event & bit) mouse_.erase({unit, bit});
}

void QtRuntime::deliver_mouse(int unit, int event, int key_state, int x, int y) {
  if (paused_.load() || shutdown_.load()) return;
  MouseRoutine routine;
  {
    std::lock_guard lock(mouse_mutex_);
    auto it = mouse_.find({unit, event});
    if (it == mouse_.end()) return;
    routine = it->second;  // the routine may register or unregister routines
  }
  call_guarded("mouse", [&] { routine(unit, event, key_state, x, y); });
}

void QtRuntime::deliver_key(int unit) {
  if (paused_.load()) return;
  {
    std::lock_guard lock(wait_mutex_);
    ++keys_[unit];
  }
  wait_cv_.notify_all();
}

void QtRuntime::wait_key() {
  gate();
  if (on_ui_thread()) return;  // nothing could type it
  int unit;
  {
    std::lock_guard lock(canvas_mutex_);
    unit = draw_->active->unit;
  }
  uint64_t before;
  {
    std::lock_guard lock(wait_mutex_);
    before = keys_[unit];
  }
  wait_for([&] { return keys_[unit] > before; });
  gate();
}

void QtRuntime::sleep_ms(int milliseconds) {
  gate();
  if (on_ui_thread()) return;
  wait_for([] { return false; }, std::max(milliseconds, 0));
  gate();
}

void QtRuntime::add_menu_item(int menu, int item, int flags, std::string_view text, MenuRoutine routine) {
  gate();
  post([this, menu, item, flags, text = std::string(text), routine = std::move(routine)] {
    QMenu* m = frame_->menu(menu);
    if (m == nullptr) return;
    auto* action = new QAction(qstring(text), m);
    MenuItemRecord& record = menu_items_[action];
    record.routine = routine;
    record.checked = flags == menu_checked;
    if (record.checked) {
      action->setCheckable(true);
      action->setChecked(true);
    }
    const QList<QAction*> actions = m->actions();
    if (item >= 1 && item <= actions.size())
      m->insertAction(actions[item - 1], action);
    else if (item < 1 && !actions.isEmpty())
      m->insertAction(actions.front(), action);
    else
      m->addAction(action);
    connect(action, &QAction::triggered, this, [this, action] { menu_item_chosen(action); });
  });
}

void QtRuntime::modify_menu_flags(int menu, int item, int flags) {
  gate();
  if (flags != menu_checked && flags != menu_unchecked) return;
  post([this, menu, item, flags] {
    QAction* action = menu_action(menu, item);
    auto it = menu_items_.find(action);
    if (it == menu_items_.end()) return;  // the runtime's own items keep their state
    it->second.checked = flags == menu_checked;
    // Once an item has carried a check mark it keeps showing the box.
    action->setCheckable(action->isCheckable() || it->second.checked);
    action->setChecked(it->second.checked);
  });
}

void QtRuntime::menu_item_chosen(QAction* action) {
  auto it = menu_items_.find(action);
  if (it == menu_items_.end()) return;
  // Qt has toggled a checkable item already; the mark is the program's to
  // set, so it goes back to what the program last set, and the routine
  // learns that state.
  const bool checked = it->second.checked;
  action->setChecked(checked);
  if (paused_.load() || shutdown_.load()) return;
  MenuRoutine routine = it->second.routine;  // the routine may change the menus
  if (routine) call_guarded("menu", [&] { routine(checked ? 1 : 0); });
}

// ---------------------------------------------------------------------------
// Dialogs

int QtRuntime::run_modal(Dialog& dialog) {
  gate();
  if (dialog.layout == nullptr || on_ui_thread()) return -1;
  auto session = std::make_shared<DialogSession>();
  post([this, session, widgets = widget_copy(dialog)] { open_dialog(session, widgets); });
  // However this ends, the widgets go.
  struct Closer {
    QtRuntime* runtime;
    std::shared_ptr<DialogSession> session;
    ~Closer() {
      runtime->post([r = runtime, s = session] { r->close_dialog(s); });
    }
  } closer{this, session};

  for (;;) {
    DialogSession::Event event;
    wait_for([&] { return !session->events.empty(); });
    {
      std::lock_guard lock(wait_mutex_);
      event = std::move(session->events.front());
      session->events.pop_front();
    }
    if (event.kind == DialogSession::Event::failed) return -1;
    // What Qt did on screen (the automatic radio buttons and check boxes)
    // is already in the widgets' values; the click routine runs here.
    apply_widget_values(dialog, event.widgets);
    ControlState* control = dialog.find(event.id);
    const bool button = control != nullptr && control->layout->kind == ControlKind::push_button;
    if (control != nullptr && control->on_click && (event.kind == DialogSession::Event::clicked || button)) {
      DialogCallback routine = control->on_click;  // the routine may remake the dialog
      routine(dialog, event.id, dialog_event_click);
    }
    if (event.kind == DialogSession::Event::closed) return event.id;
    post([session, widgets = widget_copy(dialog), seq = event.seq] {
      session->shown = widgets;
      // A click made since carries the widgets' newer values; it brings
      // its own refresh.
      if (session->view && session->sent == seq) session->view->refresh_from(widgets);
    });
  }
}

void QtRuntime::open_dialog(const std::shared_ptr<DialogSession>& session, const Dialog& model) {
  if (shutdown_.load()) {
    push_dialog_event(session, DialogSession::Event::failed, -1);
    return;
  }
  DialogView* view = nullptr;
  try {
    view = new DialogView(model, frame_);
  } catch (...) {
    push_dialog_event(session, DialogSession::Event::failed, -1);
    return;
  }
  session->view = view;
  session->shown = model;
  // Not modal to Qt, which would refuse to close the frame while it is up;
  // the frame's menus and windows are blocked instead.
  view->setWindowModality(Qt::NonModal);
  connect(view, &DialogView::clicked, this,
          [this, session](int id) { push_dialog_event(session, DialogSession::Event::clicked, id); });
  connect(view, &DialogView::finished_with, this, [this, session](int result) {
    push_dialog_event(session, DialogSession::Event::closed, result);
    close_dialog(session);
  });
  dialogs_.push_back(session);
  frame_->block_input(true);
  view->show();
  view->raise();
  view->activateWindow();
}

void QtRuntime::push_dialog_event(const std::shared_ptr<DialogSession>& session, int kind, int id) {
  DialogSession::Event event;
  event.kind = static_cast<DialogSession::Event::Kind>(kind);
  event.id = id;
  event.widgets = session->shown;
  if (session->view) session->view->read_into(event.widgets);
  event.seq = ++session->sent;
  {
    std::lock_guard lock(wait_mutex_);
    session->events.push_back(std::move(event));
  }
  wait_cv_.notify_all();
}

void QtRuntime::close_dialog(const std::shared_ptr<DialogSession>& session) {
  auto it = std::find(dialogs_.begin(), dialogs_.end(), session);
  if (it == dialogs_.end()) return;
  dialogs_.erase(it);
  if (DialogView* view = session->view) {
    session->view = nullptr;
    view->hide();
    view->deleteLater();
  }
  if (dialogs_.empty()) frame_->block_input(false);
}

// ---------------------------------------------------------------------------
// The user-interface side: views and presentation

namespace {

UnitWindow* unit_window(QWidget* view) {
  for (QWidget* w = view; w != nullptr; w = w->parentWidget())
    if (auto* u = qobject_cast<UnitWindow*>(w)) return u;
  return nullptr;
}

QScrollArea* scroll_area(QWidget* view) {
  for (QWidget* w = view; w != nullptr; w = w->parentWidget())
    if (auto* a = qobject_cast<QScrollArea*>(w)) return a;
  return nullptr;
}

}  // namespace

void QtRuntime::create_view(const std::shared_ptr<Surface>& s, const std::string& title) {
  auto* window = new UnitWindow(s->unit);
  auto* scroll = new SurfaceScrollArea;
  scroll->setBackgroundRole(QPalette::Dark);
  auto* view = new SurfaceView(s);
  scroll->setWidget(view);
  scroll->setWidgetResizable(fit_);
  window->setWidget(scroll);
  frame_->area()->addSubWindow(window);
  window->prevent_closing();
  s->view = view;
  const int unit = s->unit;
  connect(view, &SurfaceView::mouse, this,
          [this, unit](int event, int keys, int x, int y) { deliver_mouse(unit, event, keys, x, y); });
  connect(view, &SurfaceView::key_typed, this, [this, unit] { deliver_key(unit); });
  present(*s);
  view->set_fit(fit_);
  window->show();
  update_view(s, title);
}

void QtRuntime::update_view(const std::shared_ptr<Surface>& s, const std::string& title) {
  SurfaceView* view = s->view;
  if (view == nullptr) return;
  present(*s);
  UnitWindow* window = unit_window(view);
  QScrollArea* scroll = scroll_area(view);
  if (window == nullptr || scroll == nullptr) return;
  window->setWindowTitle(qstring(title));
  // As large as the picture at one to one, as far as the frame has room.
  scroll->updateGeometry();
  const QSize wanted = window->sizeHint();
  if (!frame_->area()->isVisible()) {
    window->resize(wanted);
    return;
  }
  const QSize room = frame_->area()->viewport()->size();
  window->resize(wanted.boundedTo(room));
  // Moved in where it would reach past the frame's edge.
  const QPoint at(std::clamp(window->x(), 0, std::max(room.width() - window->width(), 0)),
                  std::clamp(window->y(), 0, std::max(room.height() - window->height(), 0)));
  window->move(at);
}

void QtRuntime::destroy_view(const std::shared_ptr<Surface>& s) {
  SurfaceView* view = s->view;
  if (view == nullptr) return;
  s->view = nullptr;
  UnitWindow* window = unit_window(view);
  frame_->area()->removeSubWindow(window);
  delete window;
}

void QtRuntime::activate_view(const std::shared_ptr<Surface>& s) {
  SurfaceView* view = s->view;
  if (view == nullptr) return;
  if (UnitWindow* window = unit_window(view)) {
    frame_->area()->setActiveSubWindow(window);
    window->raise();
  }
  view->setFocus();
}

void QtRuntime::present_all() {
  present_requested_.store(false);
  std::vector<std::shared_ptr<Surface>> surfaces;
  {
    std::lock_guard lock(canvas_mutex_);
    for (const auto& [unit, s] : units_) surfaces.push_back(s);
  }
  for (const auto& s : surfaces) present(*s);
}

void QtRuntime::present_now() { present_all(); }

void QtRuntime::present(Surface& s) {
  QRect area;
  bool resized = false;
  uint64_t loads;
  {
    std::lock_guard lock(canvas_mutex_);
    const QRect full(0, 0, s.width, s.height);
    if (s.resized || s.shown.size() != full.size()) {
      s.shown = QImage(full.size(), QImage::Format_RGB32);
      s.resized = false;
      resized = true;
    }
    area = resized || s.palette_dirty ? full : s.dirty & full;
    if (!area.isEmpty()) {
      QRgb lut[256];
      for (int i = 0; i < 256; ++i) lut[i] = to_qrgb(s.palette[static_cast<std::size_t>(i)]);
      for (int y = area.top(); y <= area.bottom(); ++y) {
        const uint32_t* src = s.pixels.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(s.width);
        auto* dst = reinterpret_cast<QRgb*>(s.shown.scanLine(y));
        for (int x = area.left(); x <= area.right(); ++x) {
          const uint32_t v = src[x];
          dst[x] = v & direct_color ? to_qrgb(v) : lut[v & 0xFF];
        }
      }
    }
    s.dirty = QRect();
    s.palette_dirty = false;
    s.shown_extent = s.extent;
    loads = s.palette_loads.load();
  }
  if (s.palette_shown.load() != loads) {
    {
      std::lock_guard lock(wait_mutex_);
      s.palette_shown.store(loads);
    }
    wait_cv_.notify_all();
  }
  if (s.view && (resized || !area.isEmpty())) s.view->shown_changed(area, resized);
}

void QtRuntime::set_fit(bool fit) {
  fit_ = fit;
  std::vector<QPointer<SurfaceView>> views;
  {
    std::lock_guard lock(canvas_mutex_);
    for (const auto& [unit, s] : units_) views.push_back(s->view);
  }
  for (SurfaceView* view : views) {
    if (view == nullptr) continue;
    if (QScrollArea* scroll = scroll_area(view)) scroll->setWidgetResizable(fit);
    view->set_fit(fit);
  }
}

void QtRuntime::copy_active_picture() {
  present_all();
  SurfaceView* view = nullptr;
  if (QMdiSubWindow* window = frame_->area()->activeSubWindow()) view = window->findChild<SurfaceView*>();
  if (view == nullptr) {
    std::lock_guard lock(canvas_mutex_);
    view = draw_->active->view;
  }
  if (view != nullptr) QGuiApplication::clipboard()->setImage(view->image());
}

void QtRuntime::show_about() {
  QString text = QString::fromStdString(about_);
  text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
  auto* box = new QMessageBox(QMessageBox::Information, QStringLiteral("About ZenoPlot"), text, QMessageBox::Ok, frame_);
  box->setAttribute(Qt::WA_DeleteOnClose);
  box->setWindowModality(Qt::NonModal);
  box->show();
}

// ---------------------------------------------------------------------------
// What tests look at

QMainWindow* QtRuntime::frame() const { return frame_; }

SurfaceView* QtRuntime::view(int unit) const {
  std::lock_guard lock(canvas_mutex_);
  auto it = units_.find(unit);
  return it == units_.end() ? nullptr : it->second->view.data();
}

QMdiSubWindow* QtRuntime::subwindow(int unit) const {
  SurfaceView* v = view(unit);
  return v == nullptr ? nullptr : unit_window(v);
}

QAction* QtRuntime::menu_action(int menu, int item) const {
  QMenu* m = frame_->menu(menu);
  if (m == nullptr) return nullptr;
  const QList<QAction*> actions = m->actions();
  return item >= 1 && item <= actions.size() ? actions[item - 1] : nullptr;
}

int QtRuntime::pixel(int unit, int x, int y) const {
  std::lock_guard lock(canvas_mutex_);
  auto it = units_.find(unit);
  if (it == units_.end()) return -1;
  const Surface& s = *it->second;
  if (x < 0 || y < 0 || x >= s.width || y >= s.height) return -1;
  const uint32_t v = s.pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(s.width) + static_cast<std::size_t>(x)];
  return v & direct_color ? static_cast<int>(0x1000000u | (v & 0xFFFFFF)) : static_cast<int>(v);
}

QRgb QtRuntime::shown_pixel(int unit, int x, int y) const {
  std::lock_guard lock(canvas_mutex_);
  auto it = units_.find(unit);
  if (it == units_.end() || !it->second->shown.valid(x, y)) return 0;
  return it->second->shown.pixel(x, y);
}

int QtRuntime::active_unit() const {
  std::lock_guard lock(canvas_mutex_);
  return draw_->active->unit;
}

QSize QtRuntime::window_size(int unit) const {
  std::lock_guard lock(canvas_mutex_);
  auto it = units_.find(unit);
  return it == units_.end() ? QSize() : QSize(it->second->width, it->second->height);
}

int QtRuntime::window_colors(int unit) const {
  std::lock_guard lock(canvas_mutex_);
  auto it = units_.find(unit);
  return it == units_.end() ? 0 : it->second->colors;
}

std::string QtRuntime::about_text() const { return about_; }

}  // namespace zeno
