#pragma once

#include <juce_core/juce_core.h>

namespace lv2binding
{

/**
    What a processor may offer the LV2 binding beyond juce::AudioProcessor. The binding finds it
    with dynamic_cast on the processor it owns; a processor without it is served through
    juce::AudioProcessor alone (its latency is then getLatencySamples(), and presets restore
    through setStateInformation). It needs nothing of the binding, so the processor's library
    only includes this header.

    A processor that implements it also guards its own blocks, as it does for the CLAP binding:
    the binding then calls processBlock without JUCE's callback lock.
*/
class Lv2ProcessorExtensions
{
public:
    virtual ~Lv2ProcessorExtensions() = default;

    /** The latency the processor runs with now. LV2 lets it change at any block: the binding
        writes it to the latency port after every run. Audio thread; no lock. */
    virtual int getRunningLatencySamples() const noexcept = 0;

    /** Applies a preset's settings text as the processor's own preset menu would (what it
        keeps of its current settings is its own rule). Main thread. */
    virtual void applyPresetText (const juce::String& settingsText) = 0;

    /** Restores a state that JUCE's LV2 wrapper saved (earlier releases of a plug-in built with
        it). That wrapper wrote the host's enabled port into the processor's bypass parameter
        before every block, inverted, so what the state holds there is the host's bypass of
        the moment, not a setting of the user's; the host keeps its own bypass, and the
        processor puts that parameter back where it means "running". Main thread. */
    virtual void restoreJuceWrapperState (const void* data, int sizeInBytes) = 0;
};

} // namespace lv2binding
