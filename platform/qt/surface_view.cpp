#include "platform/qt/surface_view.hpp"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

#include <algorithm>
#include <cmath>

#include "platform/qt/qt_runtime.hpp"

namespace zeno {

namespace {

constexpr uint32_t bgr(int r, int g, int b) {
  return static_cast<uint32_t>(r) | (static_cast<uint32_t>(g) << 8) | (static_cast<uint32_t>(b) << 16);
}

std::array<uint32_t, 256> make_default_palette() {
  std::array<uint32_t, 256> p{};
  constexpr uint32_t standard[16] = {
      bgr(0, 0, 0),       bgr(128, 0, 0),   bgr(0, 128, 0),   bgr(128, 128, 0),
      bgr(0, 0, 128),     bgr(128, 0, 128), bgr(0, 128, 128), bgr(192, 192, 192),
      bgr(128, 128, 128), bgr(255, 0, 0),   bgr(0, 255, 0),   bgr(255, 255, 0),
      bgr(0, 0, 255),     bgr(255, 0, 255), bgr(0, 255, 255), bgr(255, 255, 255)};
  std::copy(std::begin(standard), std::end(standard), p.begin());
  constexpr int level[6] = {0, 51, 102, 153, 204, 255};
  int i = 16;
  for (int r = 0; r < 6; ++r)
    for (int g = 0; g < 6; ++g)
      for (int b = 0; b < 6; ++b) p[static_cast<std::size_t>(i++)] = bgr(level[r], level[g], level[b]);
  for (int k = 0; i < 256; ++i, ++k) {
    const int v = 8 + k * 10;
    p[static_cast<std::size_t>(i)] = bgr(v, v, v);
  }
  return p;
}

int key_state(const QMouseEvent* e) {
  int state = 0;
  const Qt::MouseButtons b = e->buttons();
  if (b & Qt::LeftButton) state |= key_state_left;
  if (b & Qt::RightButton) state |= key_state_right;
  if (b & Qt::MiddleButton) state |= key_state_middle;
  if (e->modifiers() & Qt::ShiftModifier) state |= key_state_shift;
  if (e->modifiers() & Qt::ControlModifier) state |= key_state_control;
  return state;
}

}  // namespace

const std::array<uint32_t, 256>& default_palette() {
  static const std::array<uint32_t, 256> palette = make_default_palette();
  return palette;
}

void Surface::reset(int w, int h, int colour_count, uint32_t fill) {
  width = std::max(w, 1);
  height = std::max(h, 1);
  colors = colour_count;
  background = fill;
  pixels.assign(static_cast<std::size_t>(width) * static_cast<std::size_t>(height), fill);
  dirty = QRect(0, 0, width, height);
  extent = QRect();
  resized = true;
}

SurfaceView::SurfaceView(std::shared_ptr<Surface> surface, QWidget* parent)
    : QWidget(parent), surface_(std::move(surface)) {
  setFocusPolicy(Qt::StrongFocus);
  setAttribute(Qt::WA_OpaquePaintEvent);
  setMouseTracking(true);
}

QSize SurfaceView::sizeHint() const {
  return surface_->shown.isNull() ? QSize(640, 480) : surface_->shown.size();
}

void SurfaceView::set_fit(bool fit) {
  fit_ = fit;
  if (fit_) {
    setMinimumSize(1, 1);
    setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
  } else {
    setFixedSize(sizeHint());
  }
  update();
}

void SurfaceView::shown_changed(const QRect& area, bool resized) {
  if (resized && !fit_) setFixedSize(sizeHint());
  if (fit_ || resized) {
    update();
  } else {
    update(area);
  }
}

double SurfaceView::scale() const {
  if (!fit_ || surface_->shown.isNull()) return 1.0;
  // Fit what has been drawn (the picture starts at pixel 0, 0), or the
  // whole window when nothing has been drawn yet.
  QSize content = surface_->shown.size();
  const QRect& e = surface_->shown_extent;
  if (!e.isEmpty()) content = QSize(e.right() + 1, e.bottom() + 1);
  const double s = std::min(static_cast<double>(width()) / content.width(),
                            static_cast<double>(height()) / content.height());
  return s > 0 ? s : 1.0;
}

QPoint SurfaceView::to_picture(QPointF position) const {
  const double s = scale();
  return QPoint(static_cast<int>(std::floor(position.x() / s)), static_cast<int>(std::floor(position.y() / s)));
}

void SurfaceView::paintEvent(QPaintEvent* event) {
  QPainter painter(this);
  const QImage& image = surface_->shown;
  if (!fit_) {
    painter.fillRect(event->rect(), Qt::darkGray);
    painter.drawImage(event->rect().topLeft(), image, event->rect());
    return;
  }
  painter.fillRect(rect(), Qt::darkGray);
  const double s = scale();
  painter.setRenderHint(QPainter::SmoothPixmapTransform, s < 1.0);
  painter.scale(s, s);
  painter.drawImage(0, 0, image);
}

void SurfaceView::report(QMouseEvent* event, int code) {
  const QPoint p = to_picture(event->position());
  emit mouse(code, key_state(event), p.x(), p.y());
}

void SurfaceView::mousePressEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) report(event, mouse_left_down);
  if (event->button() == Qt::RightButton) report(event, mouse_right_down);
}

void SurfaceView::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) report(event, mouse_left_up);
  if (event->button() == Qt::RightButton) report(event, mouse_right_up);
}

void SurfaceView::mouseMoveEvent(QMouseEvent* event) { report(event, mouse_move); }

void SurfaceView::keyPressEvent(QKeyEvent* event) {
  switch (event->key()) {
    case Qt::Key_Shift:
    case Qt::Key_Control:
    case Qt::Key_Alt:
    case Qt::Key_AltGr:
    case Qt::Key_Meta:
    case Qt::Key_Super_L:
    case Qt::Key_Super_R:
    case Qt::Key_CapsLock:
    case Qt::Key_NumLock:
    case Qt::Key_unknown:
      QWidget::keyPressEvent(event);
      return;
    default:
      event->accept();
      emit key_typed();
  }
}

QSize SurfaceScrollArea::sizeHint() const {
  if (widget() == nullptr) return QScrollArea::sizeHint();
  const int frame = 2 * frameWidth();
  return widget()->sizeHint() + QSize(frame, frame);
}

}  // namespace zeno
