#include "state/PresetMenuModel.h"

#include "state/PresetFile.h"
#include "state/UnicodeComposition.h"
#include "state/UntrustedXml.h"

#include <algorithm>
#include <filesystem>
#include <optional>

namespace orvel
{

namespace
{
    namespace fs = std::filesystem;

    void sortByNaturalName (juce::Array<juce::File>& files)
    {
        std::stable_sort (files.begin(), files.end(), [] (const juce::File& a, const juce::File& b)
                          { return a.getFileName().compareNatural (b.getFileName(), false) < 0; });
    }

    /** A path as text, or nothing when its bytes are not strict UTF-8. juce::String
        keeps malformed bytes from the file system as they are and overruns its own
        buffers when it copies them, so such names never become juce::Strings. */
    std::optional<juce::String> pathText (const fs::path& path)
    {
        const auto bytes = path.u8string();

        if (! isStrictUtf8 (bytes.data(), bytes.size()))
            return std::nullopt;

        return juce::String::fromUTF8 (bytes.data(), (int) bytes.size());
    }

    /** The folder's sub-folders (symbolic links to folders included) and its preset
        files (links to files included). Entries whose names are not valid text are
        left out. Listed with std::filesystem rather than juce::File::findChildFiles,
        which turns every name into a juce::String unchecked. */
    void listFolder (const juce::File& folder, juce::Array<juce::File>& folders, juce::Array<juce::File>& presetFiles)
    {
        const auto caseSensitive = juce::File::areFileNamesCaseSensitive();
        std::error_code error;

        for (fs::directory_iterator it (fs::u8path (folder.getFullPathName().toStdString()), error), end;
             ! error && it != end;
             it.increment (error))
        {
            const auto name = pathText (it->path().filename());

            if (! name.has_value() || name->isEmpty())
                continue;

            std::error_code statusError;
            const auto child = folder.getChildFile (*name);

            if (fs::is_directory (it->path(), statusError)) // follows symbolic links
                folders.add (child);
            else if (fs::is_regular_file (it->path(), statusError)
                     && (caseSensitive ? name->endsWith (presets::fileExtension)
                                       : name->endsWithIgnoreCase (presets::fileExtension)))
                presetFiles.add (child);
        }
    }

    /** A symbolic link's target, one level resolved as File::getLinkedTarget does, or
        the link itself when it is none or its target is not valid text. */
    juce::File linkTarget (const juce::File& link)
    {
        const auto linkPath = fs::u8path (link.getFullPathName().toStdString());
        std::error_code error;

        if (! fs::is_symlink (linkPath, error))
            return link;

        auto target = fs::read_symlink (linkPath, error);

        if (error)
            return link;

        if (target.is_relative())
            target = linkPath.parent_path() / target;

        const auto text = pathText (target.lexically_normal());
        return text.has_value() && juce::File::isAbsolutePath (*text) ? juce::File (*text) : link;
    }

