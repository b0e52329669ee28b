#pragma once

#include "state/OrvelSettings.h"

#include <juce_core/juce_core.h>

#include <vector>

namespace orvel
{

/** One entry of the preset menu: a sub-menu for a folder or an item for a preset. */
struct PresetMenuEntry
{
    juce::String name;   ///< the folder's name, or the preset's file name without extension
    juce::File file;     ///< the folder (a symbolic link's target) or the preset file
    int itemId = 0;      ///< 1... for presets, 0 for folders
    bool ticked = false; ///< a preset whose id was the current one when the menu was built

    /** A folder's entries: its sub-folders first, then its presets. */
    std::vector<PresetMenuEntry> children;

    bool isFolder() const noexcept { return itemId == 0; }
};

//==============================================================================
/**
    The preset tree behind the preset selector (orvel::ComboboxSubmenu), without the
    component: what the menu lists, which item ids the presets get, which preset is
    current, what the label shows and where next and previous lead.

    The tree mirrors the presets folder. Each folder lists its sub-folders first
    (recursively, each as a sub-menu, empty ones included) and then its own "*.kvp"
    files; folders and files are ordered by name with JUCE's natural comparison,
    ignoring case ("lead 2" < "Lead 3" < "Lead 10"). Item ids count from 1 in that
    depth-first order, so the root's own presets come last. A symbolic link to a
    folder is listed through its target; a link back to a folder being listed, and
    anything nested deeper than maxFolderDepth, is left out. So is every entry whose
    name is not valid UTF-8 (see isStrictUtf8). After the presets the component adds
    a separator and the item openPresetsFolderItemId ("Open presets folder"); ids
    stop below it however many presets there are.

    The component maps its calls onto this model: a deferred rebuild calls
    forgetCurrentItem() and rebuild() a second later; a chosen menu item goes to
    selectItem(), the previous and next buttons to selectPrevious() and selectNext();
    when one of these returns presetChosen the component sends its change message, and
    for revealPresetsFolder it shows getPresetsFolder() in the file manager.

    Message thread only.
*/
class PresetMenuModel
{
public:
    static constexpr int openPresetsFolderItemId = 99999;
    static constexpr const char* openPresetsFolderText = "Open presets folder";

    /** Folders nested deeper than this below the presets folder are not listed; it
        bounds what a symbolic-link loop can make the scan do. */
    static constexpr int maxFolderDepth = 16;

    enum class Action
    {
        none,
        presetChosen,       ///< the current preset changed: load getCurrentPresetPath()
        revealPresetsFolder ///< show the presets folder in the file manager
    };

    /** rootFolder: the folder to list; a default File means the presets folder of the
        model's own settings store, resolved afresh on every rebuild. */
    explicit PresetMenuModel (const juce::File& rootFolder = {});

    //==============================================================================
    /** Rescans the folder tree and renumbers the presets. The current item id is
        kept; presets whose id equals it are ticked. */
    void rebuild();

    /** What a deferred rebuild does at once: no item is current until the next
        selection. */
    void forgetCurrentItem() noexcept { currentItemId = -1; }

    /** openPresetsFolderItemId asks for the folder to be shown. Any other id becomes
        the current one; the menu is rebuilt and the current preset set again from
        that id's path (an id without a preset gives an empty label). */
    Action selectItem (int itemId);

    /** The following preset, wrapping from the last to the first. With no current
        item (after a deletion) it starts at the first. */
    Action selectNext();

    /** The preceding preset, wrapping from the first (or from no current item) to the
        last. */
    Action selectPrevious();

    /** Shows a path as the current preset.

        "Init" (exactly) shows "Init" and makes id 1 current. Any other path shows its
        file name without extension, in precomposed Unicode; when the file exists, the
        id of its entry becomes current (0 when the menu does not list it). Paths are
        compared after normalisation (normalisePath), so a path written with
        backslashes or a drive prefix still finds its entry. A menu that was never
        built is built first.
    */
    void setCurrentPreset (const juce::String& path, bool rebuildFirst);

    /** The path of the current item's preset, or empty when the current id has no
        preset. */
    juce::String getCurrentPresetPath() const;

    //==============================================================================
    /** The root's entries: sub-folders, then presets. */
    const std::vector<PresetMenuEntry>& getEntries() const noexcept { return entries; }

    /** Full paths of the listed presets; item id n belongs to entry n − 1. */
    const juce::StringArray& getPresetPaths() const noexcept { return presetPaths; }

    /** After a rebuild: one more than the number of presets. */
    int getNextItemId() const noexcept { return nextItemId; }
    int getCurrentItemId() const noexcept { return currentItemId; }
    bool isBuilt() const noexcept { return built; }
    const juce::String& getLabelText() const noexcept { return labelText; }

    /** The folder the menu lists (created when missing). */
    juce::File getPresetsFolder() const;

    /** Every backslash becomes "/", and every "C:" ... "Z:" is removed. */
    static juce::String normalisePath (const juce::String& path);

private:
    void addFolderEntries (std::vector<PresetMenuEntry>& into, const juce::File& folder, juce::StringArray& openFolders);
    void addPresetEntries (std::vector<PresetMenuEntry>& into, const juce::File& folder);

    const juce::File rootOverride;
    mutable OrvelSettings settings;

    std::vector<PresetMenuEntry> entries;
    juce::StringArray presetPaths;
    juce::StringArray normalisedPresetPaths;
    int nextItemId = 1;
    int currentItemId = 0;
    bool built = false;
    juce::String labelText;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (PresetMenuModel)
};

} // namespace orvel
