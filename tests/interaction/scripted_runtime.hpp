#pragma once
// Test support shared by the interaction and program tests: the in-memory
// runtime with a few more hooks (rectangles, palette loads, sleeps, mouse
// unregistering), and a fixture that runs each test in a fresh temporary
// directory with that runtime installed.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

#include <unistd.h>

#include "platform/headless/headless_runtime.hpp"

namespace zeno::testing {

class ScriptedRuntime : public HeadlessRuntime {
 public:
  using HeadlessRuntime::HeadlessRuntime;

  // Called after every rectangle with the number of rectangles drawn so far.
  std::function<void(int count)> after_rectangle;
  // Called after every palette load with the number of loads so far.
  std::function<void(int count)> after_palette_load;

  std::vector<std::string> rectangles;  // "x1 y1 x2 y2"
  std::vector<int> sleeps_ms;           // every sleep asked for, in order
  std::vector<std::pair<int, int>> unregistered;  // (unit, event), in order
  int palette_loads = 0;

  void rectangle(int control, int x1, int y1, int x2, int y2) override {
    HeadlessRuntime::rectangle(control, x1, y1, x2, y2);
    rectangles.push_back(std::to_string(x1) + " " + std::to_string(y1) + " " + std::to_string(x2) + " " +
                         std::to_string(y2));
    if (after_rectangle) after_rectangle(static_cast<int>(rectangles.size()));
  }

  void remap_palette(const uint32_t* colors, int count) override {
    HeadlessRuntime::remap_palette(colors, count);
    ++palette_loads;
    if (after_palette_load) after_palette_load(palette_loads);
  }

  void sleep_ms(int milliseconds) override {
    sleeps_ms.push_back(milliseconds);
    HeadlessRuntime::sleep_ms(milliseconds);
  }

  void unregister_mouse(int unit, int event) override {
    unregistered.emplace_back(unit, event);
    HeadlessRuntime::unregister_mouse(unit, event);
  }
};

// Each test in its own empty directory, the previous working directory
// restored afterwards; the runtime is installed for the test's duration.
class RuntimeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    previous_ = std::filesystem::current_path();
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string name = std::string(info->test_suite_name()) + "_" + info->name();
    for (char& c : name)
      if (c == '/') c = '_';
    directory_ = std::filesystem::temp_directory_path() / ("zeno_" + name + "_" + std::to_string(::getpid()));
    std::filesystem::remove_all(directory_);
    std::filesystem::create_directories(directory_);
    std::filesystem::current_path(directory_);
    install_runtime(&rt);
  }

  void TearDown() override {
    install_runtime(nullptr);
    std::filesystem::current_path(previous_);
    std::error_code ignored;
    std::filesystem::remove_all(directory_, ignored);
  }

  const std::filesystem::path& directory() const { return directory_; }

  static std::vector<uint8_t> read_bytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  }

  static std::string read_text(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  }

  ScriptedRuntime rt;

 private:
  std::filesystem::path previous_;
  std::filesystem::path directory_;
};

}  // namespace zeno::testing
