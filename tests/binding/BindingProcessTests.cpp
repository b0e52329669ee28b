// The real-time half of the binding, seen through a probe processor: how one process call
// becomes one processBlock, where input events land, what goes back to the host, and what the
// play head says.

#include "ProbeBindingFixture.h"

#include <cmath>

namespace
{

struct Buses;

class BindingProcess : public ProbeBinding
{
protected:
    void SetUp() override
    {
        ProbeBinding::SetUp();
        startProcessing();
    }

    clap_process_status run (StereoBlock& block, const InputEvents* in = nullptr, OutputEvents* out = nullptr,
                             const clap_event_transport* transport = nullptr)
    {
        const AudioThread audio (host);
        return block.run (plugin, in != nullptr ? in->list() : nullptr, out != nullptr ? out->list() : nullptr, transport);
    }

    /** One process call without events over the given buses, on the audio thread. */
    clap_process_status processBuses (uint32_t frames, Buses& outputs, Buses* inputs = nullptr);
};

TEST_F (BindingProcess, ABlockOfZeroFramesAppliesEveryEventWithoutCallingTheProcessor)
{
    StereoBlock block (0, true);
    InputEvents events;
    events.add (paramValueEvent (idOf ("Gain"), 0.25, 0));
    events.add (paramValueEvent (idOf ("Switch"), 1.0, 7));
    events.add (noteEvent (CLAP_EVENT_NOTE_ON, 60, 1.0, 900));

    EXPECT_EQ (run (block, &events), CLAP_PROCESS_CONTINUE);

    EXPECT_EQ (probe->blocks.load(), 0);
    EXPECT_FLOAT_EQ (normalisedValueOf (*probe->gain), 0.25f);
    EXPECT_FLOAT_EQ (normalisedValueOf (*probe->toggle), 1.0f);
}

TEST_F (BindingProcess, EventsInsideTheBlockComeBeforeItAndLaterOnesWithTheNextBlock)
{
    StereoBlock block (512, true);
    InputEvents events;
    events.add (noteEvent (CLAP_EVENT_NOTE_ON, 60, 1.0, 0));
    events.add (noteEvent (CLAP_EVENT_NOTE_ON, 61, 0.5, 100));
    events.add (paramValueEvent (idOf ("Gain"), 0.75, 600));
    events.add (noteEvent (CLAP_EVENT_NOTE_ON, 62, 1.0, 600));

    run (block, &events);

    ASSERT_EQ (probe->midiCount, 2);
    EXPECT_EQ (probe->midi[0].position, 0);
    EXPECT_EQ (probe->midi[0].bytes[1], 60);
    EXPECT_EQ (probe->midi[1].position, 100);
    EXPECT_EQ (probe->midi[1].bytes[1], 61);
    EXPECT_EQ (probe->midi[1].bytes[2], 64); // velocity 0.5 of 127, rounded
    EXPECT_FLOAT_EQ (probe->gainSeenInLastBlock, 2.0f) << "a value at 600 must not act inside a 512-frame block";
    EXPECT_FLOAT_EQ (normalisedValueOf (*probe->gain), 0.75f) << "but it is applied once the block is done";

    run (block);

    ASSERT_EQ (probe->midiCount, 1);
    EXPECT_EQ (probe->midi[0].position, 88);
    EXPECT_EQ (probe->midi[0].bytes[0], 0x90);
    EXPECT_EQ (probe->midi[0].bytes[1], 62);
    EXPECT_FLOAT_EQ (probe->gainSeenInLastBlock, 3.0f);
}

TEST_F (BindingProcess, MidiAndSysexEventsReachTheProcessorAndOtherSpacesAreIgnored)
{
    StereoBlock block (64, true);
    InputEvents events;
    events.add (midiEvent (0xb0, 7, 99, 3));

    const uint8_t sysexBytes[] = { 0xf0, 0x7d, 0x10, 0x20, 0xf7 };
    clap_event_midi_sysex sysex {};
    sysex.header = { sizeof (clap_event_midi_sysex), 5, CLAP_CORE_EVENT_SPACE_ID, CLAP_EVENT_MIDI_SYSEX, 0 };
    sysex.buffer = sysexBytes;
    sysex.size = sizeof (sysexBytes);
    events.add (sysex);

    auto foreign = noteEvent (CLAP_EVENT_NOTE_ON, 70, 1.0, 6);
    foreign.header.space_id = 77;
    events.add (foreign);

    run (block, &events);

    ASSERT_EQ (probe->midiCount, 2);
    EXPECT_EQ (probe->midi[0].position, 3);
    EXPECT_EQ (probe->midi[0].size, 3);
    EXPECT_EQ (probe->midi[0].bytes[0], 0xb0);
    EXPECT_EQ (probe->midi[0].bytes[2], 99);
    EXPECT_EQ (probe->midi[1].position, 5);
    EXPECT_EQ (probe->midi[1].size, 5);
}

TEST_F (BindingProcess, OnlyThreeByteMidiGoesBackToTheHostAndOnlyFromAProcessorThatProducesMidi)
{
    StereoBlock block (64, true);
    probe->emitNoteOnAt10 = true;

    OutputEvents silent;
    run (block, nullptr, &silent);
    EXPECT_TRUE (silent.events.empty());

    probe->midiOut = true;
    OutputEvents out;
    run (block, nullptr, &out);

    ASSERT_EQ (out.events.size(), 1u) << "the four-byte sysex stays behind";
    EXPECT_EQ (out.events[0].type, CLAP_EVENT_MIDI);
    EXPECT_EQ (out.events[0].size, sizeof (clap_event_midi));
    EXPECT_EQ (out.events[0].time, 10u);
    EXPECT_EQ (out.events[0].midi[0], 0x91);
    EXPECT_EQ (out.events[0].midi[1], 64);
    EXPECT_EQ (out.events[0].midi[2], 100);
}

//==============================================================================
struct HostValueCase
{
    const char* identifier;
    double clapValue;
    float expectedNormalised;
};

void PrintTo (const HostValueCase& c, std::ostream* os)
{
    *os << c.identifier << " = " << c.clapValue;
}

class HostValues : public BindingProcess, public ::testing::WithParamInterface<HostValueCase>
{
};

TEST_P (HostValues, AreNormalisedForContinuousParametersAndPlainForDiscreteOnes)
{
    const auto& c = GetParam();
    StereoBlock block (32, true);
    InputEvents events;
    events.add (paramValueEvent (idOf (c.identifier), c.clapValue, 0));

    run (block, &events);

    const auto* record = binding->findParameter (idOf (c.identifier));
    ASSERT_NE (record, nullptr);
    EXPECT_FLOAT_EQ (record->parameter->getValue(), c.expectedNormalised);

    double reported = -1.0;
    ASSERT_TRUE (params()->get_value (plugin, idOf (c.identifier), &reported));
    EXPECT_NEAR (reported, c.clapValue, 1.0e-6) << "the host reads back what it wrote";
}

INSTANTIATE_TEST_SUITE_P (BindingProcess,
                          HostValues,
                          ::testing::Values (HostValueCase { "Gain", 0.25, 0.25f },
                                             HostValueCase { "Switch", 1.0, 1.0f },
                                             HostValueCase { "Mode", 1.0, 1.0f / 3.0f },
                                             HostValueCase { "Mode", 3.0, 1.0f },
                                             HostValueCase { "Nested", 0.8, 0.8f }));

TEST_F (BindingProcess, AHostValueFromTheCookieWinsOverTheId)
{
    clap_param_info info {};
    ASSERT_TRUE (params()->get_info (plugin, 0, &info)); // Gain
    ASSERT_NE (info.cookie, nullptr);

    StereoBlock block (32, true);
    InputEvents events;
    events.add (paramValueEvent (idOf ("Switch"), 0.125, 0, info.cookie));
    run (block, &events);

    EXPECT_FLOAT_EQ (normalisedValueOf (*probe->gain), 0.125f);
    EXPECT_FLOAT_EQ (normalisedValueOf (*probe->toggle), 0.0f);
}

TEST_F (BindingProcess, UnknownIdsAndNonFiniteValuesChangeNothing)
{
    StereoBlock block (32, true);
    InputEvents events;
    events.add (paramValueEvent (12345, 0.9, 0));
    events.add (paramValueEvent (idOf ("Gain"), std::nan (""), 1));

    EXPECT_EQ (run (block, &events), CLAP_PROCESS_CONTINUE);
    EXPECT_FLOAT_EQ (normalisedValueOf (*probe->gain), 0.5f);
}

/** Counts value changes broadcast by one parameter. */
struct ChangeCounter : juce::AudioProcessorParameter::Listener
{
    void parameterValueChanged (int, float) override { ++changes; }
    void parameterGestureChanged (int, bool) override {}
    int changes = 0;
};

TEST_F (BindingProcess, AHostValueEqualToTheCurrentOneNotifiesNobodyAndANewOneNotifiesWithoutAnEcho)
{
    ChangeCounter counter;
    probe->gain->addListener (&counter);
    StereoBlock block (32, true);

    InputEvents same;
    same.add (paramValueEvent (idOf ("Gain"), 0.5, 0));
    OutputEvents firstOut;
    run (block, &same, &firstOut);
    EXPECT_EQ (counter.changes, 0);

    InputEvents changed;
    changed.add (paramValueEvent (idOf ("Gain"), 0.2, 0));
    OutputEvents secondOut, thirdOut;
    run (block, &changed, &secondOut);
    run (block, nullptr, &thirdOut);
    EXPECT_EQ (counter.changes, 1);

    EXPECT_TRUE (firstOut.events.empty());
    EXPECT_TRUE (secondOut.events.empty());
    EXPECT_TRUE (thirdOut.events.empty()) << "a host change is never echoed back";
    probe->gain->removeListener (&counter);
}

TEST_F (BindingProcess, AnEditorChangeIsSentOnceAtTheStartOfTheNextProcess)
{
    probe->gain->setValueNotifyingHost (0.6f);
    EXPECT_GE (host.flushRequests.load(), 1) << "the host is asked to come and fetch it";

    StereoBlock block (32, true);
    OutputEvents first, second;
    run (block, nullptr, &first);
    run (block, nullptr, &second);

    ASSERT_EQ (first.events.size(), 1u);
    EXPECT_EQ (first.events[0].type, CLAP_EVENT_PARAM_VALUE);
    EXPECT_EQ (first.events[0].size, sizeof (clap_event_param_value));
    EXPECT_EQ (first.events[0].time, 0u);
    EXPECT_EQ (first.events[0].id, idOf ("Gain"));
    EXPECT_NEAR (first.events[0].value, 0.6, 1.0e-6);
    EXPECT_TRUE (second.events.empty());
}

TEST_F (BindingProcess, AnEditorChangeToADiscreteParameterIsSentInPlainUnits)
{
    probe->mode->setValueNotifyingHost (1.0f);

    StereoBlock block (32, true);
    OutputEvents out;
    run (block, nullptr, &out);

    ASSERT_EQ (out.events.size(), 1u);
    EXPECT_EQ (out.events[0].id, idOf ("Mode"));
    EXPECT_DOUBLE_EQ (out.events[0].value, 3.0);
}

TEST_F (BindingProcess, AGestureAroundAnEditIsSentAsBeginValuesEndInOrder)
{
    probe->gain->beginChangeGesture();
    probe->gain->setValueNotifyingHost (0.1f);
    probe->gain->setValueNotifyingHost (0.2f);
    probe->gain->endChangeGesture();

    StereoBlock block (32, true);
    OutputEvents out;
    run (block, nullptr, &out);

    ASSERT_EQ (out.events.size(), 4u);
    EXPECT_EQ (out.events[0].type, CLAP_EVENT_PARAM_GESTURE_BEGIN);
    EXPECT_EQ (out.events[0].size, sizeof (clap_event_param_gesture));
    EXPECT_EQ (out.events[1].type, CLAP_EVENT_PARAM_VALUE);
    EXPECT_NEAR (out.events[1].value, 0.1, 1.0e-6);
    EXPECT_EQ (out.events[2].type, CLAP_EVENT_PARAM_VALUE);
    EXPECT_NEAR (out.events[2].value, 0.2, 1.0e-6);
    EXPECT_EQ (out.events[3].type, CLAP_EVENT_PARAM_GESTURE_END);

    for (const auto& event : out.events)
        EXPECT_EQ (event.id, idOf ("Gain"));
}

//==============================================================================
TEST_F (BindingProcess, ASuspendedProcessorYieldsSilenceAndTheHostCarriesOn)
{
    probe->suspendProcessing (true);
    StereoBlock block (64, false);
    block.fillInput();

    EXPECT_EQ (run (block), CLAP_PROCESS_CONTINUE);

    EXPECT_EQ (probe->blocks.load(), 0);
    for (int ch = 0; ch < 2; ++ch)
        for (int i = 0; i < 64; ++i)
            ASSERT_EQ (block.outputChannel (ch)[i], 0.0f);
}

TEST_F (BindingProcess, SeparateBuffersGetACopyOfTheInputWhichIsThenProcessedInTheOutput)
{
    StereoBlock block (64, false);
    block.fillInput();
    const auto input = block.inLeft;

    run (block);

    EXPECT_EQ (probe->lastNumChannels, 2);
    EXPECT_EQ (probe->lastChannelPointers[0], block.outLeft.data());
    EXPECT_EQ (probe->lastChannelPointers[1], block.outRight.data());

    for (int i = 0; i < 64; ++i)
    {
        ASSERT_FLOAT_EQ (block.outLeft[(size_t) i], 2.0f * input[(size_t) i]);
        ASSERT_FLOAT_EQ (block.outRight[(size_t) i], -2.0f * input[(size_t) i]);
        ASSERT_FLOAT_EQ (block.inLeft[(size_t) i], input[(size_t) i]) << "the host's input stays as it was";
    }
}

TEST_F (BindingProcess, InPlaceBuffersAreProcessedWhereTheyAre)
{
    StereoBlock block (64, true);
    block.fillInput();
    const auto input = block.inLeft;

    run (block);

    EXPECT_EQ (probe->lastChannelPointers[0], block.inLeft.data());
    for (int i = 0; i < 64; ++i)
        ASSERT_FLOAT_EQ (block.inLeft[(size_t) i], 2.0f * input[(size_t) i]);
}

/** Buses of a given number of channels each, with their own memory. */
struct Buses
{
    Buses (std::vector<uint32_t> channelsPerBus, uint32_t frames)
    {
        for (auto channels : channelsPerBus)
        {
            pointers.emplace_back();

            for (uint32_t c = 0; c < channels; ++c)
            {
                memory.emplace_back (frames, 1.0f);
                pointers.back().push_back (memory.back().data());
            }
        }

        for (auto& p : pointers)
        {
            clap_audio_buffer buffer {};
            buffer.data32 = p.data();
            buffer.channel_count = (uint32_t) p.size();
            buffers.push_back (buffer);
        }
    }

