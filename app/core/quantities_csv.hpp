#pragma once

// The CSV of quantities: one file name and one quantity per line, split at
// the line's last comma.

#include <cstdint>
#include <filesystem>
#include <istream>
#include <optional>
#include <string>
#include <vector>

namespace app {

struct QuantityLine {
    std::string name;  // the text before the last comma, untrimmed
    std::int32_t quantity = 1;
};

// The name and quantity of one line, or nothing when the line is skipped:
// empty, no comma, a comma at its end, or a quantity of 0 or less. A
// quantity that is not a number (or outside the int32 range) counts as 1.
std::optional<QuantityLine> parse_quantity_line(const std::string& line);

struct QuantityImport {
    std::string path;  // UTF-8, as it goes into the job list
    std::int32_t quantity = 1;
};

// Every usable line of the CSV, in file order: the name is taken beside the
// CSV (csv_folder joined with it) when that is a file, else as it stands
// (relative to the working folder, or absolute) when that is a file; other
// lines are skipped silently. A byte-order mark at the start is not part of
// the first name. File-system errors count as a missing file.
std::vector<QuantityImport> read_quantities_csv(std::istream& in,
                                                const std::filesystem::path& csv_folder);

}  // namespace app
