#pragma once

#include "ProductIdentity.h"
#include "binding/ClapProcessorExtensions.h"
#include "engine/OrvelProcessor.h"
#include "engine/SilenceWatch.h"
#include "engine/WrendleFoldParameters.h"
#include "engine/dsp/DriftStage.h"
#include "engine/dsp/DryDelayLine.h"
#include "engine/dsp/DryMixPath.h"
#include "engine/dsp/FoldCore.h"
#include "engine/dsp/OversamplerBank.h"
#include "engine/dsp/SoftClipStage.h"
#include "lv2/Lv2ProcessorExtensions.h"
#include "news/PluginNotifications.h"
#include "state/OrvelSettings.h"

#include <juce_dsp/juce_dsp.h>

#include <array>
#include <atomic>
#include <memory>

namespace orvel
{
class OrvelLookAndFeel;
class SharedData;
} // namespace orvel

/** The audio processor of one Wrendle Fold instance.

    Threads: a host restore on the main thread never waits for the audio thread;
    while one is under way the audio thread outputs silence, and a block that may
    have seen half-restored values is silenced too (a sequence count around the
    restore). The callback lock is not used. */
class WrendleFoldProcessor : public orvel::OrvelProcessor,
                             public clapbinding::ClapProcessorExtensions,
                             public lv2binding::Lv2ProcessorExtensions
{
public:
    /** The name the news request asks the server for (<address>wrendlefold.kvn). */
    static constexpr const char* newsProductIdentifier = "wrendlefold";

    /** Builds the processor; its news fetcher asks newsServerAddress. Only tests pass
        another address than the maker's (one on 127.0.0.1). */
    explicit WrendleFoldProcessor (const juce::String& newsServerAddress = orvel::PluginNotifications::defaultServerAddress);
    ~WrendleFoldProcessor() override;

    //==========================================================================
    const juce::String getName() const override { return wrendle::identity::productName; }
    void prepareToPlay (double sampleRate, int maximumBlockSize) override;
    /** Runs the chain. NaN, infinite and absurdly large input samples are taken
        as silence, and a block whose output still came out non-finite is
        silenced and clears the chain's memories, so nothing bad stays in it.
        An oversampling change while playing fades the output out, re-prepares
        where it has gone silent (mid-block if need be) and fades back in. */
    void processBlock (juce::AudioBuffer<float>& buffer, juce::MidiBuffer& midi) override;
    using juce::AudioProcessor::processBlock;

    /** The host's bypass (VST3's bypass parameter, LV2's enabled port): the
        same block with the chain crossfaded to the dry signal, delayed by the
        whole latency as the power switch's bypass is. The power switch keeps
        its own value; the next processBlock() fades the chain back in. */
    void processBlockBypassed (juce::AudioBuffer<float>& buffer, juce::MidiBuffer& midi) override;
    using juce::AudioProcessor::processBlockBypassed;

    /** Clears every memory of the chain: filters, feedback, envelope, all the
        oversamplers in use and the bypass delay. */
    void reset() override;
    juce::AudioProcessorEditor* createEditor() override;
    void getStateInformation (juce::MemoryBlock& destData) override;
    void setStateInformation (const void* data, int sizeInBytes) override;

    //==========================================================================
    // What the CLAP binding asks beyond juce::AudioProcessor.

    /** setStateInformation, answering false for a blob it refuses. Values are set
        without host notification: the binding tells the host with a rescan. */
    bool loadStateInformation (const void* data, int sizeInBytes) override;
    size_t getMaximumStateBytes() const noexcept override;
    /** The latency of the oversampling in use; what the host was told
        (getLatencySamples()) changes only when the host prepares the processor. */
    int getRunningLatencySamples() const noexcept override { return runningLatencySamples.load (std::memory_order_relaxed); }
    bool isSilentUntilInput() const noexcept override { return silenceWatch.isSettled(); }

    //==========================================================================
    // What the LV2 binding asks beyond that (the running latency above serves it too).

    /** A host preset's settings text, applied as a preset from the preset menu is:
        Bypass and the locked parameters keep their values. Main thread. */
    void applyPresetText (const juce::String& settingsText) override;

    /** A state of the LV2 build that JUCE's wrapper made: restored, with the power switch
        on, since that wrapper had written the host's bypass into it. Main thread. */
    void restoreJuceWrapperState (const void* data, int sizeInBytes) override;

    //==========================================================================
    const wrendle::WrendleFoldParameters& getParameterSet() const noexcept { return params; }

    /** The fold drive of the last processed sample, for the monitor (any thread). */
    float getMonitorDrive() const noexcept { return monitorDrive.load (std::memory_order_relaxed); }

    /** The oversampling choice the chain runs with (0 = off ... 4 = 16x). It follows
        the "Oversampling" parameter only once the audio thread has re-prepared at a
        block start; readable from any thread. */
    int getOversamplingIndex() const noexcept { return oversamplingIndexInUse.load (std::memory_order_relaxed); }

    /** Selects the envelope follower's law: true for the exponential one (the
        options menu's "Linear" item, straight in decibels), false for constant steps. */
    void setEnvelopeLinear (bool shouldBeLinear) noexcept { envelopeLinear.store (shouldBeLinear, std::memory_order_relaxed); }
    bool isEnvelopeLinear() const noexcept { return envelopeLinear.load (std::memory_order_relaxed); }
    orvel::OrvelLookAndFeel& getLookAndFeel() noexcept { return *lookAndFeel; }
    const std::shared_ptr<orvel::SharedData>& getSharedData() const noexcept { return sharedData; }

    /** The gain compensation the auto-gain ramp is heading for (1 when AutoGain is off). */
    float getAutoGainTarget() const noexcept { return autoGain.target; }

    /** Starts the drift stage from `seed` at every later preparation, so that two
        instances given the same seed render the same input to the same output.
        Without one, a preparation for real-time use keeps the clock-seeded drift
        and a preparation for an offline render (isNonRealtime()) starts it from
        a fixed seed. Call it before preparing. */
    void setDriftSeed (juce::int64 seed) noexcept;

    /** The seed an offline render starts the drift from when none was set. */
    static constexpr juce::int64 offlineRenderDriftSeed = 0x57726e646c46;

    /** Samples beyond this magnitude (+60 dBFS), like NaN and infinity, are no
        audio: the chain takes them as silence. */
    static constexpr float maximumInputMagnitude = 1000.0f;

    /** Recomputes every value derived from the parameters; audio thread or preparation. */
    void updateParameters();

    //==========================================================================
    // Settings element, host state and clipboard. Message thread.

    /** The element of all parameter values (normalised, under the parameters'
        identifiers) plus "Version", tagged WrendleFold_SETTINGS. Built under the
        callback lock, so the values are read between two blocks. */
    std::unique_ptr<juce::XmlElement> createSettingsXml();

    /** Pushes an element into the parameters, each as a change gesture the host is
        told about. The output drops to silence at once and ramps back in over 150 ms
        once the values are set; processing is suspended meanwhile.

        A null element, or one with another tag, changes no parameter but still fades
        the output out and in. In preset mode "Bypass" and every parameter named in
        lockedParameterNames keep their values. Missing, NaN or infinite values give
        the parameter's default (after an Init preset, the Init value); other values
        are clamped to 0..1, switches included. */
    void applySettingsXml (const juce::XmlElement* element, bool asPreset);

    /** The settings element as XML text in JUCE's default format: what "copy" puts on
        the clipboard. */
    juce::String createSettingsText();

    /** Applies clipboard text as applySettingsXml (element, false) would: every
        parameter, bypass and locked ones included. Text that is not a settings
        document (or not XML at all) only fades the output out and in. */
    void applySettingsText (const juce::String& text);

    void copySettingsToClipboard();
    void pasteSettingsFromClipboard();

    //==========================================================================
    // Presets. Message thread.

    /** Remembers the path as currentPresetPath in any case; applies the file in preset
        mode only when it exists, is not empty and carries the preset signature. */
    void loadPreset (const juce::String& path);

    /** Writes the current settings as a preset file (creating folders as needed).
        Returns an empty text on success, else a message for the user. */
    juce::String savePreset (const juce::String& path);

    /** Replaces the lock list (names as getName (50) gives them, spaces kept) and the
        matching lockText. A change tells the host that the project changed (the state
        carries the locks, no parameter does). */
    void setLockedParameterNames (const juce::StringArray& names);

    /** Replaces currentPresetPath; a change tells the host that the project changed. */
    void setCurrentPresetPath (const juce::String& path);

    /** Counts the host restores that replaced the lock list, so that an open editor
        can take the restored locks into its widgets. Message thread. */
    int getLockRestoreCount() const noexcept { return lockRestoreCount; }

    /** The processor's own settings store (settings files and folders). */
    orvel::OrvelSettings& getSettings() noexcept { return settings; }

    /** The news fetcher; the top bar reads its notices and unread flag. */
    orvel::PluginNotifications& getNotifications() noexcept { return notifications; }

    /** WrendleFold_SETTINGS */
    const juce::String& getSettingsTag() const noexcept { return settingsTag; }

    static constexpr int numOversamplingChoices = 5;

    /** The buses: stereo in and out, both enabled by default. juce::AudioProcessor is a
        virtual base, which the most derived class builds: a class derived from this one
        must pass these to it itself, or it gets JUCE's default buses, disabled. */
    static BusesProperties makeBuses();

private:
    void onParameterChanged (const juce::String& name, float normalisedValue);
    void applySettings (const juce::XmlElement* element, bool asPreset, bool asUserEdits);
    void tellHostStateChanged();
    void prepareAllOversamplers();
    void prepareChain() noexcept;
    void resetChainState() noexcept;
    void refreshLatency();
    void processBlockWithHostBypass (juce::AudioBuffer<float>& buffer, bool bypassedByHost);
    void processChannels (juce::AudioBuffer<float>& buffer, int numIn, int numOut, int numFrames) noexcept;
    void processAroundPreparations (float* left, float* right, int numFrames) noexcept;
    void processChain (float* left, float* right, int numFrames) noexcept;
    void processWetPath (float* left, float* right, int numFrames) noexcept;
    void runFoldCore (float* frames, int numFrames) noexcept;
    void applyPreparationFade (float* left, float* right, int numFrames) noexcept;
    void silenceNonFiniteOutput (float* left, float* right, int numFrames) noexcept;
    void applyStoredUserSettings();
    void handImageAdjustmentToSharedData();
    void loadInitPreset();

    orvel::OrvelSettings settings;
    const juce::String settingsTag;

    wrendle::WrendleFoldParameters params;
    std::atomic<bool> envelopeLinear { false };

    orvel::DriftStage drift;
    std::atomic<bool> hasDriftSeed { false };
    std::atomic<juce::int64> driftSeed { 0 };
    bool preparedForOfflineRender = false; // isNonRealtime() when the host last prepared us
    orvel::SoftClipStage softClipStage;
    orvel::FoldCore foldCore;
    std::atomic<float> monitorDrive { 0.0f };
    orvel::RampedValue autoGain { 1.0f };

    orvel::OversamplerBank mainOversamplers;
    int oversamplingIndex = 0;
    std::atomic<int> oversamplingIndexInUse { 0 }; // oversamplingIndex, published for the editor
    int oversamplingFactor = 1;
    int oversamplersPreparedForBlockSize = 0;
    std::atomic<bool> needsPrepare { false };
    std::atomic<int> runningLatencySamples { 0 };

    // Odd while a restore rewrites the parameters (main thread); the audio thread reads it
    // before and after a block.
    std::atomic<juce::uint32> restoreSequence { 0 };
    int lockRestoreCount = 0;

    // Counts how long input and output have been silent (audio thread).
    orvel::SilenceWatch silenceWatch;

    // An oversampling change while playing fades the output out, re-prepares
    // once it is silent and fades back in, as the bypass does.
    orvel::RampedValue preparationFade { 1.0f };
    bool playedSincePreparation = false;

    // The dry copy for the mix follows the wet path's phase; it only runs while
    // the mix needs it and starts from cleared memories when it comes back.
    orvel::DryMixPath dryMixPath;
    juce::AudioBuffer<float> mixDryBuffer;
    bool dryMixRunning = false;

    // The input delayed by the whole reported latency: what the bypass
    // crossfades to and what a bypassed instance plays. It is fed every block.
    orvel::DryDelayLine bypassDelay;
    bool wasSkipping = false;
    bool hostBypassed = false; // audio thread: the host's bypass of the last block

    // Declared before the look-and-feel and the shared images: destroyed after
    // them, and before the oversamplers and the chain.
    orvel::PluginNotifications notifications;

    std::unique_ptr<orvel::OrvelLookAndFeel> lookAndFeel;
    std::shared_ptr<orvel::SharedData> sharedData;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (WrendleFoldProcessor)
};

/** Builds a new processor; the host binding's factory function. */
juce::AudioProcessor* createWrendleFoldProcessor();
