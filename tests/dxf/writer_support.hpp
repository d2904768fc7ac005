#pragma once

// Shared helpers of the DXF writer tests: a plain group reader for what the
// writers produce, a per-layer summary of a drawing, and the output folder.
//
// When PLV_DXF_CHECK_DIR is set, every drawing a test writes goes there,
// together with a JSON summary of what the file holds; the ezdxf check
// (tests/check_dxf_ezdxf.py) then reads each file independently and compares.

#include "engine/model.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <limits>
#include <map>
#include <random>
#include <sstream>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace writer_test {

namespace fs = std::filesystem;

// An open axis-aligned rectangle, counter-clockwise from (x0, y0).
inline plv::Ring rect(double x0, double y0, double x1, double y1) {
    return plv::Ring{{x0, y0}, {x1, y0}, {x1, y1}, {x0, y1}};
}

// A placed shape on a sheet; the writer reads only these two fields.
inline plv::Placement place(plv::Polygon shape, int sheet = 0) {
    plv::Placement p;
    p.part_name = "part";
    p.shape = std::move(shape);
    p.sheet_index = sheet;
    return p;
}

struct Group {
    int code = 0;
    std::string value;
    bool operator==(const Group&) const = default;
};

inline std::ostream& operator<<(std::ostream& os, const Group& g) {
    return os << g.code << "=" << '"' << g.value << '"';
}

// Splits text into groups; every line must end "\r\n".
inline std::vector<Group> parse_groups(std::string_view text) {
    std::vector<std::string> lines;
    std::size_t pos = 0;
    while (pos < text.size()) {
        const std::size_t end = text.find("\r\n", pos);
        if (end == std::string_view::npos) {
            ADD_FAILURE() << "line without \\r\\n at byte " << pos;
            break;
        }
        const std::string_view line = text.substr(pos, end - pos);
        if (line.find('\n') != std::string_view::npos || line.find('\r') != std::string_view::npos) {
            ADD_FAILURE() << "stray line break in line at byte " << pos;
        }
        lines.emplace_back(line);
        pos = end + 2;
    }
    std::vector<Group> groups;
    if (lines.size() % 2 != 0) ADD_FAILURE() << "odd number of lines: " << lines.size();
    for (std::size_t i = 0; i + 1 < lines.size(); i += 2) {
        groups.push_back(Group{std::stoi(lines[i]), lines[i + 1]});
    }
    return groups;
}

// Captures what a writer puts on a stream.
inline std::string capture(const std::function<void(std::ostream&)>& write) {
    std::ostringstream out(std::ios::binary);
    write(out);
    return out.str();
}

// One entity with its groups; a POLYLINE carries its vertices.
struct Entity {
    std::string type;
    std::string layer;
    std::vector<Group> groups;  // after the "0" group
    std::vector<std::pair<double, double>> vertices;

    double real(int code) const {
        for (const Group& g : groups) {
            if (g.code == code) return std::stod(g.value);
        }
        ADD_FAILURE() << type << " has no group " << code;
        return std::nan("");
    }
    std::string text(int code) const {
        for (const Group& g : groups) {
            if (g.code == code) return g.value;
        }
        ADD_FAILURE() << type << " has no group " << code;
        return {};
    }
};

