// zenoplot: the interactive explorer.
//
// The frame window and its runtime run on the main thread; the program's own
// logic (run_program) runs on the runtime's logic thread. The session lives
// for the whole process. However the program ends (Exit in the dialog, a
// fatal error, the frame window closed, an interrupt or termination signal),
// its files are closed on the logic thread before the process ends: the run
// log is closed, a completed picture is kept and an incomplete one deleted.

#include <fcntl.h>
#include <unistd.h>

#include <QApplication>
#include <QMainWindow>
#include <QMetaObject>
#include <QSocketNotifier>

#include <csignal>
#include <cstdio>
#include <exception>

#include "driver/case.hpp"
#include "driver/program.hpp"
#include "driver/session.hpp"
#include "engine/fpu.hpp"
#include "platform/qt/qt_program.hpp"

namespace {

// SIGINT, SIGTERM and SIGHUP end the program as closing the frame window
// does. The handler only notes the signal and writes a byte into a pipe,
// which the user-interface thread watches; a second signal ends the process
// at once (the handler is reset after the first).
int signal_pipe[2] = {-1, -1};
volatile std::sig_atomic_t ending_signal = 0;

extern "C" void on_ending_signal(int signo) {
  ending_signal = signo;
  const char byte = 1;
  [[maybe_unused]] const ssize_t written = ::write(signal_pipe[1], &byte, 1);
}

void install_signal_handlers() {
  if (::pipe2(signal_pipe, O_CLOEXEC | O_NONBLOCK) != 0) return;
  struct sigaction action {};
  action.sa_handler = on_ending_signal;
  action.sa_flags = SA_RESETHAND | SA_RESTART;
  sigemptyset(&action.sa_mask);
  for (const int signo : {SIGINT, SIGTERM, SIGHUP}) ::sigaction(signo, &action, nullptr);
}

// On the user-interface thread, once the application exists: a signal, also
// one that came before, closes the frame window.
void watch_signals() {
  if (signal_pipe[0] < 0) return;
  auto* notifier = new QSocketNotifier(signal_pipe[0], QSocketNotifier::Read, qApp);
  QObject::connect(notifier, &QSocketNotifier::activated, qApp, [] {
    char bytes[16];
    while (::read(signal_pipe[0], bytes, sizeof bytes) > 0) {
    }
    for (QWidget* window : QApplication::topLevelWidgets())
      if (auto* frame = qobject_cast<QMainWindow*>(window)) frame->close();
  });
}

}  // namespace

int main(int argc, char** argv) {
  install_signal_handlers();

  zeno::Session session;
  // run_program's result; stays -1 when it did not return by itself (the
  // frame window was closed, or an unforeseen error).
  int program_exit_code = -1;
  bool files_closed = true;

  const auto program_entry = [&] {
    zeno::ensure_extended_precision();
    QMetaObject::invokeMethod(qApp, watch_signals, Qt::QueuedConnection);
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
  if (ending_signal != 0) return 128 + ending_signal;
  return runtime_code;
}
