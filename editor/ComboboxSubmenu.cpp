#include "editor/ComboboxSubmenu.h"

#include "editor/WidgetSupport.h"

namespace orvel
{

ComboboxSubmenu::ComboboxSubmenu (const juce::File& rootFolder)
    : model (rootFolder)
{
    setMouseCursor (juce::MouseCursor::PointingHandCursor);

    label.setJustificationType (juce::Justification::centred);
    label.setFont (juce::Font (14.0f));
    label.setColour (juce::Label::textColourId, juce::Colour (0xffd2d2d2));
    label.setInterceptsMouseClicks (false, false);
    addAndMakeVisible (label);
}

ComboboxSubmenu::~ComboboxSubmenu()
{
    stopTimer();
}

//==============================================================================
void ComboboxSubmenu::rebuildMenu (bool deferred)
{
    if (deferred)
    {
        model.forgetCurrentItem();
        refreshMenu();
        startTimer (deferredRebuildDelayMs);
        return;
    }

    model.rebuild();
    refreshMenu();
}

void ComboboxSubmenu::timerCallback()
{
    stopTimer();
    rebuildMenu (false);
}

void ComboboxSubmenu::setCurrentPreset (const juce::String& path, bool rebuildFirst)
{
    model.setCurrentPreset (path, rebuildFirst);
    refreshLabel();
    refreshMenu();
}

void ComboboxSubmenu::selectItem (int itemId)
{
    handle (model.selectItem (itemId));
}

void ComboboxSubmenu::selectNext()
{
    handle (model.selectNext());
}

void ComboboxSubmenu::selectPrevious()
{
    handle (model.selectPrevious());
}

void ComboboxSubmenu::handle (PresetMenuModel::Action action)
{
    switch (action)
    {
        case PresetMenuModel::Action::presetChosen:
            refreshLabel();
            refreshMenu();
            sendChangeMessage();
            break;
        case PresetMenuModel::Action::revealPresetsFolder:
            if (revealFolder != nullptr)
                revealFolder (model.getPresetsFolder());
            break;
        case PresetMenuModel::Action::none:
            break;
    }
}

//==============================================================================
void ComboboxSubmenu::refreshLabel()
{
    label.setText (model.getLabelText(), juce::dontSendNotification);
}

void ComboboxSubmenu::refreshMenu()
{
    menu.clear();
    addEntries (menu, model.getEntries());
    menu.addSeparator();
    menu.addItem (openPresetsFolderItemId, PresetMenuModel::openPresetsFolderText);
    menu.setLookAndFeel (&getLookAndFeel());
}

void ComboboxSubmenu::addEntries (juce::PopupMenu& into, const std::vector<PresetMenuEntry>& entries) const
{
    const auto current = model.getCurrentItemId();

    for (const auto& entry : entries)
    {
        if (entry.isFolder())
        {
            juce::PopupMenu folder;
            addEntries (folder, entry.children);
            into.addSubMenu (entry.name, folder, true);
        }
        else
        {
            into.addItem (entry.itemId, entry.name, true, entry.itemId == current);
        }
    }
}

void ComboboxSubmenu::showMenu()
{
    // Presets added or removed on disk since the last look appear now.
    if (model.rebuildIfChanged())
        refreshMenu();

    if (! canShowPopupMenus())
        return;

    menu.setLookAndFeel (&getLookAndFeel());
    menu.showMenuAsync (juce::PopupMenu::Options()
                            .withTargetComponent (this)
                            .withMinimumWidth (getWidth())
                            .withMaximumNumColumns (2)
                            .withStandardItemHeight (24),
                        [safeThis = juce::Component::SafePointer<ComboboxSubmenu> (this)] (int result)
                        {
                            if (safeThis != nullptr && result != 0)
                                safeThis->selectItem (result);
                        });
}

//==============================================================================
void ComboboxSubmenu::mouseDown (const juce::MouseEvent&)
{
    showMenu();
}

void ComboboxSubmenu::resized()
{
    label.setBounds (getLocalBounds());
}

void ComboboxSubmenu::lookAndFeelChanged()
{
    menu.setLookAndFeel (&getLookAndFeel());
}

} // namespace orvel
