// zenoplot: the interactive explorer.
//
// The frame window and its runtime run on the main thread; the program's own
// logic (run_program) runs on the runtime's logic thread. The session lives
// for the whole process. However the program ends (Exit in the dialog, a
// fatal error, the frame window closed), its files are closed on the logic
// thread before the process ends: the run log is closed, a completed picture
// is kept and an incomplete one deleted.

#include <cstdio>
#include <exception>

#include "driver/case.hpp"
#include "driver/program.hpp"
#include "driver/session.hpp"
#include "engine/fpu.hpp"
#include "platform/qt/qt_program.hpp"

int main(int argc, char** argv) {
  zeno::Session session;
  // run_program's result; stays -1 when it did not return by itself (the
  // frame window was closed, or an unforeseen error).
  int program_exit_code = -1;
  bool files_closed = true;

  const auto program_entry = [&] {
    zeno::ensure_extended_precision();
    program_exit_code = zeno::run_program(session);
  };
  // run_program has normally closed the files already; closing them again
  // does nothing then. A failure is reported and makes the end a failure.
  const auto at_shutdown = [&] {
    try {
      zeno::close_program_files(session);
    } catch (const std::exception& error) {
      std::fprintf(stderr, "zenoplot: %s\n", error.what());
      files_closed = false;
    } catch (...) {
      std::fputs("zenoplot: closing the program's files failed\n", stderr);
      files_closed = false;
    }
  };

  const int runtime_code = zeno::run_qt_program(argc, argv, program_entry, at_shutdown);
  // The logic thread has been joined: what it wrote is visible here.
  if (!files_closed) return zeno::exit_failure;
  if (program_exit_code >= 0) return program_exit_code;
  return runtime_code;
}
