#include "ClapIds.h"
#include "TestHost.h"

#include <clap/ext/latency.h>
#include <clap/ext/params.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace
{
constexpr const char* pluginId = "com.Kestrivane.WrendleFold";

class Module : public ::testing::Test
{
protected:
    static void SetUpTestSuite() { module = new LoadedModule (WRENDLE_MODULE_PATH); }
    static void TearDownTestSuite()
    {
        delete module;
        module = nullptr;
    }

    void SetUp() override { ASSERT_NE (module->entry(), nullptr) << module->error(); }

    const clap_plugin_factory& factory() { return *module->factory(); }

    const clap_plugin* create (const char* id = pluginId)
    {
        return factory().create_plugin (&factory(), &host.host, id);
    }

    static LoadedModule* module;
    TestHost host;
};

LoadedModule* Module::module = nullptr;

TEST_F (Module, EntrySpeaksClap120AndHandsOutTheFactoryOnlyForItsExactId)
{
    const auto& entry = *module->entry();
    EXPECT_EQ (entry.clap_version.major, 1u);
    EXPECT_EQ (entry.clap_version.minor, 2u);
    EXPECT_EQ (entry.clap_version.revision, 0u);

    EXPECT_NE (entry.get_factory ("clap.plugin-factory"), nullptr);
    for (auto* other : { "clap.plugin-factor", "clap.plugin-factory2", "", "CLAP.PLUGIN-FACTORY", "clap.preset-discovery-factory/2" })
        EXPECT_EQ (entry.get_factory (other), nullptr) << other;
}

TEST_F (Module, FactoryOffersOnePluginWhoseDescriptorAnswersEveryIndex)
{
    EXPECT_EQ (factory().get_plugin_count (&factory()), 1u);

    const auto* d = factory().get_plugin_descriptor (&factory(), 0);
    ASSERT_NE (d, nullptr);
    EXPECT_EQ (factory().get_plugin_descriptor (&factory(), 5), d);

    EXPECT_STREQ (d->id, pluginId);
    EXPECT_STREQ (d->name, "Wrendle Fold");
    EXPECT_STREQ (d->vendor, "Kestrivane");
    EXPECT_STREQ (d->url, "");
    EXPECT_STREQ (d->version, "1.1.1");
    EXPECT_STREQ (d->description, "");
    EXPECT_STRNE (d->manual_url, "");
    EXPECT_STREQ (d->support_url, d->manual_url);
    ASSERT_NE (d->features, nullptr);
    EXPECT_STREQ (d->features[0], "audio-effect");
    EXPECT_EQ (d->features[1], nullptr);
    EXPECT_EQ (d->clap_version.minor, 2u);
}

TEST_F (Module, CreatingWithAnotherIdPrintsTheWarningAndReturnsNull)
{
    const clap_plugin* plugin = nullptr;
    const auto printed = captureStdout ([&] { plugin = create ("com.Kestrivane.Other"); });

    EXPECT_EQ (plugin, nullptr);
    EXPECT_EQ (printed, "Warning: CLAP asked for plugin_id 'com.Kestrivane.Other' and this plug-in's ID is 'com.Kestrivane.WrendleFold'\n");
}

TEST_F (Module, CreatedPluginReferencesTheDescriptorAndItsOwnBinding)
{
    const auto* plugin = create();
    ASSERT_NE (plugin, nullptr);
    EXPECT_EQ (plugin->desc, factory().get_plugin_descriptor (&factory(), 0));
    EXPECT_NE (plugin->plugin_data, nullptr);
    EXPECT_TRUE (plugin->init (plugin));
    plugin->destroy (plugin);
}

/** Runs a full lifecycle and returns the number of parameters the plug-in reports. */
uint32_t runLifecycle (const clap_plugin* plugin)
{
    EXPECT_TRUE (plugin->activate (plugin, 48000.0, 1, 256));
    EXPECT_TRUE (plugin->start_processing (plugin));
    std::vector<float> left (256), right (256);
    for (size_t i = 0; i < left.size(); ++i)
        left[i] = right[i] = 0.25f * (float) std::sin (0.05 * (double) i);
    processStereo (plugin, left, right, nullptr, nullptr);
    float peak = 0.0f;
    for (auto s : left)
    {
        EXPECT_TRUE (std::isfinite (s));
        peak = std::max (peak, std::abs (s));
    }
    EXPECT_GT (peak, 0.01f); // the instance really processed the block
    plugin->stop_processing (plugin);
    plugin->deactivate (plugin);

    const auto* params = static_cast<const clap_plugin_params*> (plugin->get_extension (plugin, CLAP_EXT_PARAMS));
    return params != nullptr ? params->count (plugin) : 0;
}

TEST_F (Module, TwoInstancesLiveSideBySideAndJuceOutlivesTheFirst)
{
    const auto* first = create();
    const auto* second = create();
    ASSERT_NE (first, nullptr);
    ASSERT_NE (second, nullptr);
    EXPECT_NE (first->plugin_data, second->plugin_data);
    ASSERT_TRUE (first->init (first));
    ASSERT_TRUE (second->init (second));

    EXPECT_EQ (runLifecycle (first), 16u);
    first->destroy (first);

    EXPECT_EQ (runLifecycle (second), 16u);
    second->destroy (second);

    // The last instance shut JUCE down; a new one brings it up again.
    const auto* third = create();
    ASSERT_NE (third, nullptr);
    ASSERT_TRUE (third->init (third));
    EXPECT_EQ (runLifecycle (third), 16u);
    third->destroy (third);
}

TEST_F (Module, ParameterIdsAreTheHashesOfTheIdentifiers)
{
    const auto* plugin = create();
    ASSERT_TRUE (plugin->init (plugin));
    const auto* params = static_cast<const clap_plugin_params*> (plugin->get_extension (plugin, CLAP_EXT_PARAMS));
    ASSERT_NE (params, nullptr);

    const char* identifiers[] = { "FoldAmount", "Feedback", "FeedbackLP", "HighPass", "LowPass", "EnvelopeAttack",
                                  "EnvelopeRelease", "EnvelopeAmount", "Input", "Output", "Mix", "Oversampling",
                                  "PrePost", "SoftClip", "Bypass", "AutoGain" };
    ASSERT_EQ (params->count (plugin), 16u);

    for (uint32_t i = 0; i < 16; ++i)
    {
        clap_param_info info {};
        ASSERT_TRUE (params->get_info (plugin, i, &info));
        EXPECT_EQ (info.id, clapbinding::parameterIdFromIdentifier (identifiers[i])) << identifiers[i];
    }

    plugin->destroy (plugin);
}

TEST_F (Module, DestroyingAnActiveInstanceDeactivatesItFirst)
{
    const auto* plugin = create();
    ASSERT_TRUE (plugin->init (plugin));
    ASSERT_TRUE (plugin->activate (plugin, 44100.0, 1, 512));
    plugin->destroy (plugin); // must not crash or leak (the sanitizer builds check the latter)
}
} // namespace
