// The parameter dialog, "Mandelbrot Set": 27 controls in creation order.
#include "resources/dialog_template.hpp"

namespace zeno {
namespace {

using K = ControlKind;
constexpr uint32_t edit = style_border | style_hscroll | style_tab_stop;
constexpr uint32_t label = style_left_aligned | style_group_start;

constexpr ControlTemplate parameter_controls[] = {
    {ctl::ok, K::push_button, "&OK", 152, 7, 50, 14, style_default_button | style_tab_stop},
    {ctl::output_group, K::group_box, "Output Mode", 8, 38, 133, 44, style_none},
    {ctl::size_label, K::label, "&Size", 22, 53, 14, 8, label},
    {ctl::resolution_list, K::drop_down_list, "", 50, 51, 75, 30,
     style_list_only | style_sorted | style_vscroll | style_tab_stop},
    {ctl::sixteen_colors, K::radio_button, "&16 Colors", 22, 68, 45, 10, style_auto},
    {ctl::colors_236, K::radio_button, "&236 Colors", 79, 68, 49, 10, style_auto},
    {ctl::zoom_group, K::group_box, "Zoom Control", 7, 84, 134, 71, style_none},
    {ctl::x_label, K::label, "&X Center", 14, 98, 28, 8, label},
    {ctl::center_x, K::edit_box, "", 44, 96, 90, 14, edit},
    {ctl::y_label, K::label, "&Y Center", 13, 118, 28, 8, label},
    {ctl::center_y, K::edit_box, "", 44, 115, 90, 14, edit},
    {ctl::magnification_label, K::label, "&Magnification", 15, 137, 43, 8, label},
    {ctl::magnification, K::edit_box, "", 63, 134, 60, 14, edit},
    {ctl::algorithm_group, K::group_box, "Algorithm", 147, 61, 55, 94, style_none},
    {ctl::escape, K::radio_button, "&Escape", 156, 72, 38, 10, style_auto | style_text_left},
    {ctl::integer, K::radio_button, "&Integer", 156, 85, 38, 10, style_auto | style_text_left},
    {ctl::azimuthal, K::radio_button, "&Azimuthal", 156, 98, 46, 10, style_auto},
    {ctl::angle_label, K::label, "Angle", 151, 111, 19, 8, label},
    {ctl::angle, K::edit_box, "", 173, 111, 29, 14, edit},
    {ctl::border, K::check_box, "&Border", 155, 128, 37, 10, style_auto | style_tab_stop},
    {ctl::width_label, K::label, "Width", 151, 141, 20, 8, label},
    {ctl::border_width, K::edit_box, "", 174, 141, 28, 14, edit},
    {ctl::help, K::push_button, "&Help", 152, 25, 50, 14, style_tab_stop},
    {ctl::exit, K::push_button, "Exi&t", 152, 43, 50, 14, style_tab_stop},
    {ctl::message, K::check_box, "message", 7, 7, 134, 10, style_auto | style_tab_stop},
    {ctl::directory, K::edit_box, "", 42, 21, 99, 14, edit},
    {ctl::directory_label, K::label, "&Directory", 7, 23, 29, 8, label},
};

constexpr DialogTemplate parameter_dialog{
    parameter_dialog_template, "Mandelbrot Set", "MS Sans Serif", 8, 0, 0, 209, 162,
    std::span<const ControlTemplate>(parameter_controls)};

}  // namespace

const DialogTemplate* find_dialog_template(int id) {
  return id == parameter_dialog_template ? &parameter_dialog : nullptr;
}

}  // namespace zeno
