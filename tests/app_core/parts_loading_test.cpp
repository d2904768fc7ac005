#include "app/core/parts_loading.hpp"

#include "dxf/paths.hpp"
#include "geometry/primitives.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <fstream>
#include <map>
#include <mutex>
#include <stdexcept>
#include <thread>

namespace {

using namespace app;
namespace fs = std::filesystem;
using namespace std::chrono_literals;

// A reader that counts its reads, per file, and makes one square part per
// file named after it.
struct CountingReader {
    std::mutex mutex;
    std::map<std::string, int> reads;
    std::atomic<int> active{0};
    std::atomic<int> most_active{0};
    std::vector<std::string> started;   // in start order
    std::vector<std::string> finished;  // in finish order
    std::map<std::string, std::chrono::milliseconds> delays;
    std::map<std::string, std::string> failures;  // file name -> error text
    std::map<std::string, int> parts_per_file;

    int count(const std::string& name) {
        std::lock_guard<std::mutex> lock(mutex);
        return reads[name];
    }

    PartFileReader reader() {
        return [this](const fs::path& file, const plv::DxfImportSettings& settings) {
            const std::string name = file.filename().string();
            std::chrono::milliseconds delay{0};
            std::string failure;
            int parts = 1;
            {
                std::lock_guard<std::mutex> lock(mutex);
                ++reads[name];
                started.push_back(name);
                if (auto it = delays.find(name); it != delays.end()) delay = it->second;
                if (auto it = failures.find(name); it != failures.end()) failure = it->second;
                if (auto it = parts_per_file.find(name); it != parts_per_file.end()) parts = it->second;
            }
            const int now = ++active;
            int seen = most_active.load();
            while (now > seen && !most_active.compare_exchange_weak(seen, now)) {
            }
            std::this_thread::sleep_for(delay);
            --active;
            {
                std::lock_guard<std::mutex> lock(mutex);
                finished.push_back(name);
            }
            if (!failure.empty()) throw std::runtime_error(failure);
            std::vector<plv::Part> out;
            for (int i = 0; i < parts; ++i) {
                plv::Part part;
                part.name = file.stem().string() + (i > 0 ? "-" + std::to_string(i) : "");
                part.source = file.string();
                part.quantity = settings.quantity;
                part.shape.outer = {{0, 0}, {10, 0}, {10, 5}, {0, 5}, {0, 0}};
                part.shape.holes = {{{2, 2}, {3, 2}, {3, 3}, {2, 3}, {2, 2}}};
                out.push_back(part);
            }
            return out;
        };
    }
};

// "p3.dxf" and the like (built by appending: GCC 12 warns falsely about
// chains of string additions here).
std::string numbered(const char* prefix, int n, const char* suffix = ".dxf") {
    std::string name(prefix);
    name.append(std::to_string(n));
    name.append(suffix);
    return name;
}

class PartsLoading : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() /
               ("plv_parts_loading_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "_" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_);
    }
    void TearDown() override {
        std::error_code ec;
        fs::remove_all(dir_, ec);
    }
    std::string make_file(const std::string& name, const std::string& content = "0\nEOF\n") {
        const fs::path p = dir_ / name;
        std::ofstream(p, std::ios::binary) << content;
        return plv::path_to_utf8(p);
    }
    std::vector<plv::Part> load(const std::string& path, std::int32_t quantity,
                                const plv::DxfImportSettings& settings = {}, double scale = 1.0) {
        return load_part_file_cached(cache_, reader_.reader(), path, quantity, settings, scale);
    }

    fs::path dir_;
    DxfParseCache cache_;
    CountingReader reader_;
};

TEST_F(PartsLoading, SecondLoadComesFromTheCacheWithItsOwnQuantity) {
    const std::string a = make_file("a.dxf");
    auto first = load(a, 2);
    ASSERT_EQ(first.size(), 1u);
    EXPECT_EQ(first[0].quantity, 2);
    auto second = load(a, 7);
    ASSERT_EQ(second.size(), 1u);
    EXPECT_EQ(second[0].quantity, 7);
    EXPECT_EQ(second[0].name, "a");
    EXPECT_EQ(reader_.count("a.dxf"), 1);
    EXPECT_EQ(cache_.size(), 1u);
}

