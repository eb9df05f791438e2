#include "platform/qt/dialog_view.hpp"

#include <algorithm>

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QFontMetricsF>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

namespace zeno {
namespace {

// Dialog base units of the template font: a horizontal dialog unit is a
// quarter of the average character width, a vertical one an eighth of the
// character height.
constexpr int base_unit_x = 6;
constexpr int base_unit_y = 13;

int to_pixels_x(int units) { return units * base_unit_x / 4; }
int to_pixels_y(int units) { return units * base_unit_y / 8; }

// The template names a font this system does not have; a sans serif face
// stands in for it. The controls are placed in pixels from fixed base units,
// so the stand-in is sized in pixels too: the largest size, up to the
// template's point size at 96 dpi, whose average character is no wider than
// the base unit (a hinted 8-point face is about 7% wider, enough to clip
// "X Center" and the last digit of a center).
QFont template_font(const DialogTemplate& t) {
  QFont font;
  font.setFamilies({QStringLiteral("Liberation Sans"), QStringLiteral("Sans")});
  const QString alphabet = QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
  int pixels = (t.point_size * 96 + 36) / 72;
  for (; pixels > 6; --pixels) {
    font.setPixelSize(pixels);
    if (QFontMetricsF(font).horizontalAdvance(alphabet) <= base_unit_x * alphabet.size()) break;
  }
  font.setPixelSize(pixels);
  return font;
}

QString qtext(const std::string& s) { return QString::fromStdString(s); }

bool takes_focus(ControlKind kind) {
  return kind != ControlKind::label && kind != ControlKind::group_box;
}

}  // namespace

DialogView::DialogView(const Dialog& model, QWidget* parent) : QDialog(parent) {
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                 Qt::WindowCloseButtonHint);
  setModal(true);
  if (model.layout == nullptr) return;
  const DialogTemplate& t = *model.layout;
  setWindowTitle(QString::fromUtf8(t.caption.data(), static_cast<qsizetype>(t.caption.size())));
  const QFont font = template_font(t);
  setFont(font);
  setFixedSize(to_pixels_x(t.width), to_pixels_y(t.height));

  // A control group runs from a control with the group-start style to the
  // next one; its radio buttons are exclusive among themselves only.
  QButtonGroup* group = nullptr;
  controls_.reserve(model.controls.size());
  for (const ControlState& state : model.controls) {
    const ControlTemplate& c = *state.layout;
    if (c.style & style_group_start) group = nullptr;

    QWidget* w = nullptr;
    switch (c.kind) {
      case ControlKind::push_button: {
        auto* b = new QPushButton(this);
        b->setDefault((c.style & style_default_button) != 0);
        connect(b, &QPushButton::clicked, this, [this, id = c.id] { finish(id); });
        w = b;
        break;
      }
      case ControlKind::group_box: {
        // Only a frame with a title: the controls it surrounds are not its
        // children and lie above it.
        auto* g = new QGroupBox(this);
        g->setAttribute(Qt::WA_TransparentForMouseEvents);
        w = g;
        break;
      }
      case ControlKind::label: {
        auto* l = new QLabel(this);
        l->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        l->setTextFormat(Qt::PlainText);
        w = l;
        break;
      }
      case ControlKind::drop_down_list: {
        auto* list = new QComboBox(this);
        list->setEditable(false);
        list->setInsertPolicy(QComboBox::NoInsert);
        w = list;
        break;
      }
      case ControlKind::radio_button: {
        auto* r = new QRadioButton(this);
        r->setAutoExclusive(false);  // all radio buttons share one parent
        if (group == nullptr) {
          group = new QButtonGroup(this);
          groups_.push_back(group);
        }
        group->addButton(r);
        connect(r, &QRadioButton::clicked, this, [this, id = c.id] { emit clicked(id); });
        w = r;
        break;
      }
      case ControlKind::check_box: {
        auto* b = new QCheckBox(this);
        b->setTristate(false);
        connect(b, &QCheckBox::clicked, this, [this, id = c.id] { emit clicked(id); });
        w = b;
        break;
      }
      case ControlKind::edit_box: {
        auto* e = new QLineEdit(this);
        e->setFrame((c.style & style_border) != 0);
        w = e;
        break;
      }
    }
    w->setFont(font);
    int height = to_pixels_y(c.height);
    if (c.kind == ControlKind::drop_down_list) {
      // The template's height includes the open list; the closed box is one
      // line high.
      height = std::min(height, w->sizeHint().height());
    }
    w->setGeometry(to_pixels_x(c.x), to_pixels_y(c.y), to_pixels_x(c.width), height);
    if (takes_focus(c.kind))
      w->setFocusPolicy((c.style & style_tab_stop) ? Qt::StrongFocus : Qt::ClickFocus);
    else
      w->setFocusPolicy(Qt::NoFocus);
    controls_.push_back({c.id, c.kind, w});
  }

