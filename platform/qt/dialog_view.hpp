#pragma once
// The Qt face of a dialog model: one widget per control of the model's
// template, placed by converting dialog units, in the template's tab order.
//
// The view never changes the model by itself: refresh_from() shows the model,
// read_into() writes what the user entered back. A click on a radio button or
// check box is reported by clicked() after the widget has changed its state;
// a push button, Escape or the caption's close box close the dialog and
// report finished_with() with the button's id, or 2 for a dismissal.

#include <vector>

#include <QDialog>

#include "platform/dialog.hpp"

class QButtonGroup;

namespace zeno {

class DialogView : public QDialog {
  Q_OBJECT

 public:
  explicit DialogView(const Dialog& model, QWidget* parent = nullptr);

  // Widget values into the model: edit texts, check and radio states, the
  // selected item number of a list (1-based, 0 for none).
  void read_into(Dialog& model) const;
  // The model's texts, labels, states, items and selections into the widgets.
  // Emits no clicked().
  void refresh_from(const Dialog& model);

  // The widget showing control `id`, or nullptr.
  QWidget* control(int id) const;

  // What Escape and the caption's close box return.
  static constexpr int dismissed = 2;

 public slots:
  void reject() override;

 signals:
  void clicked(int control_id);
  void finished_with(int result);

 private:
  struct Control {
    int id;
    ControlKind kind;
    QWidget* widget;
  };

  void finish(int result);

  std::vector<Control> controls_;       // template order
  std::vector<QButtonGroup*> groups_;   // one per control group holding radio buttons
};

}  // namespace zeno