TEST_F(PartsLoading, ReaderAlwaysGetsQuantityOne) {
    const std::string a = make_file("a.dxf");
    plv::DxfImportSettings settings;
    settings.quantity = 9;
    load(a, 4, settings);
    // The fake reader copies the quantity it was given into the part; the
    // cached copy then reads 1 under a different quantity.
    EXPECT_EQ(load(a, 1, settings)[0].quantity, 1);
}

TEST_F(PartsLoading, WhatMakesTheFileReadAgain) {
    struct Case {
        const char* change;
        bool read_again;
        void (*apply)(plv::DxfImportSettings&, double&, const fs::path&);
    };
    const Case cases[] = {
        {"curve tolerance +5e-10", false, [](plv::DxfImportSettings& s, double&, const fs::path&) {
             s.curve_tolerance += 5e-10;
         }},
        {"curve tolerance +1e-6", true, [](plv::DxfImportSettings& s, double&, const fs::path&) {
             s.curve_tolerance += 1e-6;
         }},
        {"join tolerance", true, [](plv::DxfImportSettings& s, double&, const fs::path&) { s.join_tolerance = 0.3; }},
        {"min area", true, [](plv::DxfImportSettings& s, double&, const fs::path&) { s.min_area = 2.0; }},
        {"scale 25.4", true, [](plv::DxfImportSettings&, double& scale, const fs::path&) { scale = 25.4; }},
        {"scale 1 + 5e-10", false, [](plv::DxfImportSettings&, double& scale, const fs::path&) { scale = 1 + 5e-10; }},
        {"quantity only", false, [](plv::DxfImportSettings& s, double&, const fs::path&) { s.quantity = 50; }},
        {"touched", true, [](plv::DxfImportSettings&, double&, const fs::path& p) {
             fs::last_write_time(p, fs::last_write_time(p) + 5s);
         }},
        {"size changed", true, [](plv::DxfImportSettings&, double&, const fs::path& p) {
             const auto time = fs::last_write_time(p);
             std::ofstream(p, std::ios::binary | std::ios::app) << "999\n";
             fs::last_write_time(p, time);
         }},
    };
    int n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.change);
        const std::string name = numbered("f", n++);
        const std::string path = make_file(name);
        plv::DxfImportSettings settings;
        double scale = 1.0;
        load(path, 1, settings, scale);
        c.apply(settings, scale, plv::path_from_utf8(path));
        load(path, 1, settings, scale);
        EXPECT_EQ(reader_.count(name), c.read_again ? 2 : 1);
        // The entry was replaced: the same settings again read nothing.
        load(path, 1, settings, scale);
        EXPECT_EQ(reader_.count(name), c.read_again ? 2 : 1);
    }
}

TEST_F(PartsLoading, OneEntryPerFileSoRoughCurvesTogglingRereads) {
    const std::string a = make_file("a.dxf");
    plv::DxfImportSettings fine;
    plv::DxfImportSettings rough = fine;
    rough.curve_tolerance *= 3;
    rough.join_tolerance *= 2;
    load(a, 1, rough);
    load(a, 1, fine);
    load(a, 1, rough);
    EXPECT_EQ(reader_.count("a.dxf"), 3);
    EXPECT_EQ(cache_.size(), 1u);
}

TEST_F(PartsLoading, ScaleMultipliesOutlinesAndHoles) {
    const std::string a = make_file("a.dxf");
    const auto plain = load(a, 1, {}, 1.0 + 5e-10);
    EXPECT_EQ(plain[0].shape.outer[2].x, 10.0);
    const auto scaled = load(a, 1, {}, 25.4);
    ASSERT_EQ(scaled.size(), 1u);
    EXPECT_DOUBLE_EQ(scaled[0].shape.outer[2].x, 254.0);
    EXPECT_DOUBLE_EQ(scaled[0].shape.outer[2].y, 127.0);
    EXPECT_DOUBLE_EQ(scaled[0].shape.holes[0][1].x, 3 * 25.4);
    EXPECT_EQ(scaled[0].name, "a");
    // Cached scaled: a second load returns the same figures unscaled again.
    const auto again = load(a, 3, {}, 25.4);
    EXPECT_DOUBLE_EQ(again[0].shape.outer[2].x, 254.0);
    EXPECT_EQ(reader_.count("a.dxf"), 2);
}

