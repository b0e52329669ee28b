#pragma once

#include <clap/entry.h>
#include <clap/plugin-factory.h>

#include <juce_audio_processors/juce_audio_processors.h>

namespace clapbinding
{

/** The plug-in's descriptor, as the factory lists it and every instance's
    plug-in record references it; defined, like the function below, by whatever
    links the binding. It must live as long as the module is loaded. */
const clap_plugin_descriptor& descriptorForBinding() noexcept;

/** Builds the product's processor for a new instance. The binding knows no
    product: whatever links it (the shipped module, a test) defines this. */
juce::AudioProcessor* createProcessorForBinding();

/** The entry record's three functions and the factory they hand out. */
bool entryInit (const char* pluginPath);
void entryDeinit();
const void* entryGetFactory (const char* factoryId);

} // namespace clapbinding
