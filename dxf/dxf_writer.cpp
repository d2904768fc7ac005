#include "dxf/dxf_writer.hpp"

#include "dxf/common_lines.hpp"
#include "dxf/dxf_groups.hpp"
#include "dxf/paths.hpp"

#include <fstream>
#include <stdexcept>
#include <string>
#include <string_view>
#include <system_error>

#ifdef _WIN32
#include <windows.h>
#endif

namespace plv {

namespace {

namespace fs = std::filesystem;

// The file a save replaces: where a symbolic link at the path leads (to the
// end of a chain of links), else the path itself. Renaming over the link
// would turn it into a plain file and leave the drawing it points to as it
// was.
fs::path save_target(const fs::path& path) {
#ifdef _WIN32
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0) return path;
    // Opening follows the links; the handle then names the file they reach.
    // A link that leads nowhere cannot be opened and is replaced as before.
    const HANDLE file = CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (file == INVALID_HANDLE_VALUE) return path;
    std::wstring name(MAX_PATH, L'\0');
    DWORD n = GetFinalPathNameByHandleW(file, name.data(), static_cast<DWORD>(name.size()), FILE_NAME_NORMALIZED);
    if (n >= name.size()) {
        name.resize(n);
        n = GetFinalPathNameByHandleW(file, name.data(), static_cast<DWORD>(name.size()), FILE_NAME_NORMALIZED);
    }
    CloseHandle(file);
    if (n == 0 || n >= name.size()) return path;
    name.resize(n);
    // The answer is in the long form, \\?\C:\... or \\?\UNC\server\share\...
    const std::wstring unc = L"\\\\?\\UNC\\";
    const std::wstring local = L"\\\\?\\";
    if (name.compare(0, unc.size(), unc) == 0) return fs::path(L"\\\\" + name.substr(unc.size()));
    if (name.compare(0, local.size(), local) == 0) return fs::path(name.substr(local.size()));
    return fs::path(name);
#else
    fs::path target = path;
    std::error_code ec;
    // A loop of links ends here and then fails to open.
    for (int hops = 0; hops < 40 && fs::is_symlink(target, ec); ++hops) {
        const fs::path next = fs::read_symlink(target, ec);
        if (ec) return path;
        target = next.is_absolute() ? next : target.parent_path() / next;
    }
    return target;
#endif
}

// A name beside the target that no file holds yet. A very long target name
// gets a short stand-in, so that the suffix never makes the name too long.
fs::path temporary_beside(const fs::path& target) {
    const fs::path name = target.filename().native().size() > 200 ? fs::path("~dxf-save") : target.filename();
    fs::path candidate;
    for (int n = 1; n <= 1000; ++n) {
        std::string suffix(".");
        suffix += std::to_string(n);
        suffix += ".tmp";
        candidate = target.parent_path() / name;
        candidate += suffix;
        std::error_code ec;
        if (!fs::exists(candidate, ec) && !ec) break;
    }
    return candidate;
}

void write_section_start(std::ostream& out, std::string_view name) {
    write_group(out, 0, "SECTION");
    write_group(out, 2, name);
}

void write_table_start(std::ostream& out, std::string_view name, std::int32_t entries) {
    write_group(out, 0, "TABLE");
    write_group(out, 2, name);
    write_int_group(out, 70, entries);
}

void write_header_and_tables(std::ostream& out, std::int32_t units) {
    write_group(out, 999, "Created by Plavorin");
    write_section_start(out, "HEADER");
    write_group(out, 9, "$ACADVER");
    write_group(out, 1, "AC1009");
    write_group(out, 9, "$DWGCODEPAGE");
    write_group(out, 3, "ANSI_1252");
    write_group(out, 9, "$INSUNITS");
    write_int_group(out, 70, units == 1 ? 1 : 4);
    write_group(out, 9, "$MEASUREMENT");
    write_int_group(out, 70, units == 1 ? 0 : 1);
    write_group(out, 9, "$LUNITS");
    write_int_group(out, 70, 2);
    write_group(out, 9, "$LUPREC");
    write_int_group(out, 70, 3);
    write_group(out, 0, "ENDSEC");

    write_section_start(out, "TABLES");

    write_table_start(out, "LTYPE", 1);
    write_table_entry_start(out, "LTYPE", "Continuous");
    write_group(out, 3, "Solid line");
    write_int_group(out, 72, 65);
    write_int_group(out, 73, 0);
    write_group(out, 40, "0.0");
    write_group(out, 0, "ENDTAB");

    write_table_start(out, "LAYER", 5);
    write_layer(out, "0", 7);
    write_layer(out, "SHEET", 8);
    write_layer(out, "PARTS", 7);
    write_layer(out, "HOLES", 3);
    write_layer(out, "ANNOTATION", 2);
    write_group(out, 0, "ENDTAB");

    write_table_start(out, "STYLE", 1);
    write_table_entry_start(out, "STYLE", "Standard");
    write_group(out, 40, "0.0");
    write_group(out, 41, "1.0");
    write_group(out, 50, "0.0");
    write_int_group(out, 71, 0);
    write_group(out, 42, "2.5");
    write_group(out, 3, "txt");
    write_group(out, 4, "");
    write_group(out, 0, "ENDTAB");

    write_table_start(out, "APPID", 1);
    write_table_entry_start(out, "APPID", "ACAD");
    write_group(out, 0, "ENDTAB");
    write_group(out, 0, "ENDSEC");

    write_section_start(out, "BLOCKS");
    write_group(out, 0, "ENDSEC");

    write_section_start(out, "ENTITIES");
}

void write_entities(std::ostream& out, const NestingResult& result, double sheet_gap,
                    const std::vector<TextLabel>& labels, bool merge_common_lines,
                    const std::vector<Annotation>& annotations) {
    const double width = result.sheet.width;
    const double height = result.sheet.height;
    const double pitch = width + sheet_gap;

    const std::int32_t sheets = result.sheets_used();
    for (std::int32_t i = 0; i < sheets; ++i) {
        const double x0 = i * pitch;
        const Ring outline{{x0, 0.0}, {x0 + width, 0.0}, {x0 + width, height}, {x0, height}};
        write_polyline(out, outline, "SHEET");
        write_text(out, Point{x0, height + 35.0}, 24.0, "Sheet " + std::to_string(i + 1), "SHEET");
    }

    if (merge_common_lines) {
        write_merged_parts(out, result, pitch);
    } else {
        for (const Placement& placement : result.placements) {
            const Polygon moved =
                geom::translate_polygon(placement.shape, placement.sheet_index * pitch, 0.0);
            write_polyline(out, moved.outer, "PARTS");
            for (const Ring& hole : moved.holes) write_polyline(out, hole, "HOLES");
        }
    }

    for (const TextLabel& label : labels) {
        write_text(out, label.position, 12.0, label.text, "ANNOTATION");
    }
    for (const Annotation& annotation : annotations) write_annotation(out, annotation);

    write_group(out, 0, "ENDSEC");
    write_group(out, 0, "EOF");
}

}  // namespace