TEST_F(PartsLoading, EmptyFileIsCachedAndFailureIsNot) {
    const std::string empty = make_file("empty.dxf");
    reader_.parts_per_file["empty.dxf"] = 0;
    EXPECT_TRUE(load(empty, 1).empty());
    EXPECT_TRUE(load(empty, 1).empty());
    EXPECT_EQ(reader_.count("empty.dxf"), 1);

    const std::string bad = make_file("bad.dxf");
    reader_.failures["bad.dxf"] = "Cannot open DXF: bad.dxf";
    EXPECT_THROW(load(bad, 1), std::runtime_error);
    EXPECT_THROW(load(bad, 1), std::runtime_error);
    EXPECT_EQ(reader_.count("bad.dxf"), 2);
    EXPECT_EQ(cache_.size(), 1u);
}

TEST(FileStampTest, MissingFileCountsAsZero) {
    const FileStamp stamp = file_stamp(fs::temp_directory_path() / "plv_no_such_file_here.dxf");
    EXPECT_EQ(stamp.size, 0u);
    EXPECT_EQ(stamp.modification_time, fs::file_time_type{});
}

TEST(SelectedFileKey, CaseSlashesAndDots) {
    EXPECT_EQ(selected_file_key("C:\\cut\\A.DXF"), selected_file_key("c:/cut/a.dxf"));
    EXPECT_EQ(selected_file_key("d/../x.dxf"), selected_file_key("x.dxf"));
    EXPECT_EQ(selected_file_key("./sub/./Y.dxf"), selected_file_key("SUB/y.dxf"));
    const std::string key = selected_file_key("Some/Where/File.DXF");
    EXPECT_EQ(key.find('/'), std::string::npos);
    EXPECT_EQ(std::count_if(key.begin(), key.end(), [](char c) { return c >= 'A' && c <= 'Z'; }), 0);
    // Absolute: the working folder is part of the key.
    EXPECT_NE(key.find("some\\where\\file.dxf"), std::string::npos);
    EXPECT_GT(key.size(), std::string("some\\where\\file.dxf").size());
    // Non-ASCII letters are kept as they are.
    EXPECT_NE(selected_file_key("pieza_\xC3\x91.dxf").find("pieza_\xC3\x91.dxf"), std::string::npos);
}

TEST_F(PartsLoading, BatchesInJobListOrder) {
    RunSettings settings;
    settings.load_threads = 3;
    const int delays[] = {60, 10, 30, 5, 50, 20, 1};
    for (int i = 0; i < 7; ++i) {
        const std::string name = numbered("p", i + 1);
        settings.files.push_back({make_file(name), i + 1});
        reader_.delays[name] = std::chrono::milliseconds(delays[i]);
    }
    const auto parts = load_selected_parts_parallel(settings, cache_, reader_.reader());
    ASSERT_EQ(parts.size(), 7u);
    for (int i = 0; i < 7; ++i) {
        EXPECT_EQ(parts[i].name, numbered("p", i + 1, ""));
        EXPECT_EQ(parts[i].quantity, i + 1);
    }
    EXPECT_LE(reader_.most_active.load(), 3);
    EXPECT_GE(reader_.most_active.load(), 2);
    // Every file of a batch has finished before the next batch starts.
    auto position = [](const std::vector<std::string>& list, const std::string& name) {
        return std::find(list.begin(), list.end(), name) - list.begin();
    };
    for (int b = 0; b < 2; ++b) {
        for (int i = 0; i < 3; ++i) {
            const std::string done = numbered("p", b * 3 + i + 1);
            for (int j = (b + 1) * 3; j < 7; ++j) {
                const std::string later = numbered("p", j + 1);
                EXPECT_LT(position(reader_.finished, done), position(reader_.finished, later));
            }
        }
    }
}

