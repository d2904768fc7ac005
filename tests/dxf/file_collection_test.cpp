#include "dxf/file_collection.hpp"
#include "dxf/paths.hpp"
#include "reader_support.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <stdexcept>
#include <string>
#include <vector>

namespace fs = std::filesystem;
using plv::test::TempDir;

namespace {

std::vector<std::string> names_under(const fs::path& root, const std::vector<fs::path>& files) {
    std::vector<std::string> out;
    for (const fs::path& f : files) {
        std::string s = plv::path_to_utf8(f.lexically_relative(root));
        std::replace(s.begin(), s.end(), '\\', '/');
        out.push_back(s);
    }
    return out;
}

std::string error_of(const std::vector<fs::path>& inputs) {
    try {
        plv::collect_dxf_files(inputs);
    } catch (const std::runtime_error& e) {
        return e.what();
    }
    return "";
}

}  // namespace

TEST(DxfExtension, NameDecidesInAnyLetterCase) {
    const struct {
        const char* name;
        bool dxf;
    } cases[] = {
        {"part.dxf", true},      {"PART.DXF", true},      {"part.Dxf", true},       {"dir/a.b/part.dXf", true},
        {"part.dxf.bak", false}, {"part.dxf ", false},    {"part.dx", false},       {"part", false},
        {"partdxf", false},      {"part.dxff", false},    {"..", false},            {"dir.dxf/part", false},
        {"\xc3\xa1rbol.DXF", true}, {"pieza.\xc3\xb1xf", false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(plv::has_dxf_extension(plv::path_from_utf8(c.name)), c.dxf) << c.name;
    }
}

TEST(DxfFileCollection, SortsPathsElementByElementAndCaseSensitively) {
    TempDir dir;
    dir.write("a.dxf", "");
    dir.write("B.dxf", "");
    dir.write("x/b.dxf", "");
    dir.write("x-y/a.dxf", "");
    dir.write("x/deeper/c.DXF", "");
    dir.write("x/notes.txt", "");
    dir.write("x/c.dxf.bak", "");
    const auto files = plv::collect_dxf_files({dir.path()});
    // B before a (upper case first); x/... before x-y/... (element order, not
    // the plain string order that puts '-' before '/').
    EXPECT_EQ(names_under(dir.path(), files),
              (std::vector<std::string>{"B.dxf", "a.dxf", "x/b.dxf", "x/deeper/c.DXF", "x-y/a.dxf"}));
}

TEST(DxfFileCollection, SortsAcrossInputsAndKeepsDuplicates) {
    TempDir dir;
    const fs::path z = dir.write("z.dxf", "");
    dir.write("f/m.dxf", "");
    const fs::path a = dir.write("a.dxf", "");
    const auto files = plv::collect_dxf_files({z, dir.path() / "f", a, dir.path() / "f", z});
    EXPECT_EQ(names_under(dir.path(), files),
              (std::vector<std::string>{"a.dxf", "f/m.dxf", "f/m.dxf", "z.dxf", "z.dxf"}));
}

TEST(DxfFileCollection, EmptyInputsAndFoldersGiveNothing) {
    TempDir dir;
    fs::create_directories(dir.path() / "empty");
    dir.write("other/readme.txt", "");
    EXPECT_TRUE(plv::collect_dxf_files({}).empty());
    EXPECT_TRUE(plv::collect_dxf_files({dir.path() / "empty", dir.path() / "other"}).empty());
}

TEST(DxfFileCollection, FolderNamedLikeADxfFileIsWalked) {
    TempDir dir;
    dir.write("set.dxf/inner.dxf", "");
    const auto files = plv::collect_dxf_files({dir.path() / "set.dxf"});
    EXPECT_EQ(names_under(dir.path(), files), (std::vector<std::string>{"set.dxf/inner.dxf"}));
}

TEST(DxfFileCollection, BadFileInputFailsWithItsPathAndReturnsNothing) {
    TempDir dir;
    const fs::path good = dir.write("good.dxf", "");
    const fs::path txt = dir.write("list.txt", "");
    const fs::path missing = dir.path() / "missing.dxf";
    EXPECT_EQ(error_of({good, txt}), "DXF input not found: " + plv::path_to_utf8(txt));
    EXPECT_EQ(error_of({missing}), "DXF input not found: " + plv::path_to_utf8(missing));
}

TEST(DxfFileCollection, NonAsciiNamesSurvive) {
    TempDir dir;
    const std::string name = "pl\xc3\xa4tte_\xc3\xb1" "and\xc3\xba_\xe2\x8c\x80" "50.dxf";  // plätte_ñandú_⌀50.dxf
    const fs::path file = dir.write("carpeta \xc3\xa9/" + name, "");
    ASSERT_TRUE(fs::exists(file));
    const auto files = plv::collect_dxf_files({dir.path()});
    ASSERT_EQ(files.size(), 1u);
    EXPECT_EQ(plv::path_to_utf8(files[0].filename()), name);
    EXPECT_EQ(files[0], file);
    // The round trip through UTF-8 text gives the same path back.
    EXPECT_EQ(plv::path_from_utf8(plv::path_to_utf8(files[0])), files[0]);
    EXPECT_EQ(plv::collect_dxf_files({plv::path_from_utf8(plv::path_to_utf8(file))}).size(), 1u);
}

#ifndef _WIN32
TEST(DxfFileCollection, SymbolicLinks) {
    TempDir dir;
    const fs::path target = dir.write("real/t.dxf", "");
    dir.write("elsewhere/deep.dxf", "");
    fs::create_directories(dir.path() / "walk");
    fs::create_symlink(target, dir.path() / "walk" / "link.dxf");              // taken
    fs::create_symlink(dir.path() / "nowhere.dxf", dir.path() / "walk" / "broken.dxf");  // skipped
    fs::create_directory_symlink(dir.path() / "elsewhere", dir.path() / "walk" / "dirlink");  // not followed
    const auto files = plv::collect_dxf_files({dir.path() / "walk"});
    EXPECT_EQ(names_under(dir.path(), files), (std::vector<std::string>{"walk/link.dxf"}));
    // Given directly, a link to a folder is walked and a link to a file taken.
    EXPECT_EQ(plv::collect_dxf_files({dir.path() / "walk" / "dirlink"}).size(), 1u);
    EXPECT_EQ(plv::collect_dxf_files({dir.path() / "walk" / "link.dxf"}).size(), 1u);
    EXPECT_NE(error_of({dir.path() / "walk" / "broken.dxf"}), "");
}
#endif
