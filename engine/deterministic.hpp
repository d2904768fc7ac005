#pragma once

// Building blocks that make layouts independent of the standard library:
// integer and real draws, the shuffle, the string hash, rounding, and a sort
// that is safe for tolerance comparators.

#include <cmath>
#include <cstdint>
#include <random>
#include <string_view>
#include <utility>
#include <vector>

namespace plv {

// Bit-mask rejection draw on [a, b]: keep the low bits of each output that
// can write b - a, redraw while the value is out of range. Ranges wider than
// 32 bits take several outputs, the first in the high bits. Draws nothing and
// returns a when b <= a.
std::int64_t uniform_int(std::mt19937& g, std::int64_t a, std::int64_t b);
// Two 32-bit outputs per draw, the first the low half:
// (b - a) * ((o1 + o2 * 2^32) / 2^64) + a. The sum is rounded to double, so
// on very rare outputs the result is b itself.
double uniform_real(std::mt19937& g, double a, double b);

// Forward Fisher-Yates: for i = 0 .. n-2, j = i + uniform_int(0, n-1-i).
template <class T>
void shuffle(std::vector<T>& v, std::mt19937& g) {
    const std::size_t n = v.size();
    if (n <= 1) return;
    for (std::size_t i = 0; i + 1 < n; ++i) {
        const auto j = static_cast<std::size_t>(uniform_int(g, 0, static_cast<std::int64_t>(n - 1 - i)));
        if (j != 0) {
            using std::swap;
            swap(v[i], v[i + j]);
        }
    }
}

// CityHash64 of the bytes, the string hash the random placer seeds from.
std::uint64_t cityhash64(std::string_view s);

// Rounding halves away from zero, and truncation toward zero.
inline double nearest(double v) { return std::round(v); }
inline double truncate(double v) { return std::trunc(v); }

// Stable merge sort: deterministic and never reads outside the range, even
// for comparators that are not strict weak orders.
template <class T, class Less>
void merge_sort(std::vector<T>& v, Less less);

}  // namespace plv

#include "engine/deterministic_sort.inl"
