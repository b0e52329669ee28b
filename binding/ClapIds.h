#pragma once

#include <cstdint>

namespace clapbinding
{

/** A parameter's CLAP id: the 31-multiplier string hash over the Unicode code
    points of its identifier (decoded from UTF-8), in wrapping 32-bit
    arithmetic. Hashing code points rather than bytes keeps the id the same on
    every platform whatever the identifier's encoding in memory. */
uint32_t parameterIdFromIdentifier (const char* utf8Identifier) noexcept;

} // namespace clapbinding
