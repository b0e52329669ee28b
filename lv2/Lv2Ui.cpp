#include "lv2/Lv2Entry.h"
#include "lv2/Lv2Features.h"
#include "lv2/Lv2Plugin.h"
#include "lv2/Lv2Ports.h"
#include "lv2/Lv2Uris.h"

#include "binding/HostTimerMessagePump.h"

#include <lv2/instance-access/instance-access.h>

#include <cstring>

// The editor as an LV2 UI: an X11 window inside the host's parent window, reaching the
// processor through instance-access. The host's idle calls turn JUCE's message loop, as the
// CLAP host's timer does.

namespace lv2binding
{

namespace
{
    /**
        The component placed in the host's window: it holds the processor's editor and follows
        its size, and keeps the host's parameter ports in step with the parameters.

        The plug-in applies a port only when the host moves it; a parameter moved by the editor,
        a preset or a restored state would leave the host showing (and saving) another value.
        Each idle tick writes the value of every parameter that differs from what its port
        held at the last run, once per new value.
    */
    class Lv2Ui final : public juce::Component
    {
    public:
        Lv2Ui (Lv2Plugin& pluginIn, LV2UI_Write_Function writeIn, LV2UI_Controller controllerIn, void* parent,
               const LV2UI_Resize* resizeIn)
            : plugin (pluginIn),
              write (writeIn),
              controller (controllerIn),
              hostResize (resizeIn),
              lastWritten ((size_t) plugin.getNumParameters(), std::numeric_limits<float>::quiet_NaN())
        {
            setOpaque (true);
            editor.reset (plugin.getProcessor().createEditorIfNeeded());

            if (editor != nullptr)
            {
                addAndMakeVisible (*editor);
                setSize (editor->getWidth(), editor->getHeight());
            }

            addToDesktop (0, parent);
            setVisible (true);
            tellHostSize();
        }

        ~Lv2Ui() override
        {
            if (editor != nullptr)
                plugin.getProcessor().editorBeingDeleted (editor.get());

            editor.reset();
            removeFromDesktop();
        }

        bool hasEditor() const noexcept { return editor != nullptr; }

        void idle()
        {
            writeMovedParameters();
            clapbinding::dispatchPendingJuceMessages();
        }

        int resizeFromHost (int width, int height)
        {
            if (editor == nullptr)
                return 1;

            const juce::ScopedValueSetter<bool> scope (sizingFromHost, true);
            editor->setSize (width, height);
            setSize (editor->getWidth(), editor->getHeight());
            return 0;
        }

        void paint (juce::Graphics& g) override { g.fillAll (juce::Colours::black); }

        void childBoundsChanged (juce::Component* child) override
        {
            if (child != editor.get() || editor == nullptr)
                return;

            setSize (editor->getWidth(), editor->getHeight());

            if (! sizingFromHost)
                tellHostSize();
        }

    private:
        void tellHostSize()
        {
            if (hostResize != nullptr && hostResize->ui_resize != nullptr)
                hostResize->ui_resize (hostResize->handle, getWidth(), getHeight());
        }

        void writeMovedParameters()
        {
            if (write == nullptr)
                return;

            for (int i = 0; i < plugin.getNumParameters(); ++i)
            {
                const auto& parameter = plugin.getParameter (i);
                auto value = Lv2Plugin::toPlain (parameter, parameter.getValue());
                auto& written = lastWritten[(size_t) i];

                if (Lv2Plugin::isSameValue (parameter, value, plugin.getHostPortValue (i))
                    || (! std::isnan (written) && Lv2Plugin::isSameValue (parameter, value, written)))
                    continue;

                written = value;
                write (controller, portForParameter (i), sizeof (float), 0, &value);
            }
        }

        Lv2Plugin& plugin;
        const LV2UI_Write_Function write;
        const LV2UI_Controller controller;
        const LV2UI_Resize* const hostResize;
        std::unique_ptr<juce::AudioProcessorEditor> editor;
        std::vector<float> lastWritten;
        bool sizingFromHost = false;

        JUCE_DECLARE_NON_COPYABLE (Lv2Ui)
    };

    LV2UI_Handle instantiate (const LV2UI_Descriptor*, const char*, const char*, LV2UI_Write_Function write,
                              LV2UI_Controller controller, LV2UI_Widget* widget, const LV2_Feature* const* features)
    {
        auto* plugin = static_cast<Lv2Plugin*> (const_cast<void*> (findFeature (features, LV2_INSTANCE_ACCESS_URI)));
        auto* parent = const_cast<void*> (findFeature (features, LV2_UI__parent));

        if (plugin == nullptr || parent == nullptr || widget == nullptr)
            return nullptr;

        try
        {
            // The thread that shows the UI is the one the host calls it on from now on.
            const juce::ScopedJuceInitialiser_GUI juceForThisCall;
            juce::MessageManager::getInstance()->setCurrentThreadAsMessageThread();

            auto ui = std::make_unique<Lv2Ui> (*plugin, write, controller, parent,
                                               static_cast<const LV2UI_Resize*> (findFeature (features, LV2_UI__resize)));

            if (! ui->hasEditor())
                return nullptr;

            *widget = (LV2UI_Widget) ui->getWindowHandle();
            clapbinding::dispatchPendingJuceMessages();
            return ui.release();
        }
        catch (...)
        {
            return nullptr;
        }
    }

    void cleanup (LV2UI_Handle handle)
    {
        delete static_cast<Lv2Ui*> (handle);
    }

    // The editor follows the processor itself; port values need no forwarding.
    void portEvent (LV2UI_Handle, uint32_t, uint32_t, uint32_t, const void*) {}

    int idle (LV2UI_Handle handle)
    {
        try
        {
            static_cast<Lv2Ui*> (handle)->idle();
        }
        catch (...)
        {
            // A throwing callback must not unwind into the host.
        }
        return 0;
    }

    int resize (LV2UI_Feature_Handle handle, int width, int height)
    {
        return static_cast<Lv2Ui*> (handle)->resizeFromHost (width, height);
    }

    const void* extensionData (const char* uri)
    {
        static const LV2UI_Idle_Interface idleInterface { idle };
        static const LV2UI_Resize resizeInterface { nullptr, resize };

        if (uri == nullptr)
            return nullptr;
        if (std::strcmp (uri, LV2_UI__idleInterface) == 0)
            return &idleInterface;
        if (std::strcmp (uri, LV2_UI__resize) == 0)
            return &resizeInterface;
        return nullptr;
    }
} // namespace

const LV2UI_Descriptor* uiDescriptor() noexcept
{
    static const juce::String uri = PluginUris (pluginUriForBinding()).ui;
    static const LV2UI_Descriptor descriptor { uri.toRawUTF8(), instantiate, cleanup, portEvent, extensionData };
    return &descriptor;
}

} // namespace lv2binding