  // Tab visits the tab stops in template order; the first one starts with
  // the focus.
  QWidget* previous = nullptr;
  for (const Control& c : controls_) {
    if (c.widget->focusPolicy() != Qt::StrongFocus) continue;
    if (previous == nullptr)
      c.widget->setFocus();
    else
      setTabOrder(previous, c.widget);
    previous = c.widget;
  }

  // A label's access key leads to the next control that takes the focus; a
  // label that comes after every such control leads to the one before it.
  for (std::size_t i = 0; i < controls_.size(); ++i) {
    auto* l = qobject_cast<QLabel*>(controls_[i].widget);
    if (l == nullptr) continue;
    QWidget* buddy = nullptr;
    for (std::size_t j = i + 1; j < controls_.size() && buddy == nullptr; ++j)
      if (takes_focus(controls_[j].kind)) buddy = controls_[j].widget;
    for (std::size_t j = i; j-- > 0 && buddy == nullptr;)
      if (takes_focus(controls_[j].kind)) buddy = controls_[j].widget;
    l->setBuddy(buddy);
  }

  refresh_from(model);
}

QWidget* DialogView::control(int id) const {
  for (const Control& c : controls_)
    if (c.id == id) return c.widget;
  return nullptr;
}

void DialogView::refresh_from(const Dialog& model) {
  // An exclusive group refuses to uncheck its checked button, so the states
  // are set with exclusivity off; they come from the model as they are.
  for (QButtonGroup* g : groups_) g->setExclusive(false);
  for (const Control& c : controls_) {
    const ControlState* s = model.find(c.id);
    if (s == nullptr) continue;
    switch (c.kind) {
      case ControlKind::push_button:
      case ControlKind::radio_button:
      case ControlKind::check_box: {
        auto* b = static_cast<QAbstractButton*>(c.widget);
        b->setText(qtext(s->text));
        if (c.kind != ControlKind::push_button) b->setChecked(s->checked != 0);
        break;
      }
      case ControlKind::group_box:
        static_cast<QGroupBox*>(c.widget)->setTitle(qtext(s->text));
        break;
      case ControlKind::label:
        static_cast<QLabel*>(c.widget)->setText(qtext(s->text));
        break;
      case ControlKind::drop_down_list: {
        // The items stay in the model's order.
        auto* list = static_cast<QComboBox*>(c.widget);
        list->clear();
        for (const std::string& item : s->items) list->addItem(qtext(item));
        list->setCurrentIndex(s->selected - 1);
        break;
      }
      case ControlKind::edit_box: {
        auto* e = static_cast<QLineEdit*>(c.widget);
        e->setText(qtext(s->text));
        e->setCursorPosition(0);  // show the start of a text wider than the box
        break;
      }
    }
  }
  for (QButtonGroup* g : groups_) g->setExclusive(true);
}

void DialogView::read_into(Dialog& model) const {
  for (const Control& c : controls_) {
    ControlState* s = model.find(c.id);
    if (s == nullptr) continue;
    switch (c.kind) {
      case ControlKind::radio_button:
      case ControlKind::check_box:
        s->checked = static_cast<QAbstractButton*>(c.widget)->isChecked() ? 1 : 0;
        break;
      case ControlKind::drop_down_list:
        s->selected = static_cast<QComboBox*>(c.widget)->currentIndex() + 1;
        break;
      case ControlKind::edit_box:
        s->text = static_cast<QLineEdit*>(c.widget)->text().toStdString();
        break;
      default:
        break;
    }
  }
}

void DialogView::reject() { finish(dismissed); }

void DialogView::finish(int result) {
  done(result);
  emit finished_with(result);
}

}  // namespace zeno