    std::vector<std::vector<float>> memory;
    std::vector<std::vector<float*>> pointers;
    std::vector<clap_audio_buffer> buffers;
};

clap_process_status BindingProcess::processBuses (uint32_t frames, Buses& outputs, Buses* inputs)
{
    InputEvents none;
    OutputEvents out;
    clap_process process {};
    process.frames_count = frames;
    process.audio_outputs = outputs.buffers.data();
    process.audio_outputs_count = (uint32_t) outputs.buffers.size();
    process.audio_inputs = inputs != nullptr ? inputs->buffers.data() : nullptr;
    process.audio_inputs_count = inputs != nullptr ? (uint32_t) inputs->buffers.size() : 0;
    process.in_events = none.list();
    process.out_events = out.list();

    const AudioThread audio (host);
    return plugin->process (plugin, &process);
}

TEST_F (BindingProcess, InputChannelsBeyondTheOutputsAreProcessedInTheHostsInputMemory)
{
    Buses outputs ({ 2 }, 16), inputs ({ 2, 1 }, 16);
    ASSERT_EQ (processBuses (16, outputs, &inputs), CLAP_PROCESS_CONTINUE);

    EXPECT_EQ (probe->lastNumChannels, 3);
    EXPECT_EQ (probe->lastChannelPointers[0], outputs.pointers[0][0]);
    EXPECT_EQ (probe->lastChannelPointers[2], inputs.pointers[1][0]);
    EXPECT_FLOAT_EQ (inputs.memory[2][5], 2.0f);
}

TEST_F (BindingProcess, NoMoreThan128ChannelsAreHandedToTheProcessor)
{
    Buses outputs ({ 50, 50, 50 }, 8), inputs ({ 100, 100 }, 8);
    ASSERT_EQ (processBuses (8, outputs, &inputs), CLAP_PROCESS_CONTINUE);

    EXPECT_EQ (probe->lastNumChannels, clapbinding::ClapBinding::maxChannels);
}

TEST_F (BindingProcess, ChannelsTheHostLeavesOutAreStoodInForBySilentSpares)
{
    Buses outputs ({ 1 }, 16);
    ASSERT_EQ (processBuses (16, outputs), CLAP_PROCESS_CONTINUE);

    EXPECT_EQ (probe->lastNumChannels, 2) << "a stereo processor always gets two channels";
    EXPECT_FLOAT_EQ (outputs.memory[0][3], 2.0f);
}

//==============================================================================
TEST_F (BindingProcess, WithoutATransportThePlayHeadKnowsNoPosition)
{
    StereoBlock block (16, true);
    run (block);

    EXPECT_FALSE (probe->lastPosition.hasValue());
}

TEST_F (BindingProcess, ATransportWithOnlyATempoGivesTheTempoAndNoTimeSignature)
{
    clap_event_transport transport {};
    transport.header = { sizeof (transport), 0, CLAP_CORE_EVENT_SPACE_ID, CLAP_EVENT_TRANSPORT, 0 };
    transport.flags = CLAP_TRANSPORT_HAS_TEMPO;
    transport.tempo = 120.0;

    StereoBlock block (16, true);
    run (block, nullptr, nullptr, &transport);

    ASSERT_TRUE (probe->lastPosition.hasValue());
    EXPECT_EQ (probe->lastPosition->getBpm(), juce::makeOptional (120.0));
    EXPECT_FALSE (probe->lastPosition->getTimeSignature().hasValue());
    EXPECT_FALSE (probe->lastPosition->getPpqPosition().hasValue());
    EXPECT_FALSE (probe->lastPosition->getTimeInSeconds().hasValue());
    EXPECT_FALSE (probe->lastPosition->getIsPlaying());
}

TEST_F (BindingProcess, AFullTransportIsReadFromClapsFixedPointTimes)
{
    const auto fixed = [] (double value)
    { return (int64_t) std::llround (value * (double) CLAP_BEATTIME_FACTOR); };

    clap_event_transport transport {};
    transport.header = { sizeof (transport), 0, CLAP_CORE_EVENT_SPACE_ID, CLAP_EVENT_TRANSPORT, 0 };
    transport.flags = CLAP_TRANSPORT_HAS_TEMPO | CLAP_TRANSPORT_HAS_BEATS_TIMELINE | CLAP_TRANSPORT_HAS_SECONDS_TIMELINE
                      | CLAP_TRANSPORT_HAS_TIME_SIGNATURE | CLAP_TRANSPORT_IS_PLAYING | CLAP_TRANSPORT_IS_RECORDING
                      | CLAP_TRANSPORT_IS_LOOP_ACTIVE;
    transport.tempo = 96.0;
    transport.song_pos_beats = fixed (10.5);
    transport.bar_start = fixed (8.0);
    transport.loop_start_beats = fixed (4.0);
    transport.loop_end_beats = fixed (12.25);
    transport.bar_number = 2;
    transport.song_pos_seconds = fixed (1.5);
    transport.tsig_num = 3;
    transport.tsig_denom = 8;

    StereoBlock block (16, true);
    run (block, nullptr, nullptr, &transport);

    ASSERT_TRUE (probe->lastPosition.hasValue());
    const auto& position = *probe->lastPosition;
    EXPECT_EQ (position.getBpm(), juce::makeOptional (96.0));
    ASSERT_TRUE (position.getTimeSignature().hasValue());
    EXPECT_EQ (position.getTimeSignature()->numerator, 3);
    EXPECT_EQ (position.getTimeSignature()->denominator, 8);
    EXPECT_EQ (position.getPpqPosition(), juce::makeOptional (10.5));
    EXPECT_EQ (position.getPpqPositionOfLastBarStart(), juce::makeOptional (8.0));
    ASSERT_TRUE (position.getLoopPoints().hasValue());
    EXPECT_DOUBLE_EQ (position.getLoopPoints()->ppqStart, 4.0);
    EXPECT_DOUBLE_EQ (position.getLoopPoints()->ppqEnd, 12.25);
    EXPECT_EQ (position.getBarCount(), juce::makeOptional ((int64_t) 2));
    EXPECT_EQ (position.getTimeInSeconds(), juce::makeOptional (1.5));
    EXPECT_EQ (position.getTimeInSamples(), juce::makeOptional ((int64_t) 72000)); // 48 kHz
    EXPECT_TRUE (position.getIsPlaying());
    EXPECT_TRUE (position.getIsRecording());
    EXPECT_TRUE (position.getIsLooping());
    EXPECT_FALSE (position.getFrameRate().hasValue());
    EXPECT_FALSE (position.getHostTimeNs().hasValue());
}

TEST_F (BindingProcess, ThePlayHeadForgetsTheTransportOnceTheProcessCallIsOver)
{
    clap_event_transport transport {};
    transport.flags = CLAP_TRANSPORT_HAS_TEMPO;
    transport.tempo = 140.0;

    StereoBlock block (16, true);
    run (block, nullptr, nullptr, &transport);

    ASSERT_NE (probe->getPlayHead(), nullptr);
    EXPECT_FALSE (probe->getPlayHead()->getPosition().hasValue());
}

} // namespace
