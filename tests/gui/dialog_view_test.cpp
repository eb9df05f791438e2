// The dialog widget: template 101 laid out in pixels, values to and from the
// model, radio groups, clicks and the ways the dialog closes.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QStyle>
#include <QStyleOptionButton>
#include <QTest>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/dialog.hpp"
#include "platform/qt/dialog_view.hpp"

namespace zeno {
namespace {

// The parameter dialog as the program fills it for its first showing.
Dialog first_showing() {
  Dialog d;
  EXPECT_TRUE(dlg_init(d, parameter_dialog_template));
  dlg_set(d, ctl::message, "Enter or Confirm Parameters", DlgSelector::label);
  dlg_set(d, ctl::directory, "/tmp");
  dlg_set(d, ctl::resolution_list, 4, DlgSelector::item_count);
  const char* items[] = {" 640 x 480", " 800 x 600", "1024 x 768", "1280 x 1024"};
  for (int n = 1; n <= 4; ++n) dlg_set(d, ctl::resolution_list, items[n - 1], DlgSelector::item, n);
  dlg_set(d, ctl::resolution_list, 2, DlgSelector::state);
  dlg_set(d, ctl::sixteen_colors, 0, DlgSelector::state);
  dlg_set(d, ctl::colors_236, 1, DlgSelector::state);
  dlg_set(d, ctl::escape, 1, DlgSelector::state);
  dlg_set(d, ctl::integer, 0, DlgSelector::state);
  dlg_set(d, ctl::azimuthal, 0, DlgSelector::state);
  dlg_set(d, ctl::border, 0);
  dlg_set(d, ctl::angle, "     0");
  dlg_set(d, ctl::border_width, "   .15");
  dlg_set(d, ctl::center_x, "-7.454298994000000E-001");
  dlg_set(d, ctl::center_y, "1.130077947400000E-001");
  dlg_set(d, ctl::magnification, "9.000000E-01");
  return d;
}

int checked(const Dialog& d, int id) { return d.find(id)->checked; }
const std::string& text(const Dialog& d, int id) { return d.find(id)->text; }

template <class W>
W* widget(const DialogView& view, int id) {
  W* w = qobject_cast<W*>(view.control(id));
  EXPECT_NE(w, nullptr) << "control " << id;
  return w;
}

bool is_checked(const DialogView& view, int id) { return widget<QAbstractButton>(view, id)->isChecked(); }

// A user's click on a radio button's or check box's mark.
void click_mark(const DialogView& view, int id) {
  QWidget* w = view.control(id);
  QTest::mouseClick(w, Qt::LeftButton, {}, QPoint(6, w->height() / 2));
}

// Shows the dialog and makes it the active window, so that keys, access keys
// and the default button work as for a user.
void show_active(DialogView& view) {
  view.show();
  view.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&view));
}

// ---------------------------------------------------------------------------
// Every control of template 101: kind, place, size and text.

struct ControlRow {
  int id;
  const char* kind;  // Qt class of its widget
  const char* text;  // shown text (first showing for edit boxes and the list)
  int x, y, width, height;  // dialog units
  bool tab_stop;
};

std::ostream& operator<<(std::ostream& os, const ControlRow& r) { return os << "control " << r.id; }

