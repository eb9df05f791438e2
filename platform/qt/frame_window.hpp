#pragma once
// The frame window: the menu bar File, Edit, View, State, Window, Help with
// the runtime's own items, and the MDI area holding one child window per
// unit.

#include <QMainWindow>
#include <QMdiSubWindow>

class QAction;
class QMdiArea;
class QMenu;

namespace zeno {

// A unit's child window. Only the runtime removes it: the user cannot close
// it, the runtime deletes it.
class UnitWindow : public QMdiSubWindow {
  Q_OBJECT

 public:
  explicit UnitWindow(int unit, QWidget* parent = nullptr);
  int unit() const { return unit_; }
  // Takes the close button and the system menu away (after the MDI area
  // has added its own flags).
  void prevent_closing();

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  int unit_;
};

class FrameWindow : public QMainWindow {
  Q_OBJECT

 public:
  static constexpr int menu_count = 6;
  static constexpr int state_menu = 4;

  FrameWindow();

  QMdiArea* area() const { return area_; }
  // Menus counted from 1 at the left; nullptr outside.
  QMenu* menu(int number) const;
  QAction* pause_action() const { return pause_; }
  // "Pause", or "Resume" while paused.
  void show_paused(bool paused);
  // Menus and child windows take no input while a dialog is up; the frame
  // can still be closed.
  void block_input(bool blocked);

 signals:
  void close_requested();
  void exit_chosen();
  void pause_chosen();
  void copy_chosen();
  void fit_chosen(bool fit);
  void about_chosen();

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  void list_windows();

  QMdiArea* area_;
  QMenu* menus_[menu_count] = {};
  QAction* pause_ = nullptr;
  QAction* window_separator_ = nullptr;
};

}  // namespace zeno
