// The randomizer: values inside their bounds, and locked widgets left alone.

#include "TopBarFixture.h"

using namespace topbartest;

TEST_F (RandomizerTest, ValuesStayInsideTheirBoundsAndReachTheParameters)
{
    struct Bounds
    {
        const char* knob;
        float minimum, maximum;
    };

    const Bounds bounds[] = {
        { "Input", 0.5f - 0.15f * 0.99f, 0.5f + 0.15f * 0.99f },
        { "Output", 0.5f - 0.15f * 0.99f, 0.5f },
        { "Feedback LP", 0.0f, 0.85f * 0.99f },
        { "Feedback", 0.0f, 0.99f },
        { "Fold Amount", 0.0f, 0.99f },
        { "Mix", 0.0f, 0.99f },
    };

    const auto bypassBefore = params().bypass->getValue();
    bool inputBelowHalf = false, inputAboveHalf = false;
    juce::Array<bool> buttonStatesSeen[4];

    for (int run = 0; run < 300; ++run)
    {
        click (PluginWindow::TopBarButton::randomize);

        for (const auto& b : bounds)
        {
            auto& k = knob (b.knob);
            const auto value = k.getParameter()->getValue();
            ASSERT_GE (value, b.minimum - 1.0e-6f) << b.knob;
            ASSERT_LE (value, b.maximum + 1.0e-6f) << b.knob;
            ASSERT_NEAR (value, (float) k.getValue(), 1.0e-6f) << b.knob << " follows its knob";
        }

        const auto input = params().input->getValue();
        inputBelowHalf |= input < 0.499f;
        inputAboveHalf |= input > 0.501f;

        for (int i = 1; i < 4; ++i)
            buttonStatesSeen[i].addIfNotAlreadyThere (window->getParameterButtons()[i]->getToggleState());

        ASSERT_EQ (params().bypass->getValue(), bypassBefore) << "bypass is never randomized";
    }

    EXPECT_TRUE (inputBelowHalf && inputAboveHalf) << "the coin turns the input offset both ways";
    for (int i = 1; i < 4; ++i)
        EXPECT_EQ (buttonStatesSeen[i].size(), 2) << window->getParameterButtons()[i]->getParameter()->getName (50);

    // The value label carries the new value text.
    EXPECT_EQ (knob ("Mix").getValueLabel().getText(), knob ("Mix").getTextFromValue (knob ("Mix").getValue()));
}

TEST_F (RandomizerTest, LockedWidgetsKeepTheirValuesAndAfterLockAllNothingChanges)
{
    params().mix->setValueNotifyingHost (0.123f);
    params().autoGain->setValueNotifyingHost (1.0f);
    window->refreshFromProcessor();

    knob ("Mix").performMenuAction (orvel::lockItem);
    button ("AutoGain").performMenuAction (orvel::lockItem);
    editortest::pumpPending();

    const auto foldBefore = params().foldAmount->getValue();
    bool foldChanged = false;

    for (int run = 0; run < 20; ++run)
    {
        click (PluginWindow::TopBarButton::randomize);
        EXPECT_FLOAT_EQ (params().mix->getValue(), 0.123f);
        EXPECT_EQ (params().autoGain->getValue(), 1.0f);
        foldChanged |= params().foldAmount->getValue() != foldBefore;
    }

    EXPECT_TRUE (foldChanged) << "unlocked knobs do move";

    knob ("Input").performMenuAction (orvel::lockAllItem);
    editortest::pumpPending();

    std::vector<float> before;
    for (auto* parameter : processor->getParameters())
        before.push_back (parameter->getValue());

    for (int run = 0; run < 10; ++run)
        click (PluginWindow::TopBarButton::randomize);

    for (size_t i = 0; i < before.size(); ++i)
        EXPECT_EQ (processor->getParameters()[(int) i]->getValue(), before[i]) << processor->getParameters()[(int) i]->getName (50);

    // After unlock-all the bypass button is still left alone.
    knob ("Input").performMenuAction (orvel::unlockAllItem);
    editortest::pumpPending();
    const auto bypassBefore = params().bypass->getValue();
    for (int run = 0; run < 20; ++run)
        click (PluginWindow::TopBarButton::randomize);
    EXPECT_EQ (params().bypass->getValue(), bypassBefore);
}
