#include "engine/perf_log.hpp"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace {

std::string temp_csv(const std::string& name) {
    return (std::filesystem::temp_directory_path() / ("plv_search_" + name + ".csv")).string();
}

// Text mode writes CRLF on Windows; compare with bare newlines.
std::string read_text(const std::string& path) {
    std::ifstream in(std::filesystem::path(std::u8string(path.begin(), path.end())),
                     std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    std::string text = ss.str();
    std::string out;
    for (char c : text) {
        if (c != '\r') out += c;
    }
    return out;
}

const std::string kHeader =
    "iteration,solver,gpu_name,total_ms,placement_ms,positions_evaluated,collision_tests,"
    "parts_placed\n";

plv::PerfRecord record(int iteration, int solver, int placed, const std::string& gpu = "") {
    plv::PerfRecord r;
    r.iteration = iteration;
    r.solver = solver;
    r.parts_placed = placed;
    r.gpu_name = gpu;
    return r;
}

TEST(SearchPerfLog, EveryWriteRewritesTheWholeFile) {
    const std::string path = temp_csv("rewrite");
    std::filesystem::remove(path);
    plv::PerfLog log;
    log.configure(path);
    EXPECT_TRUE(log.is_enabled());
    log.add_record(record(1, 0, 42));
    log.write_csv();
    EXPECT_EQ(read_text(path), kHeader + "1,cpu,,0.00,0.00,0,0,42\n");

    plv::PerfRecord timed = record(2, 2, 7, "Radeon, Pro");
    timed.total_ms = 12.346;
    timed.placement_ms = 0.005;
    timed.positions_evaluated = 100;
    timed.collision_tests = 9;
    log.add_record(timed);
    log.add_record(record(3, 7, 1));
    log.add_record(record(4, -1, 1));
    log.add_record(record(5, 1, 0));
    log.add_record(record(6, 3, 0));
    log.write_csv();
    // A comma in the device name is written as it is.
    EXPECT_EQ(read_text(path), kHeader +
                                   "1,cpu,,0.00,0.00,0,0,42\n"
                                   "2,dual-gpu,Radeon, Pro,12.35,0.01,100,9,7\n"
                                   "3,unknown,,0.00,0.00,0,0,1\n"
                                   "4,unknown,,0.00,0.00,0,0,1\n"
                                   "5,gpu,,0.00,0.00,0,0,0\n"
                                   "6,random,,0.00,0.00,0,0,0\n");
    std::filesystem::remove(path);
}

TEST(SearchPerfLog, EmptyPathDisablesAndClears) {
    const std::string path = temp_csv("disabled");
    std::filesystem::remove(path);
    plv::PerfLog log;
    log.write_csv();  // never configured: nothing to do
    log.configure(path);
    log.add_record(record(1, 0, 3));
    log.configure("");
    EXPECT_FALSE(log.is_enabled());
    EXPECT_TRUE(log.records.empty());
    log.add_record(record(1, 0, 3));
    log.write_csv();
    EXPECT_FALSE(std::filesystem::exists(path));

    // Configuring again starts from no records.
    log.configure(path);
    log.write_csv();
    EXPECT_EQ(read_text(path), kHeader);
    std::filesystem::remove(path);
}

TEST(SearchPerfLog, UnopenablePathIsSilentAndKeepsRecords) {
    const std::string dir = temp_csv("no_such_dir");
    std::filesystem::remove_all(dir);
    plv::PerfLog log;
    log.configure(dir + "/inner/log.csv");
    log.add_record(record(1, 0, 3));
    EXPECT_NO_THROW(log.write_csv());
    EXPECT_EQ(log.records.size(), 1u);
    EXPECT_FALSE(std::filesystem::exists(dir));
}

}  // namespace
