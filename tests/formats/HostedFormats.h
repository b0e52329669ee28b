#pragma once

#include <juce_audio_processors/juce_audio_processors.h>

#include <memory>

namespace juce
{
// One step of JUCE's Linux message loop (juce_linux_Messaging.cpp), which JUCE
// declares in no header: the tests turn the host's loop by hand.
bool dispatchNextMessageOnSystemQueue (bool returnIfNoPendingMessages);
} // namespace juce

/** The plug-in as JUCE's hosting classes load it, from its VST3 module or its LV2 bundle alone. */
namespace hosted
{
enum class Format
{
    vst3,
    lv2
};

constexpr const char* lv2Uri = "https://kestrivane.com/wrendle-fold/lv2";

inline const char* nameOf (Format format)
{
    return format == Format::vst3 ? "VST3" : "LV2";
}

/** The VST3 bundle folder, WrendleFold.vst3, two levels above its binary. */
inline juce::String vst3Bundle()
{
    return juce::File (WRENDLE_VST3_BINARY_DIR).getParentDirectory().getParentDirectory().getFullPathName();
}

/** Loads the plug-in as a host does at this rate and block size; null (and a failure) when it cannot. */
inline std::unique_ptr<juce::AudioPluginInstance> load (Format format, double sampleRate, int blockSize,
                                                        const juce::String& lv2Bundle = WRENDLE_LV2_BUNDLE_DIR)
{
    std::unique_ptr<juce::AudioPluginFormat> pluginFormat;
    if (format == Format::vst3)
        pluginFormat = std::make_unique<juce::VST3PluginFormat>();
    else
        pluginFormat = std::make_unique<juce::LV2PluginFormat>();

    juce::OwnedArray<juce::PluginDescription> found;
    if (format == Format::vst3)
    {
        pluginFormat->findAllTypesForFile (found, vst3Bundle());
    }
    else
    {
        // An LV2 host scans folders of bundles and names a plug-in by its URI.
        pluginFormat->searchPathsForPlugins (juce::FileSearchPath (juce::File (lv2Bundle).getParentDirectory().getFullPathName()), true, false);
        pluginFormat->findAllTypesForFile (found, lv2Uri);
    }
    if (found.isEmpty())
        return nullptr;

    juce::String error;
    auto instance = pluginFormat->createInstanceFromDescription (*found[0], sampleRate, blockSize, error);
    return instance;
}

/** Runs the host's message loop for `milliseconds`: what a plug-in posts to its host (a VST3
    component restart, say) arrives there. */
inline void runHostMessages (int milliseconds)
{
    const auto end = juce::Time::getMillisecondCounter() + (juce::uint32) milliseconds;
    while (juce::Time::getMillisecondCounter() < end)
    {
        while (juce::dispatchNextMessageOnSystemQueue (true))
        {
        }
        juce::Thread::sleep (5);
    }
}

inline juce::AudioProcessorParameter* findParameter (juce::AudioProcessor& processor, const juce::String& name)
{
    for (auto* parameter : processor.getParameters())
        if (parameter->getName (256) == name)
            return parameter;
    return nullptr;
}

} // namespace hosted
