// The QApplication the GUI tests share, made once for the whole executable
// (offscreen unless QT_QPA_PLATFORM says otherwise).
#include <gtest/gtest.h>

#include <QApplication>

#include <memory>

namespace {

// One QApplication for the whole executable, unless another part of it made one.
class QtApplicationEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    if (QApplication::instance() != nullptr) return;
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    app_ = std::make_unique<QApplication>(argc_, argv_);
  }
  void TearDown() override { app_.reset(); }

 private:
  int argc_ = 1;
  char name_[16] = "gui_tests";
  char* argv_[2] = {name_, nullptr};
  std::unique_ptr<QApplication> app_;
};

[[maybe_unused]] auto* const qt_environment =
    ::testing::AddGlobalTestEnvironment(new QtApplicationEnvironment);

}  // namespace
