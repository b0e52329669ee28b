#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

namespace orvel
{

/** Covers the whole window while the skin images are rebuilt: a word with
    animated dots inside a dashed frame. It keeps JUCE's default mouse handling,
    so while visible it swallows every click aimed at the window beneath. */
class LoadingOverlay : public juce::Component,
                       public juce::Timer
{
public:
    LoadingOverlay() = default;

    static constexpr const char* word = "Loading";

    /** The dots after the word: "", ".", "..", "..." and round again. It is not
        reset when the overlay is shown again. */
    const juce::String& getDots() const noexcept { return dots; }

    /** Plain: an opaque dark ground in the dashed frame, without the word. The
        first window of a process shows this until its typefaces exist (see
        OrvelLookAndFeel::prepareTypefaces()); being opaque, it also keeps every
        control behind it, text and all, from painting. */
    void setPlain (bool shouldBePlain);
    bool isPlain() const noexcept { return plain; }

    void paint (juce::Graphics& g) override;
    void timerCallback() override;

private:
    juce::String dots;
    bool plain = false;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (LoadingOverlay)
};

} // namespace orvel
