// The interactive program as a user drives it, on a real X server.
//
// Runs under xvfb-run (see tests/CMakeLists.txt). The test starts the real
// zenoplot in a fresh directory and drives it from outside with synthetic
// keys and mouse buttons (xdotool): OK in the dialog, the default picture
// computed, State > Stop/Zoom Picture, a zoom box placed with the left button
// and sized with the right one, State > New Case or Exit, then Exit in the
// dialog. It sees the program through screenshots of the whole screen (the
// picture window is found by matching the picture file's pixels, so the
// mouse can be put on a known picture pixel) and reads the dialog's number
// boxes through the clipboard. At the end the picture file and the run log
// must be what the program promises. Two shorter runs end the program with
// a signal.
//
// Every wait is bounded by a generous deadline that only guards against a
// hang; nothing depends on how fast the machine is.

#include <signal.h>

#include <gtest/gtest.h>

#include <QClipboard>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QPixmap>
#include <QProcess>
#include <QScreen>
#include <QTemporaryDir>
#include <QThread>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace {

// ---------------------------------------------------------------- helpers

// Waits until `done` holds, keeping this process's own events flowing.
bool wait_until(const std::function<bool()>& done, int timeout_ms, int step_ms = 40) {
  QElapsedTimer timer;
  timer.start();
  for (;;) {
    QCoreApplication::processEvents();
    if (done()) return true;
    if (timer.elapsed() > timeout_ms) return false;
    QThread::msleep(step_ms);
  }
}

struct ToolResult {
  int code = -1;
  QString out;
};

ToolResult xdotool(const QStringList& args) {
  QProcess p;
  p.start(QStringLiteral("xdotool"), args);
  ToolResult r;
  if (!p.waitForFinished(10000)) {
    p.kill();
    p.waitForFinished(1000);
    return r;
  }
  r.code = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
  r.out = QString::fromLocal8Bit(p.readAllStandardOutput());
  return r;
}

// The visible top-level X windows whose title matches `pattern` exactly.
QStringList visible_windows(const QString& title) {
  const ToolResult r = xdotool({"search", "--onlyvisible", "--name", "^" + title + "$"});
  if (r.code != 0) return {};
  return r.out.split('\n', Qt::SkipEmptyParts);
}

void focus(const QString& window) { xdotool({"windowfocus", window}); }
void keys(const QStringList& names) {
  QStringList args{"key", "--delay", "60"};
  args += names;
  xdotool(args);
}

QImage grab_screen() {
  return QGuiApplication::primaryScreen()->grabWindow(0).toImage().convertToFormat(QImage::Format_RGB32);
}

// With ZENO_E2E_SCREENSHOTS set to a directory, the screen at each step is
// saved there as NAME.png, to look at by eye.
void keep_screenshot(const char* name) {
  const QByteArray dir = qgetenv("ZENO_E2E_SCREENSHOTS");
  if (!dir.isEmpty()) grab_screen().save(QString::fromLocal8Bit(dir) + "/" + name + ".png");
}

QByteArray read_file(const QString& path) {
  QFile f(path);
  if (!f.open(QIODevice::ReadOnly)) return {};
  return f.readAll();
}

uint32_t le32(const QByteArray& b, int at) {
  return uint32_t(uint8_t(b[at])) | uint32_t(uint8_t(b[at + 1])) << 8 | uint32_t(uint8_t(b[at + 2])) << 16 |
         uint32_t(uint8_t(b[at + 3])) << 24;
}

// An 8-bit picture file as colour indices (row 0 at the top) and its palette.
struct Picture {
  int width = 0, height = 0;
  uint32_t pixel_offset = 0;
  std::vector<QRgb> palette;
  std::vector<uint8_t> index;  // width * height

  QRgb color(int x, int y) const { return palette[index[std::size_t(y) * width + x]]; }
};

