// The knob and button widgets on their own: film strip, mouse, wheel, lock menu.

#include "EditorTestSupport.h"

#include "editor/OrvelButton.h"
#include "editor/OrvelKnob.h"
#include "editor/WidgetSupport.h"

using editortest::mouseEvent;
using editortest::wheel;

namespace
{
constexpr int frames = 129;

/** A film strip of 4 × 4 frames whose red channel is the frame number. */
juce::Image numberedFilmStrip()
{
    juce::Image strip (juce::Image::RGB, 4, 4 * frames, true);
    juce::Graphics g (strip);

    for (int i = 0; i < frames; ++i)
    {
        g.setColour (juce::Colour::fromRGB ((juce::uint8) i, 0, 0));
        g.fillRect (0, i * 4, 4, 4);
    }

    return strip;
}

/** Remembers the action messages a widget broadcasts. */
struct MessageLog : juce::ActionListener
{
    void actionListenerCallback (const juce::String& message) override { messages.add (message); }
    juce::StringArray messages;
};

const auto leftButton = juce::ModifierKeys (juce::ModifierKeys::leftButtonModifier);
const auto rightButton = juce::ModifierKeys (juce::ModifierKeys::rightButtonModifier);
} // namespace

TEST (OrvelKnobTest, TheValueSelectsTheFilmStripFrame)
{
    orvel::OrvelKnob knob;
    knob.setupParameterKnob (nullptr, numberedFilmStrip(), frames, 0, 0, juce::Slider::RotaryHorizontalVerticalDrag);
    ASSERT_EQ (knob.getBounds(), juce::Rectangle<int> (0, 0, 4, 4));

    const std::pair<double, int> cases[] = { { 0.0, 0 }, { 0.5, 64 }, { 0.999, 127 }, { 1.0, 128 } };

    for (const auto& [value, frame] : cases)
    {
        knob.setValue (value, juce::dontSendNotification);
        EXPECT_EQ (knob.getFrameIndex(), frame) << value;
        EXPECT_EQ (editortest::paintToImage (knob).getPixelAt (2, 2).getRed(), frame) << value;
    }
}

TEST (OrvelKnobTest, DisplayScaleHalvesTheFrameAndPlacesTheLockIndicatorInTheParent)
{
    juce::Component parent;
    orvel::OrvelKnob knob;
    parent.addAndMakeVisible (knob);
    knob.setupParameterKnob (nullptr, numberedFilmStrip(), frames, 30, 40, juce::Slider::RotaryHorizontalVerticalDrag);
    knob.setDisplayScale (2);

    EXPECT_EQ (knob.getBounds(), juce::Rectangle<int> (30, 40, 2, 2));
    EXPECT_EQ (knob.getLockIndicator().getParentComponent(), &parent);
    EXPECT_EQ (knob.getLockIndicator().getBounds(), juce::Rectangle<int> (32, 42, 13, 13));

    knob.setTopLeftPosition (100, 50);
    EXPECT_EQ (knob.getLockIndicator().getPosition(), juce::Point<int> (102, 52)) << "the indicator follows the knob";
}

//==============================================================================
struct ParameterWidgetTest : editortest::EditorFixture
{
};

TEST_F (ParameterWidgetTest, TheWheelWrapsADiscreteKnobAroundAtBothEnds)
{
    // Oversampling has five choices: 0, 0.25 ... 1.
    orvel::OrvelKnob knob;
    knob.setupParameterKnob (params().oversampling, {}, frames, 0, 0, juce::Slider::RotaryHorizontalVerticalDrag);

    knob.setValue (1.0, juce::dontSendNotification);
    knob.mouseWheelMove (mouseEvent (knob, {}, {}), wheel (0.2f));
    EXPECT_DOUBLE_EQ (knob.getValue(), 0.0);

    knob.mouseWheelMove (mouseEvent (knob, {}, {}), wheel (-0.2f));
    EXPECT_DOUBLE_EQ (knob.getValue(), 1.0);

    knob.mouseWheelMove (mouseEvent (knob, {}, {}), wheel (-0.2f));
    EXPECT_DOUBLE_EQ (knob.getValue(), 0.75);

    auto reversed = wheel (-0.2f);
    reversed.isReversed = true;
    knob.mouseWheelMove (mouseEvent (knob, {}, {}), reversed);
    EXPECT_DOUBLE_EQ (knob.getValue(), 1.0);
}