const ControlRow template_rows[] = {
    {1, "QPushButton", "&OK", 152, 7, 50, 14, true},
    {1028, "QGroupBox", "Output Mode", 8, 38, 133, 44, false},
    {1029, "QLabel", "&Size", 22, 53, 14, 8, false},
    {1000, "QComboBox", " 800 x 600", 50, 51, 75, 30, true},
    {1004, "QRadioButton", "&16 Colors", 22, 68, 45, 10, false},
    {1005, "QRadioButton", "&236 Colors", 79, 68, 49, 10, false},
    {1003, "QGroupBox", "Zoom Control", 7, 84, 134, 71, false},
    {1006, "QLabel", "&X Center", 14, 98, 28, 8, false},
    {1002, "QLineEdit", "-7.454298994000000E-001", 44, 96, 90, 14, true},
    {1008, "QLabel", "&Y Center", 13, 118, 28, 8, false},
    {1007, "QLineEdit", "1.130077947400000E-001", 44, 115, 90, 14, true},
    {1010, "QLabel", "&Magnification", 15, 137, 43, 8, false},
    {1009, "QLineEdit", "9.000000E-01", 63, 134, 60, 14, true},
    {1011, "QGroupBox", "Algorithm", 147, 61, 55, 94, false},
    {1013, "QRadioButton", "&Escape", 156, 72, 38, 10, false},
    {1014, "QRadioButton", "&Integer", 156, 85, 38, 10, false},
    {1015, "QRadioButton", "&Azimuthal", 156, 98, 46, 10, false},
    {1018, "QLabel", "Angle", 151, 111, 19, 8, false},
    {1016, "QLineEdit", "     0", 173, 111, 29, 14, true},
    {1012, "QCheckBox", "&Border", 155, 128, 37, 10, true},
    {1019, "QLabel", "Width", 151, 141, 20, 8, false},
    {1017, "QLineEdit", "   .15", 174, 141, 28, 14, true},
    {1030, "QPushButton", "&Help", 152, 25, 50, 14, true},
    {1020, "QPushButton", "Exi&t", 152, 43, 50, 14, true},
    {1023, "QCheckBox", "Enter or Confirm Parameters", 7, 7, 134, 10, true},
    {1026, "QLineEdit", "/tmp", 42, 21, 99, 14, true},
    {1027, "QLabel", "&Directory", 7, 23, 29, 8, false},
};

// Dialog units to pixels with the template font's base units 6 x 13.
int px_x(int units) { return units * 6 / 4; }
int px_y(int units) { return units * 13 / 8; }

QString shown_text(QWidget* w) {
  if (auto* b = qobject_cast<QAbstractButton*>(w)) return b->text();
  if (auto* g = qobject_cast<QGroupBox*>(w)) return g->title();
  if (auto* l = qobject_cast<QLabel*>(w)) return l->text();
  if (auto* c = qobject_cast<QComboBox*>(w)) return c->currentText();
  if (auto* e = qobject_cast<QLineEdit*>(w)) return e->text();
  return {};
}

class TemplateControl : public ::testing::TestWithParam<ControlRow> {};

TEST_P(TemplateControl, HasItsKindPlaceSizeTextAndTabStop) {
  const ControlRow& row = GetParam();
  const Dialog model = first_showing();
  DialogView view(model);
  QWidget* w = view.control(row.id);
  ASSERT_NE(w, nullptr);
  EXPECT_STREQ(w->metaObject()->className(), row.kind);
  EXPECT_EQ(w->parentWidget(), &view);  // group boxes are frames, not parents
  EXPECT_EQ(w->x(), px_x(row.x));
  EXPECT_EQ(w->y(), px_y(row.y));
  EXPECT_EQ(w->width(), px_x(row.width));
  if (row.id == ctl::resolution_list) {
    // The template's height is with the list open; closed it is one line.
    EXPECT_LT(w->height(), px_y(row.height));
    EXPECT_GE(w->height(), QFontMetrics(w->font()).height());
  } else {
    EXPECT_EQ(w->height(), px_y(row.height));
  }
  EXPECT_EQ(shown_text(w), QString::fromUtf8(row.text));
  EXPECT_EQ((w->focusPolicy() & Qt::TabFocus) != 0, row.tab_stop);
  EXPECT_EQ(w->font(), view.font());  // the template's font throughout
}

INSTANTIATE_TEST_SUITE_P(Template101, TemplateControl, ::testing::ValuesIn(template_rows));

TEST(DialogView, IsTheTemplatesModalDialogWithEveryControl) {
  const Dialog model = first_showing();
  DialogView view(model);
  EXPECT_EQ(view.windowTitle(), "Mandelbrot Set");
  EXPECT_EQ(view.size(), QSize(313, 263));  // 209 x 162 dialog units
  EXPECT_TRUE(view.isModal());
  EXPECT_TRUE(view.windowFlags() & Qt::WindowCloseButtonHint);
  EXPECT_TRUE(view.windowFlags() & Qt::WindowTitleHint);
  EXPECT_EQ(std::size(template_rows), model.controls.size());
  EXPECT_TRUE(widget<QPushButton>(view, ctl::ok)->isDefault());
  EXPECT_FALSE(widget<QPushButton>(view, ctl::help)->isDefault());
  EXPECT_FALSE(widget<QComboBox>(view, ctl::resolution_list)->isEditable());
}

