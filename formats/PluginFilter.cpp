// The one place where JUCE's format wrappers meet the product: every wrapper
// asks this function for its processor.

#include "plugin/WrendleFoldProcessor.h"

#include <juce_audio_plugin_client/juce_audio_plugin_client.h>

namespace
{
/** The processor as JUCE's VST3 and standalone wrappers see it.

    The host's bypass is not the product's "Bypass" switch: that one is a power
    switch (1 = on, the effect runs) and stays an ordinary parameter. The
    processor offers no bypass parameter, so the VST3 wrapper adds its own
    (appended after every parameter, so no existing parameter's id moves) and
    calls processBlockBypassed while the host bypasses: the processor's dry,
    latency-aligned bypass.

    VST3 lets the latency change at any time once the host is told: a change
    of the running latency (an oversampling change) is passed on from the
    message thread, where setLatencySamples makes the wrapper ask the host to
    restart the component (kLatencyChanged); the host then re-activates, and
    the preparation reports the same number. */
class FormatProcessor final : public WrendleFoldProcessor,
                              private juce::Timer
{
public:
    // juce::AudioProcessor is a virtual base: built here, by the most derived
    // class, it must be given the processor's buses (enabled by default, which
    // is what VST3 hosts that take the defaults activate).
    FormatProcessor()
        : juce::AudioProcessor (makeBuses())
    {
        startTimer (latencyPollMs);
    }

    ~FormatProcessor() override { stopTimer(); }

private:
    static constexpr int latencyPollMs = 50;

    void timerCallback() override
    {
        const auto running = getRunningLatencySamples();

        if (running != getLatencySamples())
            setLatencySamples (running);
    }
};
} // namespace

juce::AudioProcessor* JUCE_CALLTYPE createPluginFilter()
{
    return new FormatProcessor();
}
