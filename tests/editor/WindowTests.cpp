// The editor shell and the main window: scaling, layout, refresh and locks.

#include "EditorTestSupport.h"

#include "editor/EditorSettings.h"
#include "editor/SharedData.h"
#include "editor/WidgetSupport.h"

#include <cmath>
#include <tuple>
#include <vector>

using editortest::mouseEvent;

namespace
{
struct MainWindowTest : editortest::EditorFixture
{
    juce::Rectangle<int> boundsOf (const juce::String& parameterName) { return knob (parameterName).getBounds(); }

    /** The nth section label with the given text (0 = first). */
    juce::Label* label (const juce::String& text, int occurrence = 0)
    {
        for (auto* candidate : window->getSectionLabels())
            if (candidate->getText() == text && occurrence-- == 0)
                return candidate;

        ADD_FAILURE() << "no label " << text;
        return nullptr;
    }

    void setPrePost (bool inverted)
    {
        params().prePost->setValueNotifyingHost (inverted ? 1.0f : 0.0f);
        window->refreshFromProcessor();
    }

    void sendLockMessage (const char* message)
    {
        window->actionListenerCallback (message);
    }
};

using EditorTest = MainWindowTest;
} // namespace

//==============================================================================
TEST_F (EditorTest, TheEditorOpensAtTheStoredScaleAndTheWindowIsAlwaysScaledAsAWhole)
{
    const std::tuple<double, int, int> cases[] = { { 0.75, 360, 345 }, { 1.0, 480, 460 }, { 1.25, 600, 575 } };

    for (const auto& [scale, width, height] : cases)
    {
        closeEditor();
        orvel::editorSettingsOf (*processor).windowSize = scale;
        openEditor();

        EXPECT_EQ (editor->getWidth(), width) << scale;
        EXPECT_EQ (editor->getHeight(), height) << scale;
        EXPECT_EQ (window->getBounds(), juce::Rectangle<int> (0, 0, 480, 460));
        EXPECT_EQ (window->getBoundsInParent(), juce::Rectangle<int> (0, 0, width, height));
    }
}

TEST_F (EditorTest, ResizingKeepsTheAspectRatioAndTheLimitsAndStoresTheScale)
{
    auto* constrainer = editor->getConstrainer();
    ASSERT_NE (constrainer, nullptr);
    EXPECT_DOUBLE_EQ (constrainer->getFixedAspectRatio(), 480.0 / 460.0);
    EXPECT_TRUE (editor->isResizable());

    const std::tuple<int, int, int, int> drags[] = {
        { 100, 100, 240, 230 },   // below the minimum
        { 2000, 2000, 960, 920 }, // above the maximum
        { 720, 690, 720, 690 },   // 1.5, allowed
    };

    for (const auto& [width, height, expectedWidth, expectedHeight] : drags)
    {
        editor->setBoundsConstrained ({ 0, 0, width, height });
        EXPECT_EQ (editor->getWidth(), expectedWidth);
        EXPECT_EQ (editor->getHeight(), expectedHeight);
        EXPECT_DOUBLE_EQ (orvel::editorSettingsOf (*processor).windowSize, expectedWidth / 480.0);
    }

    EXPECT_TRUE (editor->isTimerRunning()) << "the size is written 1.5 s after the last change";
    EXPECT_EQ (editor->getTimerInterval(), 1500);
}

TEST_F (EditorTest, ADoubleClickOnTheResizerReturnsToFullSizeAndWritesIt)
{
    editor->setBoundsConstrained ({ 0, 0, 720, 690 });
    ASSERT_NE (editor->resizableCorner, nullptr);

    auto& corner = *editor->resizableCorner;
    editor->mouseDown (mouseEvent (corner, { 3.0f, 3.0f }, juce::ModifierKeys::leftButtonModifier, 2));
    ASSERT_EQ (editor->getTimerInterval(), 100);
    editor->timerCallback();

    EXPECT_EQ (editor->getBounds(), juce::Rectangle<int> (0, 0, 480, 460));
    EXPECT_DOUBLE_EQ (orvel::editorSettingsOf (*processor).windowSize, 1.0);
    EXPECT_FALSE (editor->isTimerRunning());
    EXPECT_EQ (orvel::OrvelSettings().loadProductSettings (false)->getDoubleAttribute ("WindowSize"), 1.0);

    // A single click on the resizer changes nothing.
    editor->mouseDown (mouseEvent (corner, { 3.0f, 3.0f }, juce::ModifierKeys::leftButtonModifier, 1));
    EXPECT_FALSE (editor->isTimerRunning());
}

