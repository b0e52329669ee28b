// The main window's controls: the knobs and buttons of the parameters, their
// display settings and bubbles, the section labels and the pre/post layout, and
// the parameter locks.
#include "editor/WrendleFoldPluginWindow.h"

#include "editor/EditorSettings.h"
#include "editor/OrvelLookAndFeel.h"
#include "editor/WidgetSupport.h"
#include "plugin/WrendleFoldProcessor.h"

namespace
{

// Logical sizes of the skin images (the artwork is drawn at twice this).
constexpr int bigKnobSize = 153, whiteKnobSize = 62, smallKnobSize = 68, tinyKnobSize = 43;
constexpr int swapWidth = 30, swapHeight = 22, roundButtonSize = 26;

// The middle knob row: four places 86 units apart.
constexpr int knobRowX = 76, knobRowY = 256, knobRowSpacing = 86;
// Half the small-knob-2 image width: where a pair title ends past its right knob.
constexpr int pairTitleOverhang = 68;

const juce::Colour labelTextColour (0xffb5b5b5);

} // namespace

void WrendleFoldPluginWindow::setupKnob (orvel::OrvelKnob& knob, juce::RangedAudioParameter* parameter,
                                         orvel::SharedData::KnobArt art, int x, int y, int logicalSize)
{
    knob.setupParameterKnob (parameter, {}, 1, x, y, juce::Slider::RotaryHorizontalVerticalDrag);

    // Without the skin store the knob still takes its logical size and draws a plain dial.
    const auto& sharedData = processor.getSharedData();

    if (sharedData != nullptr && ! skinPending)
        knob.setFramePainter (sharedData->getKnobPainter (art), orvel::SharedData::getKnobFramePx (art));
    else
        knob.setSize (logicalSize, logicalSize);

    knobs.add (&knob);
    addAndMakeVisible (knob);
}

void WrendleFoldPluginWindow::setupButton (orvel::OrvelButton& button, juce::RangedAudioParameter* parameter,
                                           const juce::Image& offImage, const juce::Image& onImage, int x, int y,
                                           int logicalWidthOfButton, int logicalHeightOfButton)
{
    button.setupParameterButton (parameter, offImage, onImage, x, y);

    if (! offImage.isValid())
        button.setSize (logicalWidthOfButton, logicalHeightOfButton);

    button.addOwnerListeners (this, this);
    addAndMakeVisible (button);
}

