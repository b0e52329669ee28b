#pragma once

#include "state/OrvelSettings.h"

#include <juce_core/juce_core.h>

#include <map>
#include <string>
#include <vector>

namespace orvel
{

/** One entry of the preset menu: a sub-menu for a folder or an item for a preset. */
struct PresetMenuEntry
{
    juce::String name;   ///< the folder's name (a symbolic link's target's), or the preset's file name without extension
    juce::File file;     ///< the folder or the preset file, as reached from the presets folder
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

    The tree mirrors the presets folders: the user's (OrvelSettings::getPresetsFolder)
    and those installed for every user (getSystemPresetsFolders), laid over each other
    so that a folder of the same name in several of them is one sub-menu, and of two
    presets of the same name in one folder the user's wins. Each folder lists its
    sub-folders first (recursively, each as a sub-menu, empty ones included) and then
    its own "*.kvp" files; folders and files are ordered by name with JUCE's natural
    comparison, ignoring case ("lead 2" < "Lead 3" < "Lead 10"). Item ids count from
    1 in that depth-first order, so the root's own presets come last. After the
    presets the component adds a separator and the item openPresetsFolderItemId
    ("Open presets folder"); ids stop below it however many presets there are.

    A symbolic link to a folder is listed under its target's name, and its presets
    by paths through the link. Every folder and every preset file is listed once,
    told apart by device and inode rather than by path text: a second way into a
    folder already listed (a link to it, a link loop, a link to a presets folder
    itself) is left out, and so is a second way to a preset file, so stepping meets
    every preset exactly once. The scan is bounded as well: nothing nested deeper
    than maxFolderDepth, no more than maxFoldersScanned folders and
    maxEntriesScanned folder entries in all, so a link to a system folder costs a
    bounded moment rather than minutes. Entries whose names are not valid UTF-8
    (see isStrictUtf8) are left out.

    Choosing or stepping rescans only when something listed changed on disk: every
    listed folder's modification and change times are kept, and checked again
    (one stat per folder) before the next choice. A folder changed within the last
    changeTimeMarginMs before a scan may change again within the same tick of the
    file system's clock, so until the scan is that much younger than the change, the
    tree is rescanned as before.

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

    /** Folders nested deeper than this below the presets folder are not listed. */
    static constexpr int maxFolderDepth = 16;

    /** At most this many folders are listed in one scan, the presets folders
        included. */
    static constexpr int maxFoldersScanned = 1000;

    /** At most this many folder entries (files and folders of every kind) are looked
        at in one scan. */
    static constexpr int maxEntriesScanned = 20000;

    /** A folder changed this recently when it was scanned is rescanned at the next
        choice even when its times seem unchanged (coarse file-system clocks). */
    static constexpr int changeTimeMarginMs = 2000;

    enum class Action
    {
        none,
        presetChosen,       ///< the current preset changed: load getCurrentPresetPath()
        revealPresetsFolder ///< show the presets folder in the file manager
    };

    /** rootFolder: the folder to list; a default File means the presets folders of
        the model's own settings store (the user's first), found afresh on every
        rebuild. */
    explicit PresetMenuModel (const juce::File& rootFolder = {});

    /** Lists these folders laid over each other, the first winning (tests). */
    explicit PresetMenuModel (const juce::Array<juce::File>& rootFolders);

    //==============================================================================
    /** Rescans the folder tree and renumbers the presets. The current item id is
        kept; presets whose id equals it are ticked. */
    void rebuild();

    /** Rescans when the menu was never built, the presets folders are others now,
        or a listed folder changed on disk (or changed too shortly before the last
        scan to tell). Returns true when it rescanned. */
    bool rebuildIfChanged();

    /** What a deferred rebuild does at once: no item is current until the next
        selection. */
    void forgetCurrentItem() noexcept { currentItemId = -1; }

    /** openPresetsFolderItemId asks for the folder to be shown. Any other id becomes
        the current one; the menu is rebuilt if anything changed on disk and the
        current preset set again from that id's path (an id without a preset gives an
        empty label). */
    Action selectItem (int itemId);

    /** The following preset, wrapping from the last to the first. With no current
        item (after a deletion) it starts at the first. */
    Action selectNext();

    /** The preceding preset, wrapping from the first (or from no current item) to the
        last. */
    Action selectPrevious();

    /** Shows a path as the current preset.

        "Init" (exactly) shows "Init" and makes id 1 current, and so does a path that
        is not a preset path inside the presets folders (isInPresetsFolders in
        PresetFile.h): the path comes from projects, which anyone can write. Any other
        path shows its file name without extension, in precomposed Unicode; when the
        file exists, the id of its entry becomes current (0 when the menu does not
        list it). Paths are compared after normalisation (normalisePath), so a path
        written with backslashes or a drive prefix still finds its entry, and a path
        to a listed file by another way (through a link) finds it too. With
        rebuildFirst the menu is rebuilt first if anything changed on disk; a menu
        that was never built is built first in any case.
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

    /** The user's presets folder, the first the menu lists (created when missing):
        what "Open presets folder" shows. */
    juce::File getPresetsFolder() const;

    /** Every folder the menu lists, the user's first. */
    juce::Array<juce::File> getPresetsFolders() const;

    /** How many times the folder tree was scanned. */
    int getNumScans() const noexcept { return numScans; }

    /** Every backslash becomes "/", and every "C:" ... "Z:" is removed. */
    static juce::String normalisePath (const juce::String& path);

private:
    /** Tells files apart however they are reached. */
    struct FileIdentity
    {
        juce::uint64 device = 0;
        juce::uint64 inode = 0;

        bool operator<(const FileIdentity& other) const noexcept
        {
            return device != other.device ? device < other.device : inode < other.inode;
        }
    };

    /** What a listed folder looked like when it was scanned. */
    struct FolderStamp
    {
        std::string path;
        FileIdentity identity;
        juce::int64 modifiedNs = 0;
        juce::int64 changedNs = 0;
    };

    struct Scan;

    void addFolder (std::vector<PresetMenuEntry>& into, const std::vector<std::string>& sources, int depth, Scan& scan);
    void addPreset (std::vector<PresetMenuEntry>& into, const std::string& path, const juce::String& name, Scan& scan);
    bool stampsStillHold() const;

    const juce::Array<juce::File> rootOverrides;
    mutable OrvelSettings settings;

    std::vector<PresetMenuEntry> entries;
    juce::StringArray presetPaths;
    juce::StringArray normalisedPresetPaths;
    std::map<FileIdentity, int> itemIdsByIdentity;
    juce::Array<juce::File> scannedFolders;
    std::vector<FolderStamp> folderStamps;
    juce::int64 scanStartNs = 0;
    int numScans = 0;
    int nextItemId = 1;
    int currentItemId = 0;
    bool built = false;
    juce::String labelText;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (PresetMenuModel)
};

} // namespace orvel