//==============================================================================
TEST_F (MainWindowTest, KnobsAndSwitchesSitWhereTheControlMapPutsThem)
{
    EXPECT_EQ (boundsOf ("Fold Amount").getPosition(), juce::Point<int> (163, 59));
    EXPECT_EQ (boundsOf ("Envelope Amount").getPosition(), juce::Point<int> (333, 76));
    EXPECT_EQ (boundsOf ("Envelope Attack").getPosition(), juce::Point<int> (318, 158));
    EXPECT_EQ (boundsOf ("Envelope Release").getPosition(), juce::Point<int> (368, 158));
    EXPECT_EQ (boundsOf ("Input").getPosition(), juce::Point<int> (78, 364));
    EXPECT_EQ (boundsOf ("Mix").getPosition(), juce::Point<int> (164, 371));
    EXPECT_EQ (boundsOf ("Output").getPosition(), juce::Point<int> (250, 364));
    EXPECT_EQ (button ("PrePost").getPosition(), juce::Point<int> (225, 239));
    EXPECT_EQ (button ("AutoGain").getPosition(), juce::Point<int> (354, 357));
    EXPECT_EQ (button ("Soft Clip").getPosition(), juce::Point<int> (354, 408));
    EXPECT_EQ (button ("Bypass").getPosition(), juce::Point<int> (444, 13));

    // Knob list in creation order; the bypass button leads the button list.
    juce::StringArray knobNames, buttonNames;
    for (auto* k : window->getKnobs())
        knobNames.add (k->getParameterName());
    for (auto* b : window->getParameterButtons())
        buttonNames.add (b->getParameter()->getName (50));

    EXPECT_EQ (knobNames.joinIntoString ("|"),
               "Fold Amount|Envelope Amount|Envelope Attack|Envelope Release|HighPass|LowPass|Feedback|Feedback LP|Input|Mix|Output");
    EXPECT_EQ (buttonNames.joinIntoString ("|"), "Bypass|PrePost|AutoGain|Soft Clip");
}

TEST_F (MainWindowTest, TheMiddleRowAndItsTitlesFollowPrePostWithinOneRefresh)
{
    struct Arrangement
    {
        bool inverted;
        int highPass, lowPass, feedback, feedbackLowPass;
        const char* filterTitle;
        const char* feedbackTitle;
    };

    const Arrangement arrangements[] = {
        { false, 76, 162, 248, 334, "PRE", "POST" },
        { true, 248, 334, 76, 162, "POST", "PRE" },
        { false, 76, 162, 248, 334, "PRE", "POST" },
    };

    for (const auto& a : arrangements)
    {
        setPrePost (a.inverted);
        EXPECT_EQ (window->getPrePostArrangement(), a.inverted ? 1 : 0);

        EXPECT_EQ (boundsOf ("HighPass").getPosition(), juce::Point<int> (a.highPass, 256));
        EXPECT_EQ (boundsOf ("LowPass").getPosition(), juce::Point<int> (a.lowPass, 256));
        EXPECT_EQ (boundsOf ("Feedback").getPosition(), juce::Point<int> (a.feedback, 256));
        EXPECT_EQ (boundsOf ("Feedback LP").getPosition(), juce::Point<int> (a.feedbackLowPass, 256));

        EXPECT_EQ (label (a.filterTitle)->getBounds(), juce::Rectangle<int> (a.highPass, 238, a.lowPass + 68 - a.highPass, 24));
        EXPECT_EQ (label (a.feedbackTitle)->getBounds(),
                   juce::Rectangle<int> (a.feedback, 238, a.feedbackLowPass + 68 - a.feedback, 24));

        const auto feedbackLowPass = boundsOf ("Feedback LP");
        EXPECT_EQ (label ("LOWPASS", 1)->getBounds(),
                   juce::Rectangle<int> (feedbackLowPass.getX() - 10, feedbackLowPass.getBottom() - 4, feedbackLowPass.getWidth() + 20, 24));
    }
}

