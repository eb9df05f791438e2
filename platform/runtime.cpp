#include "platform/runtime.hpp"

#include <atomic>
#include <cstdio>
#include <cstdlib>

namespace zeno {

namespace {
std::atomic<Runtime*> installed{nullptr};
}

void install_runtime(Runtime* runtime) { installed.store(runtime); }

Runtime& runtime() {
  Runtime* r = installed.load();
  if (r == nullptr) {
    std::fputs("zenoplot: no window runtime installed\n", stderr);
    std::abort();
  }
  return *r;
}

}  // namespace zeno
