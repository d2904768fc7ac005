#pragma once

// Small builders the app_core tests share.

#include "app/core/editor_model.hpp"

#include <cstdint>

namespace app_test {

// An editor entity of `kind` through its three defining points; the rest
// as a new entity has it.
inline app::EditorEntity entity(std::int32_t kind, app::Point p0, app::Point p1, app::Point p2 = {0, 0}) {
    app::EditorEntity e;
    e.kind = kind;
    e.p0 = p0;
    e.p1 = p1;
    e.p2 = p2;
    return e;
}

}  // namespace app_test