// The layout is in fixed pixels: the font must leave every text of the first
// showing whole, the widest being the centers and the message.
TEST(DialogView, EveryTextOfTheFirstShowingFitsItsControl) {
  const Dialog model = first_showing();
  DialogView view(model);
  show_active(view);
  for (const ControlRow& row : template_rows) {
    SCOPED_TRACE(row.id);
    QWidget* w = view.control(row.id);
    const QString plain = QString::fromUtf8(row.text).remove('&');
    if (qobject_cast<QLabel*>(w)) {
      EXPECT_LE(QFontMetrics(w->font()).horizontalAdvance(plain), w->width());
    } else if (qobject_cast<QCheckBox*>(w) || qobject_cast<QRadioButton*>(w)) {
      QStyleOptionButton option;
      option.initFrom(w);
      const auto room = qobject_cast<QCheckBox*>(w) ? QStyle::SE_CheckBoxContents : QStyle::SE_RadioButtonContents;
      EXPECT_LE(QFontMetrics(w->font()).horizontalAdvance(plain), w->style()->subElementRect(room, &option, w).width());
    } else if (auto* e = qobject_cast<QLineEdit*>(w)) {
      // Painting with the cursor at the end scrolls a text that does not fit.
      e->grab();
      const int start = e->inputMethodQuery(Qt::ImCursorRectangle).toRect().x();
      e->setCursorPosition(e->text().size());
      e->grab();
      e->setCursorPosition(0);
      EXPECT_EQ(e->inputMethodQuery(Qt::ImCursorRectangle).toRect().x(), start);
    }
  }
  EXPECT_GE(QFontMetrics(view.font()).height(), 10);  // and is still a readable size
}

TEST(DialogView, TabVisitsTheTabStopsInTemplateOrderStartingAtOk) {
  Dialog model = first_showing();
  DialogView view(model);
  show_active(view);
  const std::vector<int> order = {ctl::ok,         ctl::resolution_list, ctl::center_x, ctl::center_y,
                                  ctl::magnification, ctl::angle,     ctl::border,   ctl::border_width,
                                  ctl::help,       ctl::exit,            ctl::message,  ctl::directory,
                                  ctl::ok};
  for (std::size_t i = 0; i < order.size(); ++i) {
    ASSERT_EQ(QApplication::focusWidget(), view.control(order[i])) << "stop " << i;
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
  }
}

// ---------------------------------------------------------------------------
// Values between model and widgets.

TEST(DialogView, ReadingAnUntouchedDialogGivesTheModelBackUnchanged) {
  const Dialog model = first_showing();
  DialogView view(model);
  Dialog back = first_showing();
  for (auto& c : back.controls) {  // spoil every value the view writes
    c.text = "spoilt";
    c.checked = 7;
    c.selected = 3;
  }
  view.read_into(back);
  for (const ControlState& c : model.controls) {
    const ControlState& b = *back.find(c.layout->id);
    SCOPED_TRACE(c.layout->id);
    switch (c.layout->kind) {
      case ControlKind::edit_box:
        EXPECT_EQ(b.text, c.text);  // leading blanks kept: "     0", "   .15"
        break;
      case ControlKind::radio_button:
      case ControlKind::check_box:
        EXPECT_EQ(b.checked, c.checked);
        break;
      case ControlKind::drop_down_list:
        EXPECT_EQ(b.selected, c.selected);
        break;
      default:
        EXPECT_EQ(b.text, "spoilt");  // labels are not the user's to change
        break;
    }
  }
}

void replace_text(QLineEdit* e, const QString& typed) {
  e->setFocus();
  QTest::keyClick(e, Qt::Key_A, Qt::ControlModifier);
  QTest::keyClicks(e, typed);
}