TEST_F (MainWindowTest, SectionLabelsSitUnderTheirControls)
{
    const auto fold = boundsOf ("Fold Amount");
    EXPECT_EQ (label ("FOLD")->getBounds(), juce::Rectangle<int> (fold.getX() - 10, fold.getBottom() - 10, fold.getWidth() + 20, 24));

    const auto input = boundsOf ("Input");
    EXPECT_EQ (label ("INPUT")->getBounds(), juce::Rectangle<int> (input.getX() - 10, input.getBottom() - 4, input.getWidth() + 20, 24));

    const auto softClip = button ("Soft Clip").getBounds();
    EXPECT_EQ (label ("SOFTCLIP")->getBounds(),
               juce::Rectangle<int> (softClip.getX() - 30, softClip.getBottom() - 3, softClip.getWidth() + 60, 24));

    EXPECT_EQ (label ("MONITOR")->getBounds(), juce::Rectangle<int> (51, 194, 116, 24));
    EXPECT_EQ (window->getSectionLabels().size(), 16);
    EXPECT_EQ (label ("MIX")->findColour (juce::Label::textColourId), juce::Colour (0xffb5b5b5));
}

TEST_F (MainWindowTest, TheRefreshMovesWidgetsToTheirParametersButNotAKnobTheMouseHolds)
{
    auto& mix = knob ("Mix");
    auto& output = knob ("Output");

    mix.mouseDown (mouseEvent (mix, { 20.0f, 20.0f }, juce::ModifierKeys::leftButtonModifier));
    params().mix->setValueNotifyingHost (0.2f);
    params().output->setValueNotifyingHost (0.9f);
    params().autoGain->setValueNotifyingHost (1.0f);
    window->refreshFromProcessor();

    EXPECT_NE ((float) mix.getValue(), 0.2f) << "held by the mouse";
    EXPECT_NEAR (output.getValue(), 0.9, 1.0e-6);
    EXPECT_TRUE (button ("AutoGain").getToggleState());

    mix.mouseUp (mouseEvent (mix, { 20.0f, 20.0f }, {}));
    // mouseUp may itself send the knob's value; the host's later change wins.
    params().mix->setValueNotifyingHost (0.2f);
    window->refreshFromProcessor();
    EXPECT_NEAR (mix.getValue(), 0.2, 1.0e-6);

    EXPECT_TRUE (window->isTimerRunning (WrendleFoldPluginWindow::refreshTimerId));
    EXPECT_EQ (window->getTimerInterval (WrendleFoldPluginWindow::refreshTimerId), 55);
}

TEST_F (MainWindowTest, AKnobChangeReachesItsParameterInsideAGesture)
{
    struct GestureLog : juce::AudioProcessorParameter::Listener
    {
        void parameterValueChanged (int, float) override { events.add ("value"); }
        void parameterGestureChanged (int, bool starting) override { events.add (starting ? "begin" : "end"); }
        juce::StringArray events;
    } log;

    params().feedback->addListener (&log);
    auto& feedback = knob ("Feedback");
    feedback.mouseDown (mouseEvent (feedback, { 10.0f, 10.0f }, juce::ModifierKeys::leftButtonModifier));
    feedback.mouseDrag (mouseEvent (feedback, { 10.0f, 0.0f }, juce::ModifierKeys::leftButtonModifier, 1, { 10.0f, 10.0f }));
    feedback.mouseUp (mouseEvent (feedback, { 10.0f, 0.0f }, {}, 1, { 10.0f, 10.0f }));
    params().feedback->removeListener (&log);

    ASSERT_GE (log.events.size(), 3);
    EXPECT_EQ (log.events[0], "begin");
    EXPECT_TRUE (log.events.contains ("value"));
    EXPECT_EQ (log.events[log.events.size() - 1], "end");
    EXPECT_NEAR (params().feedback->getValue(), (float) feedback.getValue(), 1.0e-6f);
}

