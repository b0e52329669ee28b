#pragma once

#include "tests/support/TestHost.h"

#include <gtest/gtest.h>

#include "binding/clapcheck/ClapExtensions.h"
#include <clap/ext/audio-ports.h>
#include <clap/ext/note-ports.h>
#include <clap/ext/timer-support.h>

/** The shipped module, loaded once for the suite, and a host to create instances on. */
class Module : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        if (module == nullptr)
            module = new LoadedModule (WRENDLE_MODULE_PATH);
    }

    // The module stays loaded until the process ends, as hosts keep theirs: JUCE inside it may
    // leave helpers behind that a dlclose would cut from under them.
    static void TearDownTestSuite() {}

    void SetUp() override { ASSERT_NE (module->entry(), nullptr) << module->error(); }

    const clap_plugin_factory& factory() { return *module->factory(); }

    const clap_plugin* create (const char* id = pluginId) { return factory().create_plugin (&factory(), host.clapHost(), id); }

    static constexpr const char* pluginId = "com.Kestrivane.WrendleFold";
    static inline LoadedModule* module = nullptr;
    TestHost host;
};

/** One initialised instance of the shipped plug-in, destroyed at the end of the test. */
class ModuleInstance : public Module
{
protected:
    void SetUp() override
    {
        Module::SetUp();
        recreate();
    }

    void TearDown() override { destroy(); }

    void destroy()
    {
        if (plugin != nullptr)
            plugin->destroy (plugin);

        plugin = nullptr;
    }

    void recreate()
    {
        destroy();
        plugin = create();
        ASSERT_NE (plugin, nullptr);
        ASSERT_TRUE (plugin->init (plugin));
        host.clearLog();
    }

    const clap_plugin_params& params() const { return *extensionOf<clap_plugin_params> (plugin, CLAP_EXT_PARAMS); }
    const clap_plugin_state& state() const { return *extensionOf<clap_plugin_state> (plugin, CLAP_EXT_STATE); }

    /** Every parameter's CLAP value, in parameter order. */
    std::vector<double> allValues() const
    {
        std::vector<double> values;

        for (uint32_t i = 0; i < params().count (plugin); ++i)
        {
            clap_param_info info {};
            double value = -1.0;
            params().get_info (plugin, i, &info);
            params().get_value (plugin, info.id, &value);
            values.push_back (value);
        }

        return values;
    }

    const clap_plugin* plugin = nullptr;
};
