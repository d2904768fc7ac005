#include "allocation_meter.hpp"

#include <atomic>
#include <cstdlib>
#include <new>

namespace {

// Every block carries its size in front, so that delete can count it.
constexpr std::size_t kHeader = 16;

std::atomic<std::size_t> held{0};
std::atomic<std::size_t> peak{0};
std::atomic<std::size_t> refuse_above{std::numeric_limits<std::size_t>::max()};

void* allocate(std::size_t size) noexcept {
    if (size > refuse_above.load(std::memory_order_relaxed)) return nullptr;
    void* block = std::malloc(size + kHeader);
    if (block == nullptr) return nullptr;
    *static_cast<std::size_t*>(block) = size;
    const std::size_t now = held.fetch_add(size, std::memory_order_relaxed) + size;
    std::size_t old = peak.load(std::memory_order_relaxed);
    while (now > old && !peak.compare_exchange_weak(old, now, std::memory_order_relaxed)) {
    }
    return static_cast<char*>(block) + kHeader;
}

void release(void* p) noexcept {
    if (p == nullptr) return;
    void* block = static_cast<char*>(p) - kHeader;
    held.fetch_sub(*static_cast<std::size_t*>(block), std::memory_order_relaxed);
    std::free(block);
}

}  // namespace

void* operator new(std::size_t size) {
    void* p = allocate(size);
    if (p == nullptr) throw std::bad_alloc();
    return p;
}
void* operator new[](std::size_t size) { return operator new(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept { return allocate(size); }
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept { return allocate(size); }
void operator delete(void* p) noexcept { release(p); }
void operator delete[](void* p) noexcept { release(p); }
void operator delete(void* p, std::size_t) noexcept { release(p); }
void operator delete[](void* p, std::size_t) noexcept { release(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { release(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { release(p); }

namespace plv::test {

AllocationMeter::AllocationMeter(std::size_t limit) : base_(held.load()) {
    peak.store(base_);
    refuse_above.store(limit);
}

AllocationMeter::~AllocationMeter() { refuse_above.store(std::numeric_limits<std::size_t>::max()); }

std::size_t AllocationMeter::peak_bytes() const {
    const std::size_t p = peak.load();
    return p > base_ ? p - base_ : 0;
}

}  // namespace plv::test