TEST_F (MainWindowTest, TheMonitorFollowsTheDriveAndGainsAndDimsWhileBypassed)
{
    auto& monitor = window->getMonitor();
    EXPECT_EQ (monitor.getBounds(), juce::Rectangle<int> (66, 93, 88, 88));
    EXPECT_TRUE (monitor.isActive());

    // Before any audio the monitor shows the knob's fold, not a flat line.
    window->refreshFromProcessor();
    EXPECT_GT (monitor.getCurve().getBounds().getHeight(), 40.0f);

    // Bypass off, one block processed: the monitor dims.
    params().bypass->setValueNotifyingHost (0.0f);
    processor->prepareToPlay (48000.0, 64);
    juce::AudioBuffer<float> buffer (2, 64);
    buffer.clear();
    juce::MidiBuffer midi;
    processor->processBlock (buffer, midi);
    window->refreshFromProcessor();
    EXPECT_FALSE (monitor.isActive());
    processor->releaseResources();
}

TEST_F (MainWindowTest, WithoutAudioTheMonitorDrawsTheFoldAmountsCurveAndDimsWhenTheBypassSwitchIsOff)
{
    auto& monitor = window->getMonitor();
    const auto inputGain = params().input->getPlainValue(), outputGain = params().output->getPlainValue();

    // Fold Amount at its ends: drive 1 (one unfolded sine) and drive 15.
    for (const auto& [normalised, drive] : { std::pair { 0.0f, 1.0f }, std::pair { 1.0f, 15.0f } })
    {
        params().foldAmount->setValueNotifyingHost (normalised);
        window->refreshFromProcessor();

        WaveShaperMonitor expected;
        expected.setBounds (monitor.getBounds());
        expected.updateCurve (true, drive, inputGain, outputGain);
        EXPECT_EQ (monitor.getCurve().getBounds(), expected.getCurve().getBounds()) << "drive " << drive;
        EXPECT_TRUE (monitor.isActive());

        // Painted: lit pixels well away from the centre line.
        const auto image = editortest::paintToImage (monitor);
        int litOffCentre = 0;
        for (int y = 0; y < image.getHeight(); ++y)
            for (int x = 0; x < image.getWidth(); ++x)
                if (std::abs (y - image.getHeight() / 2) > 15 && image.getPixelAt (x, y).getAlpha() > 128)
                    ++litOffCentre;
        EXPECT_GT (litOffCentre, 20) << "drive " << drive;
    }

    params().bypass->setValueNotifyingHost (0.0f);
    window->refreshFromProcessor();
    EXPECT_FALSE (monitor.isActive()) << "bypassed before any audio";
    params().bypass->setValueNotifyingHost (1.0f);
    window->refreshFromProcessor();
    EXPECT_TRUE (monitor.isActive());
}

TEST_F (MainWindowTest, TheMixKnobsArcStartsAtItsMinimum)
{
    auto& mix = knob ("Mix");
    ASSERT_EQ (mix.getWidth(), 62);

    auto amberAt = [] (const juce::Image& image, float angle)
    {
        const auto centre = juce::Point<float> (31.0f, 31.0f);
        const auto point = centre.getPointOnCircumference (0.405f * 62.0f, angle);
        const auto pixel = image.getPixelAt (juce::roundToInt (point.x), juce::roundToInt (point.y));
        return pixel.getRed() > 150 && pixel.getRed() > pixel.getBlue() + 80;
    };

    constexpr auto pi = juce::MathConstants<float>::pi;

    // At 9 o'clock (a third of the way) and at 3 o'clock (two thirds).
    for (const auto& [value, nineLit, threeLit] : { std::tuple { 0.0, false, false }, std::tuple { 0.5, true, false }, std::tuple { 1.0, true, true } })
    {
        mix.setValue (value, juce::dontSendNotification);
        const auto image = editortest::paintToImage (mix);
        EXPECT_EQ (amberAt (image, -0.5f * pi), nineLit) << value;
        EXPECT_EQ (amberAt (image, 0.5f * pi), threeLit) << value;
    }
}