TEST_F (ParameterWidgetTest, AltClickAndDoubleClickReturnAKnobToItsParameterDefaultInsideAGesture)
{
    auto& mix = knob ("Mix");
    const auto defaultValue = params().mix->getDefaultValue();

    for (const auto& mods : { juce::ModifierKeys (juce::ModifierKeys::leftButtonModifier | juce::ModifierKeys::altModifier),
                              leftButton })
    {
        params().mix->setValueNotifyingHost (0.1f);
        window->syncWidgetsWithParameters();
        ASSERT_NE (params().mix->getValue(), defaultValue);

        if (mods.isAltDown())
        {
            mix.mouseDown (mouseEvent (mix, { 10.0f, 10.0f }, mods));
            mix.mouseUp (mouseEvent (mix, { 10.0f, 10.0f }, {}));
        }
        else
        {
            mix.mouseDoubleClick (mouseEvent (mix, { 10.0f, 10.0f }, mods, 2));
        }

        EXPECT_NEAR (params().mix->getValue(), defaultValue, 1.0e-6) << (mods.isAltDown() ? "alt-click" : "double-click");
    }
}

TEST_F (ParameterWidgetTest, DraggingAKnobMovesItsParameterAndShowsTheValueBubbleBesideTheKnob)
{
    auto& mix = knob ("Mix");
    params().mix->setValueNotifyingHost (0.3f);
    window->syncWidgetsWithParameters();
    const auto before = params().mix->getValue();

    mix.mouseDown (mouseEvent (mix, { 20.0f, 20.0f }, leftButton));
    EXPECT_TRUE (mix.isMouseHeldDown());
    mix.mouseDrag (mouseEvent (mix, { 20.0f, -30.0f }, leftButton, 1, { 20.0f, 20.0f }));
    mix.mouseUp (mouseEvent (mix, { 20.0f, -30.0f }, {}, 1, { 20.0f, 20.0f }));

    EXPECT_FALSE (mix.isMouseHeldDown());
    EXPECT_GT (params().mix->getValue(), before + 0.1f);

    auto* bubble = mix.getValueBubble();
    ASSERT_NE (bubble, nullptr);
    EXPECT_EQ (bubble->getParentComponent(), window) << "bubbles live in the main window";
    // Above Mix lie the knob row's labels, so its bubble opens at the knob's side.
    EXPECT_TRUE (bubble->getBounds().expanded (3).intersects (mix.getBounds())) << bubble->getBounds().toString();
    EXPECT_FALSE (bubble->getBounds().contains (mix.getBounds().getCentre())) << "not over the knob's middle";
}

TEST_F (ParameterWidgetTest, TypedValuesGoThroughTheParametersTextParsing)
{
    auto& output = knob ("Output");
    output.performMenuAction (orvel::editValueItem);
    auto* bubble = output.getEditBubble();
    ASSERT_NE (bubble, nullptr);
    auto* editor = dynamic_cast<juce::TextEditor*> (bubble->getChildComponent (0));
    ASSERT_NE (editor, nullptr);
    EXPECT_EQ (editor->getText(), params().output->getText (params().output->getValue(), 12));
    EXPECT_EQ (bubble->getWidth(), 70);

    for (const auto* typed : { "-6 dB", "nonsense" })
    {
        editor->setText (typed, false);
        editor->keyPressed (juce::KeyPress (juce::KeyPress::returnKey));
        editortest::pumpPending();
        EXPECT_NEAR (params().output->getValue(), params().output->getValueForText (typed), 1.0e-5f) << typed;
        EXPECT_EQ (editor->getText(), params().output->getText (params().output->getValue(), 12));
    }
}

TEST_F (ParameterWidgetTest, TheKnobLockMenuOffersUnlockWhenLockedAndReportsEveryLockAction)
{
    auto& mix = knob ("Mix");
    MessageLog log;
    mix.addActionListener (&log);

    // The text and id of the first item of the "Parameter Lock" sub-menu.
    const auto firstLockItem = [&mix]
    {
        const auto menu = mix.buildContextMenu();

        for (juce::PopupMenu::MenuItemIterator it (menu); it.next();)
        {
            if (it.getItem().text == "Parameter Lock" && it.getItem().subMenu != nullptr)
            {
                juce::PopupMenu::MenuItemIterator sub (*it.getItem().subMenu);
                sub.next();
                return std::make_pair (sub.getItem().text, sub.getItem().itemID);
            }
        }

        return std::make_pair (juce::String(), 0);
    };

    EXPECT_EQ (firstLockItem(), std::make_pair (juce::String ("Lock"), 1));

    mix.performMenuAction (orvel::lockItem);
    EXPECT_TRUE (mix.isLocked());
    EXPECT_TRUE (mix.excludedFromRandom);
    EXPECT_TRUE (mix.getLockIndicator().isVisible());
    EXPECT_EQ (firstLockItem(), std::make_pair (juce::String ("Unlock"), 2));

    mix.performMenuAction (orvel::unlockItem);
    EXPECT_FALSE (mix.isLocked());
    EXPECT_FALSE (mix.getLockIndicator().isVisible());

    mix.performMenuAction (orvel::lockAllItem);
    mix.performMenuAction (orvel::unlockAllItem);
    editortest::pumpPending();
    EXPECT_EQ (log.messages.joinIntoString (","), "LockParameterUpdate,LockParameterUpdate,LockParameterAll,unLockParameterAll");
    mix.removeActionListener (&log);
}

