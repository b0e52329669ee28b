#pragma once

#include "editor/OrvelComponents.h"

#include <juce_gui_basics/juce_gui_basics.h>

#include <array>
#include <memory>

/**
    The about panel: a light rounded panel centred in a dimmed cover over the
    whole main window, with the maker's logo, the product name, the version, four
    heading and value pairs and a copyright notice. Repeated clicks on the logo
    band show a hidden speech bubble whose text changes at fixed click counts.

    The component is sized to the whole window by its owner and starts hidden;
    showWindow() lays it out again, fades it in and resets its counters, and the
    closing click (outside the logo band and the bubble) fades it out.

    Pitfall: JUCE's fades leave a component visible at alpha 0 for the first
    frame of a fade-in. A visible window or bubble therefore counts as showing
    here, so a click that comes before the first animation frame still closes
    or hides it.
*/
class AboutWindow : public juce::Component
{
public:
    /** The eleven labels, in layout order. */
    enum LabelIndex
    {
        productNameLabel,
        versionLabel,
        firstHeadingLabel,
        firstValueLabel,
        secondHeadingLabel,
        secondValueLabel,
        thirdHeadingLabel,
        thirdValueLabel,
        fourthHeadingLabel,
        fourthValueLabel,
        copyrightLabel,
        numLabels
    };

    static constexpr int panelWidth = 240;
    static constexpr int panelHeight = 380;
    static constexpr int fadeMs = 35;
    static constexpr int bubbleFadeMs = 300;

    /** The text the bubble shows when it first appears. */
    static constexpr const char* curiousText = "You are uncommonly curious!";

    AboutWindow();
    ~AboutWindow() override;

    /** Lays the panel out again, fades the window in and restarts the counting:
        the window closes on the clicksToClose-th click outside the logo band and
        the bubble, and the bubble shows up again on the fourth logo click. A
        bubble left showing from the last opening is faded out. */
    void showWindow (int clicksToClose = 1);

    /** "Version 1.1.1 (CLAP, x64)": the build's version, the plug-in format and
        the processor family this binary was built for. */
    static juce::String getVersionText();

    /** The logo band and panel, in this component's coordinates. */
    juce::Rectangle<int> getPanelBounds() const noexcept { return { panelX, panelY, panelWidth, panelHeight }; }
    juce::Rectangle<int> getLogoBand() const noexcept { return { panelX, panelY + 11, panelWidth, 48 }; }

    int getLogoClicks() const noexcept { return logoClicks; }
    const juce::Label& getLabel (LabelIndex index) const { return labels[(size_t) index]; }
    const orvel::OrvelBubble& getBubble() const noexcept { return bubble; }
    bool isBubbleShowing() const noexcept;
    const juce::Drawable* getLogo() const noexcept { return logo.get(); }

    void mouseDown (const juce::MouseEvent& e) override;
    void paint (juce::Graphics& g) override;
    void resized() override;

private:
    void layoutContent();
    void setLabel (LabelIndex index, int y, int height, const juce::Font& font, const juce::String& text);
    void handleLogoClick();
    void hideBubble();

    std::unique_ptr<juce::Drawable> logo;
    std::array<juce::Label, numLabels> labels;
    orvel::OrvelBubble bubble { 0.99f };
    juce::ComponentAnimator animator;
    int panelX = 1, panelY = 1;
    int outsideClicks = 0;
    int clicksToClose = 1;
    int logoClicks = 0;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (AboutWindow)
};
