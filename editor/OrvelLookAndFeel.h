#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

namespace orvel
{

/**
    The framework's look and feel: a light-on-dark scheme (controls and menus in
    light grey with dark text), the two embedded Open Sans typefaces, and the
    drawing of menus, tooltips, buttons and the corner resizer.

    One instance is owned by each processor, so it outlives any editor; the editor,
    its window, popup menus and widgets only point to it.

    Pitfall: JUCE resolves a font's typeface through the *default* look and feel,
    not the component's, so the fonts this class hands out carry the Open Sans
    typeface explicitly (regularFont(), boldFont()). getTypefaceForFont() answers
    the same way but only matters where this object is the default look and feel.
*/
class OrvelLookAndFeel : public juce::LookAndFeel_V4
{
public:
    OrvelLookAndFeel();
    ~OrvelLookAndFeel() override = default;

    static constexpr juce::uint32 darkArgb = 0xff202020;
    static constexpr juce::uint32 lightArgb = 0xffd2d2d2;

    /** The embedded typefaces, made once per process on first use. Null when the
        module was built without its fonts; the fonts below then fall back to
        JUCE's default sans-serif face. */
    static juce::Typeface::Ptr getRegularTypeface();
    static juce::Typeface::Ptr getBoldTypeface();

    /** Makes both typefaces. The first typeface of a process makes JUCE list
        every font file of the system (about 150 ms on a busy machine), so the
        first window has the skin thread do it rather than its first paint.
        JUCE's font list is not thread-safe: until typefacesArePrepared(), the
        message thread must draw no text. */
    static void prepareTypefaces();
    static bool typefacesArePrepared() noexcept;

    static juce::Font regularFont (float height);
    static juce::Font boldFont (float height);

    /** The given font re-targeted to Open Sans (bold when its style is exactly
        bold), keeping its size in points, horizontal scale and kerning. */
    static juce::Font retargeted (const juce::Font& font);

    //==============================================================================
    int getMinimumScrollbarThumbSize (juce::ScrollBar&) override;
    juce::Typeface::Ptr getTypefaceForFont (const juce::Font&) override;

    void drawButtonBackground (juce::Graphics&, juce::Button&, const juce::Colour& backgroundColour,
                               bool shouldDrawButtonAsHighlighted, bool shouldDrawButtonAsDown) override;
    juce::Font getTextButtonFont (juce::TextButton&, int buttonHeight) override;
    void drawButtonText (juce::Graphics&, juce::TextButton&,
                         bool shouldDrawButtonAsHighlighted, bool shouldDrawButtonAsDown) override;
    void drawToggleButton (juce::Graphics&, juce::ToggleButton&,
                           bool shouldDrawButtonAsHighlighted, bool shouldDrawButtonAsDown) override;
    void drawTickBox (juce::Graphics&, juce::Component&, float x, float y, float w, float h,
                      bool ticked, bool isEnabled,
                      bool shouldDrawButtonAsHighlighted, bool shouldDrawButtonAsDown) override;

    void drawPopupMenuBackground (juce::Graphics&, int width, int height) override;
    void drawPopupMenuItem (juce::Graphics&, const juce::Rectangle<int>& area,
                            bool isSeparator, bool isActive, bool isHighlighted, bool isTicked, bool hasSubMenu,
                            const juce::String& text, const juce::String& shortcutKeyText,
                            const juce::Drawable* icon, const juce::Colour* textColour) override;
    void drawPopupMenuSectionHeader (juce::Graphics&, const juce::Rectangle<int>& area,
                                     const juce::String& sectionName) override;
    juce::Font getPopupMenuFont() override;
    void drawPopupMenuUpDownArrow (juce::Graphics&, int width, int height, bool isScrollUpArrow) override;
    juce::Component* getParentComponentForMenuOptions (const juce::PopupMenu::Options& options) override;
    int getPopupMenuBorderSize() override;

    /** Off by default: the preset box sits on a box the top bar paints. The
        file dialog's path box needs its own. */
    void setDrawsComboBoxes (bool shouldDraw) noexcept { drawsComboBoxes = shouldDraw; }

    /** The rows of a file list (the save dialog's), in Open Sans. */
    void drawFileBrowserRow (juce::Graphics&, int width, int height, const juce::File&, const juce::String& filename,
                             juce::Image* icon, const juce::String& fileSizeDescription,
                             const juce::String& fileTimeDescription, bool isDirectory, bool isItemSelected,
                             int itemIndex, juce::DirectoryContentsDisplayComponent&) override;

    void drawComboBox (juce::Graphics&, int width, int height, bool isButtonDown,
                       int buttonX, int buttonY, int buttonW, int buttonH, juce::ComboBox&) override;
    juce::Font getComboBoxFont (juce::ComboBox&) override;
    void positionComboBoxText (juce::ComboBox&, juce::Label&) override;
    juce::PopupMenu::Options getOptionsForComboBoxPopupMenu (juce::ComboBox&, juce::Label&) override;

    juce::Font getLabelFont (juce::Label&) override;
    juce::Font getSliderPopupFont (juce::Slider&) override;

    juce::Rectangle<int> getTooltipBounds (const juce::String& tipText, juce::Point<int> screenPos,
                                           juce::Rectangle<int> parentArea) override;
    void drawTooltip (juce::Graphics&, const juce::String& text, int width, int height) override;

    void drawCornerResizer (juce::Graphics&, int w, int h, bool isMouseOver, bool isMouseDragging) override;
    void drawResizableFrame (juce::Graphics&, int w, int h, const juce::BorderSize<int>&) override;

private:
    juce::TextLayout layoutTooltipText (const juce::String& text, juce::Colour colour);

    float highlightDarkening = 0.06f;
    float menuOpacity = 1.0f;
    float tickOffset = 0.0f; // vertical offset of the popup-menu tick dot
    bool drawsComboBoxes = false;

    std::unique_ptr<juce::Drawable> cornerIcon;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (OrvelLookAndFeel)
};

} // namespace orvel