TEST_F (ParameterWidgetTest, LeftHandedMouseSwapsTheButtonsOfKnobsAndSwitches)
{
    auto& mix = knob ("Mix");
    mix.leftHandedMouse = true;
    params().mix->setValueNotifyingHost (0.3f);
    window->syncWidgetsWithParameters();
    const auto before = params().mix->getValue();

    // Menus need a screen to open on; without one only the knob's side is checked.
    const auto menusOpen = orvel::canShowPopupMenus();

    // The primary (left) button opens the menu and does not turn the knob.
    mix.mouseDown (mouseEvent (mix, { 20.0f, 20.0f }, leftButton));
    mix.mouseDrag (mouseEvent (mix, { 20.0f, -30.0f }, leftButton, 1, { 20.0f, 20.0f }));
    mix.mouseUp (mouseEvent (mix, { 20.0f, -30.0f }, {}, 1, { 20.0f, 20.0f }));
    EXPECT_EQ (juce::PopupMenu::dismissAllActiveMenus(), menusOpen);
    editortest::pumpPending();
    EXPECT_FLOAT_EQ (params().mix->getValue(), before);

    // The other button turns it.
    mix.mouseDown (mouseEvent (mix, { 20.0f, 20.0f }, rightButton));
    mix.mouseDrag (mouseEvent (mix, { 20.0f, -30.0f }, rightButton, 1, { 20.0f, 20.0f }));
    mix.mouseUp (mouseEvent (mix, { 20.0f, -30.0f }, {}, 1, { 20.0f, 20.0f }));
    EXPECT_FALSE (juce::PopupMenu::dismissAllActiveMenus());
    EXPECT_GT (params().mix->getValue(), before + 0.1f);

    auto& softClip = button ("Soft Clip");
    softClip.leftHandedMouse = true;
    const auto wasOn = softClip.getToggleState();
    softClip.mouseDown (mouseEvent (softClip, { 5.0f, 5.0f }, rightButton));
    softClip.mouseUp (mouseEvent (softClip, { 5.0f, 5.0f }, {}));
    EXPECT_NE (softClip.getToggleState(), wasOn) << "the right button clicks a left-handed switch";
    EXPECT_FLOAT_EQ (params().softClip->getValue(), softClip.getToggleState() ? 1.0f : 0.0f);

    softClip.mouseDown (mouseEvent (softClip, { 5.0f, 5.0f }, leftButton));
    EXPECT_EQ (softClip.getToggleState(), ! wasOn) << "the left one does not click it";
    EXPECT_EQ (juce::PopupMenu::dismissAllActiveMenus(), menusOpen) << "it opens the lock menu";
}

TEST_F (ParameterWidgetTest, ScrollingASwitchTurnsItOnOrOffAndItsParameterFollows)
{
    auto& softClip = button ("Soft Clip");

    const std::tuple<float, float, bool> cases[] = {
        { 0.5f, 0.0f, true },
        { -0.5f, 0.0f, false },
        { 0.0f, -0.5f, true },
        { 0.0f, 0.5f, false },
    };

    for (const auto& [deltaY, deltaX, expectOn] : cases)
    {
        softClip.mouseWheelMove (mouseEvent (softClip, {}, {}), wheel (deltaY, deltaX));
        EXPECT_EQ (softClip.getToggleState(), expectOn) << deltaY << " " << deltaX;
        EXPECT_FLOAT_EQ (params().softClip->getValue(), expectOn ? 1.0f : 0.0f);
    }
}

TEST (OrvelButtonTest, ACommandButtonShowsItsOnImageWhilePressedAndClicksOnMouseDown)
{
    orvel::OrvelButton command;
    command.setVisible (true);
    int clicks = 0;
    command.onClick = [&clicks]
    { ++clicks; };
    command.setupImageButton ({}, {}, 0, 0, nullptr);

    command.mouseDown (mouseEvent (command, { 5.0f, 5.0f }, leftButton));
    EXPECT_EQ (clicks, 1);
    EXPECT_TRUE (command.getToggleState());

    command.mouseUp (mouseEvent (command, { 5.0f, 5.0f }, {}));
    EXPECT_TRUE (command.isTimerRunning());
    EXPECT_EQ (command.getTimerInterval(), 80);
    command.timerCallback();
    EXPECT_FALSE (command.getToggleState());

    // A button without parameter never offers the lock menu.
    command.mouseDown (mouseEvent (command, { 5.0f, 5.0f }, rightButton));
    EXPECT_FALSE (juce::PopupMenu::dismissAllActiveMenus());
    EXPECT_EQ (clicks, 1);
}