TEST_F (MainWindowTest, ALockedButtonsPadlockLeavesItsLedAndIconInView)
{
    for (const auto* name : { "Soft Clip", "PrePost" })
    {
        auto& target = button (name);
        target.setToggleState (true, juce::dontSendNotification);
        const auto face = target.getBounds();
        const auto unlocked = editortest::paintToImage (*window);

        target.performMenuAction (orvel::lockItem);
        editortest::pumpPending();
        ASSERT_TRUE (target.getLockIndicator().isVisible()) << name;
        const auto locked = editortest::paintToImage (*window);

        // The middle of the face (the LED, the swap glyph) is untouched...
        const auto middle = face.withSizeKeepingCentre (face.getWidth() / 2, face.getHeight() / 2);
        for (int y = middle.getY(); y < middle.getBottom(); ++y)
            for (int x = middle.getX(); x < middle.getRight(); ++x)
                ASSERT_EQ (locked.getPixelAt (x, y), unlocked.getPixelAt (x, y)) << name << " at " << x << ", " << y;

        // ...and the padlock shows.
        const auto padlock = target.getLockIndicator().getBounds();
        int changed = 0;
        for (int y = padlock.getY(); y < padlock.getBottom(); ++y)
            for (int x = padlock.getX(); x < padlock.getRight(); ++x)
                changed += locked.getPixelAt (x, y) != unlocked.getPixelAt (x, y) ? 1 : 0;
        EXPECT_GT (changed, 10) << name;

        target.performMenuAction (orvel::unlockItem);
        editortest::pumpPending();
    }
}

//==============================================================================
TEST_F (MainWindowTest, TheLockListFollowsTheWidgetsKnobsFirstThenButtons)
{
    sendLockMessage (orvel::lockMessages::update);
    EXPECT_EQ (processor->lockText, "Bypass") << "bypass is always listed as locked";

    knob ("Mix").performMenuAction (orvel::lockItem);
    knob ("Fold Amount").performMenuAction (orvel::lockItem);
    button ("Soft Clip").performMenuAction (orvel::lockItem);
    editortest::pumpPending();
    EXPECT_EQ (processor->lockText, "Fold Amount|Mix|Bypass|Soft Clip");
    EXPECT_EQ (processor->lockedParameterNames.size(), 4);

    knob ("Fold Amount").performMenuAction (orvel::unlockItem);
    button ("Soft Clip").performMenuAction (orvel::unlockItem);
    editortest::pumpPending();
    EXPECT_EQ (processor->lockText, "Mix|Bypass");

    // Any other text is ignored, however close.
    knob ("Output").setLocked (true);
    sendLockMessage ("LockParameterUpdates");
    sendLockMessage ("lockparameterupdate");
    EXPECT_EQ (processor->lockText, "Mix|Bypass");
}

TEST_F (MainWindowTest, LockAllAndUnlockAllLeaveBypassLockedWithoutIndicator)
{
    auto& bypass = button ("Bypass");

    knob ("Input").performMenuAction (orvel::lockAllItem);
    editortest::pumpPending();

    EXPECT_EQ (processor->lockedParameterNames.size(), 15);
    for (auto* k : window->getKnobs())
    {
        EXPECT_TRUE (k->isLocked()) << k->getParameterName();
        EXPECT_TRUE (k->excludedFromRandom);
        EXPECT_TRUE (k->getLockIndicator().isVisible());
    }
    EXPECT_TRUE (button ("AutoGain").getLockIndicator().isVisible());
    EXPECT_TRUE (bypass.isLocked());
    EXPECT_FALSE (bypass.getLockIndicator().isVisible());

    button ("PrePost").performMenuAction (orvel::unlockAllItem);
    editortest::pumpPending();

    EXPECT_EQ (processor->lockText, "Bypass");
    for (auto* k : window->getKnobs())
    {
        EXPECT_FALSE (k->isLocked());
        EXPECT_FALSE (k->excludedFromRandom);
        EXPECT_FALSE (k->getLockIndicator().isVisible());
    }
    EXPECT_TRUE (bypass.isLocked());
    EXPECT_FALSE (bypass.getLockIndicator().isVisible());
}

