#pragma once
// A window's picture: a surface of colour indices with its palette, drawn into
// by the logic thread, and the widget that shows it and reports the mouse and
// the keyboard.

#include <QImage>
#include <QPointer>
#include <QRect>
#include <QScrollArea>
#include <QWidget>

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace zeno {

class SurfaceView;

// A stored pixel is a colour index (0..255), shown in the window's palette,
// or a direct colour: direct_color | 0x00BBGGRR.
inline constexpr uint32_t direct_color = 0x80000000u;

// Windows of this many colours or fewer have a fixed palette: palette loads
// are ignored and RGB colours become the nearest palette entry.
inline constexpr int fixed_palette_colors = 20;

// The palette a window starts with (0x00BBGGRR): sixteen standard colours,
// then a 6 x 6 x 6 colour cube and a grey ramp.
const std::array<uint32_t, 256>& default_palette();

struct Surface {
  // Guarded by the runtime's canvas mutex.
  int unit = 0;
  int width = 0;
  int height = 0;
  int colors = 16;
  std::vector<uint32_t> pixels;     // width * height
  std::array<uint32_t, 256> palette{};
  uint32_t background = 0;          // what clear_screen fills with
  std::string title;
  QRect dirty;                      // changed since the last present
  QRect extent;                     // drawn since the window was (re)made
  bool palette_dirty = true;
  bool resized = true;
  bool open = true;

  // Palette loads made and shown; a load waits until the previous is shown.
  std::atomic<uint64_t> palette_loads{0};
  std::atomic<uint64_t> palette_shown{0};

  // User-interface thread only.
  QImage shown;                     // RGB32, what the view paints
  QRect shown_extent;
  QPointer<SurfaceView> view;

  void reset(int w, int h, int colour_count, uint32_t fill);
};

class SurfaceView : public QWidget {
  Q_OBJECT

 public:
  explicit SurfaceView(std::shared_ptr<Surface> surface, QWidget* parent = nullptr);

  // Scaled to the viewport (true) or at one picture pixel per screen pixel.
  void set_fit(bool fit);
  bool fit() const { return fit_; }
  // The surface's shown image changed in `area` (picture pixels).
  void shown_changed(const QRect& area, bool resized);
  // The picture pixel under a position of this widget.
  QPoint to_picture(QPointF position) const;
  const QImage& image() const { return surface_->shown; }
  QSize sizeHint() const override;

 signals:
  void mouse(int event, int key_state, int x, int y);
  void key_typed();

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  double scale() const;
  void report(QMouseEvent* event, int code);

  std::shared_ptr<Surface> surface_;
  bool fit_ = false;
};

// The scroll area around a view: as large as the picture it holds, so that a
// child window can be sized to show the whole picture.
class SurfaceScrollArea : public QScrollArea {
 public:
  using QScrollArea::QScrollArea;
  QSize sizeHint() const override;
};

}  // namespace zeno
