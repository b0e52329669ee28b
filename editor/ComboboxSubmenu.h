#pragma once

#include "state/PresetMenuModel.h"

#include <juce_gui_basics/juce_gui_basics.h>

#include <functional>

namespace orvel
{

/**
    The preset selector of the top bar: a label with the current preset's name
    that opens the preset tree as a menu with sub-menus (one per folder below the
    presets folder, then the folder's own presets, then a separator and "Open
    presets folder").

    The tree, the item ids and the wrap-around stepping are PresetMenuModel's;
    this component turns the model into a juce::PopupMenu, shows it, and tells
    its change listener (the main window) with an asynchronous change message
    whenever a preset was chosen, so the listener loads getCurrentPresetPath().

    The menu's ticks follow the current item at the moment the menu is made from
    the model, so the preset the label names is the one ticked even when the
    label was set without a rebuild.

    Message thread only.
*/
class ComboboxSubmenu : public juce::Component,
                        public juce::ChangeBroadcaster,
                        public juce::Timer,
                        public juce::SettableTooltipClient
{
public:
    /** rootFolder: the folder to list; a default File means the presets folder
        of the selector's own settings store. */
    explicit ComboboxSubmenu (const juce::File& rootFolder = {});
    ~ComboboxSubmenu() override;

    static constexpr int openPresetsFolderItemId = PresetMenuModel::openPresetsFolderItemId;

    /** Delay of a deferred rebuild: a just-deleted file has left the folder by then. */
    static constexpr int deferredRebuildDelayMs = 1000;

    //==============================================================================
    /** Rescans the folder tree. Deferred: no item is current from now on, and the
        rescan happens deferredRebuildDelayMs later (after a deletion). */
    void rebuildMenu (bool deferred);

    /** Shows a path as the current preset (see PresetMenuModel::setCurrentPreset);
        never sends a change message. */
    void setCurrentPreset (const juce::String& path, bool rebuildFirst);

    /** What choosing a menu item does: openPresetsFolderItemId shows the presets
        folder in the file manager; any other id becomes current and the change
        message goes out. */
    void selectItem (int itemId);

    /** The next or previous preset, wrapping around; both send the change message. */
    void selectNext();
    void selectPrevious();

    juce::String getCurrentPresetPath() const { return model.getCurrentPresetPath(); }

    //==============================================================================
    /** Opens the menu under the component, asynchronously (a mouse press does this),
        rescanning the presets folders first when something changed on disk. */
    void showMenu();

    /** The menu as it is shown now. */
    const juce::PopupMenu& getMenu() const noexcept { return menu; }
    const PresetMenuModel& getModel() const noexcept { return model; }
    juce::Label& getLabel() noexcept { return label; }

    /** Shows a folder in the platform's file manager; replaceable so that tests
        open nothing. */
    std::function<void (const juce::File&)> revealFolder = [] (const juce::File& folder)
    { folder.revealToUser(); };

    //==============================================================================
    void mouseDown (const juce::MouseEvent& e) override;
    void resized() override;
    void lookAndFeelChanged() override;
    void timerCallback() override;

private:
    /** Remakes the popup menu from the model's tree. */
    void refreshMenu();
    void addEntries (juce::PopupMenu& into, const std::vector<PresetMenuEntry>& entries) const;
    void refreshLabel();
    void handle (PresetMenuModel::Action action);

    juce::Label label;
    juce::PopupMenu menu;
    PresetMenuModel model;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (ComboboxSubmenu)
};

} // namespace orvel
