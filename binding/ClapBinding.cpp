#include "ClapBinding.h"

#include "ClapEntry.h"

#include <cmath>
#include <cstring>

namespace clapbinding
{

namespace
{
    template <typename Fn>
    auto withBinding (const clap_plugin* plugin, Fn&& fn)
    {
        return fn (*ClapBinding::fromPlugin (plugin));
    }

    void copyString (char* destination, uint32_t capacity, const juce::String& text) noexcept
    {
        if (destination == nullptr || capacity == 0)
            return;
        text.copyToUTF8 (destination, capacity);
    }

    constexpr double fixedPointFactor = (double) CLAP_BEATTIME_FACTOR; // 2^31, beats and seconds alike
} // namespace

//==============================================================================
double ClapBinding::ParameterRecord::toClapValue (float normalised) const noexcept
{
    return isDiscreteRanged() ? (double) ranged->convertFrom0to1 (normalised) : (double) normalised;
}

float ClapBinding::ParameterRecord::fromClapValue (double clapValue) const noexcept
{
    const auto v = (float) clapValue;
    return isDiscreteRanged() ? ranged->convertTo0to1 (v) : v;
}

//==============================================================================
ClapBinding::ClapBinding (const clap_host* hostToUse, std::unique_ptr<juce::AudioProcessor> processorToOwn)
    : host (hostToUse),
      processor (std::move (processorToOwn)),
      outboundEntries ((size_t) outboundQueueSize)
{
    plugin.desc = &getDescriptor();
    plugin.plugin_data = this;
    plugin.init = [] (const clap_plugin* p) { return withBinding (p, [] (auto& b) { return b.init(); }); };
    plugin.destroy = [] (const clap_plugin* p) { ClapBinding::fromPlugin (p)->destroy(); };
    plugin.activate = [] (const clap_plugin* p, double rate, uint32_t minFrames, uint32_t maxFrames)
    { return withBinding (p, [=] (auto& b) { return b.activate (rate, minFrames, maxFrames); }); };
    plugin.deactivate = [] (const clap_plugin* p) { ClapBinding::fromPlugin (p)->deactivate(); };
    plugin.start_processing = [] (const clap_plugin* p) { return withBinding (p, [] (auto& b) { return b.startProcessing(); }); };
    plugin.stop_processing = [] (const clap_plugin* p) { ClapBinding::fromPlugin (p)->stopProcessing(); };
    plugin.reset = [] (const clap_plugin* p) { ClapBinding::fromPlugin (p)->reset(); };
    plugin.process = [] (const clap_plugin* p, const clap_process* pr) { return withBinding (p, [=] (auto& b) { return b.process (pr); }); };
    plugin.get_extension = [] (const clap_plugin* p, const char* id) { return withBinding (p, [=] (auto& b) { return b.getExtension (id); }); };
    plugin.on_main_thread = [] (const clap_plugin* p) { ClapBinding::fromPlugin (p)->onMainThread(); };

    processor->setRateAndBufferSizeDetails (0, 0);
    processor->setPlayHead (this);
    processor->addListener (this);

    parameterList = processor->getParameters();

    for (auto* parameter : parameterList)
    {
        const auto id = getParameterId (parameter);
        parameterIds.insert (id);
        recordsById[id] = { parameter, dynamic_cast<juce::RangedAudioParameter*> (parameter) };
        idsByParameter[parameter] = id;
    }
}

ClapBinding::~ClapBinding()
{
    processor->removeListener (this);
    processor->setPlayHead (nullptr);
    processor.reset();
}

ClapBinding* ClapBinding::fromPlugin (const clap_plugin* p) noexcept
{
    jassert (p != nullptr && p->plugin_data != nullptr);
    return static_cast<ClapBinding*> (p->plugin_data);
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

    if (auto* withId = dynamic_cast<juce::HostedAudioProcessorParameter*> (parameter))
        return parameterIdFromIdentifier (withId->getParameterID().toRawUTF8());

    return parameterIdFromIdentifier (juce::String (parameter->getParameterIndex()).toRawUTF8());
}

//==============================================================================
bool ClapBinding::init()
{
    if (host != nullptr && host->get_extension != nullptr)
        hostParams = static_cast<const clap_host_params*> (host->get_extension (host, CLAP_EXT_PARAMS));

    processor->setBusesLayout (processor->getBusesLayout());
    return true;
}

void ClapBinding::destroy()
{
    if (active)
        deactivate();

    delete this;
}

bool ClapBinding::activate (double sampleRate, uint32_t, uint32_t maxFrames)
{
    processor->setRateAndBufferSizeDetails (sampleRate, (int) maxFrames);
    processor->prepareToPlay (sampleRate, (int) maxFrames);
    midiBuffer.ensureSize (2048);
    midiBuffer.clear();
    activeSampleRate = sampleRate;
    active = true;
    return true;
}

void ClapBinding::deactivate()
{
    active = false;
}

bool ClapBinding::startProcessing() { return true; }

void ClapBinding::stopProcessing() {}

void ClapBinding::reset() { processor->reset(); }

void ClapBinding::onMainThread() {}

//==============================================================================
clap_process_status ClapBinding::process (const clap_process* p)
{
    transport = p->transport;
    hasTransport = transport != nullptr;

    drainOutboundQueue (p->out_events);

    const auto numFrames = p->frames_count;
    const auto numEvents = p->in_events != nullptr ? p->in_events->size (p->in_events) : 0u;
    auto eventAt = [p] (uint32_t i) { return p->in_events->get (p->in_events, i); };

    if (numFrames == 0)
    {
        for (uint32_t i = 0; i < numEvents; ++i)
            applyInputEvent (eventAt (i), 0);
        return CLAP_PROCESS_CONTINUE;
    }

    uint32_t applied = 0;
    while (applied < numEvents && eventAt (applied)->time < numFrames)
        applyInputEvent (eventAt (applied++), 0);

    // Gather output channels first, then bring the input into them (in place).
    channelPointers.fill (nullptr);
    int numOut = 0;
    for (uint32_t bus = 0; bus < p->audio_outputs_count && numOut < maxChannels; ++bus)
        for (uint32_t ch = 0; ch < p->audio_outputs[bus].channel_count && numOut < maxChannels; ++ch)
            if (auto* data = p->audio_outputs[bus].data32)
                channelPointers[(size_t) numOut++] = data[ch];

    int numIn = 0;
    for (uint32_t bus = 0; bus < p->audio_inputs_count && numIn < maxChannels; ++bus)
    {
        auto& input = p->audio_inputs[bus];
        for (uint32_t ch = 0; ch < input.channel_count && numIn < maxChannels; ++ch, ++numIn)
        {
            auto* source = input.data32 != nullptr ? input.data32[ch] : nullptr;
            if (numIn < numOut)
            {
                if (source != nullptr && source != channelPointers[(size_t) numIn])
                    std::memcpy (channelPointers[(size_t) numIn], source, sizeof (float) * numFrames);
            }
            else
            {
                channelPointers[(size_t) numIn] = source;
            }
        }
    }

    const auto numChannels = juce::jmax (numOut, numIn);
    juce::AudioBuffer<float> buffer (channelPointers.data(), numChannels, (int) numFrames);

    if (processor->isSuspended())
        buffer.clear();
    else
        processor->processBlock (buffer, midiBuffer);

    midiBuffer.clear();

    for (auto i = applied; i < numEvents; ++i)
        applyInputEvent (eventAt (i), numFrames);

    return CLAP_PROCESS_CONTINUE;
}

void ClapBinding::applyInputEvent (const clap_event_header* event, uint32_t offset) noexcept
{
    if (event == nullptr || event->space_id != CLAP_CORE_EVENT_SPACE_ID)
        return;

    const auto position = (int) event->time - (int) offset;

    switch (event->type)
    {
        case CLAP_EVENT_NOTE_ON:
        case CLAP_EVENT_NOTE_OFF:
        {
            const auto* note = reinterpret_cast<const clap_event_note*> (event);
            const auto channel = note->channel + 1;
            const auto key = juce::jlimit (0, 127, (int) note->key);
            const auto message = event->type == CLAP_EVENT_NOTE_ON
                                   ? juce::MidiMessage::noteOn (channel, key, (float) note->velocity)
                                   : juce::MidiMessage::noteOff (channel, key, (float) note->velocity);
            midiBuffer.addEvent (message, position);
            break;
        }

        case CLAP_EVENT_PARAM_VALUE:
            applyHostValue (reinterpret_cast<const clap_event_param_value*> (event));
            break;

        case CLAP_EVENT_MIDI:
        {
            const auto* midi = reinterpret_cast<const clap_event_midi*> (event);
            midiBuffer.addEvent (midi->data, 3, position);
            break;
        }

        case CLAP_EVENT_MIDI_SYSEX:
        {
            const auto* sysex = reinterpret_cast<const clap_event_midi_sysex*> (event);
            if (sysex->buffer != nullptr && sysex->size > 0)
                midiBuffer.addEvent (sysex->buffer, (int) sysex->size, position);
            break;
        }

        default:
            break;
    }
}

void ClapBinding::applyHostValue (const clap_event_param_value* event) noexcept
{
    const auto* record = event->cookie != nullptr ? static_cast<const ParameterRecord*> (event->cookie)
                                                  : findParameter (event->param_id);
    if (record == nullptr)
        return;

    const auto value = record->fromClapValue (event->value);
    if (record->parameter->getValue() == value)
        return;

    record->parameter->setValue (value);

    // Tell the editor and other listeners, but don't echo the host's own change back to it.
    const juce::ScopedValueSetter<bool> applying (applyingHostValue, true);
    record->parameter->sendValueChangedMessageToListeners (value);
}

//==============================================================================
void ClapBinding::pushOutbound (uint16_t type, clap_id id, float value) noexcept
{
    const auto scope = outboundFifo.write (1);
    if (scope.blockSize1 > 0)
        outboundEntries[(size_t) scope.startIndex1] = { (int) type, 0u, id, value };
    else if (scope.blockSize2 > 0)
        outboundEntries[(size_t) scope.startIndex2] = { (int) type, 0u, id, value };
}

void ClapBinding::drainOutboundQueue (const clap_output_events* out) noexcept
{
    while (outboundFifo.getNumReady() > 0)
    {
        OutboundEntry entry;
        {
            const auto scope = outboundFifo.read (1);
            entry = outboundEntries[(size_t) (scope.blockSize1 > 0 ? scope.startIndex1 : scope.startIndex2)];
        }

        if (out == nullptr || out->try_push == nullptr)
            continue;

        if (entry.type == CLAP_EVENT_PARAM_VALUE)
        {
            clap_event_param_value event {};
            event.header = { sizeof (clap_event_param_value), 0, CLAP_CORE_EVENT_SPACE_ID, CLAP_EVENT_PARAM_VALUE, entry.flags };
            event.param_id = entry.paramId;
            event.cookie = nullptr;
            event.note_id = 0;
            event.port_index = 0;
            event.channel = 0;
            event.key = 0;
            event.value = (double) entry.value;
            out->try_push (out, &event.header);
        }
        else if (entry.type == CLAP_EVENT_PARAM_GESTURE_BEGIN || entry.type == CLAP_EVENT_PARAM_GESTURE_END)
        {
            clap_event_param_gesture event {};
            event.header = { sizeof (clap_event_param_gesture), 0, CLAP_CORE_EVENT_SPACE_ID, (uint16_t) entry.type, entry.flags };
            event.param_id = entry.paramId;
            out->try_push (out, &event.header);
        }
    }
}

void ClapBinding::requestHostFlush() noexcept
{
    if (hostParams != nullptr && hostParams->rescan != nullptr && hostParams->clear != nullptr
        && hostParams->request_flush != nullptr)
        hostParams->request_flush (host);
}

void ClapBinding::audioProcessorParameterChanged (juce::AudioProcessor*, int index, float value)
{
    if (applyingHostValue || ! juce::isPositiveAndBelow (index, parameterList.size()))
        return;

    auto* parameter = parameterList[index];
    const auto id = getParameterId (parameter);
    const auto* record = findParameter (id);
    pushOutbound (CLAP_EVENT_PARAM_VALUE, id, record != nullptr ? (float) record->toClapValue (value) : value);
    requestHostFlush();
}

void ClapBinding::audioProcessorParameterChangeGestureBegin (juce::AudioProcessor*, int index)
{
    if (! juce::isPositiveAndBelow (index, parameterList.size()))
        return;
    auto* parameter = parameterList[index];
    const auto id = getParameterId (parameter);
    const auto* record = findParameter (id);
    pushOutbound (CLAP_EVENT_PARAM_GESTURE_BEGIN, id,
                  record != nullptr ? (float) record->toClapValue (parameter->getValue()) : parameter->getValue());
    requestHostFlush();
}

void ClapBinding::audioProcessorParameterChangeGestureEnd (juce::AudioProcessor*, int index)
{
    if (! juce::isPositiveAndBelow (index, parameterList.size()))
        return;
    auto* parameter = parameterList[index];
    const auto id = getParameterId (parameter);
    const auto* record = findParameter (id);
    pushOutbound (CLAP_EVENT_PARAM_GESTURE_END, id,
                  record != nullptr ? (float) record->toClapValue (parameter->getValue()) : parameter->getValue());
    requestHostFlush();
}

void ClapBinding::audioProcessorChanged (juce::AudioProcessor*, const ChangeDetails&) {}

juce::Optional<juce::AudioPlayHead::PositionInfo> ClapBinding::getPosition() const
{
    if (! hasTransport || transport == nullptr)
        return {};

    PositionInfo info;
    const auto flags = transport->flags;

    if ((flags & CLAP_TRANSPORT_HAS_TEMPO) != 0)
        info.setBpm (transport->tempo);

    if ((flags & CLAP_TRANSPORT_HAS_TIME_SIGNATURE) != 0)
        info.setTimeSignature (juce::AudioPlayHead::TimeSignature { transport->tsig_num, transport->tsig_denom });

    if ((flags & CLAP_TRANSPORT_HAS_BEATS_TIMELINE) != 0)
    {
        info.setPpqPosition ((double) transport->song_pos_beats / fixedPointFactor);
        info.setPpqPositionOfLastBarStart ((double) transport->bar_start / fixedPointFactor);
        info.setLoopPoints (juce::AudioPlayHead::LoopPoints { (double) transport->loop_start_beats / fixedPointFactor,
                                                              (double) transport->loop_end_beats / fixedPointFactor });
        info.setBarCount (transport->bar_number);
    }

    if ((flags & CLAP_TRANSPORT_HAS_SECONDS_TIMELINE) != 0)
    {
        const auto seconds = (double) transport->song_pos_seconds / fixedPointFactor;
        info.setTimeInSeconds (seconds);
        info.setTimeInSamples ((int64_t) (activeSampleRate * seconds));
    }

    info.setIsPlaying ((flags & CLAP_TRANSPORT_IS_PLAYING) != 0);
    info.setIsRecording ((flags & CLAP_TRANSPORT_IS_RECORDING) != 0);
    info.setIsLooping ((flags & CLAP_TRANSPORT_IS_LOOP_ACTIVE) != 0);
    return info;
}

//==============================================================================
const void* ClapBinding::getExtension (const char* id)
{
    if (id == nullptr)
        return nullptr;
    if (std::strcmp (id, CLAP_EXT_STATE) == 0)
        return &stateExtension;
    if (std::strcmp (id, CLAP_EXT_LATENCY) == 0)
        return &latencyExtension;
    if (std::strcmp (id, CLAP_EXT_AUDIO_PORTS) == 0)
        return &audioPortsExtension;
    if (std::strcmp (id, CLAP_EXT_PARAMS) == 0)
        return &paramsExtension;
    return nullptr;
}

//==============================================================================
uint32_t ClapBinding::paramsCount() const noexcept { return (uint32_t) parameterIds.size(); }

bool ClapBinding::paramsGetInfo (uint32_t index, clap_param_info* info) const noexcept
{
    if (info == nullptr || ! juce::isPositiveAndBelow ((int) index, parameterList.size()))
        return false;

    auto* parameter = parameterList[(int) index];
    const auto id = getParameterId (parameter);
    const auto* record = findParameter (id);

    *info = {};
    info->id = id;
    info->flags = (parameter->isAutomatable() ? (uint32_t) CLAP_PARAM_IS_AUTOMATABLE : 0u)
                | (parameter->isBoolean() ? (uint32_t) CLAP_PARAM_IS_STEPPED : 0u);
    info->cookie = const_cast<ParameterRecord*> (record);
    copyString (info->name, CLAP_NAME_SIZE, parameter->getName (CLAP_NAME_SIZE));
    copyString (info->module, CLAP_PATH_SIZE, {});

    if (record != nullptr && record->isDiscreteRanged())
    {
        const auto& range = record->ranged->getNormalisableRange();
        info->min_value = range.start;
        info->max_value = range.end;
        info->default_value = record->ranged->convertFrom0to1 (parameter->getDefaultValue());
    }
    else
    {
        info->min_value = 0.0;
        info->max_value = 1.0;
        info->default_value = parameter->getDefaultValue();
    }
    return true;
}

bool ClapBinding::paramsGetValue (clap_id id, double* value) const noexcept
{
    const auto* record = findParameter (id);
    if (record == nullptr || value == nullptr)
        return false;
    *value = record->toClapValue (record->parameter->getValue());
    return true;
}

bool ClapBinding::paramsValueToText (clap_id id, double value, char* display, uint32_t size) const noexcept
{
    const auto* record = findParameter (id);
    if (record == nullptr || display == nullptr)
        return false;
    copyString (display, size, record->parameter->getText (record->fromClapValue (value), (int) size));
    return true;
}

bool ClapBinding::paramsTextToValue (clap_id id, const char* display, double* value) const noexcept
{
    const auto* record = findParameter (id);
    if (record == nullptr || display == nullptr || value == nullptr)
        return false;
    *value = record->toClapValue (record->parameter->getValueForText (juce::String::fromUTF8 (display)));
    return true;
}

void ClapBinding::paramsFlush (const clap_input_events* in, const clap_output_events* out) noexcept
{
    drainOutboundQueue (out);

    if (in == nullptr)
        return;
    for (uint32_t i = 0, n = in->size (in); i < n; ++i)
        applyInputEvent (in->get (in, i), 0);
}

const clap_plugin_params ClapBinding::paramsExtension {
    [] (const clap_plugin* p) { return fromPlugin (p)->paramsCount(); },
    [] (const clap_plugin* p, uint32_t i, clap_param_info* info) { return fromPlugin (p)->paramsGetInfo (i, info); },
    [] (const clap_plugin* p, clap_id id, double* v) { return fromPlugin (p)->paramsGetValue (id, v); },
    [] (const clap_plugin* p, clap_id id, double v, char* d, uint32_t s) { return fromPlugin (p)->paramsValueToText (id, v, d, s); },
    [] (const clap_plugin* p, clap_id id, const char* d, double* v) { return fromPlugin (p)->paramsTextToValue (id, d, v); },
    [] (const clap_plugin* p, const clap_input_events* in, const clap_output_events* out) { fromPlugin (p)->paramsFlush (in, out); }
};

//==============================================================================
uint32_t ClapBinding::audioPortsCount (bool isInput) const noexcept
{
    return (uint32_t) processor->getBusCount (isInput);
}

bool ClapBinding::audioPortsGet (uint32_t index, bool isInput, clap_audio_port_info* info) const noexcept
{
    auto* bus = processor->getBus (isInput, (int) index);
    if (bus == nullptr || info == nullptr)
        return false;

    *info = {};
    info->id = isInput ? 0x8000u + index : 1u + index;
    copyString (info->name, CLAP_NAME_SIZE, bus->getName());
    info->flags = index == 0 ? (uint32_t) CLAP_AUDIO_PORT_IS_MAIN : 0u;
    const auto layout = bus->getCurrentLayout();
    info->channel_count = (uint32_t) layout.size();
    info->port_type = layout == juce::AudioChannelSet::mono()     ? CLAP_PORT_MONO
                    : layout == juce::AudioChannelSet::stereo() ? CLAP_PORT_STEREO
                                                                 : nullptr;
    const auto hasPair = processor->getBus (! isInput, (int) index) != nullptr;
    info->in_place_pair = hasPair ? (isInput ? 1u + index : 0x8000u + index) : CLAP_INVALID_ID;
    return true;
}

const clap_plugin_audio_ports ClapBinding::audioPortsExtension {
    [] (const clap_plugin* p, bool isInput) { return fromPlugin (p)->audioPortsCount (isInput); },
    [] (const clap_plugin* p, uint32_t i, bool isInput, clap_audio_port_info* info) { return fromPlugin (p)->audioPortsGet (i, isInput, info); }
};

const clap_plugin_latency ClapBinding::latencyExtension {
    [] (const clap_plugin* p) { return (uint32_t) juce::jmax (0, fromPlugin (p)->processor->getLatencySamples()); }
};

//==============================================================================
bool ClapBinding::stateSave (const clap_ostream* stream)
{
    const juce::ScopedLock lock (stateLock);
    stateScratch.reset();
    processor->getStateInformation (stateScratch);

    const auto* data = static_cast<const char*> (stateScratch.getData());
    auto remaining = (int64_t) stateScratch.getSize();

    // A host stream that accepts nothing must not keep us here forever.
    int zeroWrites = 0;
    while (remaining > 0)
    {
        const auto written = stream->write (stream, data, (uint64_t) remaining);
        if (written < 0)
            return false;
        if (written == 0 && ++zeroWrites > 16)
            return false;
        data += written;
        remaining -= written;
    }
    return true;
}

bool ClapBinding::stateLoad (const clap_istream* stream)
{
    const juce::ScopedLock lock (stateLock);
    stateScratch.reset();

    char piece[4096];
    for (;;)
    {
        const auto got = stream->read (stream, piece, sizeof (piece));
        if (got < 0)
        {
            stateScratch.reset();
            return false;
        }
        if (got == 0)
            break;
        stateScratch.append (piece, (size_t) got);
    }

    if (stateScratch.getSize() == 0)
        return false;

    processor->setStateInformation (stateScratch.getData(), (int) stateScratch.getSize());
    stateScratch.reset();
    return true;
}

const clap_plugin_state ClapBinding::stateExtension {
    [] (const clap_plugin* p, const clap_ostream* s) { return fromPlugin (p)->stateSave (s); },
    [] (const clap_plugin* p, const clap_istream* s) { return fromPlugin (p)->stateLoad (s); }
};

} // namespace clapbinding
