#include "app/core/quantities_csv.hpp"

#include "app/core/job_list.hpp"
#include "dxf/paths.hpp"

#include <system_error>

namespace app {

namespace {

namespace fs = std::filesystem;

bool is_file(const fs::path& p) {
    std::error_code ec;
    return fs::is_regular_file(p, ec);
}

}  // namespace

std::optional<QuantityLine> parse_quantity_line(const std::string& line) {
    if (line.empty()) return std::nullopt;
    const std::size_t comma = line.rfind(',');
    if (comma == std::string::npos || comma + 1 == line.size()) return std::nullopt;
    const std::int32_t quantity = leading_int32(line.substr(comma + 1)).value_or(1);
    if (quantity <= 0) return std::nullopt;
    return QuantityLine{line.substr(0, comma), quantity};
}

std::vector<QuantityImport> read_quantities_csv(std::istream& in, const fs::path& csv_folder) {
    std::vector<QuantityImport> found;
    std::string line;
    bool first = true;
    while (std::getline(in, line)) {
        // Text-mode reading on Windows drops the carriage return; do the same
        // everywhere.
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (first && line.rfind("\xEF\xBB\xBF", 0) == 0) line.erase(0, 3);
        first = false;
        const std::optional<QuantityLine> parsed = parse_quantity_line(line);
        if (!parsed) continue;
        const fs::path beside = csv_folder / plv::path_from_utf8(parsed->name);
        if (is_file(beside)) {
            found.push_back({plv::path_to_utf8(beside), parsed->quantity});
        } else if (is_file(plv::path_from_utf8(parsed->name))) {
            found.push_back({parsed->name, parsed->quantity});
        }
    }
    return found;
}

}  // namespace app