    /** The file name without extension of a path with "/" separators, whatever the
        platform: the label is taken from the normalised path. */
    juce::String nameWithoutExtension (const juce::String& normalisedPath)
    {
        const auto fileName = normalisedPath.fromLastOccurrenceOf ("/", false, false);
        const auto dot = fileName.lastIndexOfChar ('.');
        return dot > 0 ? fileName.substring (0, dot) : fileName;
    }
} // namespace

PresetMenuModel::PresetMenuModel (const juce::File& rootFolder)
    : rootOverride (rootFolder)
{
}

juce::File PresetMenuModel::getPresetsFolder() const
{
    if (rootOverride == juce::File())
        return settings.getPresetsFolder();

    rootOverride.createDirectory();
    return rootOverride;
}

juce::String PresetMenuModel::normalisePath (const juce::String& path)
{
    auto normalised = path.replaceCharacter ('\\', '/');

    for (auto drive = 'C'; drive <= 'Z'; ++drive)
        normalised = normalised.replace (juce::String::charToString (drive) + ":", "", false);

    return normalised;
}

//==============================================================================
void PresetMenuModel::rebuild()
{
    entries.clear();
    presetPaths.clear();
    normalisedPresetPaths.clear();
    nextItemId = 1;

    const auto root = getPresetsFolder();
    juce::StringArray openFolders { root.getFullPathName() };

    addFolderEntries (entries, root, openFolders);
    addPresetEntries (entries, root);

    built = true;
}

void PresetMenuModel::addFolderEntries (std::vector<PresetMenuEntry>& into, const juce::File& folder, juce::StringArray& openFolders)
{
    if (openFolders.size() > maxFolderDepth)
        return;

    juce::Array<juce::File> children, unused;
    listFolder (folder, children, unused);
    sortByNaturalName (children);

    for (const auto& child : children)
    {
        const auto target = linkTarget (child);
        const auto directory = target.isDirectory() ? target : child;

        if (! directory.isDirectory())
            continue;

        // A link back to a folder that is being listed would recurse for ever.
        const auto path = directory.getFullPathName();

        if (openFolders.contains (path))
            continue;

        PresetMenuEntry entry;
        entry.name = directory.getFileName();
        entry.file = directory;

        openFolders.add (path);
        addFolderEntries (entry.children, directory, openFolders);
        openFolders.removeString (path);

        addPresetEntries (entry.children, directory);
        into.push_back (std::move (entry));
    }
}

void PresetMenuModel::addPresetEntries (std::vector<PresetMenuEntry>& into, const juce::File& folder)
{
    juce::Array<juce::File> unused, files;
    listFolder (folder, unused, files);
    sortByNaturalName (files);

    for (const auto& file : files)
    {
        // The id after the last preset must stay below the reserved one.
        if (nextItemId >= openPresetsFolderItemId)
            return;

        PresetMenuEntry entry;
        entry.name = file.getFileNameWithoutExtension();
        entry.file = file;
        entry.itemId = nextItemId++;
        entry.ticked = entry.itemId == currentItemId;
        into.push_back (std::move (entry));

        presetPaths.add (file.getFullPathName());
        normalisedPresetPaths.add (normalisePath (file.getFullPathName()));
    }
}

//==============================================================================
PresetMenuModel::Action PresetMenuModel::selectItem (int itemId)
{
    if (itemId == openPresetsFolderItemId)
        return Action::revealPresetsFolder;

    currentItemId = itemId;
    setCurrentPreset (getCurrentPresetPath(), true);
    return Action::presetChosen;
}

PresetMenuModel::Action PresetMenuModel::selectNext()
{
    // Without a current item (-1 after a deletion) next starts at the first preset.
    const auto next = currentItemId >= 0 && currentItemId + 1 < nextItemId ? currentItemId + 1 : 1;
    return selectItem (next);
}

PresetMenuModel::Action PresetMenuModel::selectPrevious()
{
    const auto last = nextItemId - 1;

    // An id left over from a larger menu steps back to the last preset, not into nothing.
    const auto previous = currentItemId <= 1 ? last : juce::jmin (currentItemId - 1, last);
    return selectItem (previous);
}

void PresetMenuModel::setCurrentPreset (const juce::String& path, bool rebuildFirst)
{
    // A menu that was never built is built before the lookup, not after it: looked
    // up in an empty list, a listed preset would get no id.
    if (rebuildFirst || ! built)
        rebuild();

    if (path == presets::initPresetName)
    {
        labelText = presets::initPresetName;
        currentItemId = 1;
        return;
    }

    const auto normalised = normalisePath (path);
    labelText = toPrecomposedUnicode (nameWithoutExtension (normalised));

    if (juce::File::isAbsolutePath (path) && juce::File (path).exists())
        currentItemId = normalisedPresetPaths.indexOf (normalised) + 1;
}

juce::String PresetMenuModel::getCurrentPresetPath() const
{
    return currentItemId >= 1 && currentItemId < nextItemId ? presetPaths[currentItemId - 1] : juce::String();
}

} // namespace orvel