TEST(DialogView, WhatTheUserEntersReachesTheModel) {
  Dialog model = first_showing();
  DialogView view(model);
  show_active(view);

  replace_text(widget<QLineEdit>(view, ctl::directory), "/var/tmp/pictures");
  replace_text(widget<QLineEdit>(view, ctl::center_x), "-1.25");
  replace_text(widget<QLineEdit>(view, ctl::center_y), "0.0");
  replace_text(widget<QLineEdit>(view, ctl::magnification), "12.5");
  replace_text(widget<QLineEdit>(view, ctl::angle), "   270");
  replace_text(widget<QLineEdit>(view, ctl::border_width), "  1.50");

  auto* list = widget<QComboBox>(view, ctl::resolution_list);
  list->setFocus();
  QTest::keyClick(list, Qt::Key_Down);
  QTest::keyClick(list, Qt::Key_Down);

  click_mark(view, ctl::sixteen_colors);
  click_mark(view, ctl::azimuthal);
  click_mark(view, ctl::border);
  click_mark(view, ctl::message);

  view.read_into(model);
  EXPECT_EQ(text(model, ctl::directory), "/var/tmp/pictures");
  EXPECT_EQ(text(model, ctl::center_x), "-1.25");
  EXPECT_EQ(text(model, ctl::center_y), "0.0");
  EXPECT_EQ(text(model, ctl::magnification), "12.5");
  EXPECT_EQ(text(model, ctl::angle), "   270");
  EXPECT_EQ(text(model, ctl::border_width), "  1.50");
  EXPECT_EQ(model.find(ctl::resolution_list)->selected, 4);
  EXPECT_EQ(model.find(ctl::resolution_list)->items.size(), 4u);
  EXPECT_EQ(checked(model, ctl::sixteen_colors), 1);
  EXPECT_EQ(checked(model, ctl::colors_236), 0);
  EXPECT_EQ(checked(model, ctl::escape), 0);
  EXPECT_EQ(checked(model, ctl::integer), 0);
  EXPECT_EQ(checked(model, ctl::azimuthal), 1);
  EXPECT_EQ(checked(model, ctl::border), 1);
  EXPECT_EQ(checked(model, ctl::message), 0);
}

TEST(DialogView, RefreshShowsTheModelWithoutReportingClicks) {
  Dialog model = first_showing();
  DialogView view(model);
  QSignalSpy clicks(&view, &DialogView::clicked);

  dlg_set(model, ctl::message, "Sa&ve ZENOPIC3.BMP", DlgSelector::label);
  dlg_set(model, ctl::sixteen_colors, 1, DlgSelector::state);
  dlg_set(model, ctl::colors_236, 0, DlgSelector::state);
  dlg_set(model, ctl::escape, 0, DlgSelector::state);  // no algorithm at all
  dlg_set(model, ctl::border, 1);
  dlg_set(model, ctl::angle, "    45");
  dlg_set(model, ctl::resolution_list, 2, DlgSelector::item_count);
  dlg_set(model, ctl::resolution_list, "b", DlgSelector::item, 1);
  dlg_set(model, ctl::resolution_list, "a", DlgSelector::item, 2);
  dlg_set(model, ctl::resolution_list, 2, DlgSelector::state);
  view.refresh_from(model);

  EXPECT_EQ(clicks.count(), 0);
  EXPECT_EQ(widget<QCheckBox>(view, ctl::message)->text(), "Sa&ve ZENOPIC3.BMP");
  EXPECT_TRUE(is_checked(view, ctl::sixteen_colors));
  EXPECT_FALSE(is_checked(view, ctl::colors_236));
  EXPECT_FALSE(is_checked(view, ctl::escape));  // an exclusive group would refuse this
  EXPECT_FALSE(is_checked(view, ctl::integer));
  EXPECT_FALSE(is_checked(view, ctl::azimuthal));
  EXPECT_TRUE(is_checked(view, ctl::border));
  EXPECT_EQ(widget<QLineEdit>(view, ctl::angle)->text(), "    45");
  auto* list = widget<QComboBox>(view, ctl::resolution_list);
  ASSERT_EQ(list->count(), 2);
  EXPECT_EQ(list->itemText(0), "b");  // the model's order, not re-sorted
  EXPECT_EQ(list->itemText(1), "a");
  EXPECT_EQ(list->currentIndex(), 1);

  dlg_set(model, ctl::resolution_list, 0, DlgSelector::state);
  view.refresh_from(model);
  EXPECT_EQ(list->currentIndex(), -1);
  view.read_into(model);
  EXPECT_EQ(model.find(ctl::resolution_list)->selected, 0);

  // The groups are exclusive again after the refresh.
  click_mark(view, ctl::colors_236);
  EXPECT_FALSE(is_checked(view, ctl::sixteen_colors));
  click_mark(view, ctl::integer);
  click_mark(view, ctl::escape);
  EXPECT_FALSE(is_checked(view, ctl::integer));
}

