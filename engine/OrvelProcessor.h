#pragma once

#include "engine/Fade.h"
#include "engine/dsp/RampedValue.h"

#include <juce_audio_processors/juce_audio_processors.h>

#include <atomic>

namespace orvel
{

/** The user-settings cache that every product of the framework keeps; filled
    from the settings files when the processor is built. */
struct UserSettingsCache
{
    double windowSize = 1.0;
    float brightness = 0.0f;
    float contrast = 0.0f;
    bool leftHandedMouse = false;
    bool accelerateGui = false;
};

/** What every product of the framework shares: the bus rule, the fixed answers
    to the host's queries, the restore fade, the bypass crossfade with its four
    fades and the two scratch buffers. */
class OrvelProcessor : public virtual juce::AudioProcessor
{
public:
    OrvelProcessor();
    ~OrvelProcessor() override;

    //==========================================================================
    void releaseResources() override {}
    void memoryWarningReceived() override {}
    void processBlockBypassed (juce::AudioBuffer<float>&, juce::MidiBuffer&) override {}
    double getTailLengthSeconds() const override { return 0.0; }
    bool acceptsMidi() const override { return false; }
    bool producesMidi() const override { return false; }
    bool supportsMPE() const override { return false; }
    bool isMidiEffect() const override { return false; }
    juce::AudioProcessorParameter* getBypassParameter() const override { return nullptr; }
    bool hasEditor() const override { return true; }
    int getNumPrograms() override { return 1; }
    int getCurrentProgram() override { return 0; }
    void setCurrentProgram (int) override {}
    const juce::String getProgramName (int) override { return {}; }
    void changeProgramName (int, const juce::String&) override {}
    bool isBusesLayoutSupported (const BusesLayout& layout) const override;
    bool canApplyBusesLayout (const BusesLayout& layout) const override { return isBusesLayoutSupported (layout); }

    /** Starts the crossfade between the processed and the dry signal. */
    virtual void setBypassed (bool shouldBeBypassed);

    //==========================================================================
    /** Mono in / mono out, mono in / stereo out and stereo in / stereo out. */
    static bool isLayoutAccepted (int numInputChannels, int numOutputChannels, bool hasOutputBus) noexcept;

    /** The last bypass request; the editor shows the chain as active when it is false. */
    bool getLastBypassRequest() const noexcept { return lastBypassRequest.load (std::memory_order_relaxed); }
    bool isSkippingProcessing() const noexcept { return skipProcessing; }

    /** Silences the processed signal at once and ramps it back in over 150 ms
        from the next block on (a settings restore uses it). Any thread. */
    void startRestoreFade() noexcept { restoreFadePending.store (true, std::memory_order_release); }

    int getEditorRefreshIntervalMs() const noexcept { return editorRefreshIntervalMs; }
    const UserSettingsCache& getUserSettings() const noexcept { return userSettings; }
    /** The same cache for the editor, its one writer (message thread only). It lives
        here so that it outlives any editor. */
    UserSettingsCache& getUserSettingsForEditor() noexcept { return userSettings; }

    double getPreparedSampleRate() const noexcept { return preparedSampleRate; }

    //==========================================================================
    // State that travels with the host project. Message thread only.

    /** Full path of the preset file last loaded or saved. */
    juce::String currentPresetPath;
    /** Host-state saves of this instance and of the states it was restored from. */
    int saveCounter = 0;
    /** Names (getName (50), spaces kept) of the parameters that presets and the
        random button must leave alone. */
    juce::StringArray lockedParameterNames;
    /** The same names joined by "|", as stored in the host state. */
    juce::String lockText;
    int getPreparedBlockSize() const noexcept { return preparedBlockSize; }

protected:
    /** Steps of preparation shared by every product: rate and block-size
        fallbacks, scratch buffers, fades and the restore fade. */
    void prepareFramework (double requestedSampleRate, int requestedBlockSize);

    /** Audio thread, at block start: picks up a pending restore fade. */
    void pullRestoreFade() noexcept;

    /** The last stage of every block: crossfades the processed channels with
        the dry copy's while the bypass switch moves, and passes the dry copy
        alone once bypassed (after which the chain is skipped). Both are two
        channels of numFrames frames; the dry copy must already be delayed by
        the processed signal's latency, so that the two line up. */
    void applyBypassCrossfade (float* const* wet, float* const* dry, int numFrames) noexcept;

    std::atomic<bool> lastBypassRequest { false };
    Fade wetFadeIn { 1.0f / 441.0f, 1.0f, 0.0f, Fade::fadeIn };
    Fade dryFadeIn { 1.0f / 441.0f, 1.0f, 0.0f, Fade::fadeIn };
    Fade wetFadeOut { 1.0f / 441.0f, 0.0f, 0.0f, Fade::fadeOut };
    Fade dryFadeOut { 1.0f / 441.0f, 0.0f, 0.0f, Fade::fadeOut };
    bool bypassed = false;
    bool skipProcessing = false;

    UserSettingsCache userSettings;

    RampedValue restoreFadeGain { 1.0f };
    std::atomic<bool> restoreFadePending { false };

    double preparedSampleRate = 44100.0;
    int preparedBlockSize = 256;

    juce::AudioBuffer<float> monoScratchBuffer;
    juce::AudioBuffer<float> dryBuffer;

    std::atomic<bool> paramsChanged { false };

    const int editorRefreshIntervalMs = 55;

private:
    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (OrvelProcessor)
};

} // namespace orvel
