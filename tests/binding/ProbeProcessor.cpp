#include "ProbeProcessor.h"

#include "binding/ClapEntry.h"

ProbeEditor::Sizing ProbeEditor::nextSizing = ProbeEditor::Sizing::constrained;

ProbeProcessor::BusesProperties ProbeProcessor::stereoBuses()
{
    return BusesProperties()
        .withInput ("Probe In", juce::AudioChannelSet::stereo(), true)
        .withOutput ("Probe Out", juce::AudioChannelSet::stereo(), true);
}

ProbeProcessor::ProbeProcessor (BusesProperties buses)
    : juce::AudioProcessor (buses)
{
    auto gainParameter = std::make_unique<juce::AudioParameterFloat> (juce::ParameterID { "Gain", 1 }, "Gain",
                                                                      juce::NormalisableRange<float> (0.0f, 4.0f), 2.0f);
    auto toggleParameter = std::make_unique<juce::AudioParameterBool> (juce::ParameterID { "Switch", 1 }, "Switch", false);
    auto modeParameter = std::make_unique<juce::AudioParameterChoice> (juce::ParameterID { "Mode", 1 }, "Mode",
                                                                       juce::StringArray { "A", "B", "C", "D" }, 2);
    auto nestedParameter = std::make_unique<juce::AudioParameterFloat> (juce::ParameterID { "Nested", 1 }, "Nested",
                                                                        juce::NormalisableRange<float> (0.0f, 1.0f), 0.0f);
    gain = gainParameter.get();
    toggle = toggleParameter.get();
    mode = modeParameter.get();
    nested = nestedParameter.get();

    addParameter (gainParameter.release());
    addParameter (toggleParameter.release());
    addParameter (modeParameter.release());

    auto inner = std::make_unique<juce::AudioProcessorParameterGroup> ("inner", "Inner", "|");
    inner->addChild (std::move (nestedParameter));
    auto outer = std::make_unique<juce::AudioProcessorParameterGroup> ("outer", "Outer", "|");
    outer->addChild (std::move (inner));
    addParameterGroup (std::move (outer));
}

void ProbeProcessor::prepareToPlay (double sampleRate, int maximumBlockSize)
{
    preparedSampleRate = sampleRate;
    preparedBlockSize = maximumBlockSize;
    ++prepareCalls;
}

void ProbeProcessor::processBlock (juce::AudioBuffer<float>& buffer, juce::MidiBuffer& midiBuffer)
{
    ++blocks;
    lastNumChannels = buffer.getNumChannels();
    lastNumSamples = buffer.getNumSamples();
    lastChannelPointers.fill (nullptr);

    for (int ch = 0; ch < juce::jmin (buffer.getNumChannels(), (int) lastChannelPointers.size()); ++ch)
        lastChannelPointers[(size_t) ch] = buffer.getReadPointer (ch);

    midiCount = 0;

    for (const auto metadata : midiBuffer)
    {
        if (midiCount == maxRecordedMidi)
            break;

        auto& record = midi[(size_t) midiCount++];
        record.position = metadata.samplePosition;
        record.size = metadata.numBytes;
        std::fill (std::begin (record.bytes), std::end (record.bytes), (juce::uint8) 0);
        std::copy (metadata.data, metadata.data + juce::jmin (3, metadata.numBytes), record.bytes);
    }

    lastPosition = getPlayHead() != nullptr ? getPlayHead()->getPosition() : juce::Optional<juce::AudioPlayHead::PositionInfo>();
    gainSeenInLastBlock = gain->get();

    const auto latency = latencyToReport.load();

    if (latency != getLatencySamples())
        setLatencySamples (latency);

    // Twice the input, so a copy into the output and a second processing show as different numbers.
    buffer.applyGain (2.0f);

    if (emitNoteOnAt10)
    {
        midiBuffer.clear();
        midiBuffer.addEvent (juce::MidiMessage::noteOn (2, 64, (juce::uint8) 100), 10);
        const juce::uint8 sysex[] = { 0xf0, 0x7d, 0x01, 0xf7 };
        midiBuffer.addEvent (sysex, (int) sizeof (sysex), 12);
    }
}

juce::AudioProcessorEditor* ProbeProcessor::createEditor()
{
    return editorIsNull ? nullptr : new ProbeEditor (*this, ProbeEditor::nextSizing);
}

void ProbeProcessor::getStateInformation (juce::MemoryBlock& destination)
{
    juce::XmlElement xml ("PROBE");

    for (auto* parameter : getParameters())
        if (auto* withId = dynamic_cast<juce::HostedAudioProcessorParameter*> (parameter))
            xml.setAttribute (withId->getParameterID(), parameter->getValue());

    copyXmlToBinary (xml, destination);
}

void ProbeProcessor::setStateInformation (const void* data, int sizeInBytes)
{
    const auto xml = getXmlFromBinary (data, sizeInBytes);

    if (xml == nullptr || ! xml->hasTagName ("PROBE"))
        return;

    for (auto* parameter : getParameters())
        if (auto* withId = dynamic_cast<juce::HostedAudioProcessorParameter*> (parameter))
            if (xml->hasAttribute (withId->getParameterID()))
                parameter->setValueNotifyingHost ((float) xml->getDoubleAttribute (withId->getParameterID()));
}

//==============================================================================
ProbeEditor::ProbeEditor (ProbeProcessor& processor, Sizing sizing)
    : juce::AudioProcessorEditor (processor)
{
    switch (sizing)
    {
        case Sizing::constrained:
            setResizeLimits (100, 50, 600, 400);
            setResizable (true, false);
            break;
        case Sizing::aspectLocked:
            setResizeLimits (150, 100, 600, 400);
            setResizable (true, false);
            getConstrainer()->setFixedAspectRatio (1.5);
            break;
        case Sizing::fixed:
            setResizable (false, false);
            break;
        case Sizing::unconstrained:
            setResizable (true, false);
            break;
    }

    setSize (300, 200);
}

juce::AudioProcessor* clapbinding::createProcessorForBinding()
{
    return new ProbeProcessor();
}

const clap_plugin_descriptor& clapbinding::descriptorForBinding() noexcept
{
    static const char* features[] = { CLAP_PLUGIN_FEATURE_AUDIO_EFFECT, nullptr };
    static const clap_plugin_descriptor descriptor {
        CLAP_VERSION_INIT, "com.example.Probe", "Probe", "Tests", "", "", "", "0.0.1", "", features
    };
    return descriptor;
}
