#pragma once

#include <cstddef>

namespace clapbinding
{

/**
    What a processor may offer the CLAP binding beyond juce::AudioProcessor, so that the binding
    can keep CLAP's contract where JUCE's interface has no word for it. The binding finds it with
    dynamic_cast on the processor it owns; a processor without it is served through
    juce::AudioProcessor alone. It needs nothing of the binding, so the processor's library only
    includes this header.

    A processor that implements it also takes over the guarding of its own blocks: the binding
    then calls processBlock without JUCE's callback lock and never asks isSuspended(). The
    processor stays consistent by itself while the main thread restores a state (it outputs
    silence meanwhile), and the main thread never waits for the audio thread.
*/
class ClapProcessorExtensions
{
public:
    virtual ~ClapProcessorExtensions() = default;

    /** setStateInformation that answers whether the state was taken: false when the processor
        refused the blob, and then nothing changed. Restored values must not reach the host as
        edits; the binding tells the host with one values rescan instead. Main thread. */
    virtual bool loadStateInformation (const void* data, int sizeInBytes) = 0;

    /** The largest state the processor accepts: the binding stops reading the host's stream once
        it holds more and refuses the load. */
    virtual size_t getMaximumStateBytes() const noexcept = 0;

    /** The latency the processor runs with now. getLatencySamples() is what the host was told;
        when this differs (a change while active, which CLAP only allows at activation), the
        binding asks the host for a restart. Audio thread, after processBlock; no lock. */
    virtual int getRunningLatencySamples() const noexcept = 0;

    /** True when the last block's input was silent and nothing the processor holds can still be
        heard: the output and every memory and tail have decayed, so that more silent blocks
        would only give silence. The host may then stop calling it until input or events come.
        Audio thread, after processBlock. */
    virtual bool isSilentUntilInput() const noexcept = 0;
};

} // namespace clapbinding
