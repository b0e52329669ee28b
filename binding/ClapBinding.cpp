#include "ClapBinding.h"

#include "ClapEntry.h"
#include "EditorWrapperComponent.h"
#include "GuiSizing.h"
#include "QueuedWindowEvents.h"

// JUCE's own wrappers read a processor's parameters through this wrapper; it is a header in all
// but name (every member is defined in its class), so including it here is safe.
#include <juce_audio_processors/format_types/juce_LegacyAudioParameter.cpp>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>

#if JUCE_MAC
    #include <objc/message.h>
    #include <objc/runtime.h>
#endif

namespace clapbinding
{

namespace
{
    /** Copies text into a host's fixed buffer, cut at a character boundary and always terminated. */
    void copyString (char* destination, uint32_t capacityBytes, const juce::String& text) noexcept
    {
        if (destination == nullptr || capacityBytes == 0)
            return;

        destination[0] = '\0';
        text.copyToUTF8 (destination, capacityBytes);
        destination[capacityBytes - 1] = '\0';
    }

    constexpr double fixedPointFactor = (double) CLAP_BEATTIME_FACTOR; // 2^31, beats and seconds alike

    /** A host stream that keeps accepting nothing gets this many more tries before a save fails. */
    constexpr int maxIdleWrites = 8;

    constexpr uint32_t noteInputPortId = 32;
    constexpr uint32_t noteOutputPortId = 4;

    /** The host's native window as JUCE wants it, or null when the handle is not of this platform. */
    void* nativeHandleFor (const clap_window* window) noexcept
    {
        if (window == nullptr || window->api == nullptr)
            return nullptr;

#if JUCE_LINUX || JUCE_BSD
        if (std::strcmp (window->api, CLAP_WINDOW_API_X11) == 0)
            return reinterpret_cast<void*> (static_cast<juce::pointer_sized_uint> (window->x11));
#elif JUCE_MAC
        if (std::strcmp (window->api, CLAP_WINDOW_API_COCOA) == 0)
            return window->cocoa;
#elif JUCE_WINDOWS
        if (std::strcmp (window->api, CLAP_WINDOW_API_WIN32) == 0)
            return window->win32;
#endif
        return nullptr;
    }

#if JUCE_MAC
    /** JUCE 7 editors have no say in layer-backed views; they all render through Core Graphics. */
    bool editorWantsLayerBackedView (const juce::AudioProcessorEditor&) noexcept { return false; }

