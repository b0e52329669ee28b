#pragma once

#include <cstddef>

/** Counts heap allocations made by the calling thread while a scope is open,
    so a test can prove that a code path allocates nothing. */
namespace allocation
{
class ScopedCounter
{
public:
    ScopedCounter();
    ~ScopedCounter();

    std::size_t count() const noexcept;

private:
    bool previous;
};
/** False in sanitizer builds, whose allocator replaces ours. */
bool isCountingAvailable() noexcept;
} // namespace allocation
