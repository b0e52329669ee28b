#include "ClapEntry.h"

#include "ClapBinding.h"
#include "HostTimerMessagePump.h"

#include <cstring>
#include <iostream>

namespace clapbinding
{

namespace
{
    const char* features[] = { CLAP_PLUGIN_FEATURE_AUDIO_EFFECT, nullptr };

    constexpr const char* makerSite = "https://kestrivane.com/";

    const clap_plugin_descriptor descriptor {
        { 1, 2, 0 },                  // the CLAP version this plug-in speaks
        "com.Kestrivane.WrendleFold", // id
        "Wrendle Fold",               // name
        "Kestrivane",                 // vendor
        "",                           // url
        makerSite,                    // manual_url
        makerSite,                    // support_url
        "1.1.1",                      // version
        "",                           // description
        features
    };

    uint32_t getPluginCount (const clap_plugin_factory*) { return 1; }

    const clap_plugin_descriptor* getPluginDescriptor (const clap_plugin_factory*, uint32_t)
    {
        return &descriptor;
    }

    const clap_plugin* createPlugin (const clap_plugin_factory*, const clap_host* host, const char* pluginId)
    {
        // JUCE comes up with the first instance and stays up while any instance holds its own token.
        const juce::ScopedJuceInitialiser_GUI juceForThisCall;

        if (pluginId == nullptr || std::strcmp (pluginId, descriptor.id) != 0)
        {
            std::cout << "Warning: CLAP asked for plugin_id '" << (pluginId != nullptr ? pluginId : "")
                      << "' and this plug-in's ID is '" << descriptor.id << "'" << std::endl;
            return nullptr;
        }

        std::unique_ptr<juce::AudioProcessor> processor (createProcessorForBinding());
        if (processor == nullptr)
            return nullptr;

        auto* binding = new ClapBinding (host, std::move (processor));
        // Inside a host nothing else turns JUCE's message loop on Linux.
        binding->setGuiEventLoop (std::make_unique<HostTimerMessagePump>());
        return binding->clapPlugin();
    }

    const clap_plugin_factory factory { getPluginCount, getPluginDescriptor, createPlugin };
} // namespace

const clap_plugin_descriptor& getDescriptor() noexcept { return descriptor; }

bool entryInit (const char*) { return true; }

void entryDeinit() {}

const void* entryGetFactory (const char* factoryId)
{
    if (factoryId != nullptr && std::strcmp (factoryId, CLAP_PLUGIN_FACTORY_ID) == 0)
        return &factory;
    return nullptr;
}

} // namespace clapbinding
