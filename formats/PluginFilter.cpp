// The one place where JUCE's format wrappers meet the product: every wrapper
// asks this function for its processor.

#include "engine/WrendleFoldProcessor.h"

#include <juce_audio_plugin_client/juce_audio_plugin_client.h>

juce::AudioProcessor* JUCE_CALLTYPE createPluginFilter()
{
    return createWrendleFoldProcessor();
}
