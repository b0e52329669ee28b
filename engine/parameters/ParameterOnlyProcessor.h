#pragma once

#include <juce_audio_processors/juce_audio_processors.h>

namespace orvel
{

/**
    A juce::AudioProcessor that is only a home for parameters: no audio, no editor, no
    programs, no state. JUCE's parameters need a processor to belong to, and tools and
    tests that work with the parameters alone derive from this one.
*/
struct ParameterOnlyProcessor : juce::AudioProcessor
{
    const juce::String getName() const override { return {}; }
    void prepareToPlay (double, int) override {}
    void releaseResources() override {}
    void processBlock (juce::AudioBuffer<float>&, juce::MidiBuffer&) override {}
    double getTailLengthSeconds() const override { return 0.0; }
    bool acceptsMidi() const override { return false; }
    bool producesMidi() const override { return false; }
    juce::AudioProcessorEditor* createEditor() override { return nullptr; }
    bool hasEditor() const override { return false; }
    int getNumPrograms() override { return 1; }
    int getCurrentProgram() override { return 0; }
    void setCurrentProgram (int) override {}
    const juce::String getProgramName (int) override { return {}; }
    void changeProgramName (int, const juce::String&) override {}
    void getStateInformation (juce::MemoryBlock&) override {}
    void setStateInformation (const void*, int) override {}
};

} // namespace orvel
