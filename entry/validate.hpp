#pragma once
// Reads the closed parameter dialog back into the case parameters: makes the
// entered directory current, reconfigures the default window to the chosen
// size and colours, keeps the view inside the bounds the arithmetic can
// resolve and sets `recheck` whenever something had to be changed.

#include "driver/records.hpp"
#include "platform/dialog.hpp"

namespace zeno {

struct Session;

// `loop.recheck` is cleared when the directory change succeeds and set by
// every later step that has to change a value. A number box whose text does
// not read as a number keeps its field's previous value and sets `recheck`.
void validate_parameters(const Dialog& parameter_dialog, CaseParameters& params, CaseLoopState& loop);
void validate_parameters(Session& session);

}  // namespace zeno
