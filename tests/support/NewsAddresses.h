#pragma once

#include <juce_core/juce_core.h>

namespace wrendle_test
{

/** A news address on 127.0.0.1 where nobody listens, so a processor built by a
    test never reaches out to the network: its fetch is refused at once. */
juce::String refusingNewsAddress();

} // namespace wrendle_test