// Entities of a group list: of the ENTITIES section when there is one,
// otherwise of the whole list (output of single writers).
inline std::vector<Entity> entities_of(const std::vector<Group>& groups) {
    std::size_t begin = 0;
    std::size_t end = groups.size();
    for (std::size_t i = 0; i + 1 < groups.size(); ++i) {
        if (groups[i] == Group{0, "SECTION"} && groups[i + 1] == Group{2, "ENTITIES"}) {
            begin = i + 2;
            for (end = begin; end < groups.size(); ++end) {
                if (groups[end] == Group{0, "ENDSEC"}) break;
            }
            break;
        }
    }
    std::vector<Entity> out;
    for (std::size_t i = begin; i < end; ++i) {
        const Group& g = groups[i];
        if (g.code == 0) {
            if (g.value == "VERTEX" && !out.empty() && out.back().type == "POLYLINE") {
                double x = std::nan(""), y = std::nan("");
                for (std::size_t j = i + 1; j < end && groups[j].code != 0; ++j) {
                    if (groups[j].code == 10) x = std::stod(groups[j].value);
                    if (groups[j].code == 20) y = std::stod(groups[j].value);
                }
                out.back().vertices.emplace_back(x, y);
                continue;
            }
            if (g.value == "SEQEND") continue;
            out.push_back(Entity{g.value, "", {}, {}});
            continue;
        }
        if (out.empty()) continue;
        Entity& e = out.back();
        // Groups of the vertices stay out of the POLYLINE's own list.
        if (!e.vertices.empty()) continue;
        e.groups.push_back(g);
        if (g.code == 8) e.layer = g.value;
    }
    return out;
}

inline std::vector<Entity> entities_of(std::string_view text) { return entities_of(parse_groups(text)); }

// One entity as the check compares it: its numbers (line ends; polyline
// vertices; text position and height; centre, radius and angles) and text.
struct EntityRecord {
    std::string type;
    std::string layer;
    std::vector<double> values;
    std::string text;
};

// What a drawing holds: entity counts per layer and type, the number of
// polyline vertices per layer, the extents of the definition points (line
// ends, vertices, text insertion points, circle and arc centres) and every
// entity in file order.
struct Summary {
    std::map<std::string, std::map<std::string, int>> counts;
    std::vector<EntityRecord> entities;
    std::map<std::string, int> vertices;
    double min_x = std::numeric_limits<double>::infinity();
    double min_y = std::numeric_limits<double>::infinity();
    double max_x = -std::numeric_limits<double>::infinity();
    double max_y = -std::numeric_limits<double>::infinity();

    void add(double x, double y) {
        min_x = std::min(min_x, x);
        min_y = std::min(min_y, y);
        max_x = std::max(max_x, x);
        max_y = std::max(max_y, y);
    }
    int count(const std::string& layer, const std::string& type) const {
        const auto l = counts.find(layer);
        if (l == counts.end()) return 0;
        const auto t = l->second.find(type);
        return t == l->second.end() ? 0 : t->second;
    }
    int total() const {
        int n = 0;
        for (const auto& [layer, types] : counts) {
            for (const auto& [type, c] : types) n += c;
        }
        return n;
    }
};

inline Summary summarize(const std::vector<Entity>& entities) {
    Summary s;
    for (const Entity& e : entities) {
        ++s.counts[e.layer][e.type];
        EntityRecord r{e.type, e.layer, {}, {}};
        if (e.type == "POLYLINE") {
            s.vertices[e.layer] += static_cast<int>(e.vertices.size());
            for (const auto& [x, y] : e.vertices) {
                s.add(x, y);
                r.values.push_back(x);
                r.values.push_back(y);
            }
        } else if (e.type == "LINE") {
            s.add(e.real(10), e.real(20));
            s.add(e.real(11), e.real(21));
            r.values = {e.real(10), e.real(20), e.real(11), e.real(21)};
        } else {
            s.add(e.real(10), e.real(20));
            r.values = {e.real(10), e.real(20)};
            if (e.type == "TEXT") {
                r.values.push_back(e.real(40));
                r.text = e.text(1);
            } else if (e.type == "CIRCLE") {
                r.values.push_back(e.real(40));
            } else if (e.type == "ARC") {
                r.values.push_back(e.real(40));
                r.values.push_back(e.real(50));
                r.values.push_back(e.real(51));
            }
        }
        s.entities.push_back(std::move(r));
    }
    return s;
}

