#include "binding/ClapBinding.h"

#include <algorithm>
#include <climits>
#include <cstring>

// The audio thread's side of the binding: one process call, the host's events in and the
// processor's edits out, and the play head.

namespace clapbinding
{

//==============================================================================
namespace
{
    constexpr double fixedPointFactor = (double) CLAP_BEATTIME_FACTOR; // 2^31, beats and seconds alike
} // namespace

clap_process_status ClapBinding::process (const clap_process* p) noexcept
{
    transport = p->transport;
    drainOutboundQueue (p->out_events);

    const auto numFrames = p->frames_count;
    const auto* in = p->in_events;
    const auto numEvents = (in != nullptr && in->size != nullptr && in->get != nullptr) ? in->size (in) : 0u;
    const auto eventAt = [in] (uint32_t i)
    { return in->get (in, i); };

    if (numFrames == 0)
    {
        for (uint32_t i = 0; i < numEvents; ++i)
            applyInputEvent (eventAt (i), 0);

        transport = nullptr;
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

    const auto channels = gatherChannels (*p);
    juce::AudioBuffer<float> buffer (channelPointers.data(), channels.count, (int) numFrames);
    clap_process_status status = CLAP_PROCESS_CONTINUE;

    if (channels.complete)
        status = runProcessor (buffer);
    else
        buffer.clear();

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
    return status;
}

ClapBinding::GatheredChannels ClapBinding::gatherChannels (const clap_process& p) noexcept
{
    const auto numFrames = p.frames_count;

    // Output channels first; the input is then brought into them, so the processor works in
    // place. Input channels beyond the outputs are processed in the host's input memory.
    channelPointers.fill (nullptr);
    int numOut = 0;

    if (p.audio_outputs != nullptr)
    {
        for (uint32_t bus = 0; bus < p.audio_outputs_count && numOut < maxChannels; ++bus)
        {
            const auto& output = p.audio_outputs[bus];

            if (output.channel_count == 0 || output.data32 == nullptr)
                continue;

            for (uint32_t ch = 0; ch < output.channel_count && numOut < maxChannels; ++ch)
                channelPointers[(size_t) numOut++] = output.data32[ch];
        }
    }

    int numIn = 0;

    if (p.audio_inputs != nullptr)
    {
        for (uint32_t bus = 0; bus < p.audio_inputs_count && numIn < maxChannels; ++bus)
        {
            const auto& input = p.audio_inputs[bus];

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

    const auto numChannels = juce::jmax (numOut, numIn);

    if (numChannels >= spareChannels.getNumChannels())
        return { numChannels, true };

    // A host that passes fewer channels than the buses have must not make the processor write
    // through a missing channel: the missing ones are silent spare channels.
    if (numFrames > (uint32_t) spareChannels.getNumSamples())
        return { numChannels, false };

    for (auto ch = numChannels; ch < spareChannels.getNumChannels(); ++ch)
    {
        spareChannels.clear (ch, 0, (int) numFrames);
        channelPointers[(size_t) ch] = spareChannels.getWritePointer (ch);
    }

    return { spareChannels.getNumChannels(), true };
}

clap_process_status ClapBinding::runProcessor (juce::AudioBuffer<float>& buffer) noexcept
{
    if (extensions == nullptr)
    {
        // JUCE's contract: a processor that suspends itself holds the callback lock meanwhile.
        // Rather than wait for it, this block is silent, as while the processor is suspended.
        const juce::ScopedTryLock callbackLock (processor->getCallbackLock());

        if (! callbackLock.isLocked() || processor->isSuspended())
            buffer.clear();
        else
            processor->processBlock (buffer, midiBuffer);

        return CLAP_PROCESS_CONTINUE;
    }

    // The processor guards its own blocks against a restore (see ClapProcessorExtensions).
    processor->processBlock (buffer, midiBuffer);

    // CLAP lets the latency change only at activation: the host restarts us to learn it.
    if (extensions->getRunningLatencySamples() != processor->getLatencySamples())
        notifyHostLatencyChanged();

    // The processor judges by its own output and memories, never cutting a tail; the host
    // still checks the output before it stops calling, and treats this as continue if it
    // does not measure.
    return extensions->isSilentUntilInput() ? CLAP_PROCESS_CONTINUE_IF_NOT_QUIET : CLAP_PROCESS_CONTINUE;
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
    if (transport == nullptr)
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

} // namespace clapbinding
