#pragma once

#include <juce_audio_processors/juce_audio_processors.h>

#include <vector>

namespace wrendle
{

/**
    The factory bank's source: one readable text from which every factory preset
    file is generated (tools/preset-bank) and against which the tests check them.

        # A comment line.
        [Bass]                        a category, listed in this order
        signal = bass                 the test signal its presets are rendered on
        [Bass/Sub Focus]              a preset of that category
        Fold Amount = 2.50            a parameter, by its name, with the text the
        Mix = 60%                     plug-in shows for the value

    Parameters a preset does not name keep their built-in defaults. Bypass is the
    host's and the user's, never a preset's.
*/
struct FactoryPreset
{
    juce::String category;
    juce::String name;
    juce::StringArray parameterNames; ///< in source order
    juce::StringArray valueTexts;     ///< one per name
    int line = 0;

    juce::String getRelativePath() const { return category + "/" + name; }
};

struct FactoryCategory
{
    juce::String name;
    juce::String signal;
};

struct FactoryBank
{
    std::vector<FactoryCategory> categories;
    std::vector<FactoryPreset> presets;

    const FactoryCategory* findCategory (const juce::String& name) const;
};

/** The bank, or an error message naming the line at fault. */
struct FactoryBankParse
{
    FactoryBank bank;
    juce::String error;
};

FactoryBankParse parseFactoryBank (const juce::String& text);

/** Sets the parameters to a preset: every one to its default, then each named one
    to the value of its text, which the parameter must show again as written.
    `usersOnly` (Bypass) may not be named. Empty on success, else what is wrong. */
juce::String applyFactoryPreset (const juce::Array<juce::AudioProcessorParameter*>& parameters, const FactoryPreset& preset,
                                 const juce::AudioProcessorParameter* usersOnly);
FactoryBankParse readFactoryBank (const juce::File& source);

} // namespace wrendle
