#pragma once

#include <lv2/core/lv2.h>
#include <lv2/ui/ui.h>

namespace juce
{
class AudioProcessor;
}

namespace lv2binding
{

// Supplied by the loadable module, the one place that knows the product.

/** A new processor for one plug-in instance (the caller owns it). */
juce::AudioProcessor* createProcessorForBinding();

/** The plug-in's URI, as its bundle's Turtle states it. */
const char* pluginUriForBinding() noexcept;

// Supplied by the binding: what the module's lv2_descriptor and lv2ui_descriptor return.

const LV2_Descriptor* pluginDescriptor() noexcept;
const LV2UI_Descriptor* uiDescriptor() noexcept;

} // namespace lv2binding
