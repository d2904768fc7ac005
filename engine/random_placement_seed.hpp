#pragma once

// Seed of the random placer's generator: the copy and its situation alone,
// so the same copy in the same situation always draws the same stream.

#include "engine/deterministic.hpp"

#include <cstdint>
#include <string_view>

namespace plv {

// All arithmetic in wrapping 32-bit unsigned; placed_count is the number of
// placements already on the sheet.
inline std::uint32_t random_placement_seed(std::string_view part_name, std::int32_t position_seed,
                                           std::int32_t sheet_index, std::uint32_t placed_count,
                                           std::int32_t copy_number) {
    const auto name_hash = static_cast<std::uint32_t>(cityhash64(part_name));
    return name_hash ^ (static_cast<std::uint32_t>(position_seed) * 0x9E3779B1u) ^
           ((static_cast<std::uint32_t>(sheet_index) + 1u) * 0x85EBCA77u) ^
           ((placed_count + 1u) * 0xC2B2AE3Du) ^
           (static_cast<std::uint32_t>(copy_number) * 0x27D4EB2Fu) ^ 0x9E3779B9u;
}

}  // namespace plv
