#pragma once

// From the job list to the engine's parts: every file is read in a task of
// its own, in batches of the loading thread count, through a process-wide
// cache of parsed files. An entry is valid only while the file (size and
// last-write time) and every setting that shapes its parts (tolerances,
// minimum area, input scale) are unchanged; the quantity asked for never
// causes a read.

#include "app/core/run_settings.hpp"
#include "dxf/import_settings.hpp"
#include "engine/model.hpp"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

namespace app {

// The identity of a job-list path (UTF-8), for the cache and for spotting
// duplicates in the job list: made weakly canonical (else absolute, else as
// given, each normalised lexically), '/' turned into '\\', A to Z folded to
// lower case. Never fails.
std::string selected_file_key(const std::string& path);

// What the cache compares a file by; a value that cannot be read counts as
// 0 (a missing file gives 0 for both).
struct FileStamp {
    std::uint64_t size = 0;
    std::filesystem::file_time_type modification_time{};
};
FileStamp file_stamp(const std::filesystem::path& file);

struct DxfCacheEntry {
    std::uint64_t file_size = 0;
    std::filesystem::file_time_type modification_time{};
    double curve_tolerance = 0.0;
    double join_tolerance = 0.0;
    double min_area = 0.0;
    double scale = 1.0;
    // Already scaled, each with quantity 1; shared so that the lock covers
    // only a pointer copy.
    std::shared_ptr<const std::vector<plv::Part>> parts;
};

// True when `entry` was made from this file state with these settings.
bool cache_entry_matches(const DxfCacheEntry& entry, const FileStamp& stamp,
                         const plv::DxfImportSettings& settings, double scale);

// A map from key to entry with its own mutex, held only for a look-up with
// its copy or for an insert. Entries are added or overwritten, never
// removed.
class DxfParseCache {
public:
    // The entry's parts when it is there and valid, else null.
    std::shared_ptr<const std::vector<plv::Part>> find(const std::string& key, const FileStamp& stamp,
                                                       const plv::DxfImportSettings& settings,
                                                       double scale) const;
    void insert(const std::string& key, DxfCacheEntry entry);
    std::size_t size() const;

private:
    mutable std::mutex mutex_;  // dxf_cache_mutex
    std::unordered_map<std::string, DxfCacheEntry> entries_;
};

// The process-wide cache: made before first use, never destroyed (loading
// tasks of detached workers may still reach it while the process ends).
DxfParseCache& dxf_parse_cache();

// Reads the parts of one file (the DXF reader in the program; tests count
// and delay their reads).
using PartFileReader =
    std::function<std::vector<plv::Part>(const std::filesystem::path& file, const plv::DxfImportSettings&)>;
// The DXF reader on a list holding this one file.
std::vector<plv::Part> read_dxf_file(const std::filesystem::path& file, const plv::DxfImportSettings& settings);

// One loading task: the file's parts, from the cache when it holds a valid
// entry, else read (without any lock held), scaled and stored. Every part
// carries `quantity`. Read failures propagate and leave the cache unchanged.
std::vector<plv::Part> load_part_file_cached(const std::string& path, std::int32_t quantity,
                                             const plv::DxfImportSettings& settings, double scale);
std::vector<plv::Part> load_part_file_cached(DxfParseCache& cache, const PartFileReader& reader,
                                             const std::string& path, std::int32_t quantity,
                                             plv::DxfImportSettings settings, double scale);

// The parts of every file of settings.files, in job-list order. Reads only
// files, load_threads, import_settings and input_scale. The first failure
// in job-list order is raised after the rest of its batch has finished;
// later batches are not started.
std::vector<plv::Part> load_selected_parts_parallel(const RunSettings& settings);
std::vector<plv::Part> load_selected_parts_parallel(const RunSettings& settings, DxfParseCache& cache,
                                                    const PartFileReader& reader);

}  // namespace app