inline std::string read_file(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

inline std::string json_string(std::string_view text) {
    std::string out = "\"";
    for (const char c : text) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (static_cast<unsigned char>(c) < 0x20) {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\u%04x", static_cast<unsigned>(c));
            out += buf;
        } else {
            out += c;
        }
    }
    return out + "\"";
}

inline std::string json_real(double v) {
    std::ostringstream os;
    os.precision(17);
    os << v;
    return os.str();
}

// Fresh folder for the drawings of one test: under the check folder when the
// ezdxf check asked for the files (kept), otherwise under the temporary
// folder (removed afterwards).
class OutputFolder {
public:
    // checked false: the folder holds no finished drawings (failure
    // tests), so it never goes to the check.
    explicit OutputFolder(const std::string& name, bool checked = true) {
        const char* check = std::getenv("PLV_DXF_CHECK_DIR");
        keep_ = checked && check != nullptr && *check != '\0';
        const fs::path base = keep_ ? fs::u8path(check) : fs::temp_directory_path() / unique_name();
        dir_ = base / fs::u8path(name);
        fs::remove_all(dir_);
        fs::create_directories(dir_);
    }
    ~OutputFolder() {
        if (!keep_) {
            std::error_code ec;
            fs::remove_all(dir_, ec);
            fs::remove(dir_.parent_path(), ec);  // only once it is empty
        }
    }
    OutputFolder(const OutputFolder&) = delete;
    OutputFolder& operator=(const OutputFolder&) = delete;

    const fs::path& dir() const { return dir_; }
    fs::path file(const std::string& name) const { return dir_ / fs::u8path(name); }
    bool checked() const { return keep_; }

    // Records what a written drawing holds, for the independent check.
    void expect(const fs::path& dxf, const Summary& s) const {
        if (!keep_) return;
        std::ofstream out(fs::path(dxf).replace_extension(".json"), std::ios::binary);
        out << "{\n  \"counts\": {";
        bool first_layer = true;
        for (const auto& [layer, types] : s.counts) {
            out << (first_layer ? "" : ",") << "\n    \"" << layer << "\": {";
            bool first_type = true;
            for (const auto& [type, c] : types) {
                out << (first_type ? "" : ", ") << '"' << type << "\": " << c;
                first_type = false;
            }
            out << "}";
            first_layer = false;
        }
        out << "\n  },\n  \"vertices\": {";
        bool first = true;
        for (const auto& [layer, n] : s.vertices) {
            out << (first ? "" : ", ") << '"' << layer << "\": " << n;
            first = false;
        }
        out << "},\n  \"entities\": [";
        for (std::size_t i = 0; i < s.entities.size(); ++i) {
            const EntityRecord& r = s.entities[i];
            out << (i == 0 ? "" : ",") << "\n    {\"type\": " << json_string(r.type)
                << ", \"layer\": " << json_string(r.layer) << ", \"values\": [";
            for (std::size_t k = 0; k < r.values.size(); ++k) out << (k == 0 ? "" : ", ") << json_real(r.values[k]);
            out << "], \"text\": " << json_string(r.text) << "}";
        }
        out << "\n  ]";
        if (s.total() > 0) {
            out << ",\n  \"extents\": [" << json_real(s.min_x) << ", " << json_real(s.min_y) << ", "
                << json_real(s.max_x) << ", " << json_real(s.max_y) << "]";
        }
        out << "\n}\n";
    }

    // Summary of a written drawing, recorded for the independent check.
    Summary summarize_file(const fs::path& dxf) const {
        const Summary s = summarize(entities_of(read_file(dxf)));
        expect(dxf, s);
        return s;
    }

private:
    // Test programs of several builds may run at the same time.
    static std::string unique_name() {
        static const std::string name = [] {
            std::random_device rd;
            std::ostringstream os;
            os << "plv-dxf-writer-" << std::hex << rd() << rd();
            return os.str();
        }();
        return name;
    }

    fs::path dir_;
    bool keep_ = false;
};

}  // namespace writer_test
