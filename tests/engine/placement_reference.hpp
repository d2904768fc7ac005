#pragma once

// The placement algorithms in their plain form, kept as the oracle for the
// fast engine code: every position is built, moved, copied and tested, with
// a linear duplicate scan and a full sort before the pick.

#include "engine/model.hpp"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace plv::reference {

bool is_position_free(const Polygon& shape, const std::vector<Placement>& placed, double spacing);

std::vector<Point> sample_ring_points(const Ring& ring, std::size_t count);

std::vector<Point> candidate_positions(const std::vector<Placement>& placed, const Polygon& shape,
                                       double spacing, bool extra_positions);

bool place_item_cpu(const Sheet& sheet, const NestingItem& item,
                    const std::vector<Placement>& placed, std::int32_t sheet_index,
                    const IterativeNestingOptions& options, Placement& out);

// The random placer: random poses from a generator seeded by the copy and
// its situation, until one is inside the sheet and free or the attempts run
// out.
bool place_item_random(const Sheet& sheet, const NestingItem& item,
                       const std::vector<Placement>& placed, std::int32_t sheet_index,
                       const IterativeNestingOptions& options, Placement& out);

// The GPU-assisted placer on the accelerator's device: the device's answers
// for every position of every angle, each valid one moved to its place and
// checked with the plain free test, the best by the seven keys; the CPU
// placer above whenever that yields nothing.
bool place_item_gpu(const Sheet& sheet, const NestingItem& item,
                    const std::vector<Placement>& placed, std::int32_t sheet_index,
                    const IterativeNestingOptions& options, Placement& out, std::int32_t device);

// The GPU solvers go through the GPU route above (the CPU placer alone
// without a device).
NestingResult place_items_on_sheets(const Sheet& sheet, const std::vector<NestingItem>& items,
                                    const IterativeNestingOptions& options,
                                    std::vector<std::vector<Placement>> prefilled);

}  // namespace plv::reference