TEST(DialogView, AnEditTextWiderThanItsBoxShowsItsStart) {
  Dialog model = first_showing();
  dlg_set(model, ctl::directory, "/home/someone/a/rather/long/path/to/the/pictures/of/the/set");
  DialogView view(model);
  EXPECT_EQ(widget<QLineEdit>(view, ctl::directory)->cursorPosition(), 0);
  EXPECT_EQ(widget<QLineEdit>(view, ctl::center_x)->cursorPosition(), 0);  // keeps the "-" in view
}

// ---------------------------------------------------------------------------
// Radio groups and clicks.

struct RadioCase {
  int clicked;
  int s16, s236, escape, integer, azimuthal;  // states afterwards
};

std::ostream& operator<<(std::ostream& os, const RadioCase& c) { return os << "click " << c.clicked; }

class RadioGroups : public ::testing::TestWithParam<RadioCase> {};

// From the first showing (236 colours, Escape), one click on a radio button.
TEST_P(RadioGroups, AClickChecksOnlyWithinItsOwnGroupAndIsReported) {
  const RadioCase& c = GetParam();
  Dialog model = first_showing();
  DialogView view(model);
  show_active(view);
  QSignalSpy clicks(&view, &DialogView::clicked);
  click_mark(view, c.clicked);

  ASSERT_EQ(clicks.count(), 1);
  EXPECT_EQ(clicks.at(0).at(0).toInt(), c.clicked);
  view.read_into(model);
  EXPECT_EQ(checked(model, ctl::sixteen_colors), c.s16);
  EXPECT_EQ(checked(model, ctl::colors_236), c.s236);
  EXPECT_EQ(checked(model, ctl::escape), c.escape);
  EXPECT_EQ(checked(model, ctl::integer), c.integer);
  EXPECT_EQ(checked(model, ctl::azimuthal), c.azimuthal);
}

INSTANTIATE_TEST_SUITE_P(Template101, RadioGroups,
                         ::testing::Values(RadioCase{ctl::sixteen_colors, 1, 0, 1, 0, 0},
                                           RadioCase{ctl::colors_236, 0, 1, 1, 0, 0},  // already checked
                                           RadioCase{ctl::escape, 0, 1, 1, 0, 0},
                                           RadioCase{ctl::integer, 0, 1, 0, 1, 0},
                                           RadioCase{ctl::azimuthal, 0, 1, 0, 0, 1}));

TEST(DialogView, CheckBoxClicksAreReportedAfterTheBoxToggled) {
  Dialog model = first_showing();
  DialogView view(model);
  show_active(view);
  std::vector<std::pair<int, bool>> seen;  // id, state when reported
  QObject::connect(&view, &DialogView::clicked, [&](int id) { seen.emplace_back(id, is_checked(view, id)); });

  click_mark(view, ctl::border);
  click_mark(view, ctl::message);
  QTest::keyClick(view.control(ctl::border), Qt::Key_Space);  // the focused box toggled by the keyboard
  QTest::mouseClick(view.control(ctl::help), Qt::LeftButton);  // a push button is no click to report

  const std::vector<std::pair<int, bool>> expected = {
      {ctl::border, true}, {ctl::message, false}, {ctl::border, false}};
  EXPECT_EQ(seen, expected);
}

