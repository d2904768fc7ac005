#pragma once

// "Guardar": the shown layout (a run's result, else a finished preview)
// with the drawing's items written as a DXF drawing at a path chosen in the
// save dialog.

#include <windows.h>

namespace app {

// The command handler. The path comes from the frame's save-dialog entry.
// Failures of the writer leave it as exceptions (the frame shows "No se
// pudo guardar DXF").
void save_result_dxf(HWND main_window);

}  // namespace app
