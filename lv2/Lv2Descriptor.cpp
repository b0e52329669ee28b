#include "lv2/Lv2Entry.h"
#include "lv2/Lv2Plugin.h"

#include <cstring>

// The plug-in's descriptor: LV2's C calls, each handed to the instance.

namespace lv2binding
{

namespace
{
    Lv2Plugin& instanceOf (LV2_Handle handle) noexcept
    {
        return *static_cast<Lv2Plugin*> (handle);
    }

    LV2_Handle instantiate (const LV2_Descriptor*, double sampleRate, const char*, const LV2_Feature* const* features)
    {
        try
        {
            // JUCE comes up with the first instance and stays up while any instance holds its own token.
            const juce::ScopedJuceInitialiser_GUI juceForThisCall;
            std::unique_ptr<juce::AudioProcessor> processor (createProcessorForBinding());

            if (processor == nullptr)
                return nullptr;

            return new Lv2Plugin (std::move (processor), pluginUriForBinding(), sampleRate, features);
        }
        catch (...)
        {
            return nullptr;
        }
    }

    void connectPort (LV2_Handle handle, uint32_t port, void* data)
    {
        instanceOf (handle).connectPort (port, data);
    }

    void activate (LV2_Handle handle)
    {
        instanceOf (handle).activate();
    }

    void run (LV2_Handle handle, uint32_t numFrames)
    {
        instanceOf (handle).run (numFrames);
    }

    void deactivate (LV2_Handle handle)
    {
        instanceOf (handle).deactivate();
    }

    void cleanup (LV2_Handle handle)
    {
        delete static_cast<Lv2Plugin*> (handle);
    }

    LV2_State_Status saveState (LV2_Handle handle, LV2_State_Store_Function store, LV2_State_Handle stateHandle, uint32_t,
                                const LV2_Feature* const*)
    {
        return instanceOf (handle).saveState (store, stateHandle);
    }

    LV2_State_Status restoreState (LV2_Handle handle, LV2_State_Retrieve_Function retrieve, LV2_State_Handle stateHandle,
                                   uint32_t, const LV2_Feature* const*)
    {
        return instanceOf (handle).restoreState (retrieve, stateHandle);
    }

    const void* extensionData (const char* uri)
    {
        static const LV2_State_Interface stateInterface { saveState, restoreState };

        if (uri != nullptr && std::strcmp (uri, LV2_STATE__interface) == 0)
            return &stateInterface;

        return nullptr;
    }
} // namespace

const LV2_Descriptor* pluginDescriptor() noexcept
{
    static const LV2_Descriptor descriptor {
        pluginUriForBinding(), instantiate, connectPort, activate, run, deactivate, cleanup, extensionData
    };
    return &descriptor;
}

} // namespace lv2binding
