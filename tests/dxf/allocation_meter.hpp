#pragma once

// Heap accounting for the DXF tests: the bytes the program holds through
// operator new while a meter is alive, and the refusal of large allocations,
// as on a machine short of memory. The test program replaces the global
// operator new and delete for this (allocation_meter.cpp).

#include <cstddef>
#include <limits>

namespace plv::test {

class AllocationMeter {
public:
    // Allocations of more than refuse_above bytes throw std::bad_alloc while
    // the meter is alive. One meter at a time.
    explicit AllocationMeter(std::size_t refuse_above = std::numeric_limits<std::size_t>::max());
    ~AllocationMeter();
    AllocationMeter(const AllocationMeter&) = delete;
    AllocationMeter& operator=(const AllocationMeter&) = delete;

    // The most bytes held at once since the meter was made, beyond those
    // held when it was made.
    std::size_t peak_bytes() const;

private:
    std::size_t base_;
};

}  // namespace plv::test
