#include "engine/WrendleFoldParameters.h"
#include "engine/parameters/ParameterOnlyProcessor.h"

#include <gtest/gtest.h>

#include <cmath>
#include <thread>

namespace
{
using namespace wrendle;

/** A bare processor that owns the sixteen parameters and records change callbacks. */
struct ParameterHost : orvel::ParameterOnlyProcessor
{
    ParameterHost()
    {
        params.createAndAdd (*this, [this] (const juce::String& name, float value)
                             {
                                 lastCallbackName = name;
                                 lastCallbackValue = value;
                                 ++callbackCount; });
    }

    juce::RangedAudioParameter& at (int index) { return *static_cast<juce::RangedAudioParameter*> (getParameters()[index]); }

    WrendleFoldParameters params;
    juce::String lastCallbackName;
    float lastCallbackValue = -1.0f;
    int callbackCount = 0;
};

struct IdentityCase
{
    int index;
    const char* name;
    const char* identifier;
    int versionHint;
    const char* textAtDefault;
    const char* textAtZero;
    const char* textAtOne;
};

const IdentityCase identityCases[] = {
    { foldAmountIndex, "Fold Amount", "FoldAmount", 1, "1.00", "1.00", "15.00" },
    { feedbackIndex, "Feedback", "Feedback", 1, "50%", "0%", "100%" },
    { feedbackLowPassIndex, "Feedback LP", "FeedbackLP", 1, "632Hz", "20Hz", "20.0kHz" },
    { highPassIndex, "HighPass", "HighPass", 1, "20Hz", "20Hz", "20.0kHz" },
    { lowPassIndex, "LowPass", "LowPass", 1, "20.0kHz", "20Hz", "20.0kHz" },
    { envelopeAttackIndex, "Envelope Attack", "EnvelopeAttack", 1, "0.0ms", "0.0ms", "250ms" },
    { envelopeReleaseIndex, "Envelope Release", "EnvelopeRelease", 1, "500ms", "0.0ms", "1000ms" },
    { envelopeAmountIndex, "Envelope Amount", "EnvelopeAmount", 1, "off", "-100", "+100" },
    { inputIndex, "Input", "Input", 1, "0.0 dB", "-24.0 dB", "24.0 dB" },
    { outputIndex, "Output", "Output", 1, "0.0 dB", "-24.0 dB", "24.0 dB" },
    { mixIndex, "Mix", "Mix", 1, "100%", "0%", "100%" },
    { oversamplingIndex, "Oversampling", "Oversampling", 1, "OFF", "OFF", "16X" },
    { prePostIndex, "PrePost", "PrePost", 1, "Inverted", "Normal", "Inverted" },
    { softClipIndex, "Soft Clip", "SoftClip", 1, "on", "off", "on" },
    { bypassIndex, "Bypass", "Bypass", 1, "on", "off", "on" },
    { autoGainIndex, "AutoGain", "AutoGain", 2, "off", "off", "on" },
};

TEST (Parameters, AreCreatedInIndexOrderWithNamesIdentifiersVersionsAndTexts)
{
    ParameterHost host;
    ASSERT_EQ (host.getParameters().size(), numParameters);

    for (const auto& c : identityCases)
    {
        SCOPED_TRACE (c.name);
        auto& p = host.at (c.index);
        EXPECT_EQ (p.getName (50), c.name);
        EXPECT_EQ (p.getParameterID(), c.identifier);
        EXPECT_EQ (p.getVersionHint(), c.versionHint);
        EXPECT_EQ (p.getText (p.getDefaultValue(), 50), c.textAtDefault);
        EXPECT_EQ (p.getText (0.0f, 50), c.textAtZero);
        EXPECT_EQ (p.getText (1.0f, 50), c.textAtOne);
        EXPECT_TRUE (p.isAutomatable());
        EXPECT_FALSE (p.isMetaParameter());
        EXPECT_EQ (p.getLabel(), "");
    }
}

TEST (Parameters, DefaultsMapToTheirPlainValues)
{
    ParameterHost host;
    EXPECT_NEAR (host.params.feedbackLowPass->getPlainValue(), 632.456f, 0.01f);
    EXPECT_FLOAT_EQ (host.params.highPass->getPlainValue(), 20.0f);
    EXPECT_FLOAT_EQ (host.params.lowPass->getPlainValue(), 20000.0f);
    EXPECT_NEAR (host.params.input->getPlainValue(), 1.0f, 1.0e-5f);
    EXPECT_NEAR (host.params.envelopeAmount->getPlainValue(), 0.0f, 1.0e-5f);
    EXPECT_EQ (host.params.oversampling->getIndex(), 0);
    EXPECT_TRUE (host.params.prePost->isOn());
    EXPECT_FALSE (host.params.autoGain->isOn());
    EXPECT_EQ (host.params.input->getNormalisableRange().start, 0.06309600174427032f);
    EXPECT_EQ (host.params.input->getNormalisableRange().end, 15.848932266235352f);
}

struct ParseCase
{
    int index;
    const char* text;
    float expectedPlain; // the plain value (float parameters), the index (choices) or 0/1 (switches)
};

const ParseCase parseCases[] = {
    { highPassIndex, "1.5k", 1500.0f },
    { highPassIndex, "2.5kHz", 2500.0f },
    { highPassIndex, "1.5K", 20.0f }, // an upper-case K is not kilo, and 1.5 Hz clamps to the range
    { highPassIndex, "  440 Hz", 440.0f },
    { lowPassIndex, "abc", 20.0f },
    { foldAmountIndex, "15", 1.0f },
    { foldAmountIndex, "8", 0.5f },
    { foldAmountIndex, "0", 0.0f },
    { foldAmountIndex, "abc", 0.0f },
    { feedbackIndex, "25%", 0.25f },
    { envelopeAttackIndex, "125ms", 0.5f },
    { envelopeReleaseIndex, "250", 0.25f },
    { envelopeAmountIndex, "off", 0.0f },
    { envelopeAmountIndex, "50", 50.0001f },
    { envelopeAmountIndex, "-37", -37.0001f },
    { inputIndex, "abc", 1.0f },
    { inputIndex, "-6 dB", 0.5011872f },
    { inputIndex, "-200", 0.06309600174427032f },
    { inputIndex, "40", 15.848932266235352f },
    { oversamplingIndex, "4X", 2.0f },
    { oversamplingIndex, "16X", 4.0f },
    { oversamplingIndex, "2x", 0.0f },
    { oversamplingIndex, "nonsense", 0.0f },
    { prePostIndex, "Inverted", 1.0f },
    { prePostIndex, "Normal", 0.0f },
    { softClipIndex, "Enabled", 1.0f },
    { softClipIndex, "YES", 1.0f },
    { softClipIndex, "1", 1.0f },
    { softClipIndex, "disable", 0.0f },
    { softClipIndex, "0", 0.0f },
    { softClipIndex, "maybe", 0.0f },
    { softClipIndex, "7 apples", 1.0f },
};

TEST (Parameters, ParseTextThroughTheirOwnVocabulary)
{
    ParameterHost host;

    for (const auto& c : parseCases)
    {
        SCOPED_TRACE (juce::String (c.index) + ": " + c.text);
        auto& p = host.at (c.index);
        const auto normalised = p.getValueForText (c.text);
        EXPECT_NEAR (p.convertFrom0to1 (normalised), c.expectedPlain, std::abs (c.expectedPlain) * 1.0e-5f + 1.0e-5f);
    }
}

TEST (Parameters, EnvelopeAmountShowsOffAroundZeroAndPlusZeroJustAbove)
{
    ParameterHost host;
    auto* p = host.params.envelopeAmount;
    EXPECT_EQ (p->getText (p->toNormalised (0.0009f), 50), "off");
    EXPECT_EQ (p->getText (p->toNormalised (-0.0009f), 50), "off");
    EXPECT_EQ (p->getText (p->toNormalised (0.5f), 50), "+0");
    EXPECT_EQ (p->getText (p->toNormalised (-37.9f), 50), "-37");
}

TEST (Parameters, FrequencyAndTimeTextsChangeFormatAtTheirThresholds)
{
    ParameterHost host;
    auto* hz = host.params.highPass;
    EXPECT_EQ (hz->getText (hz->toNormalised (998.5f), 50), "998Hz");
    EXPECT_EQ (hz->getText (hz->toNormalised (1000.0f), 50), "1.0kHz");
    auto* attack = host.params.envelopeAttack;
    EXPECT_EQ (attack->getText (9.9f / 250.0f, 50), "9.9ms");
    EXPECT_EQ (attack->getText (120.0f / 250.0f, 50), "120ms");
}

TEST (Parameters, FloatMappingsClampOutOfRangeValues)
{
    ParameterHost host;
    auto* hz = host.params.lowPass;
    hz->setValue (1.7f);
    EXPECT_FLOAT_EQ (hz->getPlainValue(), 20000.0f);
    EXPECT_FLOAT_EQ (hz->getValue(), 1.0f);
    hz->setValue (-3.0f);
    EXPECT_FLOAT_EQ (hz->getPlainValue(), 20.0f);
    EXPECT_FLOAT_EQ (hz->toNormalised (-5.0f), 0.0f); // log kinds map non-positive values to 0

    auto* amount = host.params.envelopeAmount;
    amount->setValue (0.75f);
    EXPECT_FLOAT_EQ (amount->getPlainValue(), 50.0f);
    EXPECT_FLOAT_EQ (amount->getValue(), 0.75f);
}

TEST (Parameters, SwitchKeepsTheValueItWasGivenAndReadsItAgainstOneHalf)
{
    ParameterHost host;
    auto* p = host.params.softClip;
    p->setValue (0.3f);
    EXPECT_FLOAT_EQ (p->getValue(), 0.3f);
    EXPECT_EQ (p->getText (p->getValue(), 50), "off");
    EXPECT_EQ (p->getNumSteps(), 2);
    EXPECT_TRUE (p->isBoolean());
    EXPECT_TRUE (p->isDiscrete());
}

TEST (Parameters, ChoiceRoundsToTheNearestIndexWithTiesToEven)
{
    ParameterHost host;
    auto* p = host.params.oversampling;
    const std::pair<float, int> cases[] = { { 0.125f, 0 }, { 0.375f, 2 }, { 0.3f, 1 }, { 0.6f, 2 }, { 1.5f, 4 }, { -1.0f, 0 } };

    for (auto [normalised, expectedIndex] : cases)
    {
        p->setValue (normalised);
        EXPECT_EQ (p->getIndex(), expectedIndex) << normalised;
    }

    EXPECT_EQ (p->getNumSteps(), 5);
    EXPECT_FLOAT_EQ (p->getValue(), 0.0f);
    p->setValue (0.75f);
    EXPECT_FLOAT_EQ (p->getValue(), 0.75f);
}

TEST (Parameters, SetValueReportsNameAndNormalisedValueThroughTheCallback)
{
    ParameterHost host;
    host.callbackCount = 0;
    host.params.feedbackLowPass->setValue (0.25f);
    EXPECT_EQ (host.lastCallbackName, "Feedback LP");
    EXPECT_FLOAT_EQ (host.lastCallbackValue, 0.25f);

    host.params.oversampling->setValue (0.5f);
    EXPECT_EQ (host.lastCallbackName, "Oversampling");
    EXPECT_FLOAT_EQ (host.lastCallbackValue, 0.5f);
    EXPECT_EQ (host.callbackCount, 2);
}

TEST (Parameters, AdoptingTheCurrentValueMakesItTheDefault)
{
    ParameterHost host;
    host.params.feedback->setValue (0.2f);
    host.params.feedback->adoptCurrentAsDefault();
    EXPECT_FLOAT_EQ (host.params.feedback->getDefaultValue(), 0.2f);

    host.params.oversampling->setValue (0.75f);
    host.params.oversampling->adoptCurrentAsDefault();
    EXPECT_FLOAT_EQ (host.params.oversampling->getDefaultValue(), 0.75f);
}

//==============================================================================
TEST (Smoothing, RampLastsOneHundredthOfASecondAndLandsExactlyOnTheTarget)
{
    ParameterHost host;
    auto* p = host.params.input;
    p->prepareSmoothing (48000.0);
    auto& smoothed = p->smoothedPlain();
    EXPECT_EQ (smoothed.getRamp().lengthSamples, 480);
    EXPECT_FLOAT_EQ (smoothed.getCurrent(), p->getPlainValue());

    p->setValue (0.8f);
    const auto target = p->getPlainValue();
    smoothed.pullTarget();

    float value = 0.0f;
    for (int i = 0; i < 479; ++i)
    {
        value = smoothed.advance();
        EXPECT_NE (value, target) << i;
    }
    EXPECT_EQ (smoothed.advance(), target); // exactly, not within rounding
    EXPECT_EQ (smoothed.advance(), target);
}

TEST (Smoothing, RampLengthIsTheFloorOfTenMillisecondsAtOddRates)
{
    orvel::CrossThreadRamp value;
    value.prepare (44100.0, 0.01);
    EXPECT_EQ (value.getRamp().lengthSamples, 441);
    value.prepare (22050.5, 0.01);
    EXPECT_EQ (value.getRamp().lengthSamples, 220);
}

TEST (Smoothing, ARetargetMidRampGlidesFromWhereTheRampStands)
{
    orvel::RampedValue ramp;
    ramp.target = 0.0f;
    ramp.prepareLength (100.0, 4);
    ramp.setTarget (1.0f);
    ramp.advance();
    ramp.advance(); // 0.5
    ramp.setTarget (0.0f);
    EXPECT_FLOAT_EQ (ramp.step, -0.125f);
    for (int i = 0; i < 4; ++i)
        ramp.advance();
    EXPECT_EQ (ramp.current, 0.0f);
}

TEST (Smoothing, ARampOfZeroLengthJumps)
{
    orvel::RampedValue ramp;
    ramp.prepareLength (100.0, 0);
    ramp.setTarget (3.0f);
    EXPECT_EQ (ramp.current, 3.0f);
    EXPECT_EQ (ramp.advance(), 3.0f);
}

TEST (Smoothing, ATargetSetFromAnotherThreadReachesTheAudioSideWithoutALock)
{
    orvel::CrossThreadRamp value;
    value.prepare (1000.0, 0.01);

    std::thread writer ([&value]
                        {
                            for (int i = 0; i <= 1000; ++i)
                                value.setTarget ((float) i); });

    for (int block = 0; block < 200; ++block)
    {
        value.pullTarget();
        for (int i = 0; i < 16; ++i)
            value.advance();
    }
    writer.join();

    value.pullTarget();
    for (int i = 0; i < 10; ++i)
        value.advance();
    EXPECT_EQ (value.getCurrent(), 1000.0f);
}
} // namespace
