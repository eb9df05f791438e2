#include "platform/dialog.hpp"

#include "platform/runtime.hpp"

namespace zeno {

ControlState* Dialog::find(int id) {
  for (auto& c : controls)
    if (c.layout->id == id) return &c;
  return nullptr;
}

const ControlState* Dialog::find(int id) const { return const_cast<Dialog*>(this)->find(id); }

bool dlg_init(Dialog& dialog, int template_id) {
  dialog.layout = nullptr;
  dialog.controls.clear();
  const DialogTemplate* t = find_dialog_template(template_id);
  if (t == nullptr) return false;
  dialog.layout = t;
  dialog.controls.reserve(t->controls.size());
  for (const auto& layout : t->controls) {
    ControlState c;
    c.layout = &layout;
    c.text = std::string(layout.text);
    c.checked = layout.kind == ControlKind::check_box ? 1 : 0;
    dialog.controls.push_back(std::move(c));
  }
  return true;
}

namespace {

bool is_button(const ControlState& c) {
  return c.layout->kind == ControlKind::check_box || c.layout->kind == ControlKind::radio_button;
}

}  // namespace

bool dlg_set(Dialog& dialog, int id, int value, DlgSelector selector) {
  ControlState* c = dialog.find(id);
  if (c == nullptr) return false;
  const ControlKind kind = c->layout->kind;
  switch (selector) {
    case DlgSelector::main:
    case DlgSelector::state:
      if (is_button(*c)) {
        c->checked = value != 0 ? 1 : 0;
        return true;
      }
      if (kind == ControlKind::drop_down_list) {
        if (value < 0 || value > static_cast<int>(c->items.size())) return false;
        c->selected = value;
        return true;
      }
      return false;
    case DlgSelector::item_count:
      if (kind != ControlKind::drop_down_list || value < 0) return false;
      c->items.resize(static_cast<std::size_t>(value));
      if (c->selected > value) c->selected = 0;
      return true;
    default:
      return false;
  }
}

bool dlg_set(Dialog& dialog, int id, std::string_view text, DlgSelector selector, int item) {
  ControlState* c = dialog.find(id);
  if (c == nullptr) return false;
  const ControlKind kind = c->layout->kind;
  switch (selector) {
    case DlgSelector::main:
    case DlgSelector::state:
      if (kind != ControlKind::edit_box) return false;
      c->text = std::string(text);
      return true;
    case DlgSelector::label:
      if (kind == ControlKind::edit_box || kind == ControlKind::drop_down_list) return false;
      c->text = std::string(text);
      return true;
    case DlgSelector::item:
      if (kind != ControlKind::drop_down_list || item < 1 || item > static_cast<int>(c->items.size()))
        return false;
      c->items[static_cast<std::size_t>(item - 1)] = std::string(text);
      return true;
    default:
      return false;
  }
}

bool dlg_get(const Dialog& dialog, int id, int& value, DlgSelector selector) {
  const ControlState* c = dialog.find(id);
  if (c == nullptr) return false;
  const ControlKind kind = c->layout->kind;
  switch (selector) {
    case DlgSelector::main:
    case DlgSelector::state:
      if (is_button(*c)) {
        value = c->checked;
        return true;
      }
      if (kind == ControlKind::drop_down_list) {
        value = c->selected;
        return true;
      }
      return false;
    case DlgSelector::item_count:
      if (kind != ControlKind::drop_down_list) return false;
      value = static_cast<int>(c->items.size());
      return true;
    default:
      return false;
  }
}

bool dlg_get(const Dialog& dialog, int id, std::string& text, std::size_t length, DlgSelector selector,
             int item) {
  const ControlState* c = dialog.find(id);
  if (c == nullptr) return false;
  const ControlKind kind = c->layout->kind;
  const std::string* source = nullptr;
  switch (selector) {
    case DlgSelector::main:
    case DlgSelector::state:
      if (kind == ControlKind::edit_box) source = &c->text;
      break;
    case DlgSelector::label:
      if (kind != ControlKind::edit_box && kind != ControlKind::drop_down_list) source = &c->text;
      break;
    case DlgSelector::item:
      if (kind == ControlKind::drop_down_list && item >= 1 && item <= static_cast<int>(c->items.size()))
        source = &c->items[static_cast<std::size_t>(item - 1)];
      break;
    default:
      break;
  }
  if (source == nullptr) return false;
  text = source->substr(0, length);
  text.resize(length, ' ');
  return true;
}

bool dlg_set_callback(Dialog& dialog, int id, DialogCallback routine, DlgSelector selector) {
  ControlState* c = dialog.find(id);
  if (c == nullptr || selector != DlgSelector::click) return false;
  c->on_click = std::move(routine);
  return true;
}

int dlg_modal(Dialog& dialog) {
  if (dialog.layout == nullptr) return -1;
  return runtime().run_modal(dialog);
}

bool dlg_click(Dialog& dialog, int id) {
  ControlState* c = dialog.find(id);
  if (c == nullptr) return false;
  const ControlTemplate& layout = *c->layout;
  if (layout.kind == ControlKind::radio_button && (layout.style & style_auto)) {
    // The group runs from the last group start at or before the control to
    // the next group start.
    std::size_t self = static_cast<std::size_t>(c - dialog.controls.data());
    std::size_t first = self;
    while (first > 0 && !(dialog.controls[first].layout->style & style_group_start)) --first;
    for (std::size_t i = first; i < dialog.controls.size(); ++i) {
      if (i > first && (dialog.controls[i].layout->style & style_group_start)) break;
      if (dialog.controls[i].layout->kind == ControlKind::radio_button) dialog.controls[i].checked = 0;
    }
    c->checked = 1;
  } else if (layout.kind == ControlKind::check_box && (layout.style & style_auto)) {
    c->checked = c->checked ? 0 : 1;
  }
  if (c->on_click) {
    DialogCallback routine = c->on_click;  // the routine may reset the dialog
    routine(dialog, id, dialog_event_click);
  }
  return layout.kind == ControlKind::push_button;
}

}  // namespace zeno
