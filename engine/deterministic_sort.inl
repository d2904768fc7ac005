#pragma once

#include <algorithm>
#include <cstddef>
#include <utility>
#include <vector>

namespace plv {

// Bottom-up merge: an element from the right run moves ahead only when
// less(right, left) holds, so equal or incomparable elements keep their order.
template <class T, class Less>
void merge_sort(std::vector<T>& v, Less less) {
    const std::size_t n = v.size();
    if (n < 2) return;
    std::vector<T> buffer;
    buffer.reserve(n);
    for (std::size_t width = 1; width < n; width *= 2) {
        buffer.clear();
        for (std::size_t lo = 0; lo < n; lo += 2 * width) {
            const std::size_t mid = std::min(lo + width, n);
            const std::size_t hi = std::min(lo + 2 * width, n);
            std::size_t i = lo;
            std::size_t j = mid;
            while (i < mid && j < hi) {
                if (less(v[j], v[i])) {
                    buffer.push_back(std::move(v[j++]));
                } else {
                    buffer.push_back(std::move(v[i++]));
                }
            }
            while (i < mid) buffer.push_back(std::move(v[i++]));
            while (j < hi) buffer.push_back(std::move(v[j++]));
        }
        for (std::size_t k = 0; k < n; ++k) v[k] = std::move(buffer[k]);
    }
}

}  // namespace plv
