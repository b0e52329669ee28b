#pragma once

#include "ProbeProcessor.h"
#include "binding/ClapBinding.h"
#include "tests/support/TestHost.h"

#include <gtest/gtest.h>

/** A binding around a ProbeProcessor, reached through its CLAP record as a host would, on a
    TestHost; destroyed through CLAP at the end of each test. */
class ProbeBinding : public ::testing::Test
{
protected:
    void SetUp() override { create(); }
    void TearDown() override { destroy(); }

    void create (ProbeProcessor::BusesProperties buses = ProbeProcessor::stereoBuses())
    {
        auto processor = std::make_unique<ProbeProcessor> (buses);
        probe = processor.get();
        binding = new clapbinding::ClapBinding (host.clapHost(), std::move (processor));
        plugin = binding->clapPlugin();
    }

    void destroy()
    {
        if (plugin != nullptr)
            plugin->destroy (plugin);

        plugin = nullptr;
        binding = nullptr;
        probe = nullptr;
    }

    /** init, activate and start processing, then forget what that logged. */
    void startProcessing (double sampleRate = 48000.0, uint32_t maxFrames = 1024)
    {
        ASSERT_TRUE (plugin->init (plugin));
        ASSERT_TRUE (plugin->activate (plugin, sampleRate, 1, maxFrames));
        ASSERT_TRUE (plugin->start_processing (plugin));
        host.clearLog();
    }

    /** While it lives, the host's thread check says "audio thread". */
    struct AudioThread
    {
        explicit AudioThread (TestHost& h)
            : host (h)
        {
            host.mainThread = false;
            host.audioThread = true;
        }

        ~AudioThread()
        {
            host.mainThread = true;
            host.audioThread = false;
        }

        TestHost& host;
    };

    template <typename Table>
    const Table* extension (const char* id) const
    {
        return extensionOf<Table> (plugin, id);
    }

    const clap_plugin_params* params() const { return extension<clap_plugin_params> (CLAP_EXT_PARAMS); }
    const clap_plugin_gui* gui() const { return extension<clap_plugin_gui> (CLAP_EXT_GUI); }
    const clap_plugin_state* state() const { return extension<clap_plugin_state> (CLAP_EXT_STATE); }

    clap_id idOf (const char* identifier) const { return clapbinding::parameterIdFromIdentifier (identifier); }

    TestHost host;
    ProbeProcessor* probe = nullptr;
    clapbinding::ClapBinding* binding = nullptr;
    const clap_plugin* plugin = nullptr;
};
