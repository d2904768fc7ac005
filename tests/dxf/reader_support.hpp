#pragma once

// Helpers of the DXF input tests: DXF text from group pairs, the fixture
// tables, and a temporary folder removed at the end of the test.

#include "dxf/paths.hpp"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

namespace plv::test {

using Groups = std::vector<std::pair<int, std::string>>;

// Codes right-aligned in three columns as DXF writers do, LF line ends.
inline std::string dxf_text(const Groups& groups) {
    std::string out;
    for (const auto& [code, value] : groups) {
        std::string c = std::to_string(code);
        if (c.size() < 3) c.insert(0, 3 - c.size(), ' ');
        out += c + "\n" + value + "\n";
    }
    return out;
}

inline std::string entities(const Groups& groups) {
    Groups all{{0, "SECTION"}, {2, "ENTITIES"}};
    all.insert(all.end(), groups.begin(), groups.end());
    all.push_back({0, "ENDSEC"});
    all.push_back({0, "EOF"});
    return dxf_text(all);
}

inline Groups line(double x1, double y1, double x2, double y2) {
    return {{0, "LINE"}, {8, "0"}, {10, std::to_string(x1)}, {20, std::to_string(y1)},
            {11, std::to_string(x2)}, {21, std::to_string(y2)}};
}

inline Groups square_lines(double x, double y, double side) {
    Groups g;
    for (const auto& l : {line(x, y, x + side, y), line(x + side, y, x + side, y + side),
                          line(x + side, y + side, x, y + side), line(x, y + side, x, y)}) {
        g.insert(g.end(), l.begin(), l.end());
    }
    return g;
}

inline Groups closed_lwpolyline(const std::vector<std::pair<double, double>>& points, int flags = 1) {
    Groups g{{0, "LWPOLYLINE"}, {90, std::to_string(points.size())}, {70, std::to_string(flags)}};
    for (const auto& [x, y] : points) {
        g.push_back({10, std::to_string(x)});
        g.push_back({20, std::to_string(y)});
    }
    return g;
}

inline Groups circle(double cx, double cy, double r) {
    return {{0, "CIRCLE"}, {10, std::to_string(cx)}, {20, std::to_string(cy)}, {40, std::to_string(r)}};
}

inline Groups operator+(Groups a, const Groups& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

inline std::filesystem::path data_dir() { return path_from_utf8(PLV_TEST_DATA_DIR); }

// The rows of a table under tests/data, blank lines and '#' comments left
// out. A table that cannot be opened is a fatal failure.
inline void read_table_rows(const std::string& name, std::vector<std::string>& rows) {
    std::ifstream in(data_dir() / name);
    ASSERT_TRUE(in.is_open()) << name;
    std::string row;
    while (std::getline(in, row)) {
        if (row.empty() || row[0] == '#') continue;
        rows.push_back(row);
    }
}

class TempDir {
public:
    TempDir() {
        static std::atomic<int> counter{0};
        const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
        path_ = std::filesystem::temp_directory_path() /
                ("plv_dxf_" + std::to_string(stamp) + "_" + std::to_string(counter++));
        std::filesystem::create_directories(path_);
    }
    ~TempDir() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& path() const { return path_; }

    // Writes text under the relative UTF-8 name, creating folders.
    std::filesystem::path write(const std::string& relative_utf8, const std::string& text) const {
        const std::filesystem::path p = path_ / path_from_utf8(relative_utf8);
        std::filesystem::create_directories(p.parent_path());
        std::ofstream out(p, std::ios::binary);
        out << text;
        return p;
    }

private:
    std::filesystem::path path_;
};

}  // namespace plv::test
