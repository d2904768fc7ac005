#include "app/core/parts_loading.hpp"

#include "dxf/part_builder.hpp"
#include "dxf/paths.hpp"
#include "geometry/primitives.hpp"

#include <cmath>
#include <exception>
#include <future>
#include <system_error>

namespace app {

namespace fs = std::filesystem;

namespace {

std::string fold_key(std::string key) {
    for (char& ch : key) {
        if (ch == '/') {
            ch = '\\';
        } else if (ch >= 'A' && ch <= 'Z') {
            ch = static_cast<char>(ch - 'A' + 'a');
        }
    }
    return key;
}

}  // namespace

std::string selected_file_key(const std::string& path) {
    const fs::path given = plv::path_from_utf8(path);
    // Made absolute first: the library leaves a relative path relative when
    // none of it exists, and the key must not depend on how it was typed.
    std::error_code ec;
    const fs::path absolute = fs::absolute(given, ec);
    if (ec) return fold_key(plv::path_to_utf8(given.lexically_normal()));
    fs::path resolved = fs::weakly_canonical(absolute, ec);
    if (ec) resolved = absolute.lexically_normal();
    return fold_key(plv::path_to_utf8(resolved));
}

FileStamp file_stamp(const fs::path& file) {
    FileStamp stamp;
    std::error_code ec;
    const std::uintmax_t size = fs::file_size(file, ec);
    if (ec) return stamp;
    stamp.size = static_cast<std::uint64_t>(size);
    const fs::file_time_type time = fs::last_write_time(file, ec);
    if (!ec) stamp.modification_time = time;
    return stamp;
}

bool cache_entry_matches(const DxfCacheEntry& entry, const FileStamp& stamp,
                         const plv::DxfImportSettings& settings, double scale) {
    return entry.file_size == stamp.size && entry.modification_time == stamp.modification_time &&
           std::abs(settings.curve_tolerance - entry.curve_tolerance) <= 1e-9 &&
           std::abs(settings.join_tolerance - entry.join_tolerance) <= 1e-9 &&
           std::abs(settings.min_area - entry.min_area) <= 1e-9 && std::abs(scale - entry.scale) <= 1e-9;
}

std::shared_ptr<const std::vector<plv::Part>> DxfParseCache::find(const std::string& key,
                                                                  const FileStamp& stamp,
                                                                  const plv::DxfImportSettings& settings,
                                                                  double scale) const {
    std::lock_guard<std::mutex> lock(mutex_);
    const auto it = entries_.find(key);
    if (it == entries_.end() || !cache_entry_matches(it->second, stamp, settings, scale)) return nullptr;
    return it->second.parts;
}

void DxfParseCache::insert(const std::string& key, DxfCacheEntry entry) {
    std::lock_guard<std::mutex> lock(mutex_);
    entries_[key] = std::move(entry);
}

std::size_t DxfParseCache::size() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return entries_.size();
}

DxfParseCache& dxf_parse_cache() {
    // Deliberately never deleted (see the header).
    static DxfParseCache* const cache = new DxfParseCache();
    return *cache;
}

std::vector<plv::Part> read_dxf_file(const fs::path& file, const plv::DxfImportSettings& settings) {
    return plv::load_dxf_parts({file}, settings);
}

namespace {

std::vector<plv::Part> with_quantity(const std::vector<plv::Part>& parts, std::int32_t quantity) {
    std::vector<plv::Part> out = parts;
    for (plv::Part& part : out) part.quantity = quantity;
    return out;
}

}  // namespace

std::vector<plv::Part> load_part_file_cached(DxfParseCache& cache, const PartFileReader& reader,
                                             const std::string& path, std::int32_t quantity,
                                             plv::DxfImportSettings settings, double scale) {
    settings.quantity = 1;
    const std::string key = selected_file_key(path);
    const fs::path file = plv::path_from_utf8(path);
    const FileStamp stamp = file_stamp(file);
    if (auto cached = cache.find(key, stamp, settings, scale)) return with_quantity(*cached, quantity);

    std::vector<plv::Part> parts = reader(file, settings);
    if (std::abs(scale - 1.0) >= 1e-9) {
        for (plv::Part& part : parts) part.shape = geom::scale_polygon(part.shape, scale);
    }
    for (plv::Part& part : parts) part.quantity = 1;
    DxfCacheEntry entry;
    entry.file_size = stamp.size;
    entry.modification_time = stamp.modification_time;
    entry.curve_tolerance = settings.curve_tolerance;
    entry.join_tolerance = settings.join_tolerance;
    entry.min_area = settings.min_area;
    entry.scale = scale;
    entry.parts = std::make_shared<const std::vector<plv::Part>>(parts);
    cache.insert(key, std::move(entry));
    for (plv::Part& part : parts) part.quantity = quantity;
    return parts;
}

std::vector<plv::Part> load_part_file_cached(const std::string& path, std::int32_t quantity,
                                             const plv::DxfImportSettings& settings, double scale) {
    return load_part_file_cached(dxf_parse_cache(), read_dxf_file, path, quantity, settings, scale);
}

std::vector<plv::Part> load_selected_parts_parallel(const RunSettings& settings, DxfParseCache& cache,
                                                    const PartFileReader& reader) {
    std::vector<plv::Part> result;
    const std::vector<SelectedFile>& files = settings.files;
    if (files.empty()) return result;
    const std::size_t batch = static_cast<std::size_t>(std::max<std::int32_t>(settings.load_threads, 1));
    for (std::size_t first = 0; first < files.size(); first += batch) {
        const std::size_t end = std::min(files.size(), first + batch);
        std::vector<std::future<std::vector<plv::Part>>> tasks;
        tasks.reserve(end - first);
        // Should starting a task fail, the futures made so far still wait
        // for their tasks when destroyed.
        for (std::size_t i = first; i < end; ++i) {
            tasks.push_back(std::async(std::launch::async, [&cache, &reader, path = files[i].path,
                                                             quantity = files[i].quantity,
                                                             import = settings.import_settings,
                                                             scale = settings.input_scale] {
                return load_part_file_cached(cache, reader, path, quantity, import, scale);
            }));
        }
        std::exception_ptr failure;
        for (auto& task : tasks) {
            try {
                std::vector<plv::Part> parts = task.get();
                if (!failure) result.insert(result.end(), std::make_move_iterator(parts.begin()),
                                            std::make_move_iterator(parts.end()));
            } catch (...) {
                if (!failure) failure = std::current_exception();
            }
        }
        if (failure) std::rethrow_exception(failure);
    }
    return result;
}

std::vector<plv::Part> load_selected_parts_parallel(const RunSettings& settings) {
    return load_selected_parts_parallel(settings, dxf_parse_cache(), read_dxf_file);
}

}  // namespace app
