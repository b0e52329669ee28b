#include "state/PresetMenuModel.h"

#include "state/PresetFile.h"
#include "state/UnicodeComposition.h"
#include "state/UntrustedXml.h"

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <optional>
#include <set>

#if JUCE_LINUX || JUCE_BSD || JUCE_MAC
#include <sys/stat.h>
#endif

namespace orvel
{

namespace
{
    namespace fs = std::filesystem;

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

    fs::path nativePath (const std::string& utf8Path)
    {
        return fs::u8path (utf8Path);
    }

    std::string utf8Path (const juce::File& file)
    {
        return file.getFullPathName().toStdString();
    }

    /** What stat() tells about a path, symbolic links followed. */
    struct PathStatus
    {
        juce::uint64 device = 0;
        juce::uint64 inode = 0;
        juce::int64 modifiedNs = 0;
        juce::int64 changedNs = 0;
    };

    std::optional<PathStatus> statusOf (const std::string& path)
    {
        PathStatus status;

#if JUCE_LINUX || JUCE_BSD || JUCE_MAC
        struct stat info;

        if (::stat (path.c_str(), &info) != 0)
            return std::nullopt;

        const auto nanoseconds = [] (const timespec& time)
        { return (juce::int64) time.tv_sec * 1000000000 + time.tv_nsec; };

        status.device = (juce::uint64) info.st_dev;
        status.inode = (juce::uint64) info.st_ino;
#if JUCE_MAC
        status.modifiedNs = nanoseconds (info.st_mtimespec);
        status.changedNs = nanoseconds (info.st_ctimespec);
#else
        status.modifiedNs = nanoseconds (info.st_mtim);
        status.changedNs = nanoseconds (info.st_ctim);
#endif
#else
        // Without inodes: the canonical path stands for the file.
        std::error_code error;
        const auto canonical = fs::canonical (nativePath (path), error);

        if (error)
            return std::nullopt;

        status.inode = (juce::uint64) std::hash<std::string> {}(canonical.u8string());
        status.modifiedNs = (juce::int64) fs::last_write_time (canonical, error).time_since_epoch().count();
#endif

        return status;
    }

    juce::int64 nowNs()
    {
        using namespace std::chrono;
        return (juce::int64) duration_cast<nanoseconds> (system_clock::now().time_since_epoch()).count();
    }

    bool sameName (const juce::String& a, const juce::String& b)
    {
        return juce::File::areFileNamesCaseSensitive() ? a == b : a.equalsIgnoreCase (b);
    }

    /** A folder's sub-folders or presets found under one name in the folders laid
        over each other: a path per folder that has one. */
    struct NamedPaths
    {
        juce::String name;
        std::vector<std::string> paths;
    };

    void addPath (std::vector<NamedPaths>& into, const juce::String& name, const std::string& path)
    {
        const auto existing = std::find_if (into.begin(), into.end(), [&name] (const NamedPaths& n)
                                            { return sameName (n.name, name); });

        if (existing != into.end())
            existing->paths.push_back (path);
        else
            into.push_back ({ name, { path } });
    }

    void sortByNaturalName (std::vector<NamedPaths>& list)
    {
        std::stable_sort (list.begin(), list.end(), [] (const NamedPaths& a, const NamedPaths& b)
                          { return a.name.compareNatural (b.name, false) < 0; });
    }