void WrendleFoldPluginWindow::initMainControls()
{
    const auto& params = processor.getParameterSet();
    const auto& sharedData = processor.getSharedData();
    const auto image = [&sharedData, this] (orvel::SharedData::ImageId id)
    { return sharedData != nullptr && ! skinPending ? sharedData->getImage (id) : juce::Image(); };

    // 1-2: the monitor block; the frame is added last so it is drawn over the curve.
    monitorFrame.setImage (image (orvel::SharedData::box), juce::RectanglePlacement::stretchToFit);
    monitorFrame.setBounds (51, 78, 116, 120);

    monitorGrid.setBounds (66, 93, 88, 88);
    monitorGrid.setAlpha (0.75f);
    addAndMakeVisible (monitorGrid);

    monitor.setBounds (66, 93, 88, 88);
    addAndMakeVisible (monitor);
    lastPublishedDrive = processor.getMonitorDrive();
    ticksSinceDriveMoved = std::numeric_limits<int>::max() / 2;
    monitor.updateCurve (true, monitorDriveToShow(), params.input->getPlainValue(), params.output->getPlainValue());
    updateMonitorActivity();
    addAndMakeVisible (monitorFrame);

    // 3: the upper knobs, the panel behind the middle row, the middle row at its
    // "Normal" places, the link glyph.
    using Art = orvel::SharedData;
    const auto bigKnob = Art::bigKnob, whiteKnob = Art::whiteKnob, tinyKnob = Art::tinyKnob;
    const auto smallKnob = Art::smallKnob, smallKnob2 = Art::smallKnob2;

    const int foldX = (logicalWidth - bigKnobSize) / 2, foldY = 59;
    setupKnob (foldAmountKnob, params.foldAmount, bigKnob, foldX, foldY, bigKnobSize);
    setupKnob (envelopeAmountKnob, params.envelopeAmount, whiteKnob, foldX + 170, foldY + 17, whiteKnobSize);
    setupKnob (envelopeAttackKnob, params.envelopeAttack, tinyKnob, foldX + 170 - 15, foldY + 17 + 82, tinyKnobSize);
    setupKnob (envelopeReleaseKnob, params.envelopeRelease, tinyKnob, foldX + 170 + 35, foldY + 17 + 82, tinyKnobSize);

    addAndMakeVisible (knobRowPanel);
    setupKnob (highPassKnob, params.highPass, smallKnob2, knobRowX, knobRowY, smallKnobSize);
    setupKnob (lowPassKnob, params.lowPass, smallKnob2, knobRowX + knobRowSpacing, knobRowY, smallKnobSize);
    setupKnob (feedbackKnob, params.feedback, smallKnob, knobRowX + 2 * knobRowSpacing, knobRowY, smallKnobSize);
    setupKnob (feedbackLowPassKnob, params.feedbackLowPass, smallKnob2, knobRowX + 3 * knobRowSpacing, knobRowY, smallKnobSize);
    addAndMakeVisible (feedbackLink);

    // 4: the PrePost swap button above the panel's divider, then the row arrangement.
    setupButton (prePostButton, params.prePost, image (orvel::SharedData::swapOff), image (orvel::SharedData::swapOn),
                 (logicalWidth - swapWidth) / 2, knobRowY - 26 + 9, swapWidth, swapHeight);
    parameterButtons.add (&prePostButton);
    updatePrePostLayout (true);

    // 5: the lower row.
    const int inputX = 78, inputY = 364;
    setupKnob (inputKnob, params.input, whiteKnob, inputX, inputY, whiteKnobSize);
    setupKnob (mixKnob, params.mix, Art::whiteKnobUnipolar, inputX + 86, inputY + 7, whiteKnobSize);
    setupKnob (outputKnob, params.output, whiteKnob, inputX + 2 * 86, inputY, whiteKnobSize);

    const auto buttonOff = image (orvel::SharedData::buttonOff);
    const auto buttonOn = image (orvel::SharedData::buttonOn);
    setupButton (autoGainButton, params.autoGain, buttonOff, buttonOn, 354, inputY - 7, roundButtonSize, roundButtonSize);
    parameterButtons.add (&autoGainButton);
    setupButton (softClipButton, params.softClip, buttonOff, buttonOn, 354, inputY - 7 + 51, roundButtonSize, roundButtonSize);
    parameterButtons.add (&softClipButton);

    // 6-8.
    applyKnobDisplaySettings();
    applyButtonSettings();
    createSectionLabels();

    // 9: locks a host restored meanwhile are shown a second after the build.
    startTimer (lockRestoreTimerId, 1000);

    keepOverlaysOnTop();
}

void WrendleFoldPluginWindow::applyKnobDisplaySettings()
{
    const auto leftHanded = orvel::editorSettingsOf (processor).leftHandedMouse;

    for (auto* knob : knobs)
    {
        knob->getValueLabel().setVisible (false);
        knob->bubbleHost = this;
        knob->removeListener (this);
        knob->addListener (this);
        knob->removeActionListener (this);
        knob->addActionListener (this);

        // The knob frames are painted at twice the logical resolution.
        knob->setDisplayScale (2);

        knob->bubbleFadeLimit = 0.94f;
        knob->editBubbleWidth = 70;
        knob->bubbleOffset = { 0.0f, (float) -(knob->getHeight() + 36) };
        knob->bubbleObstacles = [this]
        { return getBubbleObstacles(); };
        knob->leftHandedMouse = leftHanded;
    }

    // The big knob's bubbles open over its own artwork, not above it.
    foldAmountKnob.setLockIndicatorOffset ({ 9, 12 });
    foldAmountKnob.bubbleOffset = { 0.0f, (float) -(foldAmountKnob.getHeight() + 19) };
}

void WrendleFoldPluginWindow::applyButtonSettings()
{
    const auto leftHanded = orvel::editorSettingsOf (processor).leftHandedMouse;

    for (auto* button : parameterButtons)
    {
        button->addOwnerListeners (this, this);
        button->setDisplayScale (2);
        button->leftHandedMouse = leftHanded;
    }
}

