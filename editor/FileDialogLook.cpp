#include "editor/FileDialogLook.h"

#include <utility>
#include <vector>

namespace orvel
{

namespace
{
    constexpr juce::uint32 panelArgb = 0xff2c2c2d;     // the editor's background
    constexpr juce::uint32 boxArgb = 0xff232323;       // the top bar's boxes
    constexpr juce::uint32 labelGreyArgb = 0xffb5b5b5; // the section labels
    constexpr juce::uint32 outlineArgb = 0xff4a4c4e;
} // namespace

std::unique_ptr<OrvelLookAndFeel> makeFileDialogLook()
{
    auto look = std::make_unique<OrvelLookAndFeel>();
    const juce::Colour light (OrvelLookAndFeel::lightArgb), dark (OrvelLookAndFeel::darkArgb);

    // Menus keep the editor's light body with dark text; the scheme would make them dark.
    const int menuIds[] = { juce::PopupMenu::backgroundColourId, juce::PopupMenu::textColourId,
                            juce::PopupMenu::highlightedBackgroundColourId, juce::PopupMenu::highlightedTextColourId,
                            juce::PopupMenu::headerTextColourId };
    std::vector<std::pair<int, juce::Colour>> menuColours;

    for (const auto id : menuIds)
        menuColours.emplace_back (id, look->findColour (id));

    look->setColourScheme ({ juce::Colour (panelArgb),     // window background
                             juce::Colour (boxArgb),       // widget background
                             juce::Colour (boxArgb),       // menu background: the path and file name boxes
                             juce::Colour (outlineArgb),   // outline
                             juce::Colour (labelGreyArgb), // default text
                             light.darker (0.3f),          // default fill: scroll bar thumbs
                             dark,                         // highlighted text
                             light,                        // highlighted fill: the selected file
                             light });                     // menu text: paths and file names

    const std::pair<int, juce::Colour> table[] = {
        // Buttons as light as the editor's menus, with dark text and a darker rim.
        { juce::TextButton::buttonColourId, light },
        { juce::TextButton::buttonOnColourId, light.darker (0.2f) },
        { juce::TextButton::textColourOffId, light.darker (0.5f) },
        { juce::TextButton::textColourOnId, dark },
        { juce::Label::textColourId, juce::Colour (labelGreyArgb) },
        { juce::ListBox::backgroundColourId, juce::Colour (boxArgb) },
        { juce::TextEditor::backgroundColourId, juce::Colour (boxArgb) },
        { juce::TextEditor::textColourId, light },
        { juce::TextEditor::highlightColourId, light.withAlpha (0.35f) },
        { juce::TextEditor::outlineColourId, juce::Colour (outlineArgb) },
        { juce::TextEditor::focusedOutlineColourId, juce::Colour (labelGreyArgb) },
        { juce::CaretComponent::caretColourId, light },
    };

    for (const auto& [id, colour] : menuColours)
        look->setColour (id, colour);

    for (const auto& [id, colour] : table)
        look->setColour (id, colour);

    look->setDrawsComboBoxes (true);
    return look;
}

bool dressFileDialog (juce::Component* component, OrvelLookAndFeel& look)
{
    auto* dialog = dynamic_cast<juce::FileChooserDialogBox*> (component);

    if (dialog == nullptr)
        return false;

    dialog->setLookAndFeel (&look);
    // The dialog took its colour from JUCE's default look when it was made.
    dialog->setBackgroundColour (look.findColour (juce::ResizableWindow::backgroundColourId));

    // Text editors keep the font they were made with: give the file name box Open Sans.
    std::vector<juce::Component*> pending { dialog };

    while (! pending.empty())
    {
        auto* next = pending.back();
        pending.pop_back();

        if (auto* editor = dynamic_cast<juce::TextEditor*> (next))
        {
            editor->setFont (OrvelLookAndFeel::regularFont (15.0f));
            editor->applyFontToAllText (OrvelLookAndFeel::regularFont (15.0f));
        }

        for (auto* child : next->getChildren())
            pending.push_back (child);
    }

    dialog->repaint();
    return true;
}

} // namespace orvel
