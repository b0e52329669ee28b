#include "lv2/Lv2Plugin.h"

#include "lv2/Lv2Features.h"
#include "lv2/Lv2Ports.h"

#include <lv2/atom/atom.h>
#include <lv2/buf-size/buf-size.h>
#include <lv2/options/options.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>

namespace lv2binding
{

namespace
{
    /** The block size the host's options promise (maximum first, else nominal), or 0. */
    int blockSizeFromOptions (const LV2_Options_Option* options, const LV2_URID_Map* map)
    {
        if (options == nullptr || map == nullptr)
            return 0;

        const auto intType = map->map (map->handle, LV2_ATOM__Int);
        const auto longType = map->map (map->handle, LV2_ATOM__Long);

        for (const auto* key : { LV2_BUF_SIZE__maxBlockLength, LV2_BUF_SIZE__nominalBlockLength })
        {
            const auto urid = map->map (map->handle, key);

            for (auto* option = options; option->key != 0 || option->value != nullptr; ++option)
            {
                if (option->key != urid || option->value == nullptr)
                    continue;

                if (option->type == intType && option->size == sizeof (int32_t))
                    return (int) *static_cast<const int32_t*> (option->value);
                if (option->type == longType && option->size == sizeof (int64_t))
                    return (int) juce::jlimit<int64_t> (0, INT_MAX, *static_cast<const int64_t*> (option->value));
            }
        }

        return 0;
    }

