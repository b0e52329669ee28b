// The LV2 UI as a host shows it: the editor inside the host's window, found
// through instance-access, turned by the host's idle calls, writing what the
// editor changes back to the host's ports.

#include "Lv2Rig.h"
#include "engine/WrendleFoldParameters.h"
#include "lv2/Lv2Entry.h"

#include <gtest/gtest.h>
#include <lv2/instance-access/instance-access.h>

#include <vector>

#if JUCE_LINUX || JUCE_BSD
#include <X11/Xlib.h>
#endif

using namespace lv2test;

// What the bundle's module supplies; here the processor comes from the rig.
juce::AudioProcessor* lv2binding::createProcessorForBinding()
{
    return new WrendleFoldProcessor (wrendle_test::refusingNewsAddress());
}

const char* lv2binding::pluginUriForBinding() noexcept
{
    return pluginUri;
}

namespace
{
/** What the UI wrote to the host's ports: (port, value). */
std::vector<std::pair<uint32_t, float>> writes;

void recordWrite (LV2UI_Controller, uint32_t port, uint32_t size, uint32_t protocol, const void* buffer)
{
    ASSERT_EQ (size, sizeof (float));
    ASSERT_EQ (protocol, 0u);
    writes.emplace_back (port, *static_cast<const float*> (buffer));
}
} // namespace

TEST (Lv2Ui, ShowsTheEditorInTheHostsWindowAndWritesWhatTheEditorMovesToTheHostsPorts)
{
    if (juce::Desktop::getInstance().getDisplays().getPrimaryDisplay() == nullptr)
        GTEST_SKIP() << "no display";

#if JUCE_LINUX || JUCE_BSD
    // A bare Xvfb has no window manager; its missing atoms must not end the process.
    XSetErrorHandler ([] (Display*, XErrorEvent*)
                      { return 0; });
#endif

    Rig rig;
    rig.connectAll (64);
    rig.run (64);

    // The host's window.
    juce::Component parent;
    parent.setSize (1000, 1000);
    parent.addToDesktop (0);
    parent.setVisible (true);

    const LV2_Feature instanceAccess { LV2_INSTANCE_ACCESS_URI, rig.plugin.get() };
    const LV2_Feature parentFeature { LV2_UI__parent, parent.getWindowHandle() };
    const LV2_Feature* features[] = { &instanceAccess, &parentFeature, nullptr };

    const auto* descriptor = lv2binding::uiDescriptor();
    EXPECT_STREQ (descriptor->URI, (std::string (pluginUri) + ":UI").c_str());
    const auto* idle = static_cast<const LV2UI_Idle_Interface*> (descriptor->extension_data (LV2_UI__idleInterface));
    ASSERT_NE (idle, nullptr);

    writes.clear();
    LV2UI_Widget widget = nullptr;
    auto* ui = descriptor->instantiate (descriptor, pluginUri, "", recordWrite, nullptr, &widget, features);
    ASSERT_NE (ui, nullptr);
    EXPECT_NE (widget, nullptr);
    EXPECT_NE (rig.product->getActiveEditor(), nullptr);

    idle->idle (ui);
    EXPECT_TRUE (writes.empty()) << "nothing moved, nothing to write";

    // The editor moves Mix; the next idle call tells the host, once.
    rig.parameter (wrendle::mixIndex).setValueNotifyingHost (0.25f);
    idle->idle (ui);
    idle->idle (ui);
    ASSERT_EQ (writes.size(), 1u);
    EXPECT_EQ (writes[0].first, lv2binding::portForParameter (wrendle::mixIndex));
    EXPECT_FLOAT_EQ (writes[0].second, 0.25f);

    // The host's port follows; a host move of another port is not echoed.
    rig.port (wrendle::mixIndex) = 0.25f;
    rig.port (wrendle::foldAmountIndex) = 0.5f;
    rig.run (64);
    idle->idle (ui);
    EXPECT_EQ (writes.size(), 1u);

    // Without a UI nothing writes the ports: without instance-access or a parent, no UI.
    descriptor->cleanup (ui);
    EXPECT_EQ (rig.product->getActiveEditor(), nullptr);
    const LV2_Feature* noParent[] = { &instanceAccess, nullptr };
    EXPECT_EQ (descriptor->instantiate (descriptor, pluginUri, "", recordWrite, nullptr, &widget, noParent), nullptr);
}
