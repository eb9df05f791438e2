#pragma once
// A session on a headless runtime with the parameter dialog at hand. The
// working directory is put back after every test: validation changes it.

#include <gtest/gtest.h>
#include <unistd.h>

#include <memory>
#include <string>

#include "driver/session.hpp"
#include "entry/parameter_dialog.hpp"
#include "entry/validate.hpp"
#include "platform/headless/headless_runtime.hpp"

namespace zeno::testing {

inline std::string working_directory() {
  char buffer[4096];
  return ::getcwd(buffer, sizeof buffer) != nullptr ? std::string(buffer) : std::string();
}

class EntryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    start_directory_ = working_directory();
    ASSERT_FALSE(start_directory_.empty());
    use_runtime(std::make_unique<HeadlessRuntime>());
  }

  void TearDown() override {
    install_runtime(nullptr);
    ASSERT_EQ(::chdir(start_directory_.c_str()), 0);
  }

  void use_runtime(std::unique_ptr<HeadlessRuntime> runtime) {
    runtime_ = std::move(runtime);
    install_runtime(runtime_.get());
  }

  // The dialog as the case loop builds it from the session.
  void fill() {
    fill_parameter_dialog(s.parameter_dialog, s.params.resolution_code, s.params.sixteen_colors,
                          s.params.algorithm_code, s.params.angle, s.params.border_width, s.params.center_x,
                          s.params.center_y, s.params.magnification, s.loop.prior_picture_field,
                          s.loop.dialog_status);
  }

  // The case loop's first step: what the dialog is told about the last picture.
  void fill_after_validation() {
    s.loop.prior_picture_field = s.loop.recheck ? blank_padded("0", 12) : std::string(12, ' ');
    fill();
  }

  void type(int id, std::string_view text) { ASSERT_TRUE(dlg_set(s.parameter_dialog, id, text)); }
  void click(int id) { dlg_click(s.parameter_dialog, id); }
  void set_state(int id, int value) { ASSERT_TRUE(dlg_set(s.parameter_dialog, id, value, DlgSelector::state)); }

  // An edit box's text or a button's label.
  std::string text_of(int id) const {
    const ControlState* c = s.parameter_dialog.find(id);
    return c != nullptr ? c->text : std::string("<no control>");
  }
  int state_of(int id) const {
    int value = -99;
    dlg_get(s.parameter_dialog, id, value, DlgSelector::state);
    return value;
  }

  void validate() { validate_parameters(s); }

  std::string start_directory_;
  std::unique_ptr<HeadlessRuntime> runtime_;
  Session s;
};

}  // namespace zeno::testing