TEST(DialogView, AccessKeysReachTheirControls) {
  Dialog model = first_showing();
  dlg_set(model, ctl::message, "Sa&ve ZENOPIC0.BMP", DlgSelector::label);
  DialogView view(model);
  show_active(view);
  QSignalSpy clicks(&view, &DialogView::clicked);

  // A label's key moves the focus to the control it names.
  const std::pair<Qt::Key, int> label_keys[] = {{Qt::Key_X, ctl::center_x},
                                                {Qt::Key_Y, ctl::center_y},
                                                {Qt::Key_M, ctl::magnification},
                                                {Qt::Key_S, ctl::resolution_list},
                                                {Qt::Key_D, ctl::directory}};
  for (const auto& [key, id] : label_keys) {
    QTest::keyClick(&view, key, Qt::AltModifier);
    EXPECT_EQ(QApplication::focusWidget(), view.control(id)) << "Alt+" << QKeySequence(key).toString().toStdString();
  }
  EXPECT_EQ(clicks.count(), 0);

  // A button's key clicks it.
  QTest::keyClick(&view, Qt::Key_V, Qt::AltModifier);
  QTRY_COMPARE(clicks.count(), 1);
  EXPECT_EQ(clicks.at(0).at(0).toInt(), ctl::message);
  EXPECT_FALSE(is_checked(view, ctl::message));
  QTest::keyClick(&view, Qt::Key_I, Qt::AltModifier);
  QTRY_COMPARE(clicks.count(), 2);
  EXPECT_EQ(clicks.at(1).at(0).toInt(), ctl::integer);
  EXPECT_TRUE(is_checked(view, ctl::integer));
  EXPECT_FALSE(is_checked(view, ctl::escape));
}

// ---------------------------------------------------------------------------
// How the dialog closes.

struct CloseCase {
  const char* name;
  std::function<void(DialogView&)> act;
  int result;
};

std::ostream& operator<<(std::ostream& os, const CloseCase& c) { return os << c.name; }

class Closing : public ::testing::TestWithParam<CloseCase> {};

TEST_P(Closing, EndsTheDialogWithItsResultOnce) {
  const CloseCase& c = GetParam();
  Dialog model = first_showing();
  DialogView view(model);
  show_active(view);
  QSignalSpy finished(&view, &DialogView::finished_with);
  QSignalSpy clicks(&view, &DialogView::clicked);
  c.act(view);
  QTRY_COMPARE(finished.count(), 1);
  EXPECT_EQ(finished.at(0).at(0).toInt(), c.result);
  EXPECT_EQ(view.result(), c.result);
  EXPECT_FALSE(view.isVisible());
  EXPECT_EQ(clicks.count(), 0);
}

void press(Qt::Key key, QWidget* focus) {
  focus->setFocus();
  QTest::keyClick(focus, key);
}

INSTANTIATE_TEST_SUITE_P(
    Template101, Closing,
    ::testing::Values(
        CloseCase{"EnterOnOk", [](DialogView& v) { press(Qt::Key_Return, v.control(ctl::ok)); }, 1},
        CloseCase{"EnterInAnEditBoxPressesTheDefaultButton",
                  [](DialogView& v) { press(Qt::Key_Enter, v.control(ctl::center_x)); }, 1},
        CloseCase{"ClickOk", [](DialogView& v) { QTest::mouseClick(v.control(ctl::ok), Qt::LeftButton); }, 1},
        CloseCase{"ClickHelp", [](DialogView& v) { QTest::mouseClick(v.control(ctl::help), Qt::LeftButton); },
                  1030},
        CloseCase{"ClickExit", [](DialogView& v) { QTest::mouseClick(v.control(ctl::exit), Qt::LeftButton); },
                  1020},
        CloseCase{"AccessKeyOfExit", [](DialogView& v) { QTest::keyClick(&v, Qt::Key_T, Qt::AltModifier); },
                  1020},
        CloseCase{"Escape", [](DialogView& v) { press(Qt::Key_Escape, v.control(ctl::angle)); }, 2},
        CloseCase{"CloseBox", [](DialogView& v) { v.close(); }, 2}),
    [](const ::testing::TestParamInfo<CloseCase>& info) { return std::string(info.param.name); });

// ---------------------------------------------------------------------------
// A picture of the first showing, to be looked at.

TEST(DialogView, ScreenshotOfTheFirstShowing) {
  const Dialog model = first_showing();
  DialogView view(model);
  show_active(view);
  const QPixmap shot = view.grab();
  EXPECT_EQ(shot.size() / shot.devicePixelRatio(), QSize(313, 263));
  EXPECT_TRUE(shot.save("/tmp/zenoplot_dialog_first_showing.png"));
}

}  // namespace
}  // namespace zeno