orvel::OrvelKnob::BubbleObstacles WrendleFoldPluginWindow::getBubbleObstacles() const
{
    orvel::OrvelKnob::BubbleObstacles obstacles;

    // The words themselves, not the (wider) label boxes.
    for (const auto& group : labelGroups)
    {
        for (const auto* label : group)
        {
            if (! label->isVisible() || label->getText().isEmpty())
                continue;

            const auto font = label->getFont();
            const auto text = juce::Rectangle<int> (juce::roundToInt (font.getStringWidthFloat (label->getText())) + 2,
                                                    juce::roundToInt (font.getHeight()));
            obstacles.texts.push_back (label->getJustificationType().appliedToRectangle (text, label->getBounds()));
        }
    }

    obstacles.frames.push_back (knobRowPanel.getBounds());
    obstacles.frames.push_back (monitorFrame.getBounds());
    return obstacles;
}

//==============================================================================
orvel::OrvelLabel* WrendleFoldPluginWindow::addSectionLabel (const juce::String& text)
{
    return labelGroups[1].add (new orvel::OrvelLabel (juce::String(), text));
}

void WrendleFoldPluginWindow::placeUnder (juce::Label& label, const juce::Component& control, int overlap)
{
    label.setBounds (control.getX() - 10, control.getBottom() - overlap, control.getWidth() + 20, 24);
}

void WrendleFoldPluginWindow::createSectionLabels()
{
    for (auto& group : labelGroups)
        group.clear();

    preLabel = postLabel = highPassLabel = lowPassLabel = feedbackLabel = feedbackLowPassLabel = nullptr;

    auto* monitorLabel = addSectionLabel ("MONITOR");
    monitorLabel->setBounds (monitorFrame.getX(), monitorFrame.getBottom() - 4, monitorFrame.getWidth(), 24);

    preLabel = addSectionLabel ("PRE");
    highPassLabel = addSectionLabel ("HIGHPASS");
    lowPassLabel = addSectionLabel ("LOWPASS");
    postLabel = addSectionLabel ("POST");
    feedbackLabel = addSectionLabel ("FEEDBACK");
    feedbackLowPassLabel = addSectionLabel ("LOWPASS");
    placeSectionLabels();

    placeUnder (*addSectionLabel ("FOLD"), foldAmountKnob, 10);
    placeUnder (*addSectionLabel ("ENVELOPE"), envelopeAmountKnob, 4);
    placeUnder (*addSectionLabel ("ATK"), envelopeAttackKnob, 4);
    placeUnder (*addSectionLabel ("REL"), envelopeReleaseKnob, 4);
    placeUnder (*addSectionLabel ("INPUT"), inputKnob, 4);
    placeUnder (*addSectionLabel ("MIX"), mixKnob, 4);
    placeUnder (*addSectionLabel ("OUTPUT"), outputKnob, 4);

    for (auto* button : { &autoGainButton, &softClipButton })
    {
        auto* label = addSectionLabel (button == &autoGainButton ? "AUTOGAIN" : "SOFTCLIP");
        label->setBounds (button->getX() - 30, button->getBottom() - 3, button->getWidth() + 60, 24);
    }

    // The first and third groups keep their styling rules but stay empty in this product.
    const juce::Font groupFonts[] = {
        juce::Font (11.5f, juce::Font::plain).withHorizontalScale (0.97f),
        juce::Font (13.5f, juce::Font::bold).withHorizontalScale (0.95f),
        juce::Font (15.0f, juce::Font::bold).withHorizontalScale (1.1f),
    };

    for (int group = 0; group < 3; ++group)
    {
        for (auto* label : labelGroups[group])
        {
            label->setFont (groupFonts[group]);
            label->setColour (juce::Label::textColourId, labelTextColour);
            label->setJustificationType (juce::Justification::centred);
            // Captions only: a press on one reaches the window (and closes open bubbles).
            label->setInterceptsMouseClicks (false, false);
            addAndMakeVisible (label);
        }
    }
}

void WrendleFoldPluginWindow::updatePrePostLayout (bool force)
{
    const auto inverted = processor.getParameterSet().prePost->getValue() >= 0.5f ? 1 : 0;

    if (! force && inverted == prePostInverted)
        return;

    prePostInverted = inverted;

    orvel::OrvelKnob* const normalOrder[] = { &highPassKnob, &lowPassKnob, &feedbackKnob, &feedbackLowPassKnob };
    orvel::OrvelKnob* const invertedOrder[] = { &feedbackKnob, &feedbackLowPassKnob, &highPassKnob, &lowPassKnob };
    const auto& order = inverted != 0 ? invertedOrder : normalOrder;

    for (int i = 0; i < 4; ++i)
        order[i]->setTopLeftPosition (knobRowX + i * knobRowSpacing, knobRowY);

    feedbackLink.setBounds (feedbackKnob.getX() + 67, feedbackLowPassKnob.getY() + 72, 22, 24);
    knobRowPanel.setBounds (order[0]->getX() - 16, order[0]->getY() - 26, 358, 124);

    placeSectionLabels();
}

