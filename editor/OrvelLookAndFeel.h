#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

namespace orvel
{

/** The framework's look and feel: colours, fonts and drawing of every control. */
class OrvelLookAndFeel : public juce::LookAndFeel_V4
{
public:
    OrvelLookAndFeel() = default;

private:
    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (OrvelLookAndFeel)
};

} // namespace orvel