    /** The name a folder is listed under: a symbolic link's target's own name. */
    juce::String displayName (const std::string& path)
    {
        const auto native = nativePath (path);
        std::error_code error;

        if (fs::is_symlink (native, error))
        {
            const auto target = fs::read_symlink (native, error);

            if (! error)
                if (const auto name = pathText (target.lexically_normal().filename()); name.has_value() && name->isNotEmpty())
                    return *name;
        }

        return pathText (native.filename()).value_or (juce::String());
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

//==============================================================================
/** What one scan has seen so far and how much it may still look at. */
struct PresetMenuModel::Scan
{
    std::set<FileIdentity> visitedFolders;
    std::set<FileIdentity> listedPresets;
    int foldersLeft = maxFoldersScanned;
    int entriesLeft = maxEntriesScanned;
    std::vector<FolderStamp> stamps;

    /** True the first time a folder is reached, however it is reached, while the
        folder budget lasts. */
    bool visit (const std::string& path)
    {
        if (foldersLeft <= 0)
            return false;

        const auto status = statusOf (path);

        if (! status.has_value() || ! visitedFolders.insert ({ status->device, status->inode }).second)
            return false;

        --foldersLeft;
        stamps.push_back ({ path, { status->device, status->inode }, status->modifiedNs, status->changedNs });
        return true;
    }

    /** The sub-folders (symbolic links to folders included) and preset files (links
        to files included) of a folder, added by name. Listed with std::filesystem
        rather than juce::File::findChildFiles, which turns every name into a
        juce::String unchecked. */
    void list (const std::string& folder, std::vector<NamedPaths>& folders, std::vector<NamedPaths>& presetFiles)
    {
        const auto caseSensitive = juce::File::areFileNamesCaseSensitive();
        std::error_code error;

        for (fs::directory_iterator it (nativePath (folder), error), end;
             ! error && it != end && entriesLeft > 0;
             it.increment (error))
        {
            --entriesLeft;
            const auto name = pathText (it->path().filename());

            if (! name.has_value() || name->isEmpty())
                continue;

            std::error_code statusError;
            const auto path = folder + "/" + name->toStdString();

            if (fs::is_directory (it->path(), statusError)) // follows symbolic links
                addPath (folders, *name, path);
            else if (fs::is_regular_file (it->path(), statusError) // and so skips FIFOs and devices
                     && (caseSensitive ? name->endsWith (presets::fileExtension)
                                       : name->endsWithIgnoreCase (presets::fileExtension)))
                addPath (presetFiles, *name, path);
        }
    }
};

//==============================================================================
PresetMenuModel::PresetMenuModel (const juce::File& rootFolder)
    : rootOverrides (rootFolder == juce::File() ? juce::Array<juce::File>() : juce::Array<juce::File> { rootFolder })
{
}

PresetMenuModel::PresetMenuModel (const juce::Array<juce::File>& rootFolders)
    : rootOverrides (rootFolders)
{
}

juce::Array<juce::File> PresetMenuModel::getPresetsFolders() const
{
    if (rootOverrides.isEmpty())
        return settings.getAllPresetsFolders();

    rootOverrides.getReference (0).createDirectory();
    return rootOverrides;
}

juce::File PresetMenuModel::getPresetsFolder() const
{
    return rootOverrides.isEmpty() ? settings.getPresetsFolder() : getPresetsFolders().getFirst();
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
    itemIdsByIdentity.clear();
    nextItemId = 1;

    scanStartNs = nowNs();
    ++numScans;
    scannedFolders = getPresetsFolders();

    Scan scan;
    std::vector<std::string> roots;

    for (const auto& folder : scannedFolders)
        if (const auto path = utf8Path (folder); scan.visit (path))
            roots.push_back (path);

    addFolder (entries, roots, 0, scan);

    folderStamps = std::move (scan.stamps);
    built = true;
}

void PresetMenuModel::addFolder (std::vector<PresetMenuEntry>& into, const std::vector<std::string>& sources, int depth, Scan& scan)
{
    std::vector<NamedPaths> folders, presetFiles;

    for (const auto& source : sources)
        scan.list (source, folders, presetFiles);

    sortByNaturalName (folders);
    sortByNaturalName (presetFiles);

    if (depth < maxFolderDepth)
    {
        for (const auto& folder : folders)
        {
            // Only ways into folders that no other way has reached yet.
            std::vector<std::string> fresh;

            for (const auto& path : folder.paths)
                if (scan.visit (path))
                    fresh.push_back (path);

            if (fresh.empty())
                continue;

            PresetMenuEntry entry;
            entry.name = displayName (fresh.front());
            entry.file = juce::File (juce::String::fromUTF8 (fresh.front().c_str()));
            addFolder (entry.children, fresh, depth + 1, scan);
            into.push_back (std::move (entry));
        }
    }

    // Of presets of one name, the first folder's (the user's) wins.
    for (const auto& preset : presetFiles)
        addPreset (into, preset.paths.front(), preset.name, scan);
}

void PresetMenuModel::addPreset (std::vector<PresetMenuEntry>& into, const std::string& path, const juce::String& name, Scan& scan)
{
    // The id after the last preset must stay below the reserved one.
    if (nextItemId >= openPresetsFolderItemId)
        return;

    const auto status = statusOf (path);

    if (! status.has_value())
        return;

    const FileIdentity identity { status->device, status->inode };

    if (! scan.listedPresets.insert (identity).second)
        return;

    PresetMenuEntry entry;
    entry.file = juce::File (juce::String::fromUTF8 (path.c_str()));
    entry.name = name.upToLastOccurrenceOf (".", false, false);
    entry.itemId = nextItemId++;
    entry.ticked = entry.itemId == currentItemId;

    const auto fullPath = entry.file.getFullPathName();
    presetPaths.add (fullPath);
    normalisedPresetPaths.add (normalisePath (fullPath));
    itemIdsByIdentity[identity] = entry.itemId;
    into.push_back (std::move (entry));
}

bool PresetMenuModel::stampsStillHold() const
{
    const auto settledBefore = scanStartNs - (juce::int64) changeTimeMarginMs * 1000000;

    for (const auto& stamp : folderStamps)
    {
        // Entries added, removed or renamed so shortly before the scan that a later
        // change may carry the same time. (The change time moves with any change of
        // the folder's own attributes too; it is compared, but a recent one does not
        // make the folder's entries uncertain.)
        if (stamp.modifiedNs >= settledBefore)
            return false;

        const auto status = statusOf (stamp.path);

        if (! status.has_value() || status->device != stamp.identity.device || status->inode != stamp.identity.inode
            || status->modifiedNs != stamp.modifiedNs || status->changedNs != stamp.changedNs)
            return false;
    }

    return true;
}

bool PresetMenuModel::rebuildIfChanged()
{
    if (built && getPresetsFolders() == scannedFolders && stampsStillHold())
        return false;

    rebuild();
    return true;
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
    if (! built)
        rebuild();
    else if (rebuildFirst)
        rebuildIfChanged();

    // An empty path is what a step in an empty menu finds: it shows nothing.
    if (path == presets::initPresetName || (path.isNotEmpty() && ! isInPresetsFolders (path, scannedFolders)))
    {
        labelText = presets::initPresetName;
        currentItemId = 1;
        return;
    }

    const auto normalised = normalisePath (path);
    labelText = toPrecomposedUnicode (nameWithoutExtension (normalised));

    if (! juce::File::isAbsolutePath (path) || ! juce::File (path).exists())
        return;

    currentItemId = normalisedPresetPaths.indexOf (normalised) + 1;

    // The same file by another way, such as through a link to its folder.
    if (currentItemId == 0)
        if (const auto status = statusOf (path.toStdString()))
            if (const auto found = itemIdsByIdentity.find ({ status->device, status->inode }); found != itemIdsByIdentity.end())
                currentItemId = found->second;
}

juce::String PresetMenuModel::getCurrentPresetPath() const
{
    return currentItemId >= 1 && currentItemId < nextItemId ? presetPaths[currentItemId - 1] : juce::String();
}

} // namespace orvel
