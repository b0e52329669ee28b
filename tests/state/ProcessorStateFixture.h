#pragma once

#include "plugin/WrendleFoldProcessor.h"
#include "tests/support/TemporaryHome.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <vector>

namespace wrendle_test
{

/** A processor that shows whether a restore fade was asked for since the last look. */
class ProbedProcessor : public WrendleFoldProcessor
{
public:
    using WrendleFoldProcessor::WrendleFoldProcessor;

    bool takeRestoreFadeRequest() noexcept { return restoreFadePending.exchange (false); }
};

/** Everything the host state carries, for before/after comparisons. Parameter values
    are compared bit for bit. */
struct StateSnapshot
{
    std::vector<float> values;
    juce::String presetPath;
    int saveCounter = 0;
    juce::StringArray lockedNames;
    juce::String lockText;

    bool operator== (const StateSnapshot& other) const
    {
        return values.size() == other.values.size()
               && std::memcmp (values.data(), other.values.data(), values.size() * sizeof (float)) == 0
               && presetPath == other.presetPath && saveCounter == other.saveCounter
               && lockedNames == other.lockedNames && lockText == other.lockText;
    }

    friend std::ostream& operator<< (std::ostream& out, const StateSnapshot& s)
    {
        out << "{";
        for (auto v : s.values)
            out << v << " ";
        return out << "| " << s.presetPath << " | " << s.saveCounter << " | " << s.lockText << " | "
                   << s.lockedNames.joinIntoString (",") << "}";
    }
};

inline StateSnapshot snapshotOf (WrendleFoldProcessor& processor)
{
    StateSnapshot snapshot;

    for (auto* parameter : processor.getParameters())
        snapshot.values.push_back (parameter->getValue());

    snapshot.presetPath = processor.currentPresetPath;
    snapshot.saveCounter = processor.saveCounter;
    snapshot.lockedNames = processor.lockedParameterNames;
    snapshot.lockText = processor.lockText;
    return snapshot;
}

inline juce::AudioProcessorParameter& parameterNamed (juce::AudioProcessor& processor, const juce::String& name)
{
    for (auto* parameter : processor.getParameters())
        if (parameter->getName (50) == name)
            return *parameter;

    throw std::runtime_error (("no parameter " + name).toStdString());
}

/** Moves every parameter away from its default and sets path, counter and locks, so
    that any change a restore makes is visible. */
inline void setDistinctiveState (WrendleFoldProcessor& processor)
{
    const auto& parameters = processor.getParameters();

    for (int i = 0; i < parameters.size(); ++i)
    {
        auto* parameter = parameters[i];
        const auto value = parameter->isBoolean() ? 1.0f - parameter->getDefaultValue()
                                                  : std::fmod (0.37f + 0.29f * (float) i, 1.0f);
        parameter->setValueNotifyingHost (value);
    }

    processor.currentPresetPath = "/somewhere/Distinct.kvp";
    processor.saveCounter = 41;
    processor.setLockedParameterNames ({ "Output", "Bypass" });
}

/** JUCE's binary XML envelope around a text, with the magic number and the length
    field overridable. */
inline juce::MemoryBlock makeEnvelope (const juce::String& text,
                                       juce::int64 lengthField = -1,
                                       juce::uint32 magic = 0x21324356)
{
    juce::MemoryOutputStream out;
    out.writeInt ((int) magic);
    out.writeInt ((int) (juce::uint32) (lengthField >= 0 ? lengthField : (juce::int64) text.getNumBytesAsUTF8()));
    out.write (text.toRawUTF8(), text.getNumBytesAsUTF8());
    out.writeByte (0);
    return out.getMemoryBlock();
}

/** Each test gets its own HOME with the news switched off; processors also get a
    news address on 127.0.0.1 where nobody listens. */
class ProcessorStateTest : public TemporaryHomeTest
{
protected:
    void SetUp() override
    {
        TemporaryHomeTest::SetUp();

        if (! IsSkipped())
            switchNewsOff();
    }

    static std::unique_ptr<ProbedProcessor> makeProcessor()
    {
        return std::make_unique<ProbedProcessor> (refusingNewsAddress());
    }

    static juce::MemoryBlock saveState (WrendleFoldProcessor& processor)
    {
        juce::MemoryBlock block;
        processor.getStateInformation (block);
        return block;
    }

    static void restoreState (WrendleFoldProcessor& processor, const juce::MemoryBlock& block)
    {
        processor.setStateInformation (block.getData(), (int) block.getSize());
    }
};

} // namespace wrendle_test