std::optional<Picture> read_picture(const QByteArray& b) {
  if (b.size() < 54 || b[0] != 'B' || b[1] != 'M') return std::nullopt;
  Picture p;
  p.pixel_offset = le32(b, 10);
  p.width = int(le32(b, 18));
  p.height = int(le32(b, 22));
  const int bits = uint8_t(b[28]) | uint8_t(b[29]) << 8;
  const uint32_t colors = le32(b, 46);
  const int row = ((p.width * bits + 31) / 32) * 4;
  if (bits != 8 || colors == 0 || colors > 256 || p.width <= 0 || p.height <= 0 ||
      qsizetype(p.pixel_offset) + qsizetype(row) * p.height > b.size())
    return std::nullopt;
  for (uint32_t i = 0; i < colors; ++i)
    p.palette.push_back(qRgb(uint8_t(b[54 + 4 * i + 2]), uint8_t(b[54 + 4 * i + 1]), uint8_t(b[54 + 4 * i])));
  p.palette.resize(256, qRgb(0, 0, 0));
  p.index.resize(std::size_t(p.width) * p.height);
  for (int y = 0; y < p.height; ++y) {
    const char* src = b.constData() + p.pixel_offset + qsizetype(p.height - 1 - y) * row;
    for (int x = 0; x < p.width; ++x) p.index[std::size_t(y) * p.width + x] = uint8_t(src[x]);
  }
  return p;
}

// A zoom box as drawn: both corner columns and rows included.
struct Box {
  int left, top, right, bottom;
  bool on_outline(int x, int y) const {
    const bool in_columns = x >= left && x <= right, in_rows = y >= top && y <= bottom;
    return (in_columns && (y == top || y == bottom)) || (in_rows && (x == left || x == right));
  }
};

// The part of the picture the screen comparisons look at: the top-left
// columns, which stay clear of the picture window's edge and scroll bar.
constexpr int compared_width = 640;
constexpr int compared_height = 600;

// Does the screen show the picture at `origin` with exactly `box` drawn over
// it (exclusive-or, so its outline differs) and nothing else changed?
bool shows(const QImage& screen, QPoint origin, const Picture& picture, const Box& box, QString* why = nullptr) {
  if (origin.x() < 0 || origin.y() < 0 || origin.x() + compared_width > screen.width() ||
      origin.y() + compared_height > screen.height()) {
    if (why) *why = "picture not on the screen";
    return false;
  }
  int outline = 0, outline_changed = 0, other_changed = 0;
  for (int y = 0; y < compared_height; ++y) {
    const QRgb* line = reinterpret_cast<const QRgb*>(screen.constScanLine(origin.y() + y)) + origin.x();
    for (int x = 0; x < compared_width; ++x) {
      const bool differs = qRgb(qRed(line[x]), qGreen(line[x]), qBlue(line[x])) != picture.color(x, y);
      if (box.on_outline(x, y)) {
        ++outline;
        outline_changed += differs;
      } else {
        other_changed += differs;
      }
    }
  }
  if (why)
    *why = QStringLiteral("%1 of %2 outline pixels changed, %3 other pixels changed")
               .arg(outline_changed)
               .arg(outline)
               .arg(other_changed);
  // A colour index and its exclusive-or with the box colour may happen to
  // show alike; nearly the whole outline must differ, nothing else may.
  return outline > 0 && outline_changed * 10 >= outline * 9 && other_changed == 0;
}

// Where the picture's pixel (0, 0) is on the screen: the position at which
// the screen shows the picture outside `box` (whatever is drawn there).
std::optional<QPoint> locate(const QImage& screen, const Picture& picture, const Box& box) {
  std::vector<QPoint> samples;
  for (int y = 0; y < compared_height; y += 23)
    for (int x = 0; x < compared_width; x += 19)
      if (x < box.left - 2 || x > box.right + 2 || y < box.top - 2 || y > box.bottom + 2) samples.emplace_back(x, y);
  for (int oy = 0; oy + compared_height <= screen.height(); ++oy)
    for (int ox = 0; ox + compared_width <= screen.width(); ++ox) {
      bool all = true;
      for (const QPoint& s : samples) {
        const QRgb c = screen.pixel(ox + s.x(), oy + s.y());
        if (qRgb(qRed(c), qGreen(c), qBlue(c)) != picture.color(s.x(), s.y())) {
          all = false;
          break;
        }
      }
      if (all) return QPoint(ox, oy);
    }
  return std::nullopt;
}

