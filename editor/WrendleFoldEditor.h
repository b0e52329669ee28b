#pragma once

#include <juce_audio_processors/juce_audio_processors.h>

class WrendleFoldProcessor;

/** The plug-in's window: a scalable panel in a fixed 480 × 460 logical space. */
class WrendleFoldEditor : public juce::AudioProcessorEditor
{
public:
    explicit WrendleFoldEditor (WrendleFoldProcessor& processor);
    ~WrendleFoldEditor() override;

    void paint (juce::Graphics& g) override;

    static constexpr int logicalWidth = 480;
    static constexpr int logicalHeight = 460;

private:
    WrendleFoldProcessor& processor;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (WrendleFoldEditor)
};
