#include "plugin/WrendleFoldProcessor.h"

// The processor's message-thread side: construction, the editor, the settings
// element, host state, clipboard and presets. The audio side (preparation and
// the fold chain) is in WrendleFoldChain.cpp.

#include "editor/OrvelLookAndFeel.h"
#include "editor/SharedData.h"
#include "editor/WrendleFoldEditor.h"
#include "state/PluginState.h"
#include "state/PresetFile.h"
#include "state/ProcessorParameterTarget.h"
#include "state/UntrustedXml.h"

#include <juce_gui_basics/juce_gui_basics.h>

juce::AudioProcessor::BusesProperties WrendleFoldProcessor::makeBuses()
{
    return BusesProperties()
        .withInput ("Fold In", juce::AudioChannelSet::stereo(), true)
        .withOutput ("Fold Out", juce::AudioChannelSet::stereo(), true);
}

WrendleFoldProcessor::WrendleFoldProcessor (const juce::String& newsServerAddress)
    : juce::AudioProcessor (makeBuses()),
      settingsTag (orvel::getSettingsTag (settings.getProductKey())),
      notifications (newsProductIdentifier, newsServerAddress)
{
    // Names no preset file: the selector shows it as the Init preset.
    currentPresetPath = orvel::presets::initPresetName;

    sharedData = orvel::SharedData::acquire();
    setBypassed (false);

    applyStoredUserSettings();

    restoreFadeGain.setImmediate (1.0f);
    lookAndFeel = std::make_unique<orvel::OrvelLookAndFeel>();

    params.createAndAdd (*this, [this] (const juce::String& name, float value)
                         { onParameterChanged (name, value); });
    loadInitPreset();

    notifications.checkForNews();
}

WrendleFoldProcessor::~WrendleFoldProcessor()
{
    sharedData.reset();
    lookAndFeel.reset();
    // The news fetcher goes next (a member), stopping a fetch that is still running.
}

void WrendleFoldProcessor::applyStoredUserSettings()
{
    const auto stored = settings.readStoredSettings();

    userSettings.windowSize = juce::jlimit (0.5, 2.0, stored.windowSize);
    userSettings.brightness = juce::jlimit (-0.5f, 0.5f, stored.brightness);
    userSettings.contrast = juce::jlimit (-0.5f, 0.5f, stored.contrast);
    userSettings.leftHandedMouse = stored.leftHandedMouse;
    userSettings.accelerateGui = stored.accelerateGui;
    setEnvelopeLinear (stored.envelopeLinear);

    if (userSettings.brightness != 0.0f || userSettings.contrast != 0.0f)
        handImageAdjustmentToSharedData();
}

void WrendleFoldProcessor::handImageAdjustmentToSharedData()
{
    // The shared skin images are rebuilt with the user's brightness and contrast.
    if (sharedData != nullptr)
    {
        sharedData->setAdjustment (userSettings.brightness, userSettings.contrast);
        sharedData->startRebuild();
    }
}

void WrendleFoldProcessor::onParameterChanged (const juce::String& name, float)
{
    // Any thread: flags only; the audio thread derives everything at the next block.
    if (name == "Oversampling")
        needsPrepare.exchange (true);
    paramsChanged.exchange (true);
}

void WrendleFoldProcessor::loadInitPreset()
{
    const auto initPreset = settings.getPresetsFolder().getChildFile (orvel::presets::initPresetFileName);

    if (initPreset.exists())
    {
        loadPreset (initPreset.getFullPathName());

        // The Init values become the defaults: missing attributes of later presets
        // and states, and a double-click reset, go to them.
        for (auto* parameter : params.floats())
            parameter->adoptCurrentAsDefault();
        for (auto* parameter : params.switches())
            parameter->adoptCurrentAsDefault();
        params.oversampling->adoptCurrentAsDefault();
        return;
    }

    for (auto* parameter : juce::AudioProcessor::getParameters())
        parameter->setValueNotifyingHost (parameter->getDefaultValue());
}

//==============================================================================
juce::AudioProcessorEditor* WrendleFoldProcessor::createEditor()
{
    return new WrendleFoldEditor (*this);
}

//==============================================================================
std::unique_ptr<juce::XmlElement> WrendleFoldProcessor::createSettingsXml()
{
    // The values are atomics: no lock, so a save never holds up a block.
    const orvel::ProcessorParameterTarget target (*this);
    return orvel::createSettingsElement (target, settingsTag, wrendle::identity::version);
}

void WrendleFoldProcessor::applySettingsXml (const juce::XmlElement* element, bool asPreset)
{
    applySettings (element, asPreset, true);
}

