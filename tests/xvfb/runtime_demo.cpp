// The window runtime on a real X server: the frame with its six menus, a
// picture window drawn in both write modes, a help-like page in the default
// window, and the parameter dialog of template 101, which answers itself
// with OK after a screenshot of the whole screen has been saved.
//
//   runtime_demo [screenshot.png]
//
// Exits 0 when everything went as expected.
#include <QAbstractButton>
#include <QApplication>
#include <QMainWindow>
#include <QMenuBar>
#include <QPixmap>
#include <QScreen>
#include <QTimer>

#include <atomic>
#include <cstdio>
#include <string>
#include <vector>

#include "platform/dialog.hpp"
#include "platform/qt/dialog_view.hpp"
#include "platform/qt/qt_program.hpp"
#include "platform/runtime.hpp"

namespace {

std::atomic<int> failures{0};
std::string screenshot_path = "/tmp/zenoplot_runtime_demo.png";

void fail(const char* what) {
  std::fprintf(stderr, "runtime_demo: %s\n", what);
  ++failures;
}

QMainWindow* find_frame() {
  for (QWidget* w : QApplication::topLevelWidgets())
    if (auto* frame = qobject_cast<QMainWindow*>(w); frame && frame->windowTitle() == "ZenoPlot") return frame;
  return nullptr;
}

// On the user-interface thread: once the dialog is up, check the frame, save
// the screen and press OK.
void answer_the_dialog() {
  auto* timer = new QTimer(qApp);
  auto waited = std::make_shared<int>(0);
  QObject::connect(timer, &QTimer::timeout, [timer, waited] {
    zeno::DialogView* view = nullptr;
    for (QWidget* w : QApplication::topLevelWidgets())
      if (auto* v = qobject_cast<zeno::DialogView*>(w); v && v->isVisible()) view = v;
    if (view == nullptr || ++*waited < 10) return;  // let it be painted
    timer->stop();
    timer->deleteLater();

    QMainWindow* frame = find_frame();
    if (frame == nullptr) {
      fail("no frame window");
    } else {
      QStringList menus;
      for (QAction* a : frame->menuBar()->actions()) menus << a->text().remove('&');
      if (menus != QStringList({"File", "Edit", "View", "State", "Window", "Help"})) fail("the menu bar is wrong");
    }
    const QPixmap screen = QGuiApplication::primaryScreen()->grabWindow(0);
    if (!screen.save(QString::fromStdString(screenshot_path))) fail("cannot save the screenshot");
    std::printf("runtime_demo: screenshot %s (%dx%d)\n", screenshot_path.c_str(), screen.width(), screen.height());
    if (auto* ok = qobject_cast<QAbstractButton*>(view->control(zeno::ctl::ok)))
      ok->click();
    else
      fail("the dialog has no OK button");
  });
  timer->start(50);
}

void draw_picture(int width, int height) {
  using namespace zeno;
  // A colour wheel of 236 entries, red in the low byte.
  std::vector<uint32_t> palette(236);
  for (int i = 1; i < 235; ++i) {
    const int h = (i - 1) * 6 * 255 / 234, sector = h / 255, f = h % 255;
    int r = 0, g = 0, b = 0;
    switch (sector) {
      case 0: r = 255; g = f; break;
      case 1: r = 255 - f; g = 255; break;
      case 2: g = 255; b = f; break;
      case 3: g = 255 - f; b = 255; break;
      case 4: r = f; b = 255; break;
      default: r = 255; b = 255 - f; break;
    }
    palette[static_cast<std::size_t>(i)] = static_cast<uint32_t>(r | g << 8 | b << 16);
  }
  palette[235] = 0xFFFFFF;
  gw_remap_palette(palette.data(), 236);

  gw_set_color(235);
  gw_move_to(0, 0);
  gw_line_to(width - 1, height - 1);
  gw_move_to(0, height - 1);
  gw_line_to(width - 1, 0);
  for (int row = 0; row < height; ++row) {
    if (row % 3 == 0 && row > height / 4 && row < 3 * height / 4) continue;  // leave some of the cross
    for (int col = 0; col < width; ++col) {
      const double cx = -0.7454 + (col - width / 2) * 3.0 / width;
      const double cy = 0.113 + (height / 2 - row) * 3.0 / width;
      double x = 0, y = 0;
      int n = 0;
      while (n < 200 && x * x + y * y < 4) {
        const double t = x * x - y * y + cx;
        y = 2 * x * y + cy;
        x = t;
        ++n;
      }
      gw_set_color(n == 200 ? 0 : 1 + n % 234);
      gw_set_pixel(col, row);
    }
  }
  // The zoom box, exclusive-or: drawn three times, so it stays.
  gw_set_write_mode(write_xor);
  gw_set_color(235);
  for (int i = 0; i < 3; ++i) gw_rectangle(rectangle_outline, 360, 270, 440, 330);
  gw_set_write_mode(write_copy);
}

void help_page() {
  using namespace zeno;
  gw_focus_window(default_unit);
  gw_set_background_rgb(160 | 160 << 8 | 160 << 16);
  gw_clear_screen();
  gw_init_fonts();
  gw_select_font({"Times New Roman", 48, true});
  gw_move_to(190, 0);
  gw_set_color_rgb(255 | 0 << 8 | 32 << 16);
  gw_out_text("ZENOPLOT");
  gw_select_font({"Times New Roman", 32, true});
  gw_set_color_rgb(0 | 255 << 8 | 255 << 16);
  gw_move_to(22, 50);
  gw_out_text("High-Resolution rendition of the Mandelbrot Set");
  gw_select_font({"Arial", 16, true});
  gw_set_color(0);
  gw_move_to(0, 216);
  gw_out_text("The Mandelbrot set: stability of iterations of  z := z\u00b2 + c");
  gw_select_font({"Arial", 16, false});
  gw_move_to(0, 234);
  gw_out_text("Computes and displays a portion of the Mandelbrot set in color, with high resolution and high numerical");
  gw_select_font({"Arial", 16, true});
  gw_move_to(220, 462);
  gw_out_text("STRIKE ANY KEY TO CONTINUE");
}

void program() {
  using namespace zeno;
  gw_set_about_text("Z E N O P L O T\r\rruntime demo");
  WindowConfig config;
  config.title = "ZenoPlot HELP";
  if (!gw_configure_window(config)) gw_configure_window(config);
  gw_add_menu_item(4, 2, menu_unchecked, "&Stop/Zoom Picture", [](int) {});
  gw_add_menu_item(4, 3, menu_checked, "&Rotate Colors", [](int) {});
  gw_add_menu_item(4, 4, menu_unchecked, "&New Case or Exit", [](int) {});
  help_page();

  gw_open_window(picture_unit, "Mandelbrot Set at (-0.7454, 0.113)");
  draw_picture(800, 600);
  gw_sleep(200);

  Dialog dialog;
  if (!dlg_init(dialog, parameter_dialog_template)) fail("no template 101");
  dlg_set(dialog, ctl::message, "Enter or Confirm Parameters", DlgSelector::label);
  dlg_set(dialog, ctl::directory, "/tmp");
  dlg_set(dialog, ctl::resolution_list, 4, DlgSelector::item_count);
  const char* items[] = {" 640 x 480", " 800 x 600", "1024 x 768", "1280 x 1024"};
  for (int n = 1; n <= 4; ++n) dlg_set(dialog, ctl::resolution_list, items[n - 1], DlgSelector::item, n);
  dlg_set(dialog, ctl::resolution_list, 2, DlgSelector::state);
  dlg_set(dialog, ctl::colors_236, 1);
  dlg_set(dialog, ctl::escape, 1);
  dlg_set(dialog, ctl::border, 0);
  dlg_set(dialog, ctl::center_x, "-7.454298994000000E-001");
  dlg_set(dialog, ctl::center_y, "1.130077947400000E-001");
  dlg_set(dialog, ctl::magnification, "9.000000E-01");
  dlg_set(dialog, ctl::angle, "     0");
  dlg_set(dialog, ctl::border_width, "   .15");
  QMetaObject::invokeMethod(qApp, answer_the_dialog, Qt::QueuedConnection);
  if (dlg_modal(dialog) != ctl::ok) fail("the dialog did not close with OK");
  gw_close_window(picture_unit);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc > 1) screenshot_path = argv[1];
  bool closed_files = false;
  const int code = zeno::run_qt_program(argc, argv, program, [&] { closed_files = true; });
  if (!closed_files) fail("the program's files were not closed");
  if (code != 0) return code;
  return failures.load() == 0 ? 0 : 3;
}