// The zoom box the program draws around (cx, cy) for a box width at 800 x 600.
Box box_at(int cx, int cy, int width, int height) {
  const int l = std::max(cx - width / 2, 0);
  const int right = std::min(l + width, 799);
  const int t = std::max(cy - height / 2, 0);
  const int bottom = std::min(t + height, 599);
  return Box{right - width, bottom - height, right, bottom};
}

std::vector<std::string> lines_of(const QByteArray& text) {
  std::vector<std::string> lines;
  std::string s = text.toStdString();
  std::size_t at = 0;
  while (at < s.size()) {
    const std::size_t end = s.find("\r\n", at);
    if (end == std::string::npos) {
      lines.push_back(s.substr(at) + "<no CR LF>");
      break;
    }
    lines.push_back(s.substr(at, end - at));
    at = end + 2;
  }
  return lines;
}

// ---------------------------------------------------------------- the test

class ZenoplotOnX : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dir_.isValid());
    ASSERT_EQ(QGuiApplication::platformName(), "xcb") << "run this test under xvfb-run";
    ASSERT_EQ(xdotool({"version"}).code, 0) << "xdotool is missing";
    program_.setWorkingDirectory(dir_.path());
    program_.setProcessChannelMode(QProcess::MergedChannels);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "xcb");
    // A sanitized build reports what system libraries keep until exit.
    QString lsan = env.value("LSAN_OPTIONS");
    if (!lsan.isEmpty()) lsan += ':';
    env.insert("LSAN_OPTIONS", lsan + "suppressions=" ZENO_E2E_LSAN_SUPPRESSIONS);
    program_.setProcessEnvironment(env);
  }

  void TearDown() override {
    if (program_.state() != QProcess::NotRunning) {
      program_.kill();
      program_.waitForFinished(5000);
    }
    const QByteArray output = program_.readAll();
    if (HasFailure() && !output.isEmpty()) std::fprintf(stderr, "zenoplot said:\n%s\n", output.constData());
  }

  QString path(const char* name) const { return dir_.filePath(name); }

  bool running() { return program_.state() == QProcess::Running; }

  void start_program() {
    program_.start(QStringLiteral(ZENOPLOT_EXE), {});
    ASSERT_TRUE(program_.waitForStarted(10000)) << "zenoplot did not start";
  }

  // The frame window (the one with the menu bar).
  QString frame() {
    QString found;
    wait_until(
        [&] {
          for (const QString& w : visible_windows("ZenoPlot")) {
            const ToolResult g = xdotool({"getwindowgeometry", w});
            if (g.code == 0 && !g.out.contains("Geometry: 1x1")) found = w;
          }
          return !found.isEmpty();
        },
        10000);
    return found;
  }

  QString dialog(int timeout_ms) {
    QString found;
    wait_until(
        [&] {
          const QStringList ws = visible_windows("Mandelbrot Set");
          if (!ws.isEmpty()) found = ws.front();
          return !found.isEmpty() || !running();
        },
        timeout_ms, 100);
    return found;
  }

  // Chooses an item of the State menu by its access key until `done`.
  bool choose_state_item(const QString& key, const std::function<bool()>& done) {
    for (int attempt = 0; attempt < 3; ++attempt) {
      const QString f = frame();
      if (f.isEmpty()) return false;
      focus(f);
      keys({"alt+s"});
      QThread::msleep(300);
      keys({key});
      if (wait_until(done, 15000, 100)) return true;
      keys({"Escape"});  // a menu left open
    }
    return false;
  }

  // The text of the dialog's edit box reached by the access key `key`.
  QString dialog_box_text(const QString& window, const QString& key) {
    const QString marker = QStringLiteral("(nothing copied yet)");
    QGuiApplication::clipboard()->setText(marker);
    focus(window);
    keys({key, "ctrl+a", "ctrl+c"});
    QString text;
    wait_until(
        [&] {
          text = QGuiApplication::clipboard()->text();
          return text != marker;
        },
        10000, 100);
    return text;
  }

  QTemporaryDir dir_;
  QProcess program_;
};

