// A second process for the settings tests: sets "<prefix><i>" to true in the
// maker-wide settings file of $HOME, one option-menu write at a time, for i in
// 0 .. count-1. Exits with 0 when every write succeeded.
#include "state/OrvelSettings.h"

int main (int argc, char** argv)
{
    if (argc != 3)
        return 2;

    const juce::String prefix (argv[1]);
    const auto count = juce::String (argv[2]).getIntValue();
    orvel::OrvelSettings settings;
    auto failures = 0;

    for (int i = 0; i < count; ++i)
        if (! settings.writeMakerBool (prefix + juce::String (i), true))
            ++failures;

    return failures == 0 ? 0 : 1;
}
