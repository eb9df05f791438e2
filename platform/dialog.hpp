#pragma once
// The dialog facility: a dialog object made from a template, a value per
// control aspect set before the dialog runs and read after it closes, click
// callbacks, and the modal run (done by the installed runtime).
//
// The model here is the same for every runtime; the Qt runtime shows it as
// widgets and writes the final values back before dlg_modal returns, the
// headless runtime lets a test script act on it.

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "resources/dialog_template.hpp"

namespace zeno {

enum class DlgSelector {
  main,        // an edit box's text, a check box's state
  label,       // the label text of a button
  state,       // check/radio state, a list's selected item (1-based), an edit box's text
  item_count,  // number of items of a list
  item,        // text of a list's item n (n from 1)
  click,       // the routine called on a click
};

class Dialog;
using DialogCallback = std::function<void(Dialog& dialog, int control_id, int event)>;

// The click event kind handed to callbacks.
inline constexpr int dialog_event_click = 1;

struct ControlState {
  const ControlTemplate* layout = nullptr;
  std::string text;                // label of a button, text of an edit box or label
  int checked = 0;                 // check boxes and radio buttons
  std::vector<std::string> items;  // drop-down list items, in list order
  int selected = 0;                // drop-down list: 1-based item number, 0 none
  DialogCallback on_click;
};

class Dialog {
 public:
  const DialogTemplate* layout = nullptr;  // nullptr until dlg_init succeeded
  std::vector<ControlState> controls;      // template order

  ControlState* find(int id);
  const ControlState* find(int id) const;
};

// Creates the dialog afresh from template `template_id`; every check box
// starts checked. False when there is no such template.
bool dlg_init(Dialog& dialog, int template_id);

// Integer or flag aspects (state, item count, main value of a check box).
bool dlg_set(Dialog& dialog, int id, int value, DlgSelector selector = DlgSelector::main);
// Text aspects (main/state of an edit box, label, item n).
bool dlg_set(Dialog& dialog, int id, std::string_view text, DlgSelector selector = DlgSelector::main,
             int item = 0);
bool dlg_get(const Dialog& dialog, int id, int& value, DlgSelector selector = DlgSelector::main);
// The text blank-padded (or cut) to `length` characters.
bool dlg_get(const Dialog& dialog, int id, std::string& text, std::size_t length,
             DlgSelector selector = DlgSelector::main, int item = 0);
bool dlg_set_callback(Dialog& dialog, int id, DialogCallback routine,
                      DlgSelector selector = DlgSelector::click);
// Shows the dialog modally; returns the closing push button's id, 2 for a
// dismissal, -1 when it cannot be shown.
int dlg_modal(Dialog& dialog);

// What a user's click does to the model: an automatic radio button checks
// itself and unchecks the other radio buttons of its group, an automatic check
// box toggles; then the control's click routine runs. Returns true when the
// control is a push button (which closes the dialog).
bool dlg_click(Dialog& dialog, int id);

}  // namespace zeno
