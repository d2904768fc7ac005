#include "engine/deterministic.hpp"

#include <utility>

namespace plv {

namespace {

// Mask of the low `bits` bits, 0 <= bits <= 64.
std::uint64_t low_mask(unsigned bits) {
    return bits >= 64 ? ~std::uint64_t{0} : (std::uint64_t{1} << bits) - 1;
}

unsigned bit_width(std::uint64_t v) {
    unsigned w = 0;
    while (v != 0) {
        ++w;
        v >>= 1;
    }
    return w;
}

// `w` random bits (1 to 64) built from 32-bit outputs: n outputs, the first
// ones giving w / n bits each and the last (w % n) ones one bit more, the
// earliest output in the highest bits. Every output of the generator is a
// full 32-bit value, so no output is ever rejected here.
std::uint64_t random_bits(std::mt19937& g, unsigned w) {
    const unsigned n = w / 32 + (w % 32 != 0 ? 1 : 0);
    const unsigned w0 = w / n;
    const unsigned n0 = n - w % n;
    std::uint64_t s = 0;
    for (unsigned k = 0; k < n; ++k) {
        const unsigned bits = k < n0 ? w0 : w0 + 1;
        const std::uint64_t u = static_cast<std::uint64_t>(g()) & 0xFFFFFFFFu;
        s = (bits >= 64 ? 0 : s << bits) + (u & low_mask(bits));
    }
    return s;
}

}  // namespace

std::int64_t uniform_int(std::mt19937& g, std::int64_t a, std::int64_t b) {
    if (b <= a) return a;  // a single value (or an empty range): nothing drawn
    const std::uint64_t rp = static_cast<std::uint64_t>(b) - static_cast<std::uint64_t>(a) + 1;
    // The whole 64-bit range: every value is allowed.
    if (rp == 0) return static_cast<std::int64_t>(random_bits(g, 64));
    const unsigned w = bit_width(rp - 1);
    std::uint64_t u = 0;
    do {
        u = random_bits(g, w);
    } while (u >= rp);
    return static_cast<std::int64_t>(static_cast<std::uint64_t>(a) + u);
}

double uniform_real(std::mt19937& g, double a, double b) {
    constexpr double two32 = 4294967296.0;
    constexpr double two64 = 18446744073709551616.0;
    const double lo = static_cast<double>(static_cast<std::uint32_t>(g()));
    const double hi = static_cast<double>(static_cast<std::uint32_t>(g()));
    const double u = (lo + hi * two32) / two64;
    return (b - a) * u + a;
}

namespace {

constexpr std::uint64_t k0 = 0xc3a5c85c97cb3127ULL;
constexpr std::uint64_t k1 = 0xb492b66fbe98f273ULL;
constexpr std::uint64_t k2 = 0x9ae16a3b2f90404fULL;
constexpr std::uint64_t k3 = 0xc949d7c7509e6557ULL;

// Little-endian loads whatever the host, so the hash is the same everywhere.
std::uint64_t load64(const unsigned char* p) {
    std::uint64_t v = 0;
    for (int i = 7; i >= 0; --i) v = (v << 8) | p[i];
    return v;
}

std::uint32_t load32(const unsigned char* p) {
    std::uint32_t v = 0;
    for (int i = 3; i >= 0; --i) v = (v << 8) | p[i];
    return v;
}

std::uint64_t rotate(std::uint64_t v, unsigned shift) {
    return shift == 0 ? v : (v >> shift) | (v << (64 - shift));
}

std::uint64_t rotate_by_at_least_1(std::uint64_t v, unsigned shift) {
    return (v >> shift) | (v << (64 - shift));
}

std::uint64_t shift_mix(std::uint64_t v) { return v ^ (v >> 47); }

std::uint64_t hash_len_16(std::uint64_t u, std::uint64_t v) {
    constexpr std::uint64_t mul = 0x9ddfea08eb382d69ULL;
    std::uint64_t a = (u ^ v) * mul;
    a ^= a >> 47;
    std::uint64_t b = (v ^ a) * mul;
    b ^= b >> 47;
    b *= mul;
    return b;
}

std::uint64_t hash_len_0_to_16(const unsigned char* s, std::uint64_t len) {
    if (len > 8) {
        const std::uint64_t a = load64(s);
        const std::uint64_t b = load64(s + len - 8);
        return hash_len_16(a, rotate_by_at_least_1(b + len, static_cast<unsigned>(len))) ^ b;
    }
    if (len >= 4) {
        // The shift is done in 32 bits, as the standard library's string
        // hash does; widening first would give other hashes.
        const std::uint32_t a = load32(s);
        const std::uint32_t b = load32(s + len - 4);
        return hash_len_16(len + static_cast<std::uint32_t>(a << 3), b);
    }
    if (len > 0) {
        const std::uint32_t a = s[0];
        const std::uint32_t b = s[len >> 1];
        const std::uint32_t c = s[len - 1];
        const std::uint32_t y = a + (b << 8);
        const std::uint32_t z = static_cast<std::uint32_t>(len) + (c << 2);
        return shift_mix((y * k2) ^ (z * k3)) * k2;
    }
    return k2;
}

std::uint64_t hash_len_17_to_32(const unsigned char* s, std::uint64_t len) {
    const std::uint64_t a = load64(s) * k1;
    const std::uint64_t b = load64(s + 8);
    const std::uint64_t c = load64(s + len - 8) * k2;
    const std::uint64_t d = load64(s + len - 16) * k0;
    return hash_len_16(rotate(a - b, 43) + rotate(c, 30) + d, a + rotate(b ^ k3, 20) - c + len);
}

struct Pair64 {
    std::uint64_t first;
    std::uint64_t second;
};

Pair64 weak_hash_len_32_with_seeds(std::uint64_t w, std::uint64_t x, std::uint64_t y,
                                   std::uint64_t z, std::uint64_t a, std::uint64_t b) {
    a += w;
    b = rotate(b + a + z, 21);
    const std::uint64_t c = a;
    a += x;
    a += y;
    b += rotate(a, 44);
    return {a + z, b + c};
}

Pair64 weak_hash_len_32_with_seeds(const unsigned char* s, std::uint64_t a, std::uint64_t b) {
    return weak_hash_len_32_with_seeds(load64(s), load64(s + 8), load64(s + 16), load64(s + 24), a,
                                       b);
}

std::uint64_t hash_len_33_to_64(const unsigned char* s, std::uint64_t len) {
    std::uint64_t z = load64(s + 24);
    std::uint64_t a = load64(s) + (len + load64(s + len - 16)) * k0;
    std::uint64_t b = rotate(a + z, 52);
    std::uint64_t c = rotate(a, 37);
    a += load64(s + 8);
    c += rotate(a, 7);
    a += load64(s + 16);
    const std::uint64_t vf = a + z;
    const std::uint64_t vs = b + rotate(a, 31) + c;
    a = load64(s + 16) + load64(s + len - 32);
    z += load64(s + len - 8);
    b = rotate(a + z, 52);
    c = rotate(a, 37);
    a += load64(s + len - 24);
    c += rotate(a, 7);
    a += load64(s + len - 16);
    const std::uint64_t wf = a + z;
    const std::uint64_t ws = b + rotate(a, 31) + c;
    const std::uint64_t r = shift_mix((vf + ws) * k2 + (wf + vs) * k0);
    return shift_mix(r * k0 + vs) * k2;
}

}  // namespace

std::uint64_t cityhash64(std::string_view text) {
    const auto* s = reinterpret_cast<const unsigned char*>(text.data());
    std::uint64_t len = text.size();
    if (len <= 16) return hash_len_0_to_16(s, len);
    if (len <= 32) return hash_len_17_to_32(s, len);
    if (len <= 64) return hash_len_33_to_64(s, len);

    std::uint64_t x = load64(s + len - 40);
    std::uint64_t y = load64(s + len - 16) + load64(s + len - 56);
    std::uint64_t z = hash_len_16(load64(s + len - 48) + len, load64(s + len - 24));
    Pair64 v = weak_hash_len_32_with_seeds(s + len - 64, len, z);
    Pair64 w = weak_hash_len_32_with_seeds(s + len - 32, y + k1, x);
    x = x * k1 + load64(s);

    // Whole 64-byte blocks, the tail having been folded in above.
    len = (len - 1) & ~std::uint64_t{63};
    do {
        x = rotate(x + y + v.first + load64(s + 8), 37) * k1;
        y = rotate(y + v.second + load64(s + 48), 42) * k1;
        x ^= w.second;
        y += v.first + load64(s + 40);
        z = rotate(z + w.first, 33) * k1;
        v = weak_hash_len_32_with_seeds(s, v.second * k1, x + w.first);
        w = weak_hash_len_32_with_seeds(s + 32, z + w.second, y + load64(s + 16));
        std::swap(z, x);
        s += 64;
        len -= 64;
    } while (len != 0);
    return hash_len_16(hash_len_16(v.first, w.first) + shift_mix(y) * k1 + z,
                       hash_len_16(v.second, w.second) + x);
}

}  // namespace plv
