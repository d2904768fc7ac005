// The job list's rules: merging by key, removal and quantities by selected
// rows, row texts, the output path beside the inputs, and the CSV of
// quantities read from real files.

#include "app/core/job_list.hpp"
#include "app/core/quantities_csv.hpp"
#include "dxf/paths.hpp"

#include <gtest/gtest.h>

#include <cctype>
#include <climits>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using app::SelectedFile;

// Folds case and separators, as the loader's key does for these names.
std::string folded(const std::string& path) {
    std::string key = path;
    for (char& c : key) {
        if (c == '/') c = '\\';
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return key;
}

std::vector<std::string> paths_of(const std::vector<SelectedFile>& files) {
    std::vector<std::string> out;
    for (const SelectedFile& f : files) out.push_back(f.path);
    return out;
}

TEST(JobList, AddMergesWithTheFirstEntryOfTheSameKeyAndKeepsItsSpelling) {
    std::vector<SelectedFile> files;
    int keys = 0;
    auto key = [&keys](const std::string& p) {
        ++keys;
        return folded(p);
    };
    app::JobListAdder adder(files, key);
    adder.add("C:\\cut\\A.DXF", 1);
    adder.add("C:\\cut\\b.dxf", 2);
    adder.add("c:/cut/a.dxf", 1);
    adder.add("C:\\cut\\B.dxf", 5);
    ASSERT_EQ(files.size(), 2u);
    EXPECT_EQ(files[0].path, "C:\\cut\\A.DXF");
    EXPECT_EQ(files[0].quantity, 2);
    EXPECT_EQ(files[1].path, "C:\\cut\\b.dxf");
    EXPECT_EQ(files[1].quantity, 7);
    EXPECT_EQ(keys, 4);  // one per added path, none again for the entries

    // A later batch keys the existing entries once and still merges.
    app::add_selected_file(files, "c:/CUT/b.DXF", 1, key);
    EXPECT_EQ(files[1].quantity, 8);
    EXPECT_EQ(files.size(), 2u);
}

TEST(JobList, QuantitiesSaturateInsteadOfWrappingNegative) {
    std::vector<SelectedFile> files;
    app::add_selected_file(files, "a.dxf", INT_MAX - 1, folded);
    app::add_selected_file(files, "a.dxf", 5, folded);
    ASSERT_EQ(files.size(), 1u);
    EXPECT_EQ(files[0].quantity, INT_MAX);
}

TEST(JobList, RemovingRowsKeepsTheOthersInOrder) {
    struct Case {
        std::vector<int> rows;
        std::vector<std::string> left;
    };
    const Case cases[] = {
        {{1, 3}, {"0", "2", "4"}},
        {{3, 1}, {"0", "2", "4"}},
        {{0, 1, 2, 3, 4}, {}},
        {{4, 7, -1}, {"0", "1", "2", "3"}},  // rows outside the list are ignored
        {{}, {"0", "1", "2", "3", "4"}},
    };
    for (const Case& c : cases) {
        std::vector<SelectedFile> files;
        for (int i = 0; i < 5; ++i) files.push_back({std::to_string(i), 1});
        app::remove_selected_entries(files, c.rows);
        EXPECT_EQ(paths_of(files), c.left);
    }
}

TEST(JobList, QuantityTextIsAtLeastOneAndAFailureForNonNumbers) {
    struct Case {
        const char* text;
        std::optional<int> quantity;
    };
    const Case cases[] = {
        {"4", 4},      {"0", 1},          {"-5", 1},          {" 12", 12},
        {"7 pcs", 7},  {"2.9", 2},        {"+3", 3},          {"abc", std::nullopt},
        {"", std::nullopt},               {"-", std::nullopt}, {"99999999999", std::nullopt},
        {"2147483647", INT_MAX},          {"-2147483648", 1},  {"-2147483649", std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        const std::optional<std::int32_t> q = app::quantity_from_text(c.text);
        ASSERT_EQ(q.has_value(), c.quantity.has_value());
        if (q) {
            EXPECT_EQ(*q, *c.quantity);
        }
    }

    std::vector<SelectedFile> files = {{"a", 1}, {"b", 2}, {"c", 3}};
    app::set_quantity_of_rows(files, {0, 2, 9}, 6);
    EXPECT_EQ(files[0].quantity, 6);
    EXPECT_EQ(files[1].quantity, 2);
    EXPECT_EQ(files[2].quantity, 6);
}

TEST(JobList, RowTextShowsQuantityAndFileName) {
    EXPECT_EQ(app::job_row_text({"C:\\cut\\bracket.dxf", 3}), "x3  bracket.dxf");
    EXPECT_EQ(app::job_row_text({"/srv/jobs/plate.DXF", 12}), "x12  plate.DXF");
    EXPECT_EQ(app::job_row_text({"C:a/b\\c.dxf", 1}), "x1  c.dxf");
    EXPECT_EQ(app::job_row_text({"C:side.dxf", 1}), "x1  side.dxf");
    EXPECT_EQ(app::job_row_text({"plain.dxf", 2}), "x2  plain.dxf");
}

TEST(JobList, OutputPathMovesBesideTheInputsOnlyFromTheDefaultText) {
    const fs::path folder = fs::path("jobs") / "cut";
    const std::string expected = plv::path_to_utf8(folder / "nesting_result_cpp.dxf");
    EXPECT_EQ(app::output_path_beside(app::kDefaultOutputPath, plv::path_to_utf8(folder)), expected);
    EXPECT_FALSE(app::output_path_beside("mine.dxf", plv::path_to_utf8(folder)));
    EXPECT_FALSE(app::output_path_beside("", plv::path_to_utf8(folder)));
    EXPECT_FALSE(app::output_path_beside(std::string(app::kDefaultOutputPath) + " ",
                                         plv::path_to_utf8(folder)));
    EXPECT_EQ(app::parent_folder_of(plv::path_to_utf8(folder / "a.dxf")), plv::path_to_utf8(folder));
}

TEST(QuantitiesCsv, LinesSplitAtTheLastComma) {
    struct Case {
        const char* line;
        std::optional<std::string> name;
        int quantity;
    };
    const Case cases[] = {
        {"a.dxf,5", "a.dxf", 5},
        {"a,b.dxf,2", "a,b.dxf", 2},
        {"a.dxf,word", "a.dxf", 1},
        {"a.dxf,0", std::nullopt, 0},
        {"a.dxf,-3", std::nullopt, 0},
        {"a.dxf,", std::nullopt, 0},
        {"a.dxf", std::nullopt, 0},
        {"", std::nullopt, 0},
        {"a.dxf, 7", "a.dxf", 7},
        {"a.dxf,7x", "a.dxf", 7},
        {"a.dxf,99999999999", "a.dxf", 1},
        {" padded name ,3", " padded name ", 3},  // the name is not trimmed
        {",4", "", 4},
        {"a.dxf,,", std::nullopt, 0},
        {"a.dxf,,2", "a.dxf,", 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        const std::optional<app::QuantityLine> got = app::parse_quantity_line(c.line);
        ASSERT_EQ(got.has_value(), c.name.has_value());
        if (!got) continue;
        EXPECT_EQ(got->name, *c.name);
        EXPECT_EQ(got->quantity, c.quantity);
    }
}

class CsvFolder : public ::testing::Test {
protected:
    void SetUp() override {
        root_ = fs::temp_directory_path() /
                ("plv_jobs_csv_" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        fs::remove_all(root_);
        fs::create_directories(root_ / "csv");
        fs::create_directories(root_ / "work");
    }
    void TearDown() override {
        std::error_code ec;
        fs::remove_all(root_, ec);
    }
    void touch(const fs::path& p) { std::ofstream(p) << "0\nEOF\n"; }

    fs::path root_;
};

TEST_F(CsvFolder, NamesAreFoundBesideTheCsvFirstThenAsTheyStand) {
    touch(root_ / "csv" / "beside.dxf");
    touch(root_ / "csv" / "both.dxf");
    touch(root_ / "work" / "both.dxf");
    touch(root_ / "work" / "absolute.dxf");
    touch(root_ / "csv" / "a,b.dxf");
    fs::create_directories(root_ / "csv" / "folder.dxf");
    const std::string absolute = plv::path_to_utf8(root_ / "work" / "absolute.dxf");

    std::stringstream csv;
    csv << "\xEF\xBB\xBF" << "beside.dxf,3\r\n"
        << "both.dxf,2\n"
        << absolute << ",word\n"
        << "missing.dxf,4\n"
        << "beside.dxf,0\n"
        << "beside.dxf,-3\n"
        << "\n"
        << "a,b.dxf,5\n"
        << "folder.dxf,2\n"
        << ",6\n";
    const std::vector<app::QuantityImport> got = app::read_quantities_csv(csv, root_ / "csv");
    ASSERT_EQ(got.size(), 4u);
    EXPECT_EQ(got[0].path, plv::path_to_utf8(root_ / "csv" / "beside.dxf"));
    EXPECT_EQ(got[0].quantity, 3);
    EXPECT_EQ(got[1].path, plv::path_to_utf8(root_ / "csv" / "both.dxf"));
    EXPECT_EQ(got[1].quantity, 2);
    EXPECT_EQ(got[2].path, absolute);
    EXPECT_EQ(got[2].quantity, 1);
    EXPECT_EQ(got[3].path, plv::path_to_utf8(root_ / "csv" / "a,b.dxf"));
    EXPECT_EQ(got[3].quantity, 5);
}

TEST_F(CsvFolder, RelativeNamesFallBackToTheWorkingFolder) {
    touch(root_ / "work" / "here.dxf");
    const fs::path before = fs::current_path();
    fs::current_path(root_ / "work");
    std::stringstream csv("here.dxf,2\nnowhere.dxf,2\n");
    const std::vector<app::QuantityImport> got = app::read_quantities_csv(csv, root_ / "csv");
    fs::current_path(before);
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].path, "here.dxf");
    EXPECT_EQ(got[0].quantity, 2);
}

TEST_F(CsvFolder, AnImportedNameAlreadyListedRaisesItsQuantity) {
    touch(root_ / "csv" / "a.dxf");
    const std::string listed = plv::path_to_utf8(root_ / "csv" / "a.dxf");
    std::vector<SelectedFile> files = {{listed, 2}};
    std::stringstream csv("a.dxf,3\n");
    app::JobListAdder adder(files, folded);
    for (const app::QuantityImport& q : app::read_quantities_csv(csv, root_ / "csv"))
        adder.add(q.path, q.quantity);
    ASSERT_EQ(files.size(), 1u);
    EXPECT_EQ(files[0].quantity, 5);
}

}  // namespace