TEST_F (MainWindowTest, LocksStoredInTheProcessorAreShownOneSecondAfterTheEditorOpens)
{
    closeEditor();
    processor->lockedParameterNames = juce::StringArray ("Output", "AutoGain", "Bypass", "No Such Parameter");
    openEditor();

    EXPECT_FALSE (knob ("Output").isLocked()) << "a new editor starts unlocked";
    EXPECT_TRUE (window->isTimerRunning (WrendleFoldPluginWindow::lockRestoreTimerId));
    EXPECT_EQ (window->getTimerInterval (WrendleFoldPluginWindow::lockRestoreTimerId), 1000);

    window->timerCallback (WrendleFoldPluginWindow::lockRestoreTimerId);

    EXPECT_TRUE (knob ("Output").isLocked());
    EXPECT_TRUE (knob ("Output").excludedFromRandom);
    EXPECT_TRUE (knob ("Output").getLockIndicator().isVisible());
    EXPECT_FALSE (knob ("Mix").isLocked());
    EXPECT_TRUE (button ("AutoGain").isLocked());
    EXPECT_TRUE (button ("AutoGain").getLockIndicator().isVisible());
    EXPECT_FALSE (window->isTimerRunning (WrendleFoldPluginWindow::lockRestoreTimerId));

    // An unknown name stays in the list until the next lock action drops it.
    EXPECT_TRUE (processor->lockedParameterNames.contains ("No Such Parameter"));
    window->actionListenerCallback (orvel::lockMessages::update);
    EXPECT_EQ (processor->lockText, "Output|Bypass|AutoGain");
}

TEST_F (MainWindowTest, AHostRestoreWhileTheEditorIsOpenGivesTheWidgetsExactlyTheRestoredLocks)
{
    processor->setLockedParameterNames ({ "Output", "Bypass" });
    juce::MemoryBlock saved;
    processor->getStateInformation (saved);

    // Within the editor's first second, before its own restore of the locks.
    knob ("Mix").setLocked (true);
    processor->setStateInformation (saved.getData(), (int) saved.getSize());
    window->refreshFromProcessor();

    EXPECT_TRUE (knob ("Output").isLocked());
    EXPECT_FALSE (knob ("Mix").isLocked()) << "the widget's flag must not outlive the restore";

    // The next lock action starts from the restored list.
    knob ("Fold Amount").performMenuAction (orvel::lockItem);
    editortest::pumpPending();
    EXPECT_EQ (processor->lockText, "Fold Amount|Output|Bypass");
}

TEST_F (MainWindowTest, APressOnTheBackgroundClosesOpenValueBubbles)
{
    auto& mix = knob ("Mix");
    mix.showValueBubble();
    auto* bubble = mix.getValueBubble();
    ASSERT_NE (bubble, nullptr);
    ASSERT_TRUE (bubble->isVisible());

    window->mouseDown (mouseEvent (*window, { 20.0f, 440.0f }, juce::ModifierKeys::leftButtonModifier));
    ASSERT_TRUE (editortest::pumpUntil ([bubble]
                                        { return ! bubble->isVisible(); },
                                        2000));
}

TEST_F (MainWindowTest, ValueAndEntryBubblesKeepClearOfTheSectionLabelsAndTheKnobRowsFrame)
{
    // Where each label's word is drawn (its box is wider than the word).
    std::vector<std::pair<juce::String, juce::Rectangle<int>>> words;
    for (const auto* label : window->getSectionLabels())
    {
        const auto font = label->getFont();
        const auto word = juce::Rectangle<int> (juce::roundToInt (font.getStringWidthFloat (label->getText())),
                                                juce::roundToInt (font.getHeight()) - 2);
        words.emplace_back (label->getText(), label->getJustificationType().appliedToRectangle (word, label->getBounds()));
    }

    const auto panel = window->getKnobRowPanel().getBounds();

    for (auto* k : window->getKnobs())
    {
        k->showValueBubble();
        k->performMenuAction (orvel::editValueItem);

        for (const auto* bubble : { k->getValueBubble(), k->getEditBubble() })
        {
            ASSERT_NE (bubble, nullptr) << k->getParameterName();
            const auto area = bubble->getBounds();
            EXPECT_TRUE (window->getLocalBounds().contains (area)) << k->getParameterName();
            EXPECT_TRUE (! area.intersects (panel) || panel.contains (area)) << k->getParameterName() << " across the panel frame";

            for (const auto& [text, word] : words)
                EXPECT_FALSE (area.intersects (word)) << k->getParameterName() << " covers " << text;
        }

        k->hideBubbles (0);
    }
}

