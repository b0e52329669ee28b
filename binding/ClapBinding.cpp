#include "binding/ClapBinding.h"

#include "binding/ClapEntry.h"
#include "binding/EditorWrapperComponent.h"
#include "binding/HostStrings.h"
#include "binding/LegacyParameters.h"

#include <cstring>

// The plug-in record, its lifetime and the small extensions (render, track info, latency, tail,
// audio and note ports, timers). Processing, parameters, state and the editor each have a source
// file of their own: ClapBindingProcess.cpp, ClapBindingParams.cpp, ClapBindingState.cpp and
// ClapBindingGui.cpp.

namespace clapbinding
{

namespace
{
    constexpr uint32_t noteInputPortId = 32;
    constexpr uint32_t noteOutputPortId = 4;
} // namespace

thread_local const ClapBinding* ClapBinding::applyingHostValue = nullptr;
thread_local const ClapBinding* ClapBinding::loadingState = nullptr;

//==============================================================================
double ClapBinding::ParameterRecord::toClapValue (float normalised) const noexcept
{
    return isDiscreteRanged() ? (double) ranged->convertFrom0to1 (normalised) : (double) normalised;
}

float ClapBinding::ParameterRecord::fromClapValue (double clapValue) const noexcept
{
    // Held within the range before it is narrowed: a double beyond float's range would not
    // convert at all (undefined behaviour), and NaN means nothing.
    const auto minimum = isDiscreteRanged() ? (double) ranged->getNormalisableRange().start : 0.0;
    const auto maximum = isDiscreteRanged() ? (double) ranged->getNormalisableRange().end : 1.0;
    const auto value = (float) (std::isnan (clapValue) ? minimum : juce::jlimit (minimum, maximum, clapValue));
    return isDiscreteRanged() ? ranged->convertTo0to1 (value) : value;
}

bool ClapBinding::ParameterRecord::isStepped() const noexcept
{
    if (! isDiscreteRanged())
        return false;

    // Its CLAP values are then whole numbers from start to end, which is what stepped means.
    const auto& range = ranged->getNormalisableRange();
    return range.start == std::floor (range.start) && range.end == std::floor (range.end);
}

//==============================================================================
ClapBinding::ClapBinding (const clap_host* host, std::unique_ptr<juce::AudioProcessor> processorToOwn)
    : clapcheck::CheckedPlugin (&descriptorForBinding(), host),
      processor (std::move (processorToOwn)),
      outboundEntries ((size_t) outboundQueueSize),
      parameterWrapper (std::make_unique<juce::LegacyAudioParametersWrapper>())
{
    extensions = dynamic_cast<ClapProcessorExtensions*> (processor.get());

    processor->setRateAndBufferSizeDetails (0, 0);
    processor->setPlayHead (this);
    processor->addListener (this);

    parameterWrapper->update (*processor, false);

    for (auto* parameter : *parameterWrapper)
        parameterList.add (parameter);

    // A later parameter whose id collides takes the map entry; the id is counted once.
    for (auto* parameter : parameterList)
    {
        const auto id = getParameterId (parameter);
        recordsById[id] = { parameter, dynamic_cast<juce::RangedAudioParameter*> (parameter) };
        idsByParameter[parameter] = id;
    }
}

ClapBinding::~ClapBinding()
{
    processor->removeListener (this);
    processor->setPlayHead (nullptr);

    // The editor goes before the processor it refers to; the members below follow in reverse order.
    editorWrapper.reset();
    guiEventLoop.reset();
}

ClapBinding& ClapBinding::fromPlugin (const clap_plugin* plugin) noexcept
{
    return static_cast<ClapBinding&> (clapcheck::CheckedPlugin::fromClapPlugin (plugin));
}

const ClapBinding::ParameterRecord* ClapBinding::findParameter (clap_id id) const noexcept
{
    const auto found = recordsById.find (id);
    return found != recordsById.end() ? &found->second : nullptr;
}

clap_id ClapBinding::getParameterId (juce::AudioProcessorParameter* parameter) const noexcept
{
    const auto found = idsByParameter.find (parameter);

    if (found != idsByParameter.end())
        return found->second;

    return parameterIdFromIdentifier (juce::LegacyAudioParameter::getParamID (parameter, false).toRawUTF8());
}

void ClapBinding::setGuiEventLoop (std::unique_ptr<GuiEventLoop> loop) noexcept
{
    if (guiEventLoop != nullptr && parentAttached)
        guiEventLoop->guiDetached (getHostInterfaces());

    guiEventLoop = std::move (loop);

    if (guiEventLoop != nullptr && parentAttached)
        guiEventLoop->guiAttached (getHostInterfaces());
}

//==============================================================================
bool ClapBinding::init() noexcept
{
    try
    {
        // Re-applying the layout the processor already has changes nothing, but lets a processor
        // that only settles its channel counts in setBusesLayout do so before the host asks.
        processor->setBusesLayout (processor->getBusesLayout());
    }
    catch (...)
    {
    }

    return true;
}

bool ClapBinding::activate (double sampleRate, uint32_t, uint32_t maxFrames) noexcept
{
    try
    {
        processor->setRateAndBufferSizeDetails (sampleRate, (int) maxFrames);
        processor->prepareToPlay (sampleRate, (int) maxFrames);
        midiBuffer.ensureSize (2048);
        midiBuffer.clear();

        const auto channelsNeeded = juce::jmin (maxChannels, juce::jmax (processor->getTotalNumInputChannels(),
                                                                         processor->getTotalNumOutputChannels()));
        spareChannels.setSize (channelsNeeded, (int) maxFrames);
        return true;
    }
    catch (...)
    {
        return false;
    }
}

void ClapBinding::deactivate() noexcept
{
    // The processor stays prepared: the next activation prepares it again anyway.
}

bool ClapBinding::startProcessing() noexcept
{
    return true;
}

void ClapBinding::stopProcessing() noexcept {}

void ClapBinding::reset() noexcept
{
    processor->reset();
}

void ClapBinding::onMainThread() noexcept
{
    // The base has already run the queued main-thread tasks.
}

//==============================================================================
bool ClapBinding::renderSetMode (clap_plugin_render_mode mode) noexcept
{
    processor->setNonRealtime (mode == CLAP_RENDER_OFFLINE);
    return true;
}

void ClapBinding::trackInfoChanged() noexcept
{
    try
    {
        clap_track_info_t info {};

        if (! getHostInterfaces().trackInfoGet (&info))
            return;

        juce::AudioProcessor::TrackProperties properties;

        if ((info.flags & CLAP_TRACK_INFO_HAS_TRACK_NAME) != 0)
            properties.name = juce::String::fromUTF8 (info.name, (int) strnlen (info.name, sizeof (info.name)));

        if ((info.flags & CLAP_TRACK_INFO_HAS_TRACK_COLOR) != 0)
            properties.colour = juce::Colour (info.color.red, info.color.green, info.color.blue, info.color.alpha);

        processor->updateTrackProperties (properties);
    }
    catch (...)
    {
    }
}

uint32_t ClapBinding::latencyGet() const noexcept
{
    return (uint32_t) juce::jmax (0, processor->getLatencySamples());
}

uint32_t ClapBinding::tailGet() const noexcept
{
    if (! isActive())
        return 0;

    // The tiny offset lets a tail meant as a whole number of samples survive float error; the
    // default rounding mode of nearbyint rounds halves to even.
    const auto samples = std::nearbyint (getSampleRate() * processor->getTailLengthSeconds() + 1.5e-8);

    // An infinite or absurd tail is reported as CLAP's "infinite" (INT32_MAX or more).
    if (! (samples < (double) INT32_MAX))
        return (uint32_t) INT32_MAX;

    return samples > 0.0 ? (uint32_t) samples : 0u;
}

uint32_t ClapBinding::audioPortsCount (bool isInput) const noexcept
{
    return (uint32_t) juce::jmax (0, processor->getBusCount (isInput));
}

bool ClapBinding::audioPortsGet (uint32_t index, bool isInput, clap_audio_port_info* info) const noexcept
{
    auto* bus = processor->getBus (isInput, (int) index);

    if (bus == nullptr)
        return false;

    *info = {};
    info->id = isInput ? 0x8000u + index : 1u + index;
    copyString (info->name, CLAP_NAME_SIZE, bus->getName());

    info->flags = index == 0 ? (uint32_t) CLAP_AUDIO_PORT_IS_MAIN : 0u;

    if (processor->supportsDoublePrecisionProcessing())
        info->flags |= (uint32_t) (CLAP_AUDIO_PORT_SUPPORTS_64BITS | CLAP_AUDIO_PORT_PREFERS_64BITS
                                   | CLAP_AUDIO_PORT_REQUIRES_COMMON_SAMPLE_SIZE);

    const auto layout = bus->getCurrentLayout();
    info->channel_count = (uint32_t) layout.size();
    info->port_type = layout == juce::AudioChannelSet::mono()     ? CLAP_PORT_MONO
                      : layout == juce::AudioChannelSet::stereo() ? CLAP_PORT_STEREO
                                                                  : nullptr;

    const auto hasPair = processor->getBus (! isInput, (int) index) != nullptr;
    info->in_place_pair = hasPair ? (isInput ? 1u + index : 0x8000u + index) : CLAP_INVALID_ID;
    return true;
}

uint32_t ClapBinding::notePortsCount (bool isInput) const noexcept
{
    return (isInput ? processor->acceptsMidi() : processor->producesMidi()) ? 1u : 0u;
}

bool ClapBinding::notePortsGet (uint32_t, bool isInput, clap_note_port_info* info) const noexcept
{
    *info = {};
    info->id = isInput ? noteInputPortId : noteOutputPortId;
    info->supported_dialects = CLAP_NOTE_DIALECT_MIDI | (processor->supportsMPE() ? (uint32_t) CLAP_NOTE_DIALECT_MIDI_MPE : 0u);
    info->preferred_dialect = CLAP_NOTE_DIALECT_MIDI;
    copyString (info->name, CLAP_NAME_SIZE, isInput ? "JUCE Note Input" : "JUCE Note Output");
    return true;
}

void ClapBinding::onTimer (clap_id timerId) noexcept
{
    // The binding registers no timer of its own; a GUI event loop may have.
    if (guiEventLoop != nullptr)
        guiEventLoop->timerFired (timerId);
}

} // namespace clapbinding
