#include "engine/deterministic.hpp"
#include "engine/random_placement_seed.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <limits>
#include <numeric>
#include <random>
#include <string>
#include <vector>

namespace {

// Reference values below were taken from libc++ 14 (its uniform_int_distribution,
// uniform_real_distribution, shuffle and std::hash<std::string>) with the same
// generators; layouts are meant to match builds on that library.

TEST(UniformInt, MatchesReferenceDraws) {
    std::mt19937 g(1051);
    std::vector<std::int64_t> got;
    for (int i = 0; i < 6; ++i) got.push_back(plv::uniform_int(g, 0, 39));
    EXPECT_EQ(got, (std::vector<std::int64_t>{19, 5, 14, 10, 10, 33}));
}

TEST(UniformInt, MatchesReferenceDrawsOnWideAndNegativeRanges) {
    struct Case {
        std::int64_t a;
        std::int64_t b;
        std::vector<std::int64_t> expected;
    };
    const std::int64_t lo = std::numeric_limits<std::int64_t>::min();
    const std::int64_t hi = std::numeric_limits<std::int64_t>::max();
    const std::vector<Case> cases = {
        {-5, 5, {-1, 4, 1, -2, -2, 2, 2, 4}},
        {0, (std::int64_t{1} << 40) - 1, {614364013764, 601859041782, 796250656979}},
        {0, (std::int64_t{1} << 33) + 12345, {8076059844, 6512847350, 7434209815}},
        {-3, std::int64_t{1} << 62, {1407639518939636929, 4122204982959224420, 710123494352685588}},
        {lo, hi, {1407639518939636932, -4059781650074555914}},
    };
    for (const Case& c : cases) {
        std::mt19937 g(7);
        std::vector<std::int64_t> got;
        for (std::size_t i = 0; i < c.expected.size(); ++i) got.push_back(plv::uniform_int(g, c.a, c.b));
        EXPECT_EQ(got, c.expected) << "range " << c.a << " .. " << c.b;
    }
}

TEST(UniformInt, ConsumesOutputsByTheMaskingRule) {
    // A single value draws nothing.
    std::mt19937 g(99);
    std::mt19937 untouched(99);
    EXPECT_EQ(plv::uniform_int(g, 17, 17), 17);
    EXPECT_EQ(g, untouched);

    // [0, 4] keeps the low 3 bits of each output and redraws 5, 6 and 7.
    std::mt19937 raw(2024);
    std::mt19937 drawn(2024);
    for (int i = 0; i < 200; ++i) {
        std::uint32_t u = 0;
        do {
            u = static_cast<std::uint32_t>(raw()) & 7u;
        } while (u >= 5);
        ASSERT_EQ(plv::uniform_int(drawn, 0, 4), static_cast<std::int64_t>(u));
        ASSERT_EQ(drawn, raw);
    }
}

TEST(UniformReal, MatchesReferenceDrawsAndTakesLowHalfFirst) {
    std::mt19937 g(1051);
    EXPECT_EQ(plv::uniform_real(g, 0.0, 100.0), 25.541554845563574);
    EXPECT_EQ(plv::uniform_real(g, 0.0, 100.0), 39.339582740298958);

    std::mt19937 raw(1051);
    const double o1 = static_cast<double>(raw());
    const double o2 = static_cast<double>(raw());
    const double u = (o1 + o2 * 4294967296.0) / 18446744073709551616.0;
    std::mt19937 drawn(1051);
    EXPECT_EQ(plv::uniform_real(drawn, 0.0, 1.0), u);
    EXPECT_EQ(drawn, raw);  // exactly two outputs
    EXPECT_EQ(plv::uniform_real(drawn, 5.0, 5.0), 5.0);
}

TEST(Shuffle, MatchesReferenceOrder) {
    std::mt19937 g(1051);
    std::vector<int> v(10);
    std::iota(v.begin(), v.end(), 0);
    plv::shuffle(v, g);
    EXPECT_EQ(v, (std::vector<int>{7, 4, 0, 8, 2, 1, 3, 5, 9, 6}));
}

TEST(Shuffle, ShortListsDrawNothing) {
    std::mt19937 g(5);
    const std::mt19937 untouched(5);
    std::vector<double> empty;
    plv::shuffle(empty, g);
    std::vector<double> one{3.0};
    plv::shuffle(one, g);
    EXPECT_EQ(one, std::vector<double>{3.0});
    EXPECT_EQ(g, untouched);
}

TEST(CityHash64, MatchesReferenceOnEveryLengthBranch) {
    struct Row {
        std::string text;
        std::uint64_t hash;
    };
    std::string long_text;
    for (int i = 0; i < 200; ++i) long_text.push_back(static_cast<char>('a' + (i * 7) % 26));
    const std::vector<Row> rows = {
        {"", 0x9ae16a3b2f90404fULL},
        {"a", 0x2420662cd003acfaULL},
        {"part", 0xfaa882b078050ac4ULL},
        {"bracket_left", 0xd0b8e4e64458b125ULL},
        {"0123456789abcdef0", 0x4c46d90b3f165aebULL},
        {"this is a longer part name of 40 chars!", 0x4baa4fe704b3d62aULL},
        {"a part name that is longer than sixty-four bytes in total length, yes indeed",
         0xce28a69613298eb2ULL},
        // Several 64-byte blocks.
        {long_text, 0x0877fbf99e2f0ef6ULL},
        // Bytes above 0x7f must be read unsigned.
        {"\xff\xfe\x80", 0x0184bfa07ef5d8dfULL},
        {"\xff\xfe\x80\x90\xa0", 0xc25401a31d2c0c5bULL},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(plv::cityhash64(row.text), row.hash) << "length " << row.text.size();
    }
}

TEST(RandomPlacementSeed, ReferenceSeedAndEveryInputMatters) {
    const std::uint32_t base = plv::random_placement_seed("part", 0, 0, 0, 1);
    EXPECT_EQ(base, 0x86bffc18u);
    EXPECT_NE(plv::random_placement_seed("parts", 0, 0, 0, 1), base);
    EXPECT_NE(plv::random_placement_seed("part", 1, 0, 0, 1), base);
    EXPECT_NE(plv::random_placement_seed("part", 0, 1, 0, 1), base);
    EXPECT_NE(plv::random_placement_seed("part", 0, 0, 1, 1), base);
    EXPECT_NE(plv::random_placement_seed("part", 0, 0, 0, 2), base);
    // Negative inputs wrap instead of being undefined.
    EXPECT_EQ(plv::random_placement_seed("part", -1, -1, 0, 1),
              static_cast<std::uint32_t>(plv::cityhash64("part")) ^ 0x61C8864Fu ^ 0u ^
                  0xC2B2AE3Du ^ 0x27D4EB2Fu ^ 0x9E3779B9u);
}

TEST(Rounding, HalvesAwayFromZeroAndTruncation) {
    EXPECT_EQ(plv::nearest((0.65 * 0.25 + 0.1) * 40), 11.0);  // exactly 10.5
    EXPECT_EQ(plv::nearest(2.5), 3.0);
    EXPECT_EQ(plv::nearest(-2.5), -3.0);
    EXPECT_EQ(plv::nearest(2.4999999), 2.0);
    EXPECT_EQ(plv::truncate(2.9), 2.0);
    EXPECT_EQ(plv::truncate(-2.9), -2.0);
}

struct Item {
    static constexpr std::uint32_t kMagic = 0xC0FFEEu;
    double key = 0.0;
    int id = 0;
    std::uint32_t magic = kMagic;
};

TEST(MergeSort, ToleranceComparatorKeepsNearEqualElementsInOrder) {
    std::vector<Item> v = {{3.0, 0}, {1.0, 1}, {3.0 + 1e-7, 2}, {2.0, 3}, {1.0 - 1e-8, 4}, {3.0, 5}};
    plv::merge_sort(v, [](const Item& a, const Item& b) { return a.key < b.key - 1e-6; });
    std::vector<int> ids;
    for (const Item& item : v) ids.push_back(item.id);
    EXPECT_EQ(ids, (std::vector<int>{1, 4, 3, 0, 2, 5}));
}

TEST(MergeSort, AgreesWithStableSortOnEveryLength) {
    std::mt19937 g(3);
    for (int n : {0, 1, 2, 3, 7, 16, 17, 100, 1000}) {
        std::vector<Item> v;
        for (int i = 0; i < n; ++i) v.push_back({static_cast<double>(g() % 20), i});
        std::vector<Item> expected = v;
        const auto less = [](const Item& a, const Item& b) { return a.key < b.key; };
        std::stable_sort(expected.begin(), expected.end(), less);
        plv::merge_sort(v, less);
        ASSERT_EQ(v.size(), expected.size());
        for (std::size_t i = 0; i < v.size(); ++i) {
            ASSERT_EQ(v[i].id, expected[i].id) << "n " << n << " at " << i;
        }
    }
}

TEST(MergeSort, ArbitraryComparatorStaysInRangeAndKeepsEveryElement) {
    // Answers that follow no order at all; a sort that trusts the comparator
    // to stop it at the range's ends would compare values it never owned.
    for (int n : {2, 5, 33, 500}) {
        std::vector<Item> v;
        for (int i = 0; i < n; ++i) v.push_back({0.0, i});
        std::mt19937 answers(static_cast<std::uint32_t>(n));
        bool all_valid = true;
        plv::merge_sort(v, [&](const Item& a, const Item& b) {
            if (a.magic != Item::kMagic || b.magic != Item::kMagic || a.id < 0 || a.id >= n ||
                b.id < 0 || b.id >= n) {
                all_valid = false;
            }
            return (answers() & 1u) != 0;
        });
        EXPECT_TRUE(all_valid) << "n " << n;
        std::vector<int> ids;
        for (const Item& item : v) ids.push_back(item.id);
        std::sort(ids.begin(), ids.end());
        std::vector<int> all(static_cast<std::size_t>(n));
        std::iota(all.begin(), all.end(), 0);
        EXPECT_EQ(ids, all) << "n " << n;
    }
}

}  // namespace