    /** Hosts' windows often ignore mouse moves, which hover effects in the editor need. */
    void acceptMouseMovedEvents (void* nsView) noexcept
    {
        using SendId = id (*) (id, SEL);
        using SendBool = void (*) (id, SEL, BOOL);
        const auto window = reinterpret_cast<SendId> (objc_msgSend) (static_cast<id> (nsView), sel_registerName ("window"));

        if (window != nullptr)
            reinterpret_cast<SendBool> (objc_msgSend) (window, sel_registerName ("setAcceptsMouseMovedEvents:"), YES);
    }
#endif
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
    : clapcheck::CheckedPlugin (&getDescriptor(), host),
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
        parameterIds.insert (id);
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

bool ClapBinding::startProcessing() noexcept { return true; }

void ClapBinding::stopProcessing() noexcept {}

void ClapBinding::reset() noexcept { processor->reset(); }

void ClapBinding::onMainThread() noexcept
{
    // The base has already run the queued main-thread tasks.
}

//==============================================================================
clap_process_status ClapBinding::process (const clap_process* p) noexcept
{
    transport = p->transport;
    hasTransport = transport != nullptr;

    drainOutboundQueue (p->out_events);

    const auto numFrames = p->frames_count;
    const auto* in = p->in_events;
    const auto numEvents = (in != nullptr && in->size != nullptr && in->get != nullptr) ? in->size (in) : 0u;
    const auto eventAt = [in] (uint32_t i) { return in->get (in, i); };

    if (numFrames == 0)
    {
        for (uint32_t i = 0; i < numEvents; ++i)
            applyInputEvent (eventAt (i), 0);

        transport = nullptr;
        hasTransport = false;
        return CLAP_PROCESS_CONTINUE;
    }

    // Events inside the block take effect before it: the block is never split.
    uint32_t applied = 0;

    for (; applied < numEvents; ++applied)
    {
        const auto* event = eventAt (applied);

        if (event != nullptr && event->time >= numFrames)
            break;

        applyInputEvent (event, 0);
    }

    // Output channels first; the input is then brought into them, so the processor works in
    // place. Input channels beyond the outputs are processed in the host's input memory.
    channelPointers.fill (nullptr);
    int numOut = 0;

    if (p->audio_outputs != nullptr)
    {
        for (uint32_t bus = 0; bus < p->audio_outputs_count && numOut < maxChannels; ++bus)
        {
            const auto& output = p->audio_outputs[bus];

            if (output.channel_count == 0 || output.data32 == nullptr)
                continue;

            for (uint32_t ch = 0; ch < output.channel_count && numOut < maxChannels; ++ch)
                channelPointers[(size_t) numOut++] = output.data32[ch];
        }
    }

    int numIn = 0;

    if (p->audio_inputs != nullptr)
    {
        for (uint32_t bus = 0; bus < p->audio_inputs_count && numIn < maxChannels; ++bus)
        {
            const auto& input = p->audio_inputs[bus];

            if (input.data32 == nullptr)
                continue;

            const auto channels = (int) std::min<uint32_t> (input.channel_count, (uint32_t) (maxChannels - numIn));

            for (int ch = 0; ch < channels; ++ch)
            {
                const auto j = (size_t) (numIn + ch);
                auto* source = input.data32[ch];

                if ((int) j < numOut)
                {
                    if (source != nullptr && channelPointers[j] != nullptr && source != channelPointers[j])
                        std::memmove (channelPointers[j], source, sizeof (float) * numFrames);
                }
                else
                {
                    channelPointers[j] = source;
                }
            }

            numIn += channels;
        }
    }

    auto numChannels = juce::jmax (numOut, numIn);

    // A host that passes fewer channels than the buses have must not make the processor write
    // through a missing channel: the missing ones are silent spare channels.
    bool canProcess = true;

    if (numChannels < spareChannels.getNumChannels())
    {
        canProcess = numFrames <= (uint32_t) spareChannels.getNumSamples();

        for (auto ch = numChannels; canProcess && ch < spareChannels.getNumChannels(); ++ch)
        {
            spareChannels.clear (ch, 0, (int) numFrames);
            channelPointers[(size_t) ch] = spareChannels.getWritePointer (ch);
        }

        if (canProcess)
            numChannels = spareChannels.getNumChannels();
    }

    juce::AudioBuffer<float> buffer (channelPointers.data(), numChannels, (int) numFrames);
    auto status = CLAP_PROCESS_CONTINUE;

    if (! canProcess)
    {
        buffer.clear();
    }
    else if (extensions != nullptr)
    {
        // The processor guards its own blocks against a restore (see ClapProcessorExtensions).
        processor->processBlock (buffer, midiBuffer);

        // CLAP lets the latency change only at activation: the host restarts us to learn it.
        if (extensions->getRunningLatencySamples() != processor->getLatencySamples())
            notifyHostLatencyChanged();

        // The processor judges by its own output and memories, never cutting a tail; the host
        // still checks the output before it stops calling, and treats this as continue if it
        // does not measure.
        if (extensions->isSilentUntilInput())
            status = CLAP_PROCESS_CONTINUE_IF_NOT_QUIET;
    }
    else
    {
        // JUCE's contract: a processor that suspends itself holds the callback lock meanwhile.
        // Rather than wait for it, this block is silent, as while the processor is suspended.
        const juce::ScopedTryLock callbackLock (processor->getCallbackLock());

        if (! callbackLock.isLocked() || processor->isSuspended())
            buffer.clear();
        else
            processor->processBlock (buffer, midiBuffer);
    }

    sendMidiOut (p->out_events);
    midiBuffer.clear();

    // Events past the block's end act from the next block on (MIDI lands there at time - frames),
    // so the host must call again.
    if (applied < numEvents)
        status = CLAP_PROCESS_CONTINUE;

    for (auto i = applied; i < numEvents; ++i)
        applyInputEvent (eventAt (i), numFrames);

    quietUntilInput.store (status != CLAP_PROCESS_CONTINUE, std::memory_order_relaxed);

    // The host's transport record belongs to this call only.
    transport = nullptr;
    hasTransport = false;
    return status;
}

void ClapBinding::wakeIfQuiet() noexcept
{
    // A change made while the host has stopped calling process must still be processed over
    // silence (ramps, fades), as it would have been had the host kept calling.
    if (quietUntilInput.exchange (false, std::memory_order_relaxed))
        getHostInterfaces().requestProcess();
}

void ClapBinding::sendMidiOut (const clap_output_events* out) noexcept
{
    if (out == nullptr || out->try_push == nullptr || ! processor->producesMidi())
        return;

    for (const auto metadata : midiBuffer)
    {
        if (metadata.numBytes != 3)
            continue;

        clap_event_midi event {};
        event.header.size = sizeof (clap_event_midi);
        event.header.time = (uint32_t) juce::jmax (0, metadata.samplePosition);
        event.header.space_id = CLAP_CORE_EVENT_SPACE_ID;
        event.header.type = CLAP_EVENT_MIDI;
        event.header.flags = 0;
        event.port_index = 0;
        std::memcpy (event.data, metadata.data, 3);
        out->try_push (out, &event.header);
    }
}

void ClapBinding::applyInputEvent (const clap_event_header* event, uint32_t offset) noexcept
{
    if (event == nullptr || event->space_id != CLAP_CORE_EVENT_SPACE_ID)
        return;

    const auto position = (int) juce::jlimit<int64_t> (0, INT_MAX, (int64_t) event->time - (int64_t) offset);

    switch (event->type)
    {
        case CLAP_EVENT_NOTE_ON:
        case CLAP_EVENT_NOTE_OFF:
        {
            if (event->size < sizeof (clap_event_note))
                return;

            const auto* note = reinterpret_cast<const clap_event_note*> (event);
            const auto channel = juce::jlimit (1, 16, (int) note->channel + 1);
            const auto key = juce::jlimit (0, 127, (int) note->key);
            const auto velocity = (float) note->velocity;
            const auto message = event->type == CLAP_EVENT_NOTE_ON ? juce::MidiMessage::noteOn (channel, key, velocity)
                                                                   : juce::MidiMessage::noteOff (channel, key, velocity);
            midiBuffer.addEvent (message, position);
            break;
        }

        case CLAP_EVENT_PARAM_VALUE:
            if (event->size >= sizeof (clap_event_param_value))
                applyHostValue (reinterpret_cast<const clap_event_param_value*> (event));
            break;

        case CLAP_EVENT_MIDI:
        {
            if (event->size < sizeof (clap_event_midi))
                return;

            const auto* midi = reinterpret_cast<const clap_event_midi*> (event);
            midiBuffer.addEvent (midi->data, 3, position);
            break;
        }

        case CLAP_EVENT_MIDI_SYSEX:
        {
            if (event->size < sizeof (clap_event_midi_sysex))
                return;

            const auto* sysex = reinterpret_cast<const clap_event_midi_sysex*> (event);

            if (sysex->buffer != nullptr && sysex->size > 0)
                midiBuffer.addEvent (sysex->buffer, (int) std::min<uint32_t> (sysex->size, INT_MAX), position);
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

    if (record == nullptr || ! std::isfinite (event->value))
        return;

    // Out-of-range values from the host are held at the parameter's ends.
    const auto value = juce::jlimit (0.0f, 1.0f, record->fromClapValue (event->value));

    if (record->parameter->getValue() == value)
        return;

    record->parameter->setValue (value);

    // The editor and the other listeners follow; the change is not echoed back to the host.
    const auto* previous = applyingHostValue;
    applyingHostValue = this;
    record->parameter->sendValueChangedMessageToListeners (value);
    applyingHostValue = previous;
}

//==============================================================================
void ClapBinding::pushOutbound (uint16_t type, clap_id id, float clapValue) noexcept
{
    // A full queue drops the entry; the host still gets its flush request.
    const auto scope = outboundFifo.write (1);

    if (scope.blockSize1 > 0)
        outboundEntries[(size_t) scope.startIndex1] = { (int) type, 0u, id, clapValue };
}

void ClapBinding::drainOutboundQueue (const clap_output_events* out) noexcept
{
    const bool canPush = out != nullptr && out->try_push != nullptr;

    // What is queued while this runs waits for the next drain, so a busy writer cannot hold the
    // audio thread here.
    for (auto remaining = outboundFifo.getNumReady(); remaining > 0; --remaining)
    {
        OutboundEntry entry;
        {
            const auto scope = outboundFifo.read (1);

            if (scope.blockSize1 <= 0)
                break;

            entry = outboundEntries[(size_t) scope.startIndex1];
        }

        if (! canPush)
            continue;

        if (entry.type == CLAP_EVENT_PARAM_VALUE)
        {
            clap_event_param_value event {};
            event.header.size = sizeof (clap_event_param_value);
            event.header.time = 0;
            event.header.space_id = CLAP_CORE_EVENT_SPACE_ID;
            event.header.type = CLAP_EVENT_PARAM_VALUE;
            event.header.flags = entry.flags;
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
            event.header.size = sizeof (clap_event_param_gesture);
            event.header.time = 0;
            event.header.space_id = CLAP_CORE_EVENT_SPACE_ID;
            event.header.type = (uint16_t) entry.type;
            event.header.flags = entry.flags;
            event.param_id = entry.paramId;
            out->try_push (out, &event.header);
        }
    }
}

void ClapBinding::queueOutbound (uint16_t type, int parameterIndex, float normalisedValue) noexcept
{
    if (! juce::isPositiveAndBelow (parameterIndex, parameterList.size()))
        return;

    auto* parameter = parameterList.getUnchecked (parameterIndex);
    const auto id = getParameterId (parameter);
    const auto* record = findParameter (id);
    const auto clapValue = record != nullptr && record->isDiscreteRanged()
                               ? record->ranged->convertFrom0to1 (normalisedValue)
                               : normalisedValue;

    pushOutbound (type, id, clapValue);
    requestHostParamsFlush();
}

void ClapBinding::audioProcessorParameterChanged (juce::AudioProcessor*, int index, float value)
{
    if (applyingHostValue == this || loadingState == this)
        return;

    queueOutbound (CLAP_EVENT_PARAM_VALUE, index, value);
    wakeIfQuiet();
}

void ClapBinding::audioProcessorParameterChangeGestureBegin (juce::AudioProcessor*, int index)
{
    if (loadingState != this && juce::isPositiveAndBelow (index, parameterList.size()))
        queueOutbound (CLAP_EVENT_PARAM_GESTURE_BEGIN, index, parameterList.getUnchecked (index)->getValue());
}

void ClapBinding::audioProcessorParameterChangeGestureEnd (juce::AudioProcessor*, int index)
{
    if (loadingState != this && juce::isPositiveAndBelow (index, parameterList.size()))
        queueOutbound (CLAP_EVENT_PARAM_GESTURE_END, index, parameterList.getUnchecked (index)->getValue());
}

void ClapBinding::audioProcessorChanged (juce::AudioProcessor*, const ChangeDetails& details)
{
    // Any thread: a latency change while active asks for a restart without a lock; the other
    // notifications reach the host on its main thread.
    if (details.latencyChanged)
        notifyHostLatencyChanged();

    if (details.programChanged)
        notifyHostParamsRescan (CLAP_PARAM_RESCAN_VALUES);

    if (details.nonParameterStateChanged)
        notifyHostStateDirty();

    if (details.parameterInfoChanged)
        notifyHostParamsRescan (CLAP_PARAM_RESCAN_VALUES | CLAP_PARAM_RESCAN_TEXT | CLAP_PARAM_RESCAN_INFO);
}

juce::Optional<juce::AudioPlayHead::PositionInfo> ClapBinding::getPosition() const
{
    if (! hasTransport || transport == nullptr)
        return {};

    PositionInfo info;
    const auto flags = transport->flags;

    if ((flags & CLAP_TRANSPORT_HAS_TEMPO) != 0)
        info.setBpm (transport->tempo);

    if ((flags & CLAP_TRANSPORT_HAS_TIME_SIGNATURE) != 0)
        info.setTimeSignature (TimeSignature { transport->tsig_num, transport->tsig_denom });

    if ((flags & CLAP_TRANSPORT_HAS_BEATS_TIMELINE) != 0)
    {
        info.setPpqPosition ((double) transport->song_pos_beats / fixedPointFactor);
        info.setPpqPositionOfLastBarStart ((double) transport->bar_start / fixedPointFactor);
        info.setLoopPoints (LoopPoints { (double) transport->loop_start_beats / fixedPointFactor,
                                         (double) transport->loop_end_beats / fixedPointFactor });
        info.setBarCount (transport->bar_number);
    }

    if ((flags & CLAP_TRANSPORT_HAS_SECONDS_TIMELINE) != 0)
    {
        const auto seconds = (double) transport->song_pos_seconds / fixedPointFactor;
        info.setTimeInSeconds (seconds);
        info.setTimeInSamples ((int64_t) (getSampleRate() * seconds));
    }

    info.setIsPlaying ((flags & CLAP_TRANSPORT_IS_PLAYING) != 0);
    info.setIsRecording ((flags & CLAP_TRANSPORT_IS_RECORDING) != 0);
    info.setIsLooping ((flags & CLAP_TRANSPORT_IS_LOOP_ACTIVE) != 0);
    return info;
}

//==============================================================================
uint32_t ClapBinding::paramsCount() const noexcept { return (uint32_t) parameterIds.size(); }

juce::String ClapBinding::groupPathOf (juce::AudioProcessorParameter* parameter) const
{
    const auto groups = parameterWrapper->getGroup().getGroupsForParameter (parameter);
    juce::String path;

    // Innermost group first; the root (unnamed) and its direct children add nothing.
    for (const auto* group = groups.isEmpty() ? nullptr : groups.getLast();
         group != nullptr && group->getParent() != nullptr && group->getParent()->getName().isNotEmpty();
         group = group->getParent())
    {
        path = group->getName() + "/" + path;
    }

    return path.isEmpty() ? path : "/" + path;
}

bool ClapBinding::paramsGetInfo (uint32_t index, clap_param_info* info) const noexcept
{
    if (! juce::isPositiveAndBelow ((int) index, parameterList.size()))
        return false;

    try
    {
        auto* parameter = parameterList.getUnchecked ((int) index);
        const auto id = getParameterId (parameter);
        const auto* record = findParameter (id);

        *info = {};
        info->id = id;
        info->flags = (parameter->isAutomatable() ? (uint32_t) CLAP_PARAM_IS_AUTOMATABLE : 0u)
                    | (parameter->isBoolean() || (record != nullptr && record->isStepped()) ? (uint32_t) CLAP_PARAM_IS_STEPPED : 0u);
        info->cookie = const_cast<ParameterRecord*> (record);
        copyString (info->name, CLAP_NAME_SIZE, parameter->getName (CLAP_NAME_SIZE));
        copyString (info->module, CLAP_PATH_SIZE, groupPathOf (parameter));

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
    catch (...)
    {
        return false;
    }
}

bool ClapBinding::paramsGetValue (clap_id id, double* value) const noexcept
{
    const auto* record = findParameter (id);

    if (record == nullptr)
        return false;

    *value = record->toClapValue (record->parameter->getValue());
    return true;
}

bool ClapBinding::paramsValueToText (clap_id id, double value, char* display, uint32_t size) const noexcept
{
    const auto* record = findParameter (id);

    if (record == nullptr)
        return false;

    try
    {
        const auto maxLength = (int) std::min<uint32_t> (size, INT_MAX);
        copyString (display, size, record->parameter->getText (record->fromClapValue (value), maxLength));
        return true;
    }
    catch (...)
    {
        return false;
    }
}

bool ClapBinding::paramsTextToValue (clap_id id, const char* display, double* value) const noexcept
{
    const auto* record = findParameter (id);

    if (record == nullptr)
        return false;

    try
    {
        *value = record->toClapValue (record->parameter->getValueForText (juce::String::fromUTF8 (display)));
        return true;
    }
    catch (...)
    {
        return false;
    }
}

void ClapBinding::paramsFlush (const clap_input_events* in, const clap_output_events* out) noexcept
{
    drainOutboundQueue (out);

    if (in->size == nullptr || in->get == nullptr)
        return;

    const auto n = in->size (in);

    for (uint32_t i = 0; i < n; ++i)
        applyInputEvent (in->get (in, i), 0);

    // Values set outside process still glide: a sleeping instance must run again.
    if (n > 0)
        wakeIfQuiet();
}

//==============================================================================
bool ClapBinding::stateSave (const clap_ostream* stream) noexcept
{
    if (stream->write == nullptr)
        return false;

    try
    {
        const juce::ScopedLock lock (stateLock);
        stateScratch.reset();
        processor->getStateInformation (stateScratch);

        const auto* data = static_cast<const uint8_t*> (stateScratch.getData());
        auto remaining = (uint64_t) stateScratch.getSize();
        int idleWrites = 0;
        bool complete = true;

        while (remaining > 0)
        {
            const auto written = stream->write (stream, data, remaining);

            if (written < 0)
            {
                complete = false;
                break;
            }

            // A stream that keeps taking nothing would hold the host's main thread here forever.
            if (written == 0)
            {
                if (++idleWrites >= maxIdleWrites)
                {
                    complete = false;
                    break;
                }

                continue;
            }

            idleWrites = 0;
            const auto step = std::min ((uint64_t) written, remaining);
            data += step;
            remaining -= step;
        }

        stateScratch.reset();
        return complete;
    }
    catch (...)
    {
        return false;
    }
}

bool ClapBinding::stateLoad (const clap_istream* stream) noexcept
{
    if (stream->read == nullptr)
        return false;

    try
    {
        const juce::ScopedLock lock (stateLock);
        stateScratch.reset();

        // A stream that keeps giving must not hold the host's main thread or its memory.
        const auto maxBytes = std::min<size_t> ((size_t) INT_MAX,
                                                extensions != nullptr ? extensions->getMaximumStateBytes() : (size_t) INT_MAX);
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

            stateScratch.append (piece, (size_t) std::min<int64_t> (got, (int64_t) sizeof (piece)));

            if (stateScratch.getSize() > maxBytes)
            {
                stateScratch.reset();
                return false;
            }
        }

        if (stateScratch.getSize() == 0)
            return false;

        auto accepted = true;
        {
            const juce::ScopedValueSetter<const ClapBinding*> loading (loadingState, this);

            if (extensions != nullptr)
                accepted = extensions->loadStateInformation (stateScratch.getData(), (int) stateScratch.getSize());
            else
                processor->setStateInformation (stateScratch.getData(), (int) stateScratch.getSize());
        }

        stateScratch.reset();

        if (accepted)
        {
            // The restored values are not edits: the host reads them again without recording
            // automation or marking the project changed.
            callHostParamsRescan (CLAP_PARAM_RESCAN_VALUES);
            wakeIfQuiet();
        }

        return accepted;
    }
    catch (...)
    {
        // Out of memory while reading: the processor has not been touched.
        stateScratch.reset();
        return false;
    }
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

//==============================================================================
bool ClapBinding::implementsGui() const noexcept { return processor->hasEditor(); }

bool ClapBinding::hasEditor() const noexcept
{
    return editorWrapper != nullptr && editorWrapper->getEditor() != nullptr;
}

bool ClapBinding::guiIsApiSupported (const char* api, bool isFloating) noexcept
{
    if (isFloating)
        return false;

    return std::strcmp (api, CLAP_WINDOW_API_WIN32) == 0 || std::strcmp (api, CLAP_WINDOW_API_COCOA) == 0
        || std::strcmp (api, CLAP_WINDOW_API_X11) == 0;
}

bool ClapBinding::guiCreate (const char*, bool isFloating) noexcept
{
    if (isFloating)
        return false;

    try
    {
        const juce::MessageManagerLock messageManagerLock;

        if (editorWrapper == nullptr)
            editorWrapper = std::make_unique<EditorWrapperComponent> (getHostInterfaces(), *this, idsByParameter);

        // A host that set its scale before this editor existed still gets it applied.
        editorWrapper->setEditor (processor->createEditorIfNeeded(), guiScale);
        return hasEditor();
    }
    catch (...)
    {
        return false;
    }
}

void ClapBinding::guiDestroy() noexcept
{
    // An open menu would otherwise outlive the window it belongs to.
    juce::PopupMenu::dismissAllActiveMenus();

    if (guiEventLoop != nullptr && parentAttached)
        guiEventLoop->guiDetached (getHostInterfaces());

    editorWrapper.reset();
    parentAttached = false;
}

bool ClapBinding::guiSetScale (double scale) noexcept
{
    // A zero, negative or non-finite scale would give the editor a transform it cannot invert.
    if (! (std::isfinite (scale) && scale > 0.0))
        return false;

    // Some hosts give percentages.
    guiScale = (float) (scale > 50.0 ? scale * 0.01 : scale);

    if (editorWrapper != nullptr)
        editorWrapper->rescale (guiScale);

    return true;
}

bool ClapBinding::guiGetSize (uint32_t* width, uint32_t* height) noexcept
{
    const juce::MessageManagerLock messageManagerLock;

    if (! hasEditor())
    {
        *width = 1000;
        *height = 800;
        return false;
    }

    *width = (uint32_t) juce::jmax (0, editorWrapper->getWidth());
    *height = (uint32_t) juce::jmax (0, editorWrapper->getHeight());
    return true;
}

bool ClapBinding::guiCanResize() noexcept
{
    return hasEditor() ? editorWrapper->getEditor()->isResizable() : true;
}

bool ClapBinding::guiGetResizeHints (clap_gui_resize_hints* hints) noexcept
{
    if (! hasEditor())
        return false;

    *hints = resizeHintsOf (*editorWrapper->getEditor());
    return true;
}

bool ClapBinding::guiAdjustSize (uint32_t* width, uint32_t* height) noexcept
{
    if (! hasEditor() || ! editorWrapper->getEditor()->isResizable())
        return false;

    const auto* constrainer = editorWrapper->getEditor()->getConstrainer();

    if (constrainer == nullptr)
        return true;

    const auto adjusted = adjustedHostSize (*constrainer, { (int64_t) *width, (int64_t) *height }, guiScale);
    *width = (uint32_t) juce::jmax (0, adjusted.x);
    *height = (uint32_t) juce::jmax (0, adjusted.y);
    return true;
}

bool ClapBinding::guiSetSize (uint32_t width, uint32_t height) noexcept
{
    if (! hasEditor() || ! editorWrapper->getEditor()->isResizable())
        return false;

    editorWrapper->setSize ((int) std::min<uint32_t> (width, INT_MAX), (int) std::min<uint32_t> (height, INT_MAX));
    return true;
}

bool ClapBinding::guiSetParent (const clap_window* window) noexcept
{
    // A handle of another platform's window system must never reach this one's.
    auto* nativeParent = nativeHandleFor (window);

    if (nativeParent == nullptr || editorWrapper == nullptr)
        return false;

    try
    {
        const juce::MessageManagerLock messageManagerLock;

        // A host may move the GUI to another window; the event loop hears of it as a new attachment.
        if (guiEventLoop != nullptr && parentAttached)
            guiEventLoop->guiDetached (getHostInterfaces());

        parentAttached = true;

        int styleFlags = juce::ComponentPeer::windowIgnoresKeyPresses;

#if JUCE_MAC
        if (auto* editor = editorWrapper->getEditor(); editor == nullptr || ! editorWantsLayerBackedView (*editor))
            styleFlags |= juce::ComponentPeer::windowRequiresSynchronousCoreGraphicsRendering;
#endif

        editorWrapper->addToDesktop (styleFlags, nativeParent);
        editorWrapper->setVisible (true);
        editorWrapper->toFront (false);

#if JUCE_MAC
        acceptMouseMovedEvents (nativeParent);
#endif

        if (guiEventLoop != nullptr)
            guiEventLoop->guiAttached (getHostInterfaces());

        return true;
    }
    catch (...)
    {
        return false;
    }
}

bool ClapBinding::guiShow() noexcept
{
    // Visibility is the host's business: its window shows and hides the holder with it.
    if (! hasEditor() || ! parentAttached)
        return false;

    // The first frame goes out now rather than at the next timer tick of the host's loop.
    if (auto* peer = editorWrapper->getPeer())
    {
        peer->performAnyPendingRepaintsNow();
        flushWindowSystem();
    }

    return true;
}

} // namespace clapbinding
