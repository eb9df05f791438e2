#include "platform/qt/qt_program.hpp"

#include <QApplication>
#include <QMainWindow>
#include <QScreen>

#include "platform/qt/qt_runtime.hpp"

namespace zeno {

int run_qt_program(int& argc, char** argv, std::function<void()> program_entry,
                   std::function<void()> at_shutdown) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("ZenoPlot"));
  // The program's end, not the last window, ends the application.
  QApplication::setQuitOnLastWindowClosed(false);

  QtRuntime runtime;
  install_runtime(&runtime);

  int exit_code = 0;
  bool finished = false;
  QObject::connect(&runtime, &QtRuntime::program_finished, &app, [&](int code) {
    exit_code = code;
    finished = true;
    if (!(runtime.wrote_lines() && runtime.frame()->isVisible())) QApplication::exit(code);
  });
  QObject::connect(&runtime, &QtRuntime::frame_closed, &app, [&] {
    if (finished) QApplication::exit(exit_code);
  });

  QMainWindow* frame = runtime.frame();
  if (const QScreen* screen = QGuiApplication::primaryScreen()) frame->resize(screen->availableGeometry().size());
  frame->showMaximized();
  runtime.start_program(std::move(program_entry), std::move(at_shutdown));
  QApplication::exec();

  // However the loop ended, the logic thread ends before the runtime goes.
  runtime.request_shutdown();
  runtime.join_program();
  install_runtime(nullptr);
  return exit_code;
}

}  // namespace zeno
