// The loadable module: the CLAP entry record, and the one place where the
// binding meets the product.

#include "ClapEntry.h"
#include "engine/WrendleFoldProcessor.h"

juce::AudioProcessor* clapbinding::createProcessorForBinding()
{
    return createWrendleFoldProcessor();
}

extern "C" CLAP_EXPORT const clap_plugin_entry clap_entry {
    { 1, 2, 0 },
    clapbinding::entryInit,
    clapbinding::entryDeinit,
    clapbinding::entryGetFactory
};
