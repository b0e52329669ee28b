#include "editor/OrvelLookAndFeel.h"

#include "editor/EmbeddedResources.h"

#include <atomic>

namespace orvel
{
namespace
{
    juce::Typeface::Ptr makeTypeface (const char* resourceName)
    {
        int size = 0;

        if (auto* data = resources::find (resourceName, size))
            return juce::Typeface::createSystemTypefaceFor (data, (size_t) size);

        return nullptr;
    }

    bool isExactlyBold (const juce::Font& font)
    {
        return font.getStyleFlags() == juce::Font::bold;
    }
} // namespace

//==============================================================================
juce::Typeface::Ptr OrvelLookAndFeel::getRegularTypeface()
{
    static const juce::Typeface::Ptr typeface = makeTypeface ("OpenSansRegular_ttf");
    return typeface;
}

juce::Typeface::Ptr OrvelLookAndFeel::getBoldTypeface()
{
    static const juce::Typeface::Ptr typeface = makeTypeface ("OpenSansBold_ttf");
    return typeface;
}

namespace
{
    std::atomic<bool> typefacesReady { false };
}

void OrvelLookAndFeel::prepareTypefaces()
{
    getRegularTypeface();
    getBoldTypeface();
    typefacesReady = true;
}

bool OrvelLookAndFeel::typefacesArePrepared() noexcept
{
    return typefacesReady.load();
}

juce::Font OrvelLookAndFeel::regularFont (float height)
{
    if (auto typeface = getRegularTypeface())
        return juce::Font (typeface).withHeight (height);

    return juce::Font (height, juce::Font::plain);
}

juce::Font OrvelLookAndFeel::boldFont (float height)
{
    if (auto typeface = getBoldTypeface())
        return juce::Font (typeface).withHeight (height);

    return juce::Font (height, juce::Font::bold);
}

juce::Font OrvelLookAndFeel::retargeted (const juce::Font& font)
{
    auto typeface = isExactlyBold (font) ? getBoldTypeface() : getRegularTypeface();

    if (typeface == nullptr)
        return font;

    return juce::Font (typeface)
        .withPointHeight (font.getHeightInPoints())
        .withHorizontalScale (font.getHorizontalScale())
        .withExtraKerningFactor (font.getExtraKerningFactor());
}

//==============================================================================
OrvelLookAndFeel::OrvelLookAndFeel()
{
    setUsingNativeAlertWindows (true);

    const juce::Colour dark (darkArgb);
    const juce::Colour light (lightArgb);
    const juce::Colour slate (0xff35495e);

    const std::pair<int, juce::Colour> table[] = {
        { juce::PopupMenu::backgroundColourId, juce::Colours::transparentBlack },
        { juce::PopupMenu::textColourId, dark },
        { juce::PopupMenu::highlightedBackgroundColourId, light },
        { juce::PopupMenu::highlightedTextColourId, dark.darker (0.5f) },
        { juce::PopupMenu::headerTextColourId, dark },
        { juce::Label::textColourId, dark },
        { juce::Label::textWhenEditingColourId, dark },
        { juce::ComboBox::textColourId, light },
        { juce::ComboBox::arrowColourId, light },
        { juce::BubbleComponent::backgroundColourId, light.withAlpha (0.95f) },
        { juce::BubbleComponent::outlineColourId, light.darker (0.4f).withAlpha (0.45f) },
        { juce::TooltipWindow::backgroundColourId, light },
        { juce::TooltipWindow::textColourId, dark },
        { juce::TextButton::buttonColourId, light.withAlpha (0.5f) },
        { juce::TextButton::buttonOnColourId, dark.brighter (0.14f) },
        { juce::TextButton::textColourOffId, juce::Colour (0xff000000) },
        { juce::TextButton::textColourOnId, dark },
        { juce::ToggleButton::textColourId, dark },
        { juce::ToggleButton::tickColourId, dark },
        { juce::TextEditor::backgroundColourId, juce::Colour (0x00000000) },
        { juce::TextEditor::outlineColourId, juce::Colour (0x00000000) },
        { juce::TextEditor::focusedOutlineColourId, juce::Colour (0x00000000) },
        { juce::TextEditor::textColourId, dark },
        { juce::TextEditor::highlightColourId, light.darker (0.3f) },
        { juce::TextEditor::highlightedTextColourId, dark.darker (0.3f) },
        { juce::CaretComponent::caretColourId, dark.brighter (0.3f) },
        { juce::ScrollBar::thumbColourId, light.darker (0.3f) },
        { juce::ListBox::backgroundColourId, juce::Colours::transparentBlack },
        { juce::ListBox::textColourId, dark },
        { juce::Slider::thumbColourId, slate.brighter (0.5f) },
        { juce::Slider::trackColourId, slate },
        { juce::Slider::backgroundColourId, juce::Colour (0xff18191a) },
    };

    for (const auto& [id, colour] : table)
        setColour (id, colour);
}

//==============================================================================
int OrvelLookAndFeel::getMinimumScrollbarThumbSize (juce::ScrollBar& scrollBar)
{
    return juce::jmin (scrollBar.getWidth(), scrollBar.getHeight()) * 2;
}

juce::Typeface::Ptr OrvelLookAndFeel::getTypefaceForFont (const juce::Font& font)
{
    if (auto typeface = isExactlyBold (font) ? getBoldTypeface() : getRegularTypeface())
        return typeface;

    return juce::LookAndFeel_V4::getTypefaceForFont (font);
}

//==============================================================================
void OrvelLookAndFeel::drawButtonBackground (juce::Graphics& g, juce::Button& button, const juce::Colour& backgroundColour,
                                             bool shouldDrawButtonAsHighlighted, bool shouldDrawButtonAsDown)
{
    auto base = backgroundColour.withMultipliedAlpha (button.isEnabled() ? 0.9f : 0.5f);

    if (shouldDrawButtonAsHighlighted)
        base = base.darker (0.15f);

    const auto width = (float) button.getWidth() - 1.0f;
    const auto height = (float) button.getHeight() - 1.0f;

    if (width <= 0.0f || height <= 0.0f)
        return;

    const auto left = button.isConnectedOnLeft(), right = button.isConnectedOnRight();
    const auto top = button.isConnectedOnTop(), bottom = button.isConnectedOnBottom();

    juce::Path outline;
    outline.addRoundedRectangle (0.5f, 0.5f, width, height, 3.0f, 3.0f,
                                 ! (left || top), ! (right || top), ! (left || bottom), ! (right || bottom));

    g.setColour (base);
    g.fillPath (outline);

    auto stroke = button.findColour (juce::TextButton::textColourOffId);
    g.setColour (shouldDrawButtonAsDown ? stroke.darker (0.2f) : stroke);
    g.strokePath (outline, juce::PathStrokeType (1.0f));
}

juce::Font OrvelLookAndFeel::getTextButtonFont (juce::TextButton&, int)
{
    return regularFont (16.0f);
}

void OrvelLookAndFeel::drawButtonText (juce::Graphics& g, juce::TextButton& button, bool, bool)
{
    const auto font = getTextButtonFont (button, button.getHeight());
    g.setFont (font);
    g.setColour (button.findColour (juce::TextButton::textColourOnId)
                     .withMultipliedAlpha (button.isEnabled() ? 1.0f : 0.5f));

    const auto horizontalInset = juce::jmin (juce::jmin (button.getWidth(), button.getHeight()) / 8 + 2,
                                             juce::roundToInt (font.getHeight()));
    const auto verticalInset = juce::jmin (button.getHeight() / 2, 4);

    g.drawFittedText (button.getButtonText(),
                      horizontalInset, verticalInset,
                      button.getWidth() - 2 * horizontalInset, button.getHeight() - 2 * verticalInset,
                      juce::Justification::centred, 1);
}

void OrvelLookAndFeel::drawToggleButton (juce::Graphics& g, juce::ToggleButton& button,
                                         bool shouldDrawButtonAsHighlighted, bool shouldDrawButtonAsDown)
{
    if (button.hasKeyboardFocus (true))
    {
        g.setColour (button.findColour (juce::TextEditor::focusedOutlineColourId));
        g.drawRect (button.getLocalBounds(), 1);
    }

    const auto height = (float) button.getHeight();
    const auto tickSize = juce::jmin (0.75f * height, 14.0f) * 1.1f;

    drawTickBox (g, button, 4.0f, (height - tickSize) * 0.5f, tickSize, tickSize,
                 button.getToggleState(), button.isEnabled(), shouldDrawButtonAsHighlighted, shouldDrawButtonAsDown);

    g.setColour (button.findColour (juce::ToggleButton::textColourId)
                     .withMultipliedAlpha (button.isEnabled() ? 1.0f : 0.5f));
    g.setFont (regularFont (16.0f));
    g.drawFittedText (button.getButtonText(),
                      juce::Rectangle<int> ((int) tickSize + 5, 0, button.getWidth() - (int) tickSize - 7, button.getHeight()),
                      juce::Justification::centredLeft, 10);
}

void OrvelLookAndFeel::drawTickBox (juce::Graphics& g, juce::Component& component, float x, float y, float w, float h,
                                    bool ticked, bool, bool, bool)
{
    const auto diameter = 0.7f * w;
    const juce::Rectangle<float> circle (x - 2.0f, y + (h - diameter) * 0.5f + 0.5f, diameter, diameter);

    g.setColour (component.findColour (juce::ToggleButton::textColourId));
    g.drawEllipse (circle, 1.0f);

    if (ticked)
    {
        g.setColour (component.findColour (juce::ToggleButton::tickColourId));
        const auto inner = juce::jmax (0.0f, diameter - 6.0f);
        g.fillEllipse (circle.withSizeKeepingCentre (inner, inner));
    }
}

//==============================================================================
void OrvelLookAndFeel::drawPopupMenuBackground (juce::Graphics& g, int width, int height)
{
    // The menu window is transparent (its background colour id is), so the
    // rounded corners show what lies beneath.
    const juce::Colour light (lightArgb);
    const juce::Rectangle<float> bounds (0.0f, 0.0f, (float) width, (float) height);

    g.setColour (findColour (juce::PopupMenu::highlightedBackgroundColourId).withMultipliedAlpha (menuOpacity));
    g.fillRoundedRectangle (bounds, 7.0f);
    g.setColour (light.darker (0.4f).withAlpha (0.45f));
    g.drawRoundedRectangle (bounds, 7.0f, 1.0f);
}

void OrvelLookAndFeel::drawPopupMenuItem (juce::Graphics& g, const juce::Rectangle<int>& area,
                                          bool isSeparator, bool isActive, bool isHighlighted, bool isTicked,
                                          bool hasSubMenu, const juce::String& text, const juce::String& shortcutKeyText,
                                          const juce::Drawable* icon, const juce::Colour* textColourToUse)
{
    const auto font = getPopupMenuFont();

    if (isSeparator)
    {
        const auto lineY = area.getY() + juce::jmin (juce::roundToInt ((float) area.getHeight() * 0.5f - 0.5f), area.getHeight());
        g.setColour (findColour (juce::PopupMenu::textColourId).withAlpha (0.3f));
        g.fillRect (area.getX() + 5, lineY, area.getWidth() - 10, 1);
        return;
    }

    const auto box = area.reduced (1);
    auto colour = textColourToUse != nullptr ? *textColourToUse : findColour (juce::PopupMenu::textColourId);

    if (isHighlighted && isActive)
    {
        g.setColour (juce::Colour (lightArgb).darker (highlightDarkening).withMultipliedAlpha (menuOpacity));
        g.fillRoundedRectangle ((float) area.getX() + 5.0f, (float) area.getY() + 3.0f,
                                (float) box.getWidth() - 8.0f, (float) box.getHeight() - 4.0f, 3.0f);
        colour = findColour (juce::PopupMenu::highlightedTextColourId);
    }

    if (! isActive)
        colour = colour.withMultipliedAlpha (0.3f);

    g.setColour (colour);
    g.setFont (font);

    const auto side = juce::jmin (box.getWidth(), box.getHeight());

    if (icon != nullptr)
    {
        icon->drawWithin (g,
                          juce::Rectangle<float> ((float) area.getX() + 9.0f, (float) area.getY() + 5.0f,
                                                  (float) side - 8.0f, (float) box.getHeight() - 8.0f),
                          juce::RectanglePlacement::centred | juce::RectanglePlacement::onlyReduceInSize,
                          1.0f);
    }
    else if (isTicked)
    {
        g.fillEllipse ((float) area.getX() + (float) (side - 2) * 0.5f + 4.0f,
                       (float) area.getY() + (float) (box.getHeight() - 2) * 0.5f - 2.0f + tickOffset,
                       6.0f, 6.0f);
    }

    auto remaining = box.withTrimmedLeft (side);

    if (hasSubMenu)
    {
        const auto arrowHeight = 0.65f * font.getAscent();
        const auto arrowWidth = 0.6f * arrowHeight;
        const auto taken = juce::jmin ((float) remaining.getWidth(), arrowHeight);
        const auto left = (float) remaining.getRight() - taken - 5.0f;
        const auto centreY = (float) remaining.getCentreY();

        juce::Path arrow;
        arrow.addTriangle (left, centreY - arrowHeight * 0.5f,
                           left + arrowWidth, centreY,
                           left, centreY + arrowHeight * 0.5f);
        g.fillPath (arrow);

        remaining.removeFromRight ((int) taken);
    }

    const juce::Rectangle<int> textArea (remaining.getX() + 7, area.getY(),
                                         remaining.getWidth() - juce::jmin (remaining.getWidth(), 9), box.getHeight());
    g.drawFittedText (text, textArea, juce::Justification::centredLeft, 1);

    if (shortcutKeyText.isNotEmpty())
    {
        g.setFont (font.withHeight (font.getHeight() * 0.75f));
        g.drawText (shortcutKeyText, textArea, juce::Justification::centredRight, true);
    }
}

void OrvelLookAndFeel::drawPopupMenuSectionHeader (juce::Graphics& g, const juce::Rectangle<int>& area,
                                                   const juce::String& sectionName)
{
    g.setFont (boldFont (16.0f));
    g.setColour (findColour (juce::PopupMenu::headerTextColourId));
    g.drawFittedText (sectionName,
                      area.getX() + 12, area.getY(), area.getWidth() - 16, (int) ((float) area.getHeight() * 0.8f),
                      juce::Justification::bottomLeft, 1);
}

juce::Font OrvelLookAndFeel::getPopupMenuFont()
{
    return regularFont (16.0f).withExtraKerningFactor (0.01f);
}

void OrvelLookAndFeel::drawPopupMenuUpDownArrow (juce::Graphics&, int, int, bool) {}

juce::Component* OrvelLookAndFeel::getParentComponentForMenuOptions (const juce::PopupMenu::Options& options)
{
    // Menus open inside the plug-in window, so they scale with it instead of
    // floating as desktop windows the host knows nothing about.
    if (auto* target = options.getTargetComponent())
        return target->getParentComponent();

    return options.getParentComponent();
}

int OrvelLookAndFeel::getPopupMenuBorderSize()
{
    return 2;
}

//==============================================================================
void OrvelLookAndFeel::drawComboBox (juce::Graphics& g, int width, int height, bool isButtonDown, int buttonX,
                                     int buttonY, int buttonW, int buttonH, juce::ComboBox& box)
{
    if (drawsComboBoxes)
        juce::LookAndFeel_V4::drawComboBox (g, width, height, isButtonDown, buttonX, buttonY, buttonW, buttonH, box);
}

void OrvelLookAndFeel::drawFileBrowserRow (juce::Graphics& g, int width, int height, const juce::File&,
                                           const juce::String& filename, juce::Image* icon,
                                           const juce::String& fileSizeDescription,
                                           const juce::String& fileTimeDescription, bool isDirectory,
                                           bool isItemSelected, int, juce::DirectoryContentsDisplayComponent& list)
{
    auto* listComponent = dynamic_cast<juce::Component*> (&list);
    const auto colourOf = [this, listComponent] (int id)
    { return listComponent != nullptr ? listComponent->findColour (id) : findColour (id); };

    if (isItemSelected)
        g.fillAll (colourOf (juce::DirectoryContentsDisplayComponent::highlightColourId));

    constexpr int iconWidth = 32;
    const auto placement = juce::RectanglePlacement::centred | juce::RectanglePlacement::onlyReduceInSize;

    if (icon != nullptr && icon->isValid())
        g.drawImageWithin (*icon, 2, 2, iconWidth - 4, height - 4, placement, false);
    else if (auto* drawable = isDirectory ? getDefaultFolderImage() : getDefaultDocumentFileImage())
        drawable->drawWithin (g, { 2.0f, 2.0f, (float) iconWidth - 4.0f, (float) height - 4.0f }, placement, 1.0f);

    const auto textColour = colourOf (isItemSelected ? juce::DirectoryContentsDisplayComponent::highlightedTextColourId
                                                     : juce::DirectoryContentsDisplayComponent::textColourId);
    g.setColour (textColour);
    g.setFont (regularFont ((float) height * 0.6f));

    // Wide lists show size and date in two columns on the right, as JUCE's own rows do.
    if (width > 450 && ! isDirectory)
    {
        const auto sizeX = juce::roundToInt ((float) width * 0.7f), dateX = juce::roundToInt ((float) width * 0.8f);
        g.drawFittedText (filename, iconWidth, 0, sizeX - iconWidth, height, juce::Justification::centredLeft, 1);

        g.setFont (regularFont ((float) height * 0.45f));
        g.setColour (textColour.withMultipliedAlpha (0.7f));
        g.drawFittedText (fileSizeDescription, sizeX, 0, dateX - sizeX - 8, height, juce::Justification::centredRight, 1);
        g.drawFittedText (fileTimeDescription, dateX, 0, width - 8 - dateX, height, juce::Justification::centredRight, 1);
        return;
    }

    g.drawFittedText (filename, iconWidth, 0, width - iconWidth, height, juce::Justification::centredLeft, 1);
}

juce::Font OrvelLookAndFeel::getComboBoxFont (juce::ComboBox&)
{
    return regularFont (14.0f).withExtraKerningFactor (0.01f);
}

void OrvelLookAndFeel::positionComboBoxText (juce::ComboBox& box, juce::Label& label)
{
    label.setBounds (1, 1, box.getWidth(), box.getHeight() - 2);
    label.setFont (getComboBoxFont (box));
    label.repaint();
}

juce::PopupMenu::Options OrvelLookAndFeel::getOptionsForComboBoxPopupMenu (juce::ComboBox& box, juce::Label& label)
{
    return juce::PopupMenu::Options()
        .withTargetComponent (&box)
        .withItemThatMustBeVisible (box.getSelectedId())
        .withMinimumWidth (box.getWidth())
        .withMaximumNumColumns (1)
        .withStandardItemHeight (label.getHeight());
}

//==============================================================================
juce::Font OrvelLookAndFeel::getLabelFont (juce::Label& label)
{
    const auto& name = label.getName();

    if (name == "pluginName")
        return boldFont (27.0f).withExtraKerningFactor (0.01f);

    if (name == "ignoreFont")
        return label.getFont();

    return retargeted (label.getFont());
}

juce::Font OrvelLookAndFeel::getSliderPopupFont (juce::Slider&)
{
    return regularFont (14.0f).withExtraKerningFactor (0.01f);
}

//==============================================================================
juce::TextLayout OrvelLookAndFeel::layoutTooltipText (const juce::String& text, juce::Colour colour)
{
    juce::AttributedString attributed;
    attributed.setJustification (juce::Justification::centred);
    attributed.append (text, getPopupMenuFont(), colour);

    juce::TextLayout layout;
    layout.createLayoutWithBalancedLineLengths (attributed, 400.0f);
    return layout;
}

juce::Rectangle<int> OrvelLookAndFeel::getTooltipBounds (const juce::String& tipText, juce::Point<int> screenPos,
                                                         juce::Rectangle<int> parentArea)
{
    const auto layout = layoutTooltipText (tipText, juce::Colours::black);
    const auto width = (int) (layout.getWidth() + 18.0f);
    const auto height = (int) (layout.getHeight() + 9.0f);

    return juce::Rectangle<int> (screenPos.x > parentArea.getCentreX() ? screenPos.x - (width + 12) : screenPos.x + 24,
                                 screenPos.y > parentArea.getCentreY() ? screenPos.y - (height + 6) : screenPos.y + 6,
                                 width, height)
        .constrainedWithin (parentArea);
}

void OrvelLookAndFeel::drawTooltip (juce::Graphics& g, const juce::String& text, int width, int height)
{
    const juce::Rectangle<float> bounds (0.0f, 0.0f, (float) width, (float) height);

    g.setColour (findColour (juce::TooltipWindow::backgroundColourId));
    g.fillRoundedRectangle (bounds, 3.0f);
    g.setColour (findColour (juce::TooltipWindow::outlineColourId));
    g.drawRoundedRectangle (bounds.reduced (0.5f), 3.0f, 1.0f);

    layoutTooltipText (text, findColour (juce::TooltipWindow::textColourId)).draw (g, bounds);
}

//==============================================================================
void OrvelLookAndFeel::drawCornerResizer (juce::Graphics& g, int w, int h, bool isMouseOver, bool)
{
    if (cornerIcon == nullptr)
        cornerIcon = resources::loadDrawable ("corner_svg");

    const juce::Colour grey (0xffd3d3d3);
    const auto colour = isMouseOver ? grey : grey.withAlpha (0.3f);
    const juce::Rectangle<float> area (2.0f, 2.0f, (float) w - 4.0f, (float) h - 4.0f);

    if (cornerIcon != nullptr)
    {
        auto icon = cornerIcon->createCopy();
        icon->replaceColour (juce::Colours::black, colour);
        icon->drawWithin (g, area, juce::RectanglePlacement::stretchToFit, 1.0f);
        return;
    }

    // Without the artwork: three diagonal grip lines.
    g.setColour (colour);
    for (int i = 1; i <= 3; ++i)
    {
        const auto offset = area.getWidth() * (float) i / 4.0f;
        g.drawLine (area.getRight() - offset, area.getBottom(), area.getRight(), area.getBottom() - offset, 1.0f);
    }
}

void OrvelLookAndFeel::drawResizableFrame (juce::Graphics&, int, int, const juce::BorderSize<int>&) {}

} // namespace orvel
