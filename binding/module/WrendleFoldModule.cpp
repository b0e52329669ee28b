// The loadable module: the CLAP entry record, and the one place where the
// binding meets the product.

#include "ProductIdentity.h"
#include "binding/ClapEntry.h"
#include "plugin/WrendleFoldProcessor.h"

juce::AudioProcessor* clapbinding::createProcessorForBinding()
{
    return createWrendleFoldProcessor();
}

const clap_plugin_descriptor& clapbinding::descriptorForBinding() noexcept
{
    namespace id = wrendle::identity;
    static const char* features[] = { CLAP_PLUGIN_FEATURE_AUDIO_EFFECT, nullptr };
    static const clap_plugin_descriptor descriptor {
        { 1, 2, 0 }, // the CLAP version this plug-in speaks
        id::clapId,
        id::productName,
        id::vendor,
        "",             // url
        id::vendorSite, // manual_url
        id::vendorSite, // support_url
        id::version,
        "", // description
        features
    };
    return descriptor;
}

extern "C" CLAP_EXPORT const clap_plugin_entry clap_entry {
    { 1, 2, 0 },
    clapbinding::entryInit,
    clapbinding::entryDeinit,
    clapbinding::entryGetFactory
};
