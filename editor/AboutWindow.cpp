#include "editor/AboutWindow.h"

#include "ProductIdentity.h"
#include "editor/EmbeddedResources.h"
#include "editor/OrvelLookAndFeel.h"

namespace
{
struct HeadingAndValue
{
    const char* heading;
    const char* value;
};

// The second value has room for two lines.
constexpr HeadingAndValue aboutPairs[] {
    { "Developer", wrendle::identity::vendor },
    { "Built With", "JUCE framework\nCLAP plug-in standard" },
    { "Website", wrendle::identity::vendorSiteText },
    { "Typeface", "Open Sans, Apache License 2.0" },
};

juce::String copyrightText()
{
    return juce::String (juce::CharPointer_UTF8 ("\xc2\xa9 2026 ")) + wrendle::identity::vendor
           + ". All rights reserved.\nIndependent audio software";
}

/** What the bubble says at the logo-click counts where it changes. */
struct BubbleStep
{
    int clicks;
    const char* text;
};

constexpr BubbleStep bubbleSteps[] {
    { 6, "Look behind you,\na Three-Headed Monkey!" },
    { 8, "Banana Hammock." },
    { 10, "What happens if you\nclick it 42 times?" },
    { 38, "The answer is..." },
    { 42, "42" },
};

constexpr int bubbleAppearsAtClick = 4;
} // namespace

AboutWindow::AboutWindow()
{
    setAlwaysOnTop (true);
}

AboutWindow::~AboutWindow()
{
    bubble.removeMouseListener (this);
    animator.cancelAllAnimations (false);
    bubble.animator.cancelAllAnimations (false);
}

juce::String AboutWindow::getVersionText()
{
#if JUCE_ARM
    const char* processorFamily = "arm";
#elif JUCE_64BIT
    const char* processorFamily = "x64";
#else
    const char* processorFamily = "x86";
#endif

    return juce::String ("Version ") + wrendle::identity::version + " (CLAP, " + processorFamily + ")";
}

void AboutWindow::resized()
{
    panelX = (getWidth() - panelWidth) / 2;
    panelY = (getHeight() - panelHeight) / 2 + 12;

    // A hidden window is laid out when it is shown: building the logo and the
    // labels costs more than the rest of the editor's first opening.
    if (isVisible())
        layoutContent();
}

void AboutWindow::setLabel (LabelIndex index, int y, int height, const juce::Font& font, const juce::String& text)
{
    auto& label = labels[(size_t) index];
    addAndMakeVisible (label);
    label.setJustificationType (juce::Justification::centred);
    label.setInterceptsMouseClicks (false, false);
    label.setBounds (panelX, y, panelWidth, height);
    label.setFont (font);
    label.setText (text, juce::dontSendNotification);
}

void AboutWindow::layoutContent()
{
    const auto x = panelX, y = panelY, w = panelWidth;

    if (logo != nullptr)
        removeChildComponent (logo.get());

    logo = orvel::resources::loadDrawable ("kestrivanelogo_svg");

    if (logo != nullptr)
    {
        addAndMakeVisible (*logo);
        logo->setInterceptsMouseClicks (false, false);
        logo->setTransformToFit ({ (float) x, (float) (y + 11), (float) w, 48.0f },
                                 juce::RectanglePlacement::centred);
        logo->replaceColour (juce::Colours::black, getLookAndFeel().findColour (juce::Label::textColourId));
    }

    const auto bold14 = orvel::OrvelLookAndFeel::boldFont (14.0f);
    const auto plain14 = orvel::OrvelLookAndFeel::regularFont (14.0f);

    setLabel (productNameLabel, y + 73, 20, orvel::OrvelLookAndFeel::boldFont (16.0f), wrendle::identity::productName);
    setLabel (versionLabel, y + 93, 20, orvel::OrvelLookAndFeel::regularFont (12.0f), getVersionText());

    // Heading and value rows; the second value is two lines high.
    const int headingY[] { y + 125, y + 170, y + 235, y + 280 };
    const int valueY[] { y + 141, y + 186, y + 251, y + 296 };
    const int valueHeight[] { 22, 42, 22, 22 };

    for (int i = 0; i < 4; ++i)
    {
        const auto heading = (LabelIndex) (firstHeadingLabel + 2 * i);
        setLabel (heading, headingY[i], 22, bold14, aboutPairs[i].heading);
        setLabel ((LabelIndex) (heading + 1), valueY[i], valueHeight[i], plain14, aboutPairs[i].value);
    }

    setLabel (copyrightLabel, y + 333, 42, plain14, copyrightText());

    addChildComponent (bubble);
    bubble.setBounds (x + 15, y + 72, w - 30, 48);
    bubble.setText (curiousText);
    bubble.setFont (plain14);
    bubble.addMouseListener (this, true);
}

void AboutWindow::paint (juce::Graphics& g)
{
    g.fillAll (juce::Colour (0xff202020).withAlpha (0.5f));

    const juce::Rectangle<float> panel ((float) panelX + 1.0f, (float) panelY + 1.0f,
                                        (float) panelWidth - 2.0f, (float) panelHeight - 2.0f);
    g.setColour (juce::Colour (0xffd2d2d2).withAlpha (0.95f));
    g.fillRoundedRectangle (panel, 7.0f);
    g.setColour (juce::Colour (0xffd2d2d2).darker (0.4f).withAlpha (0.45f));
    g.drawRoundedRectangle (panel, 7.0f, 1.0f);
}

void AboutWindow::showWindow (int newClicksToClose)
{
    resized();
    layoutContent();
    animator.fadeIn (this, fadeMs);
    outsideClicks = 0;
    clicksToClose = newClicksToClose;
    logoClicks = 0;
    hideBubble();
}

bool AboutWindow::isBubbleShowing() const noexcept
{
    return bubble.isVisible();
}

void AboutWindow::hideBubble()
{
    if (! bubble.isVisible())
        return;

    if (bubble.getAlpha() > 0.0f)
    {
        bubble.fadeOut (bubbleFadeMs);
    }
    else
    {
        // Still in the first frame of its fade-in: the bubble's own fade-out
        // would take it for hidden and let the fade-in finish.
        bubble.animator.cancelAnimation (&bubble, false);
        bubble.setVisible (false);
    }
}

void AboutWindow::handleLogoClick()
{
    ++logoClicks;

    if (logoClicks == bubbleAppearsAtClick)
    {
        bubble.setText (curiousText);
        bubble.fadeIn (bubbleFadeMs);
        return;
    }

    for (const auto& step : bubbleSteps)
        if (step.clicks == logoClicks)
            bubble.setText (step.text);
}

void AboutWindow::mouseDown (const juce::MouseEvent& e)
{
    const auto position = e.getEventRelativeTo (this).getPosition();
    const auto onLogoBand = position.x >= panelX && position.x <= panelX + panelWidth
                            && position.y >= panelY + 11 && position.y <= panelY + 59;

    if (onLogoBand)
    {
        handleLogoClick();
        return;
    }

    if (e.eventComponent == &bubble || bubble.isParentOf (e.eventComponent))
    {
        // The bubble's own press handler usually got there first; this only
        // catches a bubble caught in its first fade-in frame.
        hideBubble();
        return;
    }

    if (++outsideClicks < clicksToClose)
        return;

    if (isVisible())
        animator.fadeOut (this, fadeMs);
}
