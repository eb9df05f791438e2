// --threads: one worker and several give the same picture file and the same
// run log, byte for byte but for the time of the run.

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "../driver/test_support.hpp"

extern char** environ;

namespace zeno {
namespace {

using test::TempDir;

// Runs the renderer with `args`, its output thrown away; the exit status.
int run_renderer(std::vector<std::string> args) {
  args.insert(args.begin(), ZENO_RENDER_EXE);
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  pid_t pid = -1;
  const int spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (spawned != 0) return -1;
  int status = 0;
  ::waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

struct ThreadsCase {
  std::string name;
  std::vector<std::string> args;
};

void PrintTo(const ThreadsCase& c, std::ostream* os) { *os << c.name; }

class ThreadCounts : public ::testing::TestWithParam<ThreadsCase> {};

TEST_P(ThreadCounts, OneAndThreeWorkersWriteTheSameFiles) {
  TempDir one;
  TempDir three;
  for (const auto& [dir, threads] : {std::pair{&one, "1"}, std::pair{&three, "3"}}) {
    std::vector<std::string> args = GetParam().args;
    args.insert(args.end(), {"--directory", dir->path().string(), "--threads", threads, "--quiet"});
    ASSERT_EQ(run_renderer(args), 0) << threads;
  }
  EXPECT_EQ(test::read_bytes(one / "ZENOPIC0.BMP"), test::read_bytes(three / "ZENOPIC0.BMP"));
  const auto log_one = test::crlf_lines(test::read_text(one / "ZENOPLOT.TXT"));
  const auto log_three = test::crlf_lines(test::read_text(three / "ZENOPLOT.TXT"));
  ASSERT_EQ(log_one.size(), 5u);
  ASSERT_EQ(log_three.size(), 5u);
  for (std::size_t i = 0; i < log_one.size(); ++i) {
    const std::string a = log_one[i].substr(0, log_one[i].find("Execution time"));
    const std::string b = log_three[i].substr(0, log_three[i].find("Execution time"));
    EXPECT_EQ(a, b) << i;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Views, ThreadCounts,
    ::testing::Values(
        // Across the real axis: mirrored rows under Escape.
        ThreadsCase{"escape_across_the_axis",
                    {"--size", "640x480", "--center-x", "-1.25", "--center-y", "0", "--magnification", "20"}},
        ThreadsCase{"integer_border_16_colours",
                    {"--size", "640x480", "--colors", "16", "--algorithm", "integer", "--border", "--center-x",
                     "-0.7454", "--center-y", "0.113", "--magnification", "60"}},
        ThreadsCase{"azimuthal", {"--size", "640x480", "--algorithm", "azimuthal", "--angle", "45"}}),
    [](const auto& info) { return info.param.name; });

}  // namespace
}  // namespace zeno
