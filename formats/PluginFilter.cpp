// The one place where JUCE's format wrappers meet the product: every wrapper
// asks this function for its processor.

#include "plugin/WrendleFoldProcessor.h"

#include <juce_audio_plugin_client/juce_audio_plugin_client.h>

namespace
{
/** The processor as the format wrappers see it. Its own Bypass parameter is the
    one a host's bypass switch moves (VST3's bypass flag, LV2's enabled port):
    without it the wrappers would add a second bypass that skips the chain's
    click-free, latency-aligned bypass. */
class FormatProcessor final : public WrendleFoldProcessor
{
public:
    juce::AudioProcessorParameter* getBypassParameter() const override { return getParameterSet().bypass; }
};
} // namespace

juce::AudioProcessor* JUCE_CALLTYPE createPluginFilter()
{
    return new FormatProcessor();
}