TEST_F(ZenoplotOnX, OnePictureZoomBoxNewCaseAndExit) {
  ASSERT_NO_FATAL_FAILURE(start_program());

  // The first dialog: OK with the start-up defaults (800 x 600, 236 colours).
  QString dlg = dialog(30000);
  ASSERT_FALSE(dlg.isEmpty()) << "no parameter dialog";
  ASSERT_FALSE(frame().isEmpty()) << "no frame window";
  keep_screenshot("1-dialog");
  const QString log_path = path("ZENOPLOT.TXT");
  const QString bmp_path = path("ZENOPIC0.BMP");
  bool started = false;
  for (int attempt = 0; attempt < 3 && !started; ++attempt) {
    focus(dlg);
    keys({"Return"});
    started = wait_until([&] { return QFile::exists(log_path); }, 10000, 100);
    if (!started && visible_windows("Mandelbrot Set").isEmpty()) break;
  }
  ASSERT_TRUE(started) << "OK did not start a picture";

  // The picture completes: the run log gets its timing line.
  ASSERT_TRUE(wait_until([&] { return read_file(log_path).contains("Total iterations"); }, 30000, 100))
      << "the picture did not complete";
  ASSERT_TRUE(QFile::exists(bmp_path));

  // Stop the colour cycling from the State menu. The picture file's header is
  // rewritten with the colours last shown, then the default zoom box (80 x 60
  // around the centre pixel 400, 300) appears over the picture.
  const Box default_box{360, 270, 440, 330};
  std::optional<Picture> picture;
  QPoint origin;
  const auto shows_box = [&](const Box& box) { return shows(grab_screen(), origin, *picture, box); };
  ASSERT_TRUE(choose_state_item("s", [&] {
    picture = read_picture(read_file(bmp_path));
    if (!picture || picture->width != 800 || picture->height != 600) return false;
    const QImage screen = grab_screen();
    const std::optional<QPoint> at = locate(screen, *picture, default_box);
    if (!at) return false;
    origin = *at;
    return shows(screen, origin, *picture, default_box);
  })) << "the stop did not end the colour cycling with the default zoom box on the picture";
  keep_screenshot("2-stopped");

  // Left button: the box follows to the pressed pixel. It is held until the
  // box is seen there, so a slow poll of the program cannot miss it.
  const int bx = 230, by = 180;
  xdotool({"mousemove", QString::number(origin.x() + bx), QString::number(origin.y() + by)});
  xdotool({"mousedown", "1"});
  const Box placed = box_at(bx, by, 80, 60);
  const bool placed_seen = wait_until([&] { return shows_box(placed); }, 15000, 60);
  xdotool({"mouseup", "1"});
  ASSERT_TRUE(placed_seen) << "the left button did not move the zoom box";
  keep_screenshot("3-placed");
  ASSERT_TRUE(wait_until([&] { return shows_box(placed); }, 15000, 60));

  // Right button 50 columns right of and 20 rows below the centre: the edge
  // goes through the pointer, width 2 * max(50, round(20 * 4 / 3)) = 100.
  xdotool({"mousemove", QString::number(origin.x() + bx + 50), QString::number(origin.y() + by + 20)});
  xdotool({"mousedown", "3"});
  const Box sized = box_at(bx, by, 100, 75);
  const bool sized_seen = wait_until([&] { return shows_box(sized); }, 15000, 60);
  xdotool({"mouseup", "3"});
  ASSERT_TRUE(sized_seen) << "the right button did not size the zoom box";
  {
    QString why;
    ASSERT_TRUE(wait_until([&] { return shows(grab_screen(), origin, *picture, sized, &why); }, 15000, 60))
        << why.toStdString();
  }
  keep_screenshot("4-sized");

  // State > New Case or Exit: the dialog comes back with the box's view.
  ASSERT_TRUE(choose_state_item("n", [&] { return !visible_windows("Mandelbrot Set").isEmpty(); }))
      << "New Case or Exit did not bring the dialog back";
  dlg = dialog(1000);
  ASSERT_FALSE(dlg.isEmpty());

  // The next view, as the zoom box computes it in extended precision from
  // the first picture's view: spacing 2.5 / (800 * 0.9f), centre pixel
  // (400, 300), the centre's imaginary part moved onto the pixel grid
  // (33 rows above the real axis).
  const long double magnification = 0.9f;
  const double spacing = static_cast<double>(2.5L / (800 * magnification));
  const double center_y = static_cast<double>(33 * static_cast<long double>(spacing));
  const double next_x = static_cast<double>(-0.7454298994L + (bx - 400) * static_cast<long double>(spacing));
  const double next_y = static_cast<double>(center_y + (300 - by) * static_cast<long double>(spacing));
  const float next_magnification = static_cast<float>(800.0L / 100 * magnification);

  const QString x_text = dialog_box_text(dlg, "alt+x");
  const QString y_text = dialog_box_text(dlg, "alt+y");
  const QString m_text = dialog_box_text(dlg, "alt+m");
  std::printf("picture at (%d, %d) on the screen; next view in the dialog: %s, %s, x %s\n", origin.x(), origin.y(),
              qPrintable(x_text), qPrintable(y_text), qPrintable(m_text));
  // The dialog shows 16 significant digits; one pixel is 0.0035 here.
  EXPECT_NEAR(x_text.toDouble(), next_x, 1e-15) << x_text.toStdString();
  EXPECT_NEAR(y_text.toDouble(), next_y, 1e-15) << y_text.toStdString();
  EXPECT_NEAR(m_text.toDouble(), next_magnification, 1e-5) << m_text.toStdString();
  EXPECT_NEAR(next_magnification, 7.2f, 1e-6);

  // The keep box of the completed picture: "Sa&ve ZENOPIC0.BMP", so Alt+V
  // toggles a check box (and only that changes on the screen). Toggled twice,
  // it is checked again and the picture is kept.
  focus(dlg);
  keys({"alt+v"});
  QImage unchecked;
  ASSERT_TRUE(wait_until(
      [&] {
        const QImage a = grab_screen();
        QThread::msleep(150);
        unchecked = grab_screen();
        return a == unchecked;
      },
      10000));
  keys({"alt+v"});
  QRect changed;
  ASSERT_TRUE(wait_until(
      [&] {
        const QImage b = grab_screen();
        changed = QRect();
        for (int y = 0; y < b.height(); ++y)
          for (int x = 0; x < b.width(); ++x)
            if (b.pixel(x, y) != unchecked.pixel(x, y)) changed |= QRect(x, y, 1, 1);
        return !changed.isEmpty();
      },
      10000))
      << "Alt+V changed nothing: the keep box is not labelled Sa&ve";
  keep_screenshot("5-second-dialog");
  EXPECT_LE(changed.width(), 24) << "more than a check mark changed";
  EXPECT_LE(changed.height(), 24) << "more than a check mark changed";

  // Exit: the program ends by itself with success.
  focus(dlg);
  keys({"alt+t"});
  ASSERT_TRUE(program_.waitForFinished(20000)) << "Exit did not end the program";
  EXPECT_EQ(program_.exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(program_.exitCode(), 0);

  // What is on disk: the kept picture and the run log, nothing else.
  EXPECT_EQ(QDir(dir_.path()).entryList(QDir::Files, QDir::Name), (QStringList{"ZENOPIC0.BMP", "ZENOPLOT.TXT"}));
  const QByteArray bmp = read_file(bmp_path);
  EXPECT_EQ(bmp.size(), 481600);

  // The same case from the batch renderer: the same header and rows; the
  // palette differs only by the rotation the colour cycling left it in.
  QTemporaryDir batch_dir;
  ASSERT_TRUE(batch_dir.isValid());
  QProcess batch;
  batch.start(QStringLiteral(ZENOPLOT_RENDER_EXE), {"--directory", batch_dir.path()});
  ASSERT_TRUE(batch.waitForFinished(60000));
  ASSERT_EQ(batch.exitCode(), 0);
  const QByteArray reference = read_file(batch_dir.filePath("ZENOPIC0.BMP"));
  ASSERT_EQ(reference.size(), bmp.size());
  EXPECT_EQ(bmp.left(54), reference.left(54));
  const uint32_t rows_at = le32(reference, 10);
  EXPECT_TRUE(bmp.mid(rows_at) == reference.mid(rows_at)) << "the picture's rows differ from the batch renderer's";
  const std::optional<Picture> shown = read_picture(bmp), batch_picture = read_picture(reference);
  ASSERT_TRUE(shown && batch_picture);
  EXPECT_EQ(shown->palette[0], batch_picture->palette[0]);
  EXPECT_EQ(shown->palette[235], batch_picture->palette[235]);
  bool rotation_found = false;
  for (int k = 0; k < 234 && !rotation_found; ++k) {
    bool same = true;
    for (int j = 1; j <= 234 && same; ++j) same = shown->palette[j] == batch_picture->palette[1 + (j - 1 + k) % 234];
    rotation_found = same;
  }
  EXPECT_TRUE(rotation_found) << "the stored palette is not a rotation of the built one";

  const std::vector<std::string> log = lines_of(read_file(log_path));
  ASSERT_EQ(log.size(), 5u);
  EXPECT_EQ(log[0], " Output file is ZENOPIC0.BMP.  Screen mode is S2, algorithm E ");
  EXPECT_EQ(log[1], " Center:  -.7454298994000   .1145833363688");
  EXPECT_EQ(log[2], " Magnification     .90000    ,   Maximum Iterations per point   271");
  // " Total iterations =    6701231,   Execution time   0: 0:  .1": the
  // same total as the batch renderer's; the time is the machine's.
  EXPECT_EQ(log[3].size(), 60u) << log[3];
  EXPECT_EQ(log[3].substr(30, 18), ",   Execution time") << log[3];
  const std::vector<std::string> batch_log = lines_of(read_file(batch_dir.filePath("ZENOPLOT.TXT")));
  ASSERT_EQ(batch_log.size(), 5u);
  EXPECT_EQ(log[3].substr(0, 30), batch_log[3].substr(0, 30));
  EXPECT_EQ(log[4], "");
}

// An interrupt or termination signal ends the program as closing the frame
// window does: at once, with its files closed.
TEST_F(ZenoplotOnX, InterruptAtTheFirstDialogLeavesNothing) {
  ASSERT_NO_FATAL_FAILURE(start_program());
  ASSERT_FALSE(dialog(30000).isEmpty()) << "no parameter dialog";
  ::kill(pid_t(program_.processId()), SIGINT);
  ASSERT_TRUE(program_.waitForFinished(20000)) << "SIGINT did not end the program";
  EXPECT_EQ(program_.exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(program_.exitCode(), 128 + SIGINT);
  EXPECT_EQ(QDir(dir_.path()).entryList(QDir::Files), QStringList{});
}

TEST_F(ZenoplotOnX, TerminationWhileColoursCycleKeepsTheCompletedPicture) {
  ASSERT_NO_FATAL_FAILURE(start_program());
  const QString dlg = dialog(30000);
  ASSERT_FALSE(dlg.isEmpty()) << "no parameter dialog";
  const QString log_path = path("ZENOPLOT.TXT");
  focus(dlg);
  keys({"Return"});
  ASSERT_TRUE(wait_until([&] { return read_file(log_path).contains("Total iterations"); }, 30000, 100))
      << "the picture did not complete";
  program_.terminate();
  ASSERT_TRUE(program_.waitForFinished(20000)) << "SIGTERM did not end the program";
  EXPECT_EQ(program_.exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(program_.exitCode(), 128 + SIGTERM);
  EXPECT_EQ(QDir(dir_.path()).entryList(QDir::Files, QDir::Name), (QStringList{"ZENOPIC0.BMP", "ZENOPLOT.TXT"}));
  EXPECT_EQ(read_file(path("ZENOPIC0.BMP")).size(), 481600);
  EXPECT_EQ(lines_of(read_file(log_path)).size(), 5u);
}

}  // namespace

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  if (qEnvironmentVariableIsEmpty("DISPLAY")) {
    std::fputs("These tests need an X display: run them under xvfb-run.\n", stderr);
    return 1;
  }
  QGuiApplication app(argc, argv);
  return RUN_ALL_TESTS();
}
