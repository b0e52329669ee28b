#include "editor/FileDialogLookAndFeel.h"

#include <vector>

namespace orvel
{

namespace
{
    const juce::Colour panel (0xff2c2c2d);
    const juce::Colour box (0xff232323);
    const juce::Colour labelGrey (0xffb5b5b5);
    const juce::Colour light (OrvelLookAndFeel::lightArgb);
    const juce::Colour dark (OrvelLookAndFeel::darkArgb);
} // namespace

juce::LookAndFeel_V4::ColourScheme FileDialogLookAndFeel::editorColourScheme()
{
    return { panel,                     // window background
             box,                       // widget background
             box,                       // menu background (the path and file name boxes)
             juce::Colour (0xff4a4c4e), // outline
             labelGrey,                 // default text
             light.darker (0.3f),       // default fill (scroll bar thumbs)
             dark,                      // highlighted text
             light,                     // highlighted fill (the selected file)
             light };                   // menu text (paths and file names)
}

FileDialogLookAndFeel::FileDialogLookAndFeel()
{
    // Menus keep the editor's light body with dark text; the scheme would make them dark.
    const int menuIds[] = { juce::PopupMenu::backgroundColourId, juce::PopupMenu::textColourId,
                            juce::PopupMenu::highlightedBackgroundColourId,
                            juce::PopupMenu::highlightedTextColourId, juce::PopupMenu::headerTextColourId };
    std::vector<std::pair<int, juce::Colour>> menuColours;

    for (const auto id : menuIds)
        menuColours.emplace_back (id, findColour (id));

    setColourScheme (editorColourScheme());

    for (const auto& [id, colour] : menuColours)
        setColour (id, colour);

    // Buttons as light as the editor's menus, with dark text and a darker rim.
    setColour (juce::TextButton::buttonColourId, light);
    setColour (juce::TextButton::buttonOnColourId, light.darker (0.2f));
    setColour (juce::TextButton::textColourOffId, light.darker (0.5f));
    setColour (juce::TextButton::textColourOnId, dark);
    setColour (juce::Label::textColourId, labelGrey);
    setColour (juce::ListBox::backgroundColourId, box);
    setColour (juce::TextEditor::backgroundColourId, box);
    setColour (juce::TextEditor::textColourId, light);
    setColour (juce::TextEditor::highlightColourId, light.withAlpha (0.35f));
    setColour (juce::TextEditor::outlineColourId, juce::Colour (0xff4a4c4e));
    setColour (juce::TextEditor::focusedOutlineColourId, labelGrey);
    setColour (juce::CaretComponent::caretColourId, light);
}

bool FileDialogLookAndFeel::dress (juce::Component* component)
{
    auto* dialog = dynamic_cast<juce::FileChooserDialogBox*> (component);

    if (dialog == nullptr)
        return false;

    dialog->setLookAndFeel (this);
    // The dialog took its colour from JUCE's default look when it was made.
    dialog->setBackgroundColour (findColour (juce::ResizableWindow::backgroundColourId));

    // Text editors keep the font they were made with: give the file name box Open Sans.
    std::vector<juce::Component*> pending{ dialog };

    while (!pending.empty())
    {
        auto* next = pending.back();
        pending.pop_back();

        if (auto* editor = dynamic_cast<juce::TextEditor*> (next))
        {
            editor->setFont (regularFont (15.0f));
            editor->applyFontToAllText (regularFont (15.0f));
        }

        for (auto* child : next->getChildren())
            pending.push_back (child);
    }

    dialog->repaint();
    return true;
}

void FileDialogLookAndFeel::drawComboBox (juce::Graphics& g, int width, int height, bool isButtonDown, int buttonX,
                                          int buttonY, int buttonW, int buttonH, juce::ComboBox& comboBox)
{
    juce::LookAndFeel_V4::drawComboBox (g, width, height, isButtonDown, buttonX, buttonY, buttonW, buttonH, comboBox);
}

void FileDialogLookAndFeel::drawFileBrowserRow (juce::Graphics& g, int width, int height, const juce::File&,
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
    const juce::Rectangle<float> iconArea (2.0f, 2.0f, (float) iconWidth - 4.0f, (float) height - 4.0f);

    if (icon != nullptr && icon->isValid())
        g.drawImageWithin (*icon, 2, 2, iconWidth - 4, height - 4,
                           juce::RectanglePlacement::centred | juce::RectanglePlacement::onlyReduceInSize, false);
    else if (auto* drawable = isDirectory ? getDefaultFolderImage() : getDefaultDocumentFileImage())
        drawable->drawWithin (g, iconArea, juce::RectanglePlacement::centred | juce::RectanglePlacement::onlyReduceInSize,
                              1.0f);

    const auto textColour = colourOf (isItemSelected ? juce::DirectoryContentsDisplayComponent::highlightedTextColourId
                                                     : juce::DirectoryContentsDisplayComponent::textColourId);
    g.setColour (textColour);
    g.setFont (regularFont ((float) height * 0.6f));

    // Wide lists show size and date in two columns on the right, as JUCE's own rows do.
    if (width > 450 && !isDirectory)
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

} // namespace orvel
