#pragma once

#include "engine/dsp/Float4.h"
#include "engine/dsp/StateVariableFilter.h"

namespace orvel
{

/** A StateVariableFilter's coefficients and both channels' memories held in
    locals for a run of frames in which none of its ramps glides, with its
    output chosen at compile time (`mode`, a StateVariableFilter::Mode).

    Inside a per-frame loop the filter's memories would be stored and loaded
    again every frame, on the path from one frame to the next, and its output
    switch taken every frame; a run keeps the memories in registers and hands
    them back when it goes out of scope. The results equal
    StateVariableFilter::processFrame (Float4)'s bit for bit. The filter must
    be in `mode` and must not be used while a run on it exists.
*/
template <int mode>
class StateVariableFilterRun
{
public:
    static_assert (mode == StateVariableFilter::lowPass || mode == StateVariableFilter::highPass,
                   "the fold chain runs only these two outputs this way");

    explicit StateVariableFilterRun (StateVariableFilter& filterToRun) noexcept
        : filter (filterToRun),
          g (Float4::broadcast (filter.g)),
          r2PlusG (Float4::broadcast (filter.r2PlusG)),
          denominatorInverse (Float4::broadcast (filter.denominatorInverse)),
          s1 (Float4::load (filter.s1)),
          s2 (Float4::load (filter.s2))
    {
        assert (! filter.isGliding() && filter.getMode() == mode);
    }

    ~StateVariableFilterRun()
    {
        s1.store (filter.s1);
        s2.store (filter.s2);
    }

    StateVariableFilterRun (const StateVariableFilterRun&) = delete;
    StateVariableFilterRun& operator= (const StateVariableFilterRun&) = delete;

    Float4 processFrame (Float4 x) noexcept
    {
        const auto hp = (x - r2PlusG * s1 - s2) * denominatorInverse;
        const auto bp = s1 + g * hp;
        s1 = bp + g * hp;
        const auto lp = s2 + g * bp;
        s2 = lp + g * bp;

        if constexpr (mode == StateVariableFilter::lowPass)
            return lp;
        else
            return hp;
    }

private:
    StateVariableFilter& filter;
    const Float4 g, r2PlusG, denominatorInverse;
    Float4 s1, s2;
};

} // namespace orvel