void write_dxf(const NestingResult& result, const std::filesystem::path& path, double sheet_gap,
               const std::vector<TextLabel>& labels, std::int32_t units, bool merge_common_lines,
               const std::vector<Annotation>& annotations) {
    const fs::path parent = path.parent_path();
    if (!parent.empty()) fs::create_directories(parent);

    const std::string cannot_open = "Cannot write DXF: " + path_to_utf8(path);
    std::error_code ec;
    if (fs::is_directory(path, ec)) throw std::runtime_error(cannot_open);

    // Write beside the target and rename over it: a failed save never
    // leaves the previous drawing half overwritten.
    const fs::path target = save_target(path);
    const fs::path temporary = temporary_beside(target);
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    if (!out.is_open()) throw std::runtime_error(cannot_open);

    const std::string write_failed = "DXF write failed: " + path_to_utf8(path);
    try {
        DxfHandleState& handles = dxf_handle_state();
        handles = DxfHandleState{16, false};
        write_header_and_tables(out, units);
        write_entities(out, result, sheet_gap, labels, merge_common_lines, annotations);
        out.flush();
        out.close();
    } catch (...) {
        out.close();
        fs::remove(temporary, ec);
        throw;
    }
    // A full disk or a broken share shows only here: never report such a
    // file as saved.
    if (out.fail()) {
        fs::remove(temporary, ec);
        throw std::runtime_error(write_failed);
    }
    // The target itself could not be created or replaced.
    fs::rename(temporary, target, ec);
    if (ec) {
        std::error_code ignored;
        fs::remove(temporary, ignored);
        throw std::runtime_error(cannot_open);
    }
}

}  // namespace plv
