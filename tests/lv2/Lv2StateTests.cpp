// The state interface: what the binding saves, what it restores, and the states
// that projects and presets already hold.

#include "Lv2Rig.h"
#include "engine/WrendleFoldParameters.h"

#include <gtest/gtest.h>

using namespace lv2test;

namespace
{
/** A host's store of one saved state: key -> (bytes, type, flags). */
struct SavedState
{
    struct Value
    {
        std::string bytes;
        uint32_t type = 0;
        uint32_t flags = 0;
    };

    static LV2_State_Status store (LV2_State_Handle handle, uint32_t key, const void* value, size_t size, uint32_t type, uint32_t flags)
    {
        static_cast<SavedState*> (handle)->values[key] = { std::string (static_cast<const char*> (value), size), type, flags };
        return LV2_STATE_SUCCESS;
    }

    static const void* retrieve (LV2_State_Handle handle, uint32_t key, size_t* size, uint32_t* type, uint32_t* flags)
    {
        auto& values = static_cast<SavedState*> (handle)->values;
        const auto found = values.find (key);
        if (found == values.end())
            return nullptr;
        *size = found->second.bytes.size();
        *type = found->second.type;
        *flags = found->second.flags;
        return found->second.bytes.data();
    }

    LV2_State_Status saveFrom (Rig& rig) { return rig.plugin->saveState (store, this); }
    LV2_State_Status restoreInto (Rig& rig) { return rig.plugin->restoreState (retrieve, this); }

    std::map<uint32_t, Value> values;
};

/** The one string literal after `key` in a Turtle text (escapes undone), as a lilv state file holds it. */
juce::String turtleLiteralAfter (const juce::String& turtle, const juce::String& key)
{
    const auto start = turtle.indexOf (key);
    if (start < 0)
        return {};
    const auto open = turtle.indexOfChar (start + key.length(), '"');
    const auto close = turtle.indexOfChar (open + 1, '"');
    return open < 0 || close < 0 ? juce::String() : turtle.substring (open + 1, close);
}

juce::String textOf (Rig& rig, int index)
{
    return rig.parameter (index).getCurrentValueAsText();
}
} // namespace

TEST (Lv2State, SavesTheProcessorsStateAsAChunkThatRoundTripsIntoANewInstance)
{
    Rig first;
    first.parameter (wrendle::foldAmountIndex).setValueNotifyingHost (0.42f);
    first.parameter (wrendle::oversamplingIndex).setValueNotifyingHost (0.75f);
    first.parameter (wrendle::prePostIndex).setValueNotifyingHost (0.0f);
    first.parameter (wrendle::bypassIndex).setValueNotifyingHost (0.0f);

    SavedState saved;
    ASSERT_EQ (saved.saveFrom (first), LV2_STATE_SUCCESS);
    ASSERT_EQ (saved.values.size(), 1u);
    const auto& [key, value] = *saved.values.begin();
    EXPECT_EQ (key, first.uridMap (std::string (pluginUri) + ":ProcessorState"));
    EXPECT_EQ (value.type, first.uridMap (LV2_ATOM__Chunk));
    EXPECT_EQ (value.flags, (uint32_t) (LV2_STATE_IS_POD | LV2_STATE_IS_PORTABLE));

    // The second host maps URIs in another order.
    Rig second;
    second.uridMap ("urn:something:first");
    SavedState moved;
    for (const auto& [uri, id] : first.uridMap.ids)
        for (const auto& [savedKey, savedValue] : saved.values)
            if (savedKey == id)
                moved.values[second.uridMap (uri)] = { savedValue.bytes, second.uridMap (LV2_ATOM__Chunk), savedValue.flags };

    ASSERT_EQ (moved.restoreInto (second), LV2_STATE_SUCCESS);
    for (int i = 0; i < wrendle::numParameters; ++i)
        EXPECT_EQ (textOf (second, i), textOf (first, i)) << first.parameter (i).getName (64);
}