void WrendleFoldProcessor::applySettings (const juce::XmlElement* element, bool asPreset, bool asUserEdits)
{
    startRestoreFade();

    // Odd while the values change: the audio thread outputs silence meanwhile, and silences a
    // block that overlapped the change, instead of this thread waiting for the block to end.
    restoreSequence.fetch_add (1, std::memory_order_relaxed);
    std::atomic_thread_fence (std::memory_order_release);

    {
        using Changes = orvel::ProcessorParameterTarget::Changes;
        orvel::ProcessorParameterTarget target (*this, asUserEdits ? Changes::asUserEdits : Changes::silent);
        orvel::applySettingsElement (target, element, settingsTag, asPreset, lockedParameterNames);
    }

    restoreSequence.fetch_add (1, std::memory_order_release);

    // Again after the values are in: a block that ran between the first request and the
    // restore has already used it up, and the first block with the new values must start
    // from silence.
    startRestoreFade();
}

void WrendleFoldProcessor::getStateInformation (juce::MemoryBlock& destData)
{
    auto element = createSettingsXml();
    orvel::addHostStateAttributes (*element, currentPresetPath, saveCounter, lockText);
    copyXmlToBinary (*element, destData);
}

void WrendleFoldProcessor::setStateInformation (const void* data, int sizeInBytes)
{
    loadStateInformation (data, sizeInBytes);
}

bool WrendleFoldProcessor::loadStateInformation (const void* data, int sizeInBytes)
{
    // A blob that is refused or does not parse changes nothing at all.
    const auto element = orvel::readHostStateBinary (data, sizeInBytes);

    if (element == nullptr)
        return false;

    const orvel::ProcessorParameterTarget parameters (*this);
    auto extras = orvel::readHostStateAttributes (*element, parameters);

    // What the host restores is the project as saved: no change to tell it about.
    currentPresetPath = extras.presetPath;
    saveCounter = extras.saveCounter;
    lockedParameterNames = std::move (extras.lockedNames);
    lockText = extras.lockText;
    ++lockRestoreCount;

    applySettings (element.get(), false, false);
    return true;
}

size_t WrendleFoldProcessor::getMaximumStateBytes() const noexcept
{
    return orvel::maxHostStateBytes;
}

juce::String WrendleFoldProcessor::createSettingsText()
{
    return createSettingsXml()->toString();
}

void WrendleFoldProcessor::applySettingsText (const juce::String& text)
{
    // Clipboard text can come from anywhere: the same limits as a host state.
    const auto element = orvel::readSettingsText (text);
    applySettingsXml (element.get(), false);
}

void WrendleFoldProcessor::applyPresetText (const juce::String& settingsText)
{
    // The text comes from a host's preset: the same limits as a host state.
    const auto element = orvel::readSettingsText (settingsText);
    applySettingsXml (element.get(), true);
}

void WrendleFoldProcessor::restoreJuceWrapperState (const void* data, int sizeInBytes)
{
    if (loadStateInformation (data, sizeInBytes))
        params.bypass->setValue (1.0f);
}

void WrendleFoldProcessor::copySettingsToClipboard()
{
    juce::SystemClipboard::copyTextToClipboard (createSettingsText());
}

void WrendleFoldProcessor::pasteSettingsFromClipboard()
{
    applySettingsText (juce::SystemClipboard::getTextFromClipboard());
}

//==============================================================================
void WrendleFoldProcessor::loadPreset (const juce::String& path)
{
    // Remembered even when nothing loads, so the host state records the choice.
    setCurrentPresetPath (path);

    const auto preset = orvel::readPresetFile (path);

    if (preset.isPreset)
        applySettingsXml (preset.element.get(), true);
}

juce::String WrendleFoldProcessor::savePreset (const juce::String& path)
{
    const auto element = createSettingsXml();
    return orvel::writePresetFile (*element, path);
}

void WrendleFoldProcessor::setLockedParameterNames (const juce::StringArray& names)
{
    const auto text = names.joinIntoString ("|");

    if (names == lockedParameterNames && text == lockText)
        return;

    lockedParameterNames = names;
    lockText = text;
    tellHostStateChanged();
}

void WrendleFoldProcessor::setCurrentPresetPath (const juce::String& path)
{
    if (path == currentPresetPath)
        return;

    currentPresetPath = path;
    tellHostStateChanged();
}

void WrendleFoldProcessor::tellHostStateChanged()
{
    // The saved state carries it but no parameter does: without this the host would not
    // ask the user to save.
    updateHostDisplay (ChangeDetails().withNonParameterStateChanged (true));
}

juce::AudioProcessor* createWrendleFoldProcessor()
{
    return new WrendleFoldProcessor();
}
