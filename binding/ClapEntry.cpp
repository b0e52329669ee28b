#include "binding/ClapEntry.h"

#include "binding/ClapBinding.h"
#include "binding/HostTimerMessagePump.h"

#include <cstring>
#include <iostream>

namespace clapbinding
{

namespace
{
    uint32_t getPluginCount (const clap_plugin_factory*)
    {
        return 1;
    }

    const clap_plugin_descriptor* getPluginDescriptor (const clap_plugin_factory*, uint32_t)
    {
        return &descriptorForBinding();
    }

    const clap_plugin* createPlugin (const clap_plugin_factory*, const clap_host* host, const char* pluginId)
    {
        // JUCE comes up with the first instance and stays up while any instance holds its own token.
        const juce::ScopedJuceInitialiser_GUI juceForThisCall;

        const auto& descriptor = descriptorForBinding();

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

bool entryInit (const char*)
{
    return true;
}

void entryDeinit() {}

const void* entryGetFactory (const char* factoryId)
{
    if (factoryId != nullptr && std::strcmp (factoryId, CLAP_PLUGIN_FACTORY_ID) == 0)
        return &factory;
    return nullptr;
}

} // namespace clapbinding
