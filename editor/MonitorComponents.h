#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

/**
    The transfer-curve display: what the fold stage does to one full cycle of a
    full-scale sine, y = 0.9 × sin (drive × inputGain × sin (π (x + 1))) × outputGain
    for x in −1..1. It is not an oscilloscope: no audio crosses from the audio
    thread, only the drive and the two gains the window passes in.
*/
class WaveShaperMonitor : public juce::Component
{
public:
    WaveShaperMonitor() = default;

    /** Recomputes the curve and repaints, unless not forced and all three values
        equal the last ones exactly. */
    void updateCurve (bool force, float drive, float inputGain, float outputGain);

    /** False dims curve and grid (the effect is bypassed); repaints on a change. */
    void setActive (bool shouldBeActive);
    bool isActive() const noexcept { return active; }

    const juce::Path& getCurve() const noexcept { return curve; }
    float getStep() const noexcept { return step; }

    void resized() override;
    void paint (juce::Graphics& g) override;

private:
    float lastDrive = 1.0f;
    float lastInputGain = 1.0f;
    float lastOutputGain = 1.0f;
    float step = 0.00501f;
    bool active = true;
    juce::Path curve;
    float halfWidth = 10.0f;
    float halfHeight = 10.0f;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (WaveShaperMonitor)
};

/** The axes, ticks and grid behind the monitor; spacings derive from the width
    (the component is square). */
class MonitorGrid : public juce::Component
{
public:
    MonitorGrid() = default;

    void resized() override;
    void paint (juce::Graphics& g) override;

private:
    float centreX = 100.0f;
    float centreY = 100.0f;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (MonitorGrid)
};

/** The dark rounded panel behind the middle knob row, with the divider between
    its two knob pairs. */
class BlackBox : public juce::Component
{
public:
    BlackBox() = default;
    void paint (juce::Graphics& g) override;

private:
    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (BlackBox)
};

/** The short line with a dot that ties the two feedback knobs together. */
class StraightLink : public juce::Component
{
public:
    StraightLink() = default;
    void paint (juce::Graphics& g) override;

private:
    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (StraightLink)
};
