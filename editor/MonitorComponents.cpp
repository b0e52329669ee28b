#include "editor/MonitorComponents.h"

#include <cmath>

void WaveShaperMonitor::updateCurve (bool force, float drive, float inputGain, float outputGain)
{
    if (! force && drive == lastDrive && inputGain == lastInputGain && outputGain == lastOutputGain)
        return;

    lastDrive = drive;
    lastInputGain = inputGain;
    lastOutputGain = outputGain;

    curve.clear();
    const auto height = (float) getHeight();
    const auto phaseStep = (double) step;

    bool first = true;

    // The phase runs a little past 1 so that the curve reaches the right edge.
    for (double x = -1.0; x <= 1.05; x += phaseStep)
    {
        const auto s = (float) std::sin (juce::MathConstants<double>::pi * (x + 1.0));
        const auto shaped = 0.9f * std::sin (drive * inputGain * s);
        const auto y = shaped * outputGain;
        const auto px = (float) (x + 1.0) * halfWidth;
        const auto py = height - (y + 1.0f) * halfHeight;

        if (first)
            curve.startNewSubPath (px, py);
        else
            curve.lineTo (px, py);

        first = false;
    }

    repaint();
}

void WaveShaperMonitor::setActive (bool shouldBeActive)
{
    if (active != shouldBeActive)
    {
        active = shouldBeActive;
        repaint();
    }
}

void WaveShaperMonitor::resized()
{
    halfWidth = 0.5f * (float) getWidth();
    halfHeight = 0.5f * (float) getHeight();
    step = getWidth() > 0 ? (float) (1.0 / (double) getWidth() + 0.00001) : 0.00501f;
}

void WaveShaperMonitor::paint (juce::Graphics& g)
{
    g.setColour (juce::Colour (0xffd0d0d0));
    g.strokePath (curve, juce::PathStrokeType (2.1f));

    if (! active)
        g.fillAll (juce::Colour (0xff050b13).darker (0.4f).withAlpha (0.45f));
}

//==============================================================================
void MonitorGrid::resized()
{
    centreX = 0.5f * (float) getWidth();
    centreY = 0.5f * (float) getHeight();
    repaint();
}

void MonitorGrid::paint (juce::Graphics& g)
{
    const auto w = (float) getWidth(), h = (float) getHeight();
    const juce::Colour line (0xffcccccc);

    g.fillAll (juce::Colour (0xff1e1f1f).darker (0.4f));

    g.setColour (line.withAlpha (0.6f));
    g.drawLine (centreX, 0.0f, centreX, h, 1.0f);
    g.drawLine (0.0f, centreY, w, centreY, 1.0f);

    g.setColour (line.withAlpha (0.35f));
    for (int i = 1; i <= 19; ++i)
    {
        const auto t = (float) i * w / 20.0f;
        g.drawLine (t, centreY - 3.0f, t, centreY + 3.0f, 1.0f);
        g.drawLine (centreX - 3.0f, t, centreX + 3.0f, t, 1.0f);
    }

    g.setColour (line.withAlpha (0.2f));
    for (int k = 1; k <= 9; ++k)
    {
        const auto t = (float) k * w / 10.0f;
        g.drawLine (t, 0.0f, t, h, 1.0f);
        g.drawLine (0.0f, t, w, t, 1.0f);
    }
}

//==============================================================================
void BlackBox::paint (juce::Graphics& g)
{
    const auto w = getWidth(), h = getHeight();
    const juce::Rectangle<float> panel (6.0f, 6.0f, (float) juce::jmax (0, w - 12), (float) juce::jmax (0, h - 12));

    g.setColour (juce::Colour (0xff1d1f20).withAlpha (0.92f));
    g.fillRoundedRectangle (panel, 7.0f);

    const auto outline = juce::Colour (0xffb3b3b3).withAlpha (0.9f);
    g.setColour (outline);
    g.drawRoundedRectangle (panel, 7.0f, 1.0f);

    const auto dividerX = (float) (w / 2);
    g.drawLine (dividerX, 44.0f, dividerX, (float) h - 20.0f, 1.0f);
}

void StraightLink::paint (juce::Graphics& g)
{
    g.setColour (juce::Colour (0xffd2d2d2));
    g.drawLine ((float) getWidth() - 2.0f, 4.0f, 4.0f, 4.0f, 1.25f);
    g.fillEllipse (2.0f, 2.0f, 4.0f, 4.0f);
}