TEST (Lv2State, AProjectSavedWithTheJuceBuiltBundleLoadsItsSettingsWithThePowerSwitchOn)
{
    // An Ardour session's state.ttl as lilv wrote it for the bundle JUCE's LV2 wrapper built
    // (release 1.1.1): the whole state as base64 text under "<uri>:StateString". That wrapper
    // had copied the host's enabled port, inverted, into the power switch: saved while the
    // host ran the plug-in, the state says "off".
    const auto turtle = juce::File (WRENDLE_LV2_FIXTURES).getChildFile ("juce-wrapper-state.ttl").loadFileAsString();
    const auto base64 = turtleLiteralAfter (turtle, "lv2:StateString>");
    ASSERT_TRUE (base64.isNotEmpty()) << "no state in the fixture";

    Rig rig;
    SavedState saved;
    saved.values[rig.uridMap (std::string (pluginUri) + ":StateString")] = { base64.toStdString() + '\0', rig.uridMap (LV2_ATOM__String), 0 };
    ASSERT_EQ (saved.restoreInto (rig), LV2_STATE_SUCCESS);

    // A session of that release holds no value for the parameter ports: the host leaves them
    // at their defaults, which must not override what the state restored.
    rig.connectAll (128);
    rig.run (128);

    // What the fixture's session was set to.
    EXPECT_EQ (textOf (rig, wrendle::foldAmountIndex), "9.40");
    EXPECT_EQ (textOf (rig, wrendle::mixIndex), "75%");
    EXPECT_EQ (textOf (rig, wrendle::oversamplingIndex), "4X");
    EXPECT_EQ (textOf (rig, wrendle::highPassIndex), "150Hz");
    EXPECT_EQ (textOf (rig, wrendle::prePostIndex), "Normal");
    EXPECT_EQ (textOf (rig, wrendle::softClipIndex), "off");
    EXPECT_EQ (textOf (rig, wrendle::autoGainIndex), "on");
    EXPECT_EQ (textOf (rig, wrendle::bypassIndex), "on") << "the host's bypass is the host's again";
}

TEST (Lv2State, APresetAppliesItsSettingsAndLeavesThePowerSwitchAlone)
{
    Rig author;
    author.parameter (wrendle::foldAmountIndex).setValueNotifyingHost (0.3f);
    author.parameter (wrendle::mixIndex).setValueNotifyingHost (0.4f);
    const auto settings = author.product->createSettingsText();

    Rig rig;
    rig.parameter (wrendle::bypassIndex).setValueNotifyingHost (0.0f);
    SavedState preset;
    preset.values[rig.uridMap (std::string (pluginUri) + ":PresetSettings")] = { settings.toStdString(), rig.uridMap (LV2_ATOM__String), 0 };
    ASSERT_EQ (preset.restoreInto (rig), LV2_STATE_SUCCESS);

    EXPECT_EQ (textOf (rig, wrendle::foldAmountIndex), textOf (author, wrendle::foldAmountIndex));
    EXPECT_EQ (textOf (rig, wrendle::mixIndex), textOf (author, wrendle::mixIndex));
    EXPECT_EQ (rig.parameter (wrendle::bypassIndex).getValue(), 0.0f) << "the power switch is the user's";
}

TEST (Lv2State, WhatItCannotReadChangesNothing)
{
    struct Case
    {
        const char* name;
        const char* key;
        std::string bytes;
        const char* type;
        LV2_State_Status expected;
    };
    const Case cases[] = {
        { "no property", ":Other", "x", LV2_ATOM__String, LV2_STATE_ERR_NO_PROPERTY },
        { "a state of another type", ":ProcessorState", "AAAA", LV2_ATOM__String, LV2_STATE_ERR_BAD_TYPE },
        { "JUCE's state of another type", ":StateString", "AAAA", LV2_ATOM__Int, LV2_STATE_ERR_BAD_TYPE },
        { "a chunk of no state", ":ProcessorState", "not a state", LV2_ATOM__Chunk, LV2_STATE_SUCCESS },
        { "base64 of no state", ":StateString", juce::MemoryBlock ("not a state", 11).toBase64Encoding().toStdString() + '\0', LV2_ATOM__String, LV2_STATE_SUCCESS },
        { "text that is no base64", ":StateString", std::string ("%%%%") + '\0', LV2_ATOM__String, LV2_STATE_ERR_UNKNOWN },
        { "a preset that is no XML", ":PresetSettings", "<<<", LV2_ATOM__String, LV2_STATE_SUCCESS },
        { "the JUCE bundle's program preset", ":Program", std::string (4, '\0'), LV2_ATOM__Int, LV2_STATE_SUCCESS },
    };

    for (const auto& test : cases)
    {
        SCOPED_TRACE (test.name);
        Rig rig;
        rig.parameter (wrendle::foldAmountIndex).setValueNotifyingHost (0.25f);
        const auto before = textOf (rig, wrendle::foldAmountIndex);

        SavedState state;
        state.values[rig.uridMap (std::string (pluginUri) + test.key)] = { test.bytes, rig.uridMap (test.type), 0 };
        EXPECT_EQ (state.restoreInto (rig), test.expected);
        EXPECT_EQ (textOf (rig, wrendle::foldAmountIndex), before);
    }

    Rig withoutMap (0, false);
    SavedState state;
    EXPECT_EQ (state.saveFrom (withoutMap), LV2_STATE_ERR_NO_FEATURE);
    EXPECT_EQ (state.restoreInto (withoutMap), LV2_STATE_ERR_NO_FEATURE);
}
