#include "WrendleFoldEditor.h"

#include "engine/WrendleFoldProcessor.h"

WrendleFoldEditor::WrendleFoldEditor (WrendleFoldProcessor& p)
    : juce::AudioProcessorEditor (p), processor (p)
{
    setResizable (true, true);
    setResizeLimits (logicalWidth / 2, logicalHeight / 2, logicalWidth * 2, logicalHeight * 2);
    if (auto* constrainer = getConstrainer())
        constrainer->setFixedAspectRatio ((double) logicalWidth / (double) logicalHeight);
    setSize (logicalWidth, logicalHeight);
}

WrendleFoldEditor::~WrendleFoldEditor() = default;

void WrendleFoldEditor::paint (juce::Graphics& g)
{
    g.fillAll (juce::Colour (0xff1b1d21));
    g.setColour (juce::Colours::white.withAlpha (0.85f));
    g.setFont (22.0f);
    g.drawFittedText (processor.getName(), getLocalBounds(), juce::Justification::centred, 1);
}
