// The LV2 plug-in binary: its two descriptors, and the one place where the LV2
// binding meets the product.

#include "ProductIdentity.h"
#include "lv2/Lv2Entry.h"
#include "plugin/WrendleFoldProcessor.h"

juce::AudioProcessor* lv2binding::createProcessorForBinding()
{
    return createWrendleFoldProcessor();
}

const char* lv2binding::pluginUriForBinding() noexcept
{
    return wrendle::identity::lv2Uri;
}

extern "C" LV2_SYMBOL_EXPORT const LV2_Descriptor* lv2_descriptor (uint32_t index)
{
    return index == 0 ? lv2binding::pluginDescriptor() : nullptr;
}

extern "C" LV2_SYMBOL_EXPORT const LV2UI_Descriptor* lv2ui_descriptor (uint32_t index)
{
    return index == 0 ? lv2binding::uiDescriptor() : nullptr;
}
