#pragma once

#include <juce_core/juce_core.h>

namespace lv2binding
{

/**
    The URIs a plug-in derives from its own URI.

    The binding saves the processor's state as an atom:Chunk under "<uri>:ProcessorState". It
    still reads the keys JUCE's LV2 wrapper wrote, which earlier releases of a plug-in built with
    it saved into hosts' projects: the whole state as JUCE's base64 text ("<uri>:StateString",
    atom:String) and, in a program preset, the program's index ("<uri>:Program", atom:Int). A
    key of its own tells such a state from the binding's: its bypass parameter holds the host's
    bypass, not the user's setting.
*/
struct PluginUris
{
    explicit PluginUris (const juce::String& pluginUri)
        : plugin (pluginUri),
          ui (pluginUri + ":UI"),
          processorState (pluginUri + ":ProcessorState"),
          stateString (pluginUri + ":StateString"),
          program (pluginUri + ":Program"),
          presetSettings (pluginUri + ":PresetSettings")
    {
    }

    juce::String plugin;
    juce::String ui;
    juce::String processorState;
    juce::String stateString;
    juce::String program;
    /** A factory preset's settings text, applied as a preset rather than a whole state. */
    juce::String presetSettings;
};

} // namespace lv2binding
