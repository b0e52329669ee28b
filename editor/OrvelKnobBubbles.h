#pragma once

#include "editor/OrvelKnob.h"
#include "editor/OrvelLookAndFeel.h"

namespace orvel
{
// The bubbles fade with the desktop's animator, so a knob can cancel a fade
// that is still running when it shows its bubble again or goes away.
juce::ComponentAnimator& bubbleAnimator();
void fadeBubbleIn (juce::Component& bubble, float alphaLimit);
void fadeBubbleOut (juce::Component& bubble);
void paintBubbleBackground (juce::Graphics& g, juce::Component& bubble);

//==============================================================================
/** The value bubble shown while a knob is touched. It never takes clicks: it may sit over
    a neighbouring knob. */
class OrvelKnob::OrvelBubbleKnob : public juce::Component,
                                   public juce::Timer
{
public:
    OrvelBubbleKnob()
    {
        setInterceptsMouseClicks (false, false);
        setAlpha (0.0f);
    }

    void paint (juce::Graphics& g) override
    {
        paintBubbleBackground (g, *this);
        g.setFont (font);
        g.setColour (findColour (juce::TooltipWindow::textColourId));
        g.drawText (text, getLocalBounds(), juce::Justification::centred, false);
    }

    void timerCallback() override
    {
        stopTimer();
        fadeBubbleOut (*this);
    }

    juce::String text;
    juce::Font font;
};

//==============================================================================
/** The value-entry bubble: a centred one-line editor on the bubble background. */
class OrvelKnob::OrvelBubbleEditValueKnob : public juce::Component,
                                            public juce::Timer,
                                            private juce::TextEditor::Listener
{
public:
    explicit OrvelBubbleEditValueKnob (OrvelKnob& ownerKnob)
        : owner (ownerKnob)
    {
        setAlpha (0.0f);
        editor.setMultiLine (false);
        editor.setJustification (juce::Justification::centred);
        editor.setFont (OrvelLookAndFeel::regularFont (14.0f));
        editor.setColour (juce::TextEditor::textColourId, juce::Colour (0xff202020));
        editor.addListener (this);
        addAndMakeVisible (editor);
    }

    ~OrvelBubbleEditValueKnob() override { editor.removeListener (this); }

    void paint (juce::Graphics& g) override { paintBubbleBackground (g, *this); }
    void resized() override { editor.setBounds (getLocalBounds().translated (0, -2)); }

    void timerCallback() override
    {
        stopTimer();
        fadeBubbleOut (*this);
    }

    juce::TextEditor editor;

private:
    void textEditorReturnKeyPressed (juce::TextEditor&) override { owner.applyEditedText (editor.getText()); }
    void textEditorEscapeKeyPressed (juce::TextEditor&) override { startTimer (250); }
    void textEditorFocusLost (juce::TextEditor&) override { startTimer (500); }

    OrvelKnob& owner;
};

} // namespace orvel