    /** A string property the host retrieved, up to its first NUL; empty when it is none. */
    juce::String retrievedText (const void* data, size_t size, uint32_t type, uint32_t stringType)
    {
        if (data == nullptr || type != stringType || size == 0 || size > (size_t) INT_MAX)
            return {};

        const auto* text = static_cast<const char*> (data);
        const auto length = ::strnlen (text, size);
        return juce::String::fromUTF8 (text, (int) length);
    }
} // namespace

Lv2Plugin::Lv2Plugin (std::unique_ptr<juce::AudioProcessor> processorIn, const juce::String& pluginUri, double rate,
                      const LV2_Feature* const* features)
    : processor (std::move (processorIn)),
      extensions (dynamic_cast<Lv2ProcessorExtensions*> (processor.get())),
      uris (pluginUri),
      uridMap (static_cast<const LV2_URID_Map*> (findFeature (features, LV2_URID__map))),
      sampleRate (rate > 0.0 ? rate : 44100.0)
{
    const auto promised = blockSizeFromOptions (static_cast<const LV2_Options_Option*> (findFeature (features, LV2_OPTIONS__options)), uridMap);
    preparedBlockSize = promised > 0 ? juce::jmin (promised, largestBlockSize) : defaultBlockSize;

    if (uridMap != nullptr)
    {
        urids.atomString = map (LV2_ATOM__String);
        urids.atomInt = map (LV2_ATOM__Int);
        urids.atomChunk = map (LV2_ATOM__Chunk);
        urids.atomSequence = map (LV2_ATOM__Sequence);
        urids.atomObject = map (LV2_ATOM__Object);
        urids.stateChanged = map (LV2_STATE__StateChanged);
        urids.processorState = map (uris.processorState);
        urids.stateString = map (uris.stateString);
        urids.program = map (uris.program);
        urids.presetSettings = map (uris.presetSettings);
    }

    for (auto* parameter : processor->getParameters())
        parameters.push_back (parameter);

    parameterPorts.assign (parameters.size(), nullptr);
    hostPortValues = std::make_unique<std::atomic<float>[]> (parameters.size());

    // Until the host moves a port it holds the default the bundle declares.
    for (size_t i = 0; i < parameters.size(); ++i)
    {
        lastPortValues.push_back (toPlain (*parameters[i], parameters[i]->getDefaultValue()));
        hostPortValues[i].store (lastPortValues.back());
    }

    processor->enableAllBuses();
    processor->setPlayConfigDetails (numAudioChannels, numAudioChannels, sampleRate, preparedBlockSize);
    processor->addListener (this);
    prepare();
}

Lv2Plugin::~Lv2Plugin()
{
    processor->removeListener (this);

    if (prepared)
        processor->releaseResources();
}

LV2_URID Lv2Plugin::map (const juce::String& uri) const
{
    return uridMap->map (uridMap->handle, uri.toRawUTF8());
}

void Lv2Plugin::prepare()
{
    buffer.setSize (numAudioChannels, preparedBlockSize);
    buffer.clear();
    midi.ensureSize (256);
    processor->setRateAndBufferSizeDetails (sampleRate, preparedBlockSize);
    processor->prepareToPlay (sampleRate, preparedBlockSize);
    prepared = true;
}

void Lv2Plugin::activate()
{
    if (! prepared)
        prepare();
}

void Lv2Plugin::deactivate()
{
    if (prepared)
        processor->releaseResources();

    prepared = false;
}

//==============================================================================
void Lv2Plugin::connectPort (uint32_t port, void* data) noexcept
{
    switch (port)
    {
        case audioIn1Port:
        case audioIn2Port:
            audioInputs[port - audioIn1Port] = static_cast<const float*> (data);
            return;
        case audioOut1Port:
        case audioOut2Port:
            audioOutputs[port - audioOut1Port] = static_cast<float*> (data);
            return;
        case eventsInPort:
            return;
        case eventsOutPort:
            eventsOut = data;
            return;
        case latencyPort:
            latencyOut = static_cast<float*> (data);
            return;
        case freeWheelingPort:
            freeWheeling = static_cast<const float*> (data);
            return;
        case enabledPort:
            enabled = static_cast<const float*> (data);
            return;
        default:
            break;
    }

    const auto index = (size_t) (port - firstParameterPort);

    if (port >= firstParameterPort && index < parameterPorts.size())
        parameterPorts[index] = static_cast<const float*> (data);
}

void Lv2Plugin::run (uint32_t numFrames) noexcept
{
    if (! prepared)
    {
        for (auto* output : audioOutputs)
            if (output != nullptr)
                std::fill (output, output + numFrames, 0.0f);

        writeEvents();
        return;
    }

    applyPortValues();

    const auto offline = freeWheeling != nullptr && *freeWheeling > 0.5f;
    if (offline != lastFreeWheeling)
    {
        lastFreeWheeling = offline;
        processor->setNonRealtime (offline);
    }

    processBlocks (numFrames);
    writeEvents();

    if (latencyOut != nullptr)
        *latencyOut = (float) currentLatency();
}

void Lv2Plugin::applyPortValues() noexcept
{
    for (size_t i = 0; i < parameters.size(); ++i)
    {
        const auto* port = parameterPorts[i];

        if (port == nullptr || ! std::isfinite (*port))
            continue;

        const auto value = *port;
        auto& parameter = *parameters[i];

        if (isSameValue (parameter, value, lastPortValues[i]))
            continue;

        lastPortValues[i] = value;
        hostPortValues[i].store (value, std::memory_order_relaxed);

        const auto normalised = toNormalised (parameter, value);

        if (parameter.getValue() == normalised)
            continue;

        // setValue alone: telling the parameter's listeners would take JUCE's listener locks
        // on the audio thread. An editor follows the parameter's value by itself.
        parameter.setValue (normalised);
    }
}

void Lv2Plugin::processBlocks (uint32_t numFrames) noexcept
{
    const auto bypassedByHost = enabled != nullptr && *enabled < 0.5f;

    for (uint32_t done = 0; done < numFrames;)
    {
        const auto count = (int) juce::jmin<uint32_t> (numFrames - done, (uint32_t) preparedBlockSize);
        juce::AudioBuffer<float> block (buffer.getArrayOfWritePointers(), numAudioChannels, count);

        for (int channel = 0; channel < numAudioChannels; ++channel)
        {
            if (const auto* input = audioInputs[channel])
                std::copy (input + done, input + done + count, block.getWritePointer (channel));
            else
                block.clear (channel, 0, count);
        }

        midi.clear();

        if (extensions != nullptr)
        {
            processOneBlock (block, bypassedByHost);
        }
        else
        {
            // A processor without the extensions counts on JUCE's own guard around its blocks.
            const juce::ScopedLock lock (processor->getCallbackLock());

            if (processor->isSuspended())
                block.clear();
            else
                processOneBlock (block, bypassedByHost);
        }

        for (int channel = 0; channel < numAudioChannels; ++channel)
            if (auto* output = audioOutputs[channel])
                std::copy (block.getReadPointer (channel), block.getReadPointer (channel) + count, output + done);

        done += (uint32_t) count;
    }
}

void Lv2Plugin::processOneBlock (juce::AudioBuffer<float>& block, bool bypassedByHost) noexcept
{
    if (bypassedByHost)
        processor->processBlockBypassed (block, midi);
    else
        processor->processBlock (block, midi);
}

int Lv2Plugin::currentLatency() const noexcept
{
    return extensions != nullptr ? extensions->getRunningLatencySamples() : processor->getLatencySamples();
}

void Lv2Plugin::writeEvents() noexcept
{
    if (eventsOut == nullptr)
        return;

    // The host says how much room the buffer has in its size; the sequence written
    // over it says how much was used.
    auto* sequence = static_cast<LV2_Atom_Sequence*> (eventsOut);
    const auto capacity = sequence->atom.size;

    if (capacity < sizeof (LV2_Atom_Sequence_Body) || urids.atomSequence == 0)
        return;

    sequence->atom.type = urids.atomSequence;
    sequence->atom.size = sizeof (LV2_Atom_Sequence_Body);
    sequence->body.unit = 0;
    sequence->body.pad = 0;

    constexpr auto eventSize = (uint32_t) (sizeof (LV2_Atom_Event) + sizeof (LV2_Atom_Object_Body));

    if (capacity < sizeof (LV2_Atom_Sequence_Body) + eventSize || ! stateChanged.exchange (false))
        return;

    // state:StateChanged: the host should count the project as modified.
    auto* event = reinterpret_cast<LV2_Atom_Event*> (sequence + 1);
    event->time.frames = 0;
    event->body.type = urids.atomObject;
    event->body.size = sizeof (LV2_Atom_Object_Body);
    auto* object = reinterpret_cast<LV2_Atom_Object_Body*> (event + 1);
    object->id = 0;
    object->otype = urids.stateChanged;
    sequence->atom.size += eventSize;
}

void Lv2Plugin::audioProcessorChanged (juce::AudioProcessor*, const ChangeDetails& details)
{
    if (details.nonParameterStateChanged)
        stateChanged.store (true);
}

//==============================================================================
LV2_State_Status Lv2Plugin::saveState (LV2_State_Store_Function store, LV2_State_Handle handle)
{
    if (uridMap == nullptr || store == nullptr)
        return LV2_STATE_ERR_NO_FEATURE;

    try
    {
        juce::MemoryBlock state;
        processor->getStateInformation (state);
        return store (handle, urids.processorState, state.getData(), state.getSize(), urids.atomChunk,
                      LV2_STATE_IS_POD | LV2_STATE_IS_PORTABLE);
    }
    catch (...)
    {
        return LV2_STATE_ERR_UNKNOWN;
    }
}

LV2_State_Status Lv2Plugin::restoreState (LV2_State_Retrieve_Function retrieve, LV2_State_Handle handle)
{
    if (uridMap == nullptr || retrieve == nullptr)
        return LV2_STATE_ERR_NO_FEATURE;

    try
    {
        size_t size = 0;
        uint32_t type = 0;
        uint32_t flags = 0;

        // A whole state, as this binding saved it.
        if (const auto* data = retrieve (handle, urids.processorState, &size, &type, &flags))
        {
            if (type != urids.atomChunk || size > (size_t) INT_MAX)
                return LV2_STATE_ERR_BAD_TYPE;

            processor->setStateInformation (data, (int) size);
            return LV2_STATE_SUCCESS;
        }

        // A whole state, as JUCE's LV2 wrapper saved it.
        if (const auto* data = retrieve (handle, urids.stateString, &size, &type, &flags))
        {
            const auto text = retrievedText (data, size, type, urids.atomString);

            if (text.isEmpty())
                return LV2_STATE_ERR_BAD_TYPE;

            juce::MemoryBlock state;
            if (! state.fromBase64Encoding (text) || state.getSize() > (size_t) INT_MAX)
                return LV2_STATE_ERR_UNKNOWN;

            if (extensions != nullptr)
                extensions->restoreJuceWrapperState (state.getData(), (int) state.getSize());
            else
                processor->setStateInformation (state.getData(), (int) state.getSize());
            return LV2_STATE_SUCCESS;
        }

        // A preset of the bundle: its settings, applied as a preset.
        if (const auto* data = retrieve (handle, urids.presetSettings, &size, &type, &flags))
        {
            const auto text = retrievedText (data, size, type, urids.atomString);

            if (text.isEmpty())
                return LV2_STATE_ERR_BAD_TYPE;

            if (extensions != nullptr)
                extensions->applyPresetText (text);
            return LV2_STATE_SUCCESS;
        }

        // The one unnamed program preset of the JUCE-built bundle: program 0.
        if (const auto* data = retrieve (handle, urids.program, &size, &type, &flags))
        {
            if (type != urids.atomInt || size != sizeof (int32_t))
                return LV2_STATE_ERR_BAD_TYPE;

            int32_t program = 0;
            std::memcpy (&program, data, sizeof (program));
            if (juce::isPositiveAndBelow (program, processor->getNumPrograms()))
                processor->setCurrentProgram (program);
            return LV2_STATE_SUCCESS;
        }

        return LV2_STATE_ERR_NO_PROPERTY;
    }
    catch (...)
    {
        return LV2_STATE_ERR_UNKNOWN;
    }
}

//==============================================================================
float Lv2Plugin::toPlain (const juce::AudioProcessorParameter& parameter, float normalised)
{
    if (const auto* ranged = dynamic_cast<const juce::RangedAudioParameter*> (&parameter))
        return ranged->convertFrom0to1 (juce::jlimit (0.0f, 1.0f, normalised));

    return juce::jlimit (0.0f, 1.0f, normalised);
}

float Lv2Plugin::toNormalised (const juce::AudioProcessorParameter& parameter, float plain)
{
    if (const auto* ranged = dynamic_cast<const juce::RangedAudioParameter*> (&parameter))
    {
        const auto& range = ranged->getNormalisableRange();
        return juce::jlimit (0.0f, 1.0f, ranged->convertTo0to1 (juce::jlimit (range.start, range.end, plain)));
    }

    return juce::jlimit (0.0f, 1.0f, plain);
}

bool Lv2Plugin::isSameValue (const juce::AudioProcessorParameter& parameter, float a, float b)
{
    auto span = 1.0f;

    if (const auto* ranged = dynamic_cast<const juce::RangedAudioParameter*> (&parameter))
        span = ranged->getNormalisableRange().end - ranged->getNormalisableRange().start;

    return std::abs (a - b) <= 1.0e-6f * std::abs (span);
}

} // namespace lv2binding
