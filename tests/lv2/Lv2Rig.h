#pragma once

#include "lv2/Lv2Plugin.h"
#include "lv2/Lv2Ports.h"
#include "plugin/WrendleFoldProcessor.h"
#include "tests/support/NewsAddresses.h"

#include <lv2/atom/atom.h>
#include <lv2/atom/util.h>
#include <lv2/buf-size/buf-size.h>
#include <lv2/options/options.h>
#include <lv2/urid/urid.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

/** What an LV2 host gives the binding: a URID map, the block-size options and the port buffers. */
namespace lv2test
{
constexpr const char* pluginUri = "https://kestrivane.com/wrendle-fold/lv2";
constexpr double sampleRate = 48000.0;

/** A host's URID map: each URI gets the next number, from 1. */
struct UridMap
{
    UridMap() { feature.handle = this, feature.map = &UridMap::map; }

    static LV2_URID map (LV2_URID_Map_Handle handle, const char* uri)
    {
        auto& ids = static_cast<UridMap*> (handle)->ids;
        return ids.emplace (uri, (LV2_URID) ids.size() + 1).first->second;
    }

    LV2_URID operator() (const std::string& uri) { return map (this, uri.c_str()); }

    std::map<std::string, LV2_URID> ids;
    LV2_URID_Map feature {};
};

/** A plug-in instance over the product's processor, with buffers connected to every port. */
struct Rig
{
    /** maxBlock 0: no options feature; withMap false: no URID map either. */
    explicit Rig (int maxBlock = 512, bool withMap = true, double rate = sampleRate)
    {
        blockOption = maxBlock;
        options[0] = { LV2_OPTIONS_INSTANCE, 0, uridMap (LV2_BUF_SIZE__maxBlockLength), sizeof (int32_t), uridMap (LV2_ATOM__Int), &blockOption };
        options[1] = { LV2_OPTIONS_INSTANCE, 0, 0, 0, 0, nullptr };
        mapFeature = { LV2_URID__map, &uridMap.feature };
        optionsFeature = { LV2_OPTIONS__options, options };

        std::vector<const LV2_Feature*> list;
        if (withMap)
            list.push_back (&mapFeature);
        if (withMap && maxBlock > 0)
            list.push_back (&optionsFeature);
        list.push_back (nullptr);

        auto processor = std::make_unique<WrendleFoldProcessor> (wrendle_test::refusingNewsAddress());
        product = processor.get();
        plugin = std::make_unique<lv2binding::Lv2Plugin> (std::move (processor), pluginUri, rate, list.data());

        parameterPorts.resize ((size_t) plugin->getNumParameters());
        for (int i = 0; i < plugin->getNumParameters(); ++i)
            parameterPorts[(size_t) i] = lv2binding::Lv2Plugin::toPlain (plugin->getParameter (i), plugin->getParameter (i).getDefaultValue());
    }

    /** Connects every port, audio buffers sized for `frames`. */
    void connectAll (int frames)
    {
        for (auto* channel : { &inputs[0], &inputs[1], &outputs[0], &outputs[1] })
            channel->assign ((size_t) frames, 0.0f);

        using namespace lv2binding;
        plugin->connectPort (audioIn1Port, inputs[0].data());
        plugin->connectPort (audioIn2Port, inputs[1].data());
        plugin->connectPort (audioOut1Port, outputs[0].data());
        plugin->connectPort (audioOut2Port, outputs[1].data());
        plugin->connectPort (eventsOutPort, events.data());
        plugin->connectPort (latencyPort, &latency);
        plugin->connectPort (freeWheelingPort, &freeWheeling);
        plugin->connectPort (enabledPort, &enabled);
        for (size_t i = 0; i < parameterPorts.size(); ++i)
            plugin->connectPort (portForParameter ((int) i), &parameterPorts[i]);
    }

    /** Runs `frames` frames, the events port's capacity set first, as a host does. */
    void run (int frames)
    {
        reinterpret_cast<LV2_Atom*> (events.data())->size = (uint32_t) (events.size() * sizeof (events[0]) - sizeof (LV2_Atom));
        plugin->run ((uint32_t) frames);
    }

    float& port (int parameterIndex) { return parameterPorts[(size_t) parameterIndex]; }
    juce::AudioProcessorParameter& parameter (int index) { return plugin->getParameter (index); }

    UridMap uridMap;
    int32_t blockOption = 0;
    LV2_Options_Option options[2] {};
    LV2_Feature mapFeature {}, optionsFeature {};
    WrendleFoldProcessor* product = nullptr;
    std::unique_ptr<lv2binding::Lv2Plugin> plugin;

    std::vector<float> inputs[2], outputs[2];
    std::vector<uint64_t> events = std::vector<uint64_t> (64); // 8-byte aligned, as atoms must be
    std::vector<float> parameterPorts;
    float latency = -1.0f, freeWheeling = 0.0f, enabled = 1.0f;
};

} // namespace lv2test
