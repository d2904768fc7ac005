#include "engine/single_pass.hpp"

#include "engine/array_layout.hpp"
#include "engine/deterministic.hpp"
#include "engine/search_detail.hpp"
#include "engine/sheet_placement.hpp"

#include <cstdint>
#include <random>
#include <utility>

namespace plv {

NestingResult nest_parts(const Sheet& sheet, const std::vector<Part>& parts,
                         const IterativeNestingOptions& options) {
    validate_nesting_inputs(sheet, options);

    NestingResult single;
    if (try_single_part_array_layout(sheet, parts, options, single)) return single;

    std::vector<std::vector<Placement>> sheets;
    std::vector<Part> remaining;
    const bool have_arrays = place_high_quantity_array_sheets(sheet, parts, options, sheets, remaining);
    if (have_arrays && remaining.empty()) {
        NestingResult arrays;
        arrays.sheet = sheet;
        move_sheets_into(sheets, arrays.placements);
        return arrays;
    }

    const std::vector<Part>& to_place = have_arrays ? remaining : parts;

    std::vector<NestingItem> items = expand_items(to_place);
    if (options.solver == Solver::random) {
        const std::uint32_t seed = (static_cast<std::uint32_t>(options.position_seed) * 0x9E3779B1u) ^
                                   (static_cast<std::uint32_t>(items.size()) * 0x27D4EB2Fu) ^
                                   0xA341316Cu;
        std::mt19937 g(seed);
        if (items.size() >= 2) shuffle(items, g);
    } else {
        detail::sort_largest_first(items);
    }

    IterativeNestingOptions placement = detail::placement_options(options);
    placement.compact = options.compact;
    if (have_arrays) {
        placement.compact = false;
        placement.max_sheets = max_sheets_after_arrays(options.max_sheets, sheets.size());
    }
    return place_items_on_sheets(sheet, items, placement, std::move(sheets));
}

}  // namespace plv
