#include "app/core/job_list.hpp"

#include "dxf/paths.hpp"

#include <algorithm>
#include <cstdint>
#include <functional>
#include <limits>
#include <utility>

namespace app {

namespace {

std::int32_t saturating_add(std::int32_t a, std::int32_t b) {
    const std::int64_t sum = static_cast<std::int64_t>(a) + b;
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(
        sum, std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::max()));
}

bool is_c_space(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

}  // namespace

std::optional<std::int32_t> leading_int32(const std::string& text) {
    std::size_t i = 0;
    while (i < text.size() && is_c_space(text[i])) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    const std::size_t first_digit = i;
    std::int64_t value = 0;
    constexpr std::int64_t limit = static_cast<std::int64_t>(std::numeric_limits<std::int32_t>::max()) + 1;
    bool too_big = false;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9') {
        if (!too_big) {
            value = value * 10 + (text[i] - '0');
            if (value > limit) too_big = true;
        }
        ++i;
    }
    if (i == first_digit) return std::nullopt;
    if (negative) value = -value;
    if (too_big || value < std::numeric_limits<std::int32_t>::min() ||
        value > std::numeric_limits<std::int32_t>::max())
        return std::nullopt;
    return static_cast<std::int32_t>(value);
}

JobListAdder::JobListAdder(std::vector<SelectedFile>& files, FileKeyFunction key)
    : files_(files), key_(std::move(key)) {
    for (std::size_t i = 0; i < files_.size(); ++i) {
        // The first entry of a key wins, as a walk in list order would find.
        index_of_key_.emplace(key_(files_[i].path), i);
    }
}

void JobListAdder::add(const std::string& path, std::int32_t quantity) {
    const std::string key = key_(path);
    const auto found = index_of_key_.find(key);
    if (found != index_of_key_.end()) {
        SelectedFile& entry = files_[found->second];
        entry.quantity = saturating_add(entry.quantity, quantity);
        return;
    }
    index_of_key_.emplace(key, files_.size());
    files_.push_back(SelectedFile{path, quantity});
}

void add_selected_file(std::vector<SelectedFile>& files, const std::string& path,
                       std::int32_t quantity, const FileKeyFunction& key) {
    JobListAdder(files, key).add(path, quantity);
}

void remove_selected_entries(std::vector<SelectedFile>& files, std::vector<int> rows) {
    // From the highest index down, so an erase never moves a row still to go.
    std::sort(rows.begin(), rows.end(), std::greater<int>());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    for (const int row : rows) {
        if (row >= 0 && static_cast<std::size_t>(row) < files.size())
            files.erase(files.begin() + row);
    }
}

std::optional<std::int32_t> quantity_from_text(const std::string& text) {
    const std::optional<std::int32_t> value = leading_int32(text);
    if (!value) return std::nullopt;
    return std::max<std::int32_t>(*value, 1);
}

void set_quantity_of_rows(std::vector<SelectedFile>& files, const std::vector<int>& rows,
                          std::int32_t quantity) {
    for (const int row : rows) {
        if (row >= 0 && static_cast<std::size_t>(row) < files.size())
            files[static_cast<std::size_t>(row)].quantity = quantity;
    }
}

std::string file_name_part(const std::string& path) {
    const std::size_t slash = path.find_last_of("/\\");
    if (slash != std::string::npos) return path.substr(slash + 1);
    // "C:name" is relative to drive C's current folder; the name follows
    // the colon.
    if (path.size() >= 2 && path[1] == ':' &&
        ((path[0] >= 'A' && path[0] <= 'Z') || (path[0] >= 'a' && path[0] <= 'z')))
        return path.substr(2);
    return path;
}

std::string job_row_text(const SelectedFile& entry) {
    // Appended piece by piece: GCC 12 warns falsely about "x" + string.
    std::string text = "x";
    text += std::to_string(entry.quantity);
    text += "  ";
    text += file_name_part(entry.path);
    return text;
}

std::optional<std::string> output_path_beside(const std::string& current_text,
                                              const std::string& folder) {
    if (current_text != kDefaultOutputPath) return std::nullopt;
    return plv::path_to_utf8(plv::path_from_utf8(folder) / kResultFileName);
}

std::string parent_folder_of(const std::string& path) {
    return plv::path_to_utf8(plv::path_from_utf8(path).parent_path());
}

}  // namespace app
