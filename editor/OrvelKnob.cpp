#include "editor/OrvelKnob.h"

#include "editor/OrvelKnobBubbles.h"
#include "editor/OrvelLookAndFeel.h"
#include "editor/WidgetSupport.h"

#include <cmath>

namespace orvel
{
//==============================================================================
OrvelKnob::OrvelKnob()
{
    setTextBoxStyle (juce::Slider::NoTextBox, true, 0, 0);
    setRange (0.0, 1.0, 0.001);
    setValue (0.5, juce::dontSendNotification);
    setDoubleClickReturnValue (true, 0.5);

    lockIndicator.setImage (getLockIndicatorImage(), juce::RectanglePlacement::stretchToFit);
    lockIndicator.setInterceptsMouseClicks (false, false);
    lockIndicator.setVisible (false);

    valueLabel.addListener (this);
    addChildComponent (valueLabel);
}

OrvelKnob::~OrvelKnob()
{
    valueLabel.removeListener (this);

    // The bubbles live in the host; take them out before they are deleted.
    for (auto* bubble : { static_cast<juce::Component*> (valueBubble.get()),
                          static_cast<juce::Component*> (editBubble.get()) })
        if (bubble != nullptr)
            bubbleAnimator().cancelAnimation (bubble, false);
}

//==============================================================================
void OrvelKnob::setupParameterKnob (juce::AudioProcessorParameter* parameterToUse, const juce::Image& filmStripImage,
                                    int numFrames, int x, int y, juce::Slider::SliderStyle style)
{
    parameter = parameterToUse;
    parameterName = parameter != nullptr ? parameter->getName (50) : juce::String();

    setTextBoxStyle (juce::Slider::NoTextBox, true, 0, 0);
    setSliderStyle (style);

    if (parameter != nullptr)
    {
        // A discrete parameter of n steps has n − 1 intervals between 0 and 1;
        // a continuous one reports a huge step count, giving a fine interval.
        const auto numSteps = parameter->getNumSteps();
        const auto intervals = parameter->isDiscrete() && numSteps > 1 ? numSteps - 1 : juce::jmax (1, numSteps);

        setRange (0.0, 1.0, 1.0 / (double) intervals);
        setValue (parameter->getValue(), juce::dontSendNotification);
        setDoubleClickReturnValue (true, parameter->getDefaultValue());
        lockable = editable = followsLockAll = true;
        setTooltip (parameter->getName (50));
    }
    else
    {
        setRange (0.0, 1.0, 0.001);
        setValue (0.5, juce::dontSendNotification);
        setDoubleClickReturnValue (true, 0.5);
    }

    rangeLength = getMaximum() - getMinimum();
    setFilmStrip (filmStripImage, numFrames);
    setTopLeftPosition (x, y);
    applyBounds();

    if (style == juce::Slider::LinearHorizontal || style == juce::Slider::LinearVertical)
        setMouseDragSensitivity (juce::jmax (8, (style == juce::Slider::LinearHorizontal ? getWidth() : getHeight()) / 2));

    updateValueLabel();
}

void OrvelKnob::setFilmStrip (const juce::Image& filmStripImage, int numFrames)
{
    filmStrip = filmStripImage;
    framePainter = nullptr;
    paintedFrame = {};
    frameCount = juce::jmax (1, numFrames);
    frameWidth = filmStrip.isValid() ? filmStrip.getWidth() : 0;
    frameHeight = filmStrip.isValid() ? filmStrip.getHeight() / frameCount : 0;
    repaint();
}

void OrvelKnob::setFramePainter (FramePainter painter, int framePx)
{
    filmStrip = {};
    framePainter = std::move (painter);
    paintedFrame = {};
    paintedValue = -1.0f;
    frameCount = 1;
    frameWidth = frameHeight = framePainter != nullptr ? juce::jmax (0, framePx) : 0;
    applyBounds();
    repaint();
}

void OrvelKnob::setDisplayScale (int newScale)
{
    displayScale = juce::jlimit (1, 3, newScale);
    applyBounds();
    lockIndicatorOffset = { 2, 2 };
    placeLockIndicator();
}

void OrvelKnob::setLockIndicatorOffset (juce::Point<int> offset)
{
    lockIndicatorOffset = offset;
    placeLockIndicator();
}

void OrvelKnob::moved()
{
    juce::Slider::moved();

    if (lockIndicator.getParentComponent() != nullptr && lockIndicator.getParentComponent() != this)
        placeLockIndicator();
}

void OrvelKnob::applyBounds()
{
    // Without artwork the knob keeps whatever size it has, so it stays usable.
    if (frameWidth <= 0 || frameHeight <= 0)
        return;

    setSize (juce::roundToInt ((double) frameWidth / displayScale), juce::roundToInt ((double) frameHeight / displayScale));
}

void OrvelKnob::placeLockIndicator()
{
    if (auto* parent = getParentComponent())
    {
        if (lockIndicator.getParentComponent() != parent)
            parent->addChildComponent (lockIndicator);

        lockIndicator.setBounds (juce::Rectangle<int> (13, 13).withPosition (getPosition() + lockIndicatorOffset));
    }
    else
    {
        if (lockIndicator.getParentComponent() != this)
            addChildComponent (lockIndicator);

        lockIndicator.setBounds (juce::Rectangle<int> (13, 13).withPosition (lockIndicatorOffset));
    }

    refreshLockIndicator();
}

void OrvelKnob::refreshLockIndicator()
{
    lockIndicator.setVisible (locked && lockable && isVisible());

    if (lockIndicator.isVisible())
        lockIndicator.toFront (false);
}

void OrvelKnob::setLocked (bool shouldBeLocked)
{
    if (lockable)
    {
        locked = shouldBeLocked;
        excludedFromRandom = shouldBeLocked;
    }

    refreshLockIndicator();

    if (followsLockAll)
        excludedFromRandom = shouldBeLocked;
}

int OrvelKnob::getFrameIndex() const noexcept
{
    if (rangeLength <= 0.0)
        return 0;

    const auto index = (int) ((double) (frameCount - 1) * (getValue() - getMinimum()) / rangeLength);
    return juce::jlimit (0, frameCount - 1, index);
}

void OrvelKnob::updateValueLabel()
{
    valueLabel.setText (getTextFromValue (getValue()), juce::dontSendNotification);
}

juce::String OrvelKnob::getTextFromValue (double value)
{
    return parameter != nullptr ? parameter->getText ((float) value, 4) : juce::String ("na");
}

//==============================================================================
void OrvelKnob::paint (juce::Graphics& g)
{
    if (framePainter != nullptr && frameWidth > 0)
    {
        const auto value = rangeLength > 0.0 ? (float) juce::jlimit (0.0, 1.0, (getValue() - getMinimum()) / rangeLength) : 0.0f;

        if (value != paintedValue || ! paintedFrame.isValid())
        {
            paintedFrame = framePainter (value);
            paintedValue = value;
        }

        g.setImageResamplingQuality (juce::Graphics::highResamplingQuality);
        g.drawImage (paintedFrame, 0, 0, getWidth(), getHeight(), 0, 0, frameWidth, frameHeight);
        return;
    }

    if (filmStrip.isValid() && frameHeight > 0)
    {
        g.setImageResamplingQuality (juce::Graphics::highResamplingQuality);
        g.drawImage (filmStrip, 0, 0, getWidth(), getHeight(), 0, getFrameIndex() * frameHeight, frameWidth, frameHeight);
        return;
    }

    // Without artwork: a plain dial with a value arc, so the control stays readable.
    const auto area = getLocalBounds().toFloat().reduced (3.0f);
    const auto radius = juce::jmin (area.getWidth(), area.getHeight()) * 0.5f;
    const auto centre = area.getCentre();
    const auto start = -0.75f * juce::MathConstants<float>::pi;
    const auto angle = start + 1.5f * juce::MathConstants<float>::pi * (float) valueToProportionOfLength (getValue());

    g.setColour (juce::Colour (0xff2a2c2e));
    g.fillEllipse (juce::Rectangle<float> (radius * 2.0f, radius * 2.0f).withCentre (centre));

    juce::Path arc;
    arc.addCentredArc (centre.x, centre.y, radius - 2.0f, radius - 2.0f, 0.0f, start, angle, true);
    g.setColour (juce::Colour (0xffd2d2d2));
    g.strokePath (arc, juce::PathStrokeType (2.0f));
    g.drawLine (juce::Line<float> (centre, centre.getPointOnCircumference (radius * 0.7f, angle)), 2.0f);
}

//==============================================================================
void OrvelKnob::mouseDown (const juce::MouseEvent& event)
{
    const auto e = leftHandedMouse ? withSwappedMouseButtons (event) : event;
    const auto wantsMenu = e.mods.isPopupMenu();

    mouseIsDown = true;
    pressTurnsKnob = false;

    if (e.mods.isAltDown())
    {
        juce::Slider::mouseDoubleClick (e);
        return;
    }

    if (editable)
    {
        if (e.mods.isShiftDown())
        {
            showEditBubble();
            return;
        }

        if (wantsMenu)
        {
            showContextMenu();
            return;
        }

        if (editBubble != nullptr)
            editBubble->startTimer (150);
    }
    else if (wantsMenu)
    {
        if (lockable || followsLockAll)
            showContextMenu();

        return;
    }

    if (editable && editBubble != nullptr)
        editBubble->startTimer (250);

    showValueBubble();

    pressTurnsKnob = true;
    juce::Slider::mouseDown (e);
}

void OrvelKnob::mouseDrag (const juce::MouseEvent& event)
{
    // A press that opened a menu or the value entry does not turn the knob.
    if (! pressTurnsKnob)
        return;

    const auto e = leftHandedMouse ? withSwappedMouseButtons (event) : event;
    mouseIsDown = true;
    juce::Slider::mouseDrag (e);

    if (! e.mods.isShiftDown())
    {
        if (editBubble != nullptr)
            editBubble->startTimer (150);

        showValueBubble();
    }

    if (editBubble != nullptr && editBubble->isVisible())
    {
        editBubble->stopTimer();
        fadeBubbleOut (*editBubble);
    }
}

void OrvelKnob::mouseUp (const juce::MouseEvent& event)
{
    mouseIsDown = false;
    pressTurnsKnob = false;
    hideBubbles (500);
    juce::Slider::mouseUp (leftHandedMouse ? withSwappedMouseButtons (event) : event);
}

void OrvelKnob::mouseExit (const juce::MouseEvent& e)
{
    hideBubbles (500);
    juce::Slider::mouseExit (e);
}

void OrvelKnob::mouseDoubleClick (const juce::MouseEvent& e)
{
    if (e.eventComponent != this)
        return;

    juce::Slider::mouseDoubleClick (e);
    showValueBubble();
    hideBubbles (600);
}

void OrvelKnob::mouseWheelMove (const juce::MouseEvent& e, const juce::MouseWheelDetails& wheel)
{
    if (parameter != nullptr && parameter->isDiscrete())
    {
        const auto numSteps = parameter->getNumSteps();
        const auto deltaY = wheel.isReversed ? -wheel.deltaY : wheel.deltaY;

        if (numSteps > 1 && deltaY != 0.0f)
        {
            const auto step = 1.0 / (double) (numSteps - 1);
            auto newValue = getValue() + (deltaY > 0.0f ? step : -step);
            newValue = std::round (newValue / step) * step;

            // The wheel wraps around: past the top comes the bottom, and back.
            if (newValue > getMaximum() + 1.0e-9)
                newValue = getMinimum();
            else if (newValue < getMinimum() - 1.0e-9)
                newValue = getMaximum();

            setValue (juce::jlimit (getMinimum(), getMaximum(), newValue), juce::sendNotificationSync);
        }
    }
    else
    {
        juce::Slider::mouseWheelMove (e, wheel);
    }

    showValueBubble();
    hideBubbles (600);
}

void OrvelKnob::visibilityChanged()
{
    juce::Slider::visibilityChanged();
    refreshLockIndicator();
}

void OrvelKnob::parentHierarchyChanged()
{
    juce::Slider::parentHierarchyChanged();

    // A lock indicator left in a former parent would float there on its own.
    if (auto* indicatorParent = lockIndicator.getParentComponent();
        indicatorParent != nullptr && indicatorParent != this && indicatorParent != getParentComponent())
        indicatorParent->removeChildComponent (&lockIndicator);
}

void OrvelKnob::lookAndFeelChanged()
{
    juce::Slider::lookAndFeelChanged();
    contextMenu.setLookAndFeel (&getLookAndFeel());
}

void OrvelKnob::labelTextChanged (juce::Label* label)
{
    if (label == &valueLabel && parameter != nullptr)
        setValue (parameter->getValueForText (valueLabel.getText()), juce::sendNotificationSync);
}

//==============================================================================
juce::Component* OrvelKnob::getBubbleHost() const noexcept
{
    return bubbleHost != nullptr ? bubbleHost : getParentComponent();
}

juce::Rectangle<int> OrvelKnob::getBoundsInBubbleHost() const
{
    auto* host = getBubbleHost();

    if (host == nullptr || host == getParentComponent())
        return getBounds();

    return host->getLocalArea (getParentComponent(), getBounds());
}

juce::Rectangle<int> OrvelKnob::placeBubble (juce::Rectangle<int> preferred) const
{
    auto* host = getBubbleHost();

    if (bubbleObstacles == nullptr || host == nullptr)
        return preferred;

    const auto obstacles = bubbleObstacles();
    const auto area = host->getLocalBounds();

    auto isClear = [&] (juce::Rectangle<int> place)
    {
        if (! area.contains (place))
            return false;

        for (const auto& text : obstacles.texts)
            if (text.intersects (place))
                return false;

        for (const auto& frame : obstacles.frames)
            if (frame.intersects (place) && ! frame.contains (place))
                return false;

        return true;
    };

    const auto knob = getBoundsInBubbleHost();
    const auto w = preferred.getWidth(), h = preferred.getHeight();
    const auto centredX = knob.getCentreX() - w / 2, centredY = knob.getCentreY() - h / 2;
    constexpr int gap = 2;

    const juce::Rectangle<int> candidates[] = {
        preferred,
        { centredX, knob.getY() - h - gap, w, h },
        { knob.getRight() + gap, centredY, w, h },
        { knob.getX() - w - gap, centredY, w, h },
        { centredX, knob.getBottom() + gap, w, h },
    };

    for (const auto& place : candidates)
        if (isClear (place))
            return place;

    // Over the knob's own middle: it hides only the knob being turned.
    return juce::Rectangle<int> (centredX, centredY, w, h).constrainedWithin (area);
}

void OrvelKnob::showValueBubble()
{
    auto* host = getBubbleHost();

    if (host == nullptr)
        return;

    if (valueBubble == nullptr)
    {
        valueBubble = std::make_unique<OrvelBubbleKnob>();
        host->addChildComponent (*valueBubble);
    }

    bubbleAnimator().cancelAnimation (valueBubble.get(), true);

    const auto knob = getBoundsInBubbleHost();
    auto& bubble = *valueBubble;
    bubble.text = getTextFromValue (getValue());
    bubble.font = getLookAndFeel().getSliderPopupFont (*this);

    const auto textWidth = bubble.font.getStringWidth (bubble.text);
    bubble.setBounds (placeBubble ({ knob.getX() + (int) bubbleOffset.x + (knob.getWidth() - textWidth - 20) / 2,
                                     knob.getY() + knob.getHeight() + (int) bubbleOffset.y + 5,
                                     textWidth + 21,
                                     (int) (bubble.font.getHeight() * 1.6f + 3.0f) }));
    bubble.toFront (false);
    bubble.repaint();

    // A hide timer left from the previous touch would close the bubble under a
    // new one; the next release or exit starts it again.
    bubble.stopTimer();

    if (bubble.getAlpha() <= 0.0f || ! bubble.isVisible())
    {
        bubble.setAlpha (0.0f);
        fadeBubbleIn (bubble, bubbleFadeLimit);
    }
}

void OrvelKnob::showEditBubble()
{
    auto* host = getBubbleHost();

    if (host == nullptr)
        return;

    if (editBubble == nullptr)
    {
        editBubble = std::make_unique<OrvelBubbleEditValueKnob> (*this);
        host->addChildComponent (*editBubble);
    }

    auto& bubble = *editBubble;
    bubbleAnimator().cancelAnimation (&bubble, true);
    bubble.stopTimer();

    const auto knob = getBoundsInBubbleHost();
    const auto width = editBubbleWidth > 0 ? editBubbleWidth : juce::jmax (knob.getWidth(), 50);

    bubble.editor.setText (parameter != nullptr ? parameter->getText (parameter->getValue(), 12)
                                                : getTextFromValue (getValue()),
                           false);
    bubble.setBounds (placeBubble ({ knob.getX() + (int) bubbleOffset.x - (width - knob.getWidth()) / 2,
                                     knob.getY() + knob.getHeight() + (int) bubbleOffset.y + 5,
                                     width, 28 }));
    bubble.toFront (false);

    if (bubble.getAlpha() <= 0.0f || ! bubble.isVisible())
    {
        bubble.setAlpha (0.0f);
        fadeBubbleIn (bubble, bubbleFadeLimit);
    }

    if (bubble.isShowing())
        bubble.editor.grabKeyboardFocus();

    bubble.editor.selectAll();
}

void OrvelKnob::applyEditedText (const juce::String& text)
{
    if (parameter == nullptr || editBubble == nullptr)
        return;

    parameter->setValueNotifyingHost (parameter->getValueForText (text));
    editBubble->editor.setText (parameter->getText (parameter->getValue(), 12), false);
    editBubble->editor.selectAll();
}

void OrvelKnob::hideBubbles (int delayMs)
{
    if (valueBubble != nullptr)
        valueBubble->startTimer (delayMs);
}

juce::Component* OrvelKnob::getValueBubble() const noexcept
{
    return valueBubble.get();
}
juce::Component* OrvelKnob::getEditBubble() const noexcept
{
    return editBubble.get();
}

//==============================================================================
juce::PopupMenu OrvelKnob::buildContextMenu()
{
    contextMenu.clear();
    contextMenu.setLookAndFeel (&getLookAndFeel());

    if (editable)
    {
        contextMenu.addItem (editValueItem, "Edit Value");

        if (lockable)
            contextMenu.addSeparator();
    }

    if (lockable)
    {
        juce::PopupMenu lockMenu;
        addLockItems (lockMenu, locked, getLookAndFeel().findColour (juce::Label::textColourId));
        contextMenu.addSubMenu ("Parameter Lock", lockMenu);
    }

    return contextMenu;
}

void OrvelKnob::showContextMenu()
{
    buildContextMenu();
    showContextMenuAtMouse (contextMenu, *this, [this] (int itemId)
                            { performMenuAction (itemId); });
}

void OrvelKnob::performMenuAction (int itemId)
{
    if (performLockItem (itemId, *this, [this] (bool shouldLock)
                         { setLocked (shouldLock); }))
        return;

    if (itemId == editValueItem)
        showEditBubble();
}

} // namespace orvel