void WrendleFoldPluginWindow::placeSectionLabels()
{
    if (preLabel == nullptr || postLabel == nullptr)
        return;

    const auto inverted = prePostInverted == 1;
    auto* filterTitle = inverted ? postLabel : preLabel;
    auto* feedbackTitle = inverted ? preLabel : postLabel;

    filterTitle->setBounds (highPassKnob.getX(), highPassKnob.getY() - 18,
                            lowPassKnob.getX() + pairTitleOverhang - highPassKnob.getX(), 24);
    feedbackTitle->setBounds (feedbackKnob.getX(), feedbackKnob.getY() - 18,
                              feedbackLowPassKnob.getX() + pairTitleOverhang - feedbackKnob.getX(), 24);

    const std::pair<orvel::OrvelLabel*, orvel::OrvelKnob*> rowLabels[] = {
        { highPassLabel, &highPassKnob },
        { lowPassLabel, &lowPassKnob },
        { feedbackLabel, &feedbackKnob },
        { feedbackLowPassLabel, &feedbackLowPassKnob },
    };

    for (const auto& [label, knob] : rowLabels)
        if (label != nullptr)
            placeUnder (*label, *knob, 4);
}

//==============================================================================
void WrendleFoldPluginWindow::rebuildLockList()
{
    juce::StringArray names;

    for (auto* knob : knobs)
        if (knob->getParameter() != nullptr && knob->isLocked())
            names.add (knob->getParameterName());

    for (auto* button : parameterButtons)
        if (auto* parameter = button->getParameter(); parameter != nullptr && button->isLocked())
            names.add (parameter->getName (50));

    processor.setLockedParameterNames (names);
}

void WrendleFoldPluginWindow::restoreParameterLocks (bool replaceWidgetLocks)
{
    const auto& names = processor.lockedParameterNames;

    for (auto* knob : knobs)
    {
        if (knob->getParameter() == nullptr)
            continue;

        const auto listed = names.contains (knob->getParameterName());

        if (! listed && ! replaceWidgetLocks)
            continue;

        if (knob->lockable)
            knob->setLocked (listed);
        else
            knob->getLockIndicator().setVisible (false);

        if (knob->followsLockAll)
            knob->excludedFromRandom = listed;
    }

    for (auto* button : parameterButtons)
        if (auto* parameter = button->getParameter(); parameter != nullptr)
            if (const auto listed = names.contains (parameter->getName (50)); listed || replaceWidgetLocks)
                button->setLocked (listed);

    locksRestored = true;
    lockRestoreCountSeen = processor.getLockRestoreCount();
    stopTimer (lockRestoreTimerId);
}

void WrendleFoldPluginWindow::lockAllWidgets (bool shouldBeLocked)
{
    for (auto* knob : knobs)
    {
        if (knob->lockable)
            knob->setLocked (shouldBeLocked);
        else
            knob->getLockIndicator().setVisible (false);

        if (knob->followsLockAll)
            knob->excludedFromRandom = shouldBeLocked;
    }

    // A button that is not lockable (bypass) stays locked either way.
    for (auto* button : parameterButtons)
        button->setLocked (shouldBeLocked);

    rebuildLockList();
}

void WrendleFoldPluginWindow::actionListenerCallback (const juce::String& message)
{
    // A lock action before the processor's locks reached the widgets would rebuild the list
    // without them.
    const auto isLockAction = message == orvel::lockMessages::update || message == orvel::lockMessages::lockAll
                              || message == orvel::lockMessages::unlockAll;

    if (isLockAction && ! locksRestored)
        restoreParameterLocks();

    if (message == orvel::lockMessages::update)
        rebuildLockList();
    else if (message == orvel::lockMessages::lockAll)
        lockAllWidgets (true);
    else if (message == orvel::lockMessages::unlockAll)
        lockAllWidgets (false);
}
