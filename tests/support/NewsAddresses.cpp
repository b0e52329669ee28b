#include "tests/support/NewsAddresses.h"

namespace wrendle_test
{

juce::String refusingNewsAddress()
{
    // A port the system just handed out and took back: nothing listens there.
    juce::StreamingSocket probe;
    probe.createListener (0, "127.0.0.1");
    const auto port = probe.getBoundPort();
    probe.close();
    return "http://127.0.0.1:" + juce::String (port) + "/news/";
}

} // namespace wrendle_test
