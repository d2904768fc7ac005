#pragma once

// The preview of the job list: one copy of each part laid out in rows on a
// virtual sheet (no rotation, no collision test), and the rule by which a
// preview thread hands it over only while its load is still the newest.

#include "app/core/gui_state.hpp"
#include "app/core/worker_messages.hpp"
#include "engine/model.hpp"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace app {

// A job list of thousands of parts still previews quickly.
inline constexpr int kPreviewMaxPlacements = 120;

// Rows left to right, bottom to top, separated by a gap that grows with the
// largest part; the row width follows the total area but always leaves room
// for the widest part between two gaps. Parts without a finite box of
// positive width and height are skipped and use no number. The unplaced
// list stays empty.
plv::NestingResult layout_preview(const std::vector<plv::Part>& parts);

// "Previsualizacion DXF lista: N perfil(es) detectados.", or the text for a
// layout without placements.
std::string preview_message_for(const plv::NestingResult& layout);

// The canvas text while a preview loads.
inline constexpr const char* kPreviewLoadingMessage = "Cargando previsualizacion de los DXF...";
// The canvas text when the panel's loading fields cannot be read.
inline constexpr const char* kPreviewSettingsMessage =
    "No pude leer la configuracion de importacion para previsualizar.";

struct PreviewOutcome {
    plv::NestingResult layout;  // empty 3000 x 1500 when loading failed
    std::string message;
};

// Loads the parts and lays them out; a failure of the load or the layout
// becomes "No pude previsualizar los DXF: " and its text.
PreviewOutcome build_preview(const std::function<std::vector<plv::Part>()>& load_parts);

// Under one hold of state_mutex: when `generation` is still the newest,
// stores the outcome and returns true; otherwise leaves everything alone.
bool publish_preview_if_current(GuiState& state, std::int32_t generation, PreviewOutcome outcome);

// The whole body of a preview thread: build, publish while current, and
// then post WM_PREVIEW_READY. True when it published.
bool run_preview(const std::function<std::vector<plv::Part>()>& load_parts,
                 std::int32_t generation, GuiState& state, MessagePoster& poster);

// The state change of a preview start, under state_mutex: result state
// emptied, an empty preview on a 3000 x 1500 sheet, not ready, loading and
// the loading text only when the job list is not empty.
void begin_preview(GuiState& state, bool job_list_empty);

// The state change when the panel could not be read: no preview, not
// loading, the settings text, result state emptied.
void fail_preview_start(GuiState& state);

}  // namespace app