TEST_F(PartsLoading, FailureWaitsForItsBatchAndStopsLaterOnes) {
    RunSettings settings;
    settings.load_threads = 3;
    for (int i = 0; i < 7; ++i) {
        const std::string name = numbered("q", i + 1);
        settings.files.push_back({make_file(name), 1});
    }
    reader_.failures["q2.dxf"] = "DXF input not found: q2.dxf";
    reader_.delays["q3.dxf"] = 80ms;
    try {
        load_selected_parts_parallel(settings, cache_, reader_.reader());
        FAIL() << "no failure";
    } catch (const std::runtime_error& e) {
        EXPECT_STREQ(e.what(), "DXF input not found: q2.dxf");
    }
    EXPECT_EQ(reader_.count("q1.dxf"), 1);
    EXPECT_EQ(reader_.count("q3.dxf"), 1);
    for (int i = 4; i <= 7; ++i) EXPECT_EQ(reader_.count(numbered("q", i)), 0);
    // The batch's good files were cached; the failed one was not.
    EXPECT_EQ(cache_.size(), 2u);
    EXPECT_EQ(reader_.finished.size(), 3u);
}

TEST_F(PartsLoading, NoFilesNoTasksAndZeroThreadsMeansOne) {
    RunSettings settings;
    EXPECT_TRUE(load_selected_parts_parallel(settings, cache_, reader_.reader()).empty());
    settings.load_threads = 0;
    settings.files = {{make_file("a.dxf"), 1}, {make_file("b.dxf"), 2}};
    const auto parts = load_selected_parts_parallel(settings, cache_, reader_.reader());
    ASSERT_EQ(parts.size(), 2u);
    EXPECT_EQ(reader_.most_active.load(), 1);
}

// A drawing the reader refuses (one polyline of 160 000 half-circle bulges,
// 20.5 million points once flattened) fails the load like a missing file:
// its message names it, and it is not cached as a file without parts.
TEST_F(PartsLoading, RefusedDrawingIsAnErrorOfTheLoad) {
    std::string huge = "0\nLWPOLYLINE\n70\n1\n";
    for (int i = 0; i < 160000; ++i) huge.append("10\n").append(std::to_string(200 * i)).append("\n20\n0\n42\n1\n");
    huge.append("0\nEOF\n");
    RunSettings settings;
    settings.files = {{make_file("plate.dxf", "0\nCIRCLE\n10\n0\n20\n0\n40\n50\n0\nEOF\n"), 1},
                      {make_file("huge.dxf", huge), 1}};
    try {
        load_selected_parts_parallel(settings, cache_, read_dxf_file);
        FAIL() << "the refused drawing loaded";
    } catch (const std::runtime_error& e) {
        EXPECT_EQ(std::string(e.what()), "DXF too large (over 20000000 points): " + settings.files[1].path);
    }
    EXPECT_EQ(cache_.size(), 1u);
}

TEST(PartsLoadingRealReader, FixtureThroughTheProcessCache) {
    const std::string plate = std::string(PLV_TEST_DATA_DIR) + "/plate_circle_holes.dxf";
    RunSettings settings;
    settings.files = {{plate, 2}};
    const auto mm = load_selected_parts_parallel(settings);
    ASSERT_EQ(mm.size(), 1u);
    EXPECT_EQ(mm[0].quantity, 2);
    EXPECT_EQ(mm[0].shape.holes.size(), 3u);
    settings.input_scale = 25.4;
    const auto inches = load_selected_parts_parallel(settings);
    ASSERT_EQ(inches.size(), 1u);
    const geom::BoundingBox a = plv::part_bounds(mm[0]);
    const geom::BoundingBox b = plv::part_bounds(inches[0]);
    EXPECT_NEAR(b.max_x, a.max_x * 25.4, 1e-9 * b.max_x);
    EXPECT_NEAR(plv::part_net_area(inches[0]), plv::part_net_area(mm[0]) * 25.4 * 25.4,
                1e-9 * plv::part_net_area(inches[0]));

    settings.files.push_back({std::string(PLV_TEST_DATA_DIR) + "/no_such_file.dxf", 1});
    try {
        load_selected_parts_parallel(settings);
        FAIL() << "missing file loaded";
    } catch (const std::exception& e) {
        EXPECT_EQ(std::string(e.what()).rfind("DXF input not found: ", 0), 0u) << e.what();
    }
}

}  // namespace
