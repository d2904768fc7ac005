#include "fuzz/dxf_fuzz_check.hpp"
#include "reader_support.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

// Inputs that once broke the reader or the part builder (found by the fuzzer
// or written by hand), replayed on every test run.
TEST(DxfFuzzRegressions, EveryKeptInputReadsCleanly) {
    const auto dir = plv::test::data_dir() / "fuzz-regressions";
    ASSERT_TRUE(std::filesystem::is_directory(dir));
    int inputs = 0;
    for (const auto& entry : std::filesystem::directory_iterator(dir)) {
        if (!entry.is_regular_file() || entry.path().extension() == ".md") continue;
        std::ifstream in(entry.path(), std::ios::binary);
        const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        EXPECT_EQ(plv::fuzz::check_dxf_input(text), "") << entry.path().filename();
        ++inputs;
    }
    EXPECT_GT(inputs, 0);
}

// A drawing over the point limit is refused before its points are made; the
// check takes that refusal as a clean outcome, as the fuzz target must.
TEST(DxfFuzzRegressions, RefusalOverThePointLimitIsClean) {
    std::ifstream in(plv::test::data_dir() / "fuzz-regressions" / "long_bulged_polyline.dxf", std::ios::binary);
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    ASSERT_FALSE(text.empty());
    EXPECT_THROW(plv::read_dxf_text(text, plv::DxfImportSettings{}, 1000), plv::DxfTooLarge);
    EXPECT_EQ(plv::fuzz::check_dxf_input(text, 1000), "");
}
