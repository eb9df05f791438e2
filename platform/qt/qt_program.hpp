#pragma once
// Running the program in a window.

#include <functional>

namespace zeno {

// Creates the application, the frame window and the Qt window runtime,
// installs the runtime and starts `program_entry` on the logic thread, at
// below-normal priority; then runs the event loop until the program has
// ended. `program_entry` is the first code on the logic thread: it sets up
// what each computing thread needs (the FPU control word) before anything
// else.
//
// The program ends when `program_entry` returns, or when the user closes the
// frame window or chooses File > Exit: then every runtime operation and every
// wait of the logic thread throws ProgramShutdown, which unwinds the entry.
// Either way `at_shutdown` runs next on the logic thread (to close the
// program's files), the thread is joined and the application quits. When the
// program has written lines to the default window (a fatal error) the frame
// stays open until the user closes it.
//
// Returns the process's exit code: 0, or 1 when the entry ended with an
// exception other than ProgramShutdown.
int run_qt_program(int& argc, char** argv, std::function<void()> program_entry,
                   std::function<void()> at_shutdown);

}  // namespace zeno
