#include "platform/qt/frame_window.hpp"

#include <QActionGroup>
#include <QCloseEvent>
#include <QMdiArea>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>

namespace zeno {

namespace {
const char* const window_list_property = "zeno_window_list";
}

UnitWindow::UnitWindow(int unit, QWidget* parent) : QMdiSubWindow(parent), unit_(unit) {}

void UnitWindow::prevent_closing() {
  setWindowFlags(Qt::SubWindow | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowMinMaxButtonsHint);
}

void UnitWindow::closeEvent(QCloseEvent* event) { event->ignore(); }

FrameWindow::FrameWindow() : area_(new QMdiArea(this)) {
  setWindowTitle(QStringLiteral("ZenoPlot"));
  area_->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  area_->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  setCentralWidget(area_);

  const char* const titles[menu_count] = {"&File", "&Edit", "&View", "&State", "&Window", "&Help"};
  for (int i = 0; i < menu_count; ++i) menus_[i] = menuBar()->addMenu(tr(titles[i]));

  connect(menus_[0]->addAction(tr("E&xit")), &QAction::triggered, this, &FrameWindow::exit_chosen);

  QAction* copy = menus_[1]->addAction(tr("&Copy"));
  copy->setShortcut(QKeySequence::Copy);
  connect(copy, &QAction::triggered, this, &FrameWindow::copy_chosen);

  auto* zoom = new QActionGroup(this);
  QAction* fit = menus_[2]->addAction(tr("&Fit to Window"));
  QAction* actual = menus_[2]->addAction(tr("&Actual Size"));
  for (QAction* a : {fit, actual}) {
    a->setCheckable(true);
    zoom->addAction(a);
  }
  actual->setChecked(true);
  connect(fit, &QAction::triggered, this, [this] { emit fit_chosen(true); });
  connect(actual, &QAction::triggered, this, [this] { emit fit_chosen(false); });

  pause_ = menus_[state_menu - 1]->addAction(QStringLiteral("Pause"));
  connect(pause_, &QAction::triggered, this, &FrameWindow::pause_chosen);

  connect(menus_[4]->addAction(tr("&Cascade")), &QAction::triggered, area_, &QMdiArea::cascadeSubWindows);
  connect(menus_[4]->addAction(tr("&Tile")), &QAction::triggered, area_, &QMdiArea::tileSubWindows);
  window_separator_ = menus_[4]->addSeparator();
  connect(menus_[4], &QMenu::aboutToShow, this, &FrameWindow::list_windows);

  connect(menus_[5]->addAction(tr("&About ZenoPlot")), &QAction::triggered, this, &FrameWindow::about_chosen);
}

QMenu* FrameWindow::menu(int number) const {
  return number >= 1 && number <= menu_count ? menus_[number - 1] : nullptr;
}

void FrameWindow::show_paused(bool paused) {
  pause_->setText(paused ? QStringLiteral("Resume") : QStringLiteral("Pause"));
}

void FrameWindow::block_input(bool blocked) {
  // The State menu's Pause and the Window menu stay usable only when
  // nothing is blocked; closing the frame always works.
  for (int i = 1; i < menu_count; ++i) menus_[i]->setEnabled(!blocked);
  area_->setEnabled(!blocked);
}

void FrameWindow::list_windows() {
  QMenu* m = menus_[4];
  for (QAction* a : m->actions())
    if (a->property(window_list_property).toBool()) {
      m->removeAction(a);
      a->deleteLater();
    }
  int n = 0;
  for (QMdiSubWindow* w : area_->subWindowList()) {
    QAction* a = m->addAction(QStringLiteral("&%1 %2").arg(++n).arg(w->windowTitle()));
    a->setProperty(window_list_property, true);
    a->setCheckable(true);
    a->setChecked(w == area_->activeSubWindow());
    connect(a, &QAction::triggered, area_, [this, w = QPointer<QMdiSubWindow>(w)] {
      if (w) area_->setActiveSubWindow(w);
    });
  }
}

void FrameWindow::closeEvent(QCloseEvent* event) {
  event->accept();
  emit close_requested();
}

}  // namespace zeno