TEST_F (MainWindowTest, TheEditorPaintsItsPanelWithoutArtworkOrWithIt)
{
    const auto image = editortest::paintToImage (*editor);

    // Nothing is left unpainted and the monitor grid shows its centre axis.
    EXPECT_EQ (image.getPixelAt (5, 450).getAlpha(), 255);
    const auto axis = editortest::luma (image, 66 + 44, 93 + 10);
    const auto beside = editortest::luma (image, 66 + 40, 93 + 10);
    EXPECT_GT (axis, beside);
}

TEST_F (MainWindowTest, UpdateGraphicsRebuildsBehindTheOverlayOnTheSkinThread)
{
    orvel::editorSettingsOf (*processor).brightness = 0.1f;
    window->updateGraphics();

    auto& overlay = window->getLoadingOverlay();
    EXPECT_TRUE (overlay.isVisible());
    EXPECT_TRUE (overlay.isTimerRunning());

    ASSERT_TRUE (editortest::pumpUntil ([&overlay]
                                        { return ! overlay.isVisible(); },
                                        20000));
    EXPECT_FALSE (overlay.isTimerRunning());
    EXPECT_FLOAT_EQ (processor->getSharedData()->getBrightness(), 0.1f);
    EXPECT_EQ (window->getKnobs().size(), 11) << "controls rebuilt";
    EXPECT_EQ (window->getSectionLabels().size(), 16);
    EXPECT_EQ (window->getParameterButtons().size(), 4);

    // Put the settings and the shared store back for the other tests.
    orvel::editorSettingsOf (*processor).brightness = 0.0f;
    processor->getSharedData()->setAdjustment (0.0f, 0.0f);
    processor->getSharedData()->run();
}

TEST_F (MainWindowTest, OpeningAndClosingTheEditorManyTimesLeavesTheProcessorWorking)
{
    for (int i = 0; i < 50; ++i)
    {
        closeEditor();
        openEditor();
    }

    processor->prepareToPlay (48000.0, 64);
    juce::AudioBuffer<float> buffer (2, 64);
    for (int i = 0; i < 64; ++i)
        buffer.setSample (0, i, 0.25f), buffer.setSample (1, i, -0.25f);
    juce::MidiBuffer midi;
    processor->processBlock (buffer, midi);
    EXPECT_TRUE (std::isfinite (buffer.getMagnitude (0, 64)));
    processor->releaseResources();
}

//==============================================================================
TEST (FirstWindowTest, TheFirstWindowOfAProcessOpensWithStandInsBehindTheLoadingOverlayAndThenShowsTheSkin)
{
    // No other holder: this processor's skin store is new and not decoded yet.
    auto processor = std::make_unique<WrendleFoldProcessor> (editortest::refusingNewsAddress());
    ASSERT_NE (processor->getSharedData(), nullptr);
    ASSERT_FALSE (processor->getSharedData()->isLoaded()) << "another holder kept the store";

    auto editor = std::make_unique<WrendleFoldEditor> (*processor);
    auto* window = editor->getMainWindow();
    EXPECT_TRUE (window->getLoadingOverlay().isVisible());

    ASSERT_TRUE (editortest::pumpUntil ([window]
                                        { return ! window->getLoadingOverlay().isVisible(); },
                                        10000));
    EXPECT_TRUE (processor->getSharedData()->isLoaded());

    // The skinned window: the knobs take their artwork's size and paint it.
    const auto image = editortest::paintToImage (*window);
    EXPECT_NE (image.getPixelAt (10, 200), juce::Colour (0xff2c2c2d)) << "the stand-in ground is still showing";

    editor.reset();
    processor.reset();
    editortest::pumpPending();
}
