#include "state/PresetFile.h"

#include "state/FileAccess.h"
#include "state/UntrustedXml.h"

#include <filesystem>
#include <string>

namespace orvel
{

namespace
{
    void appendHex (std::string& text, const juce::uint8* bytes, size_t numBytes)
    {
        static constexpr char digits[] = "0123456789abcdef";

        for (size_t i = 0; i < numBytes; ++i)
        {
            // A byte as a signed 8-bit value widened to int, printed as unsigned hex:
            // negative bytes become ffffff80..ffffffff.
            auto value = (juce::uint32) (int) (juce::int8) bytes[i];
            char buffer[8];
            int length = 0;

            do
            {
                buffer[length++] = digits[value & 0xf];
                value >>= 4;
            } while (value != 0);

            while (length > 0)
                text.push_back (buffer[--length]);
        }
    }

    std::string hexTextOfWindow (const void* data, size_t numBytes)
    {
        std::string text;

        if (data != nullptr)
        {
            const auto windowBytes = juce::jmin (numBytes, (size_t) presets::signatureWindowBytes);
            text.reserve (windowBytes * 2);
            appendHex (text, static_cast<const juce::uint8*> (data), windowBytes);
        }

        return text;
    }

    juce::String saveFailedMessage (const juce::String& path)
    {
        return "The preset could not be saved as \"" + path + "\". Please check that the folder exists and can be written to, "
                                                              "and that the preset is not read-only.";
    }
} // namespace

juce::String getPresetHexText (const void* data, size_t numBytes)
{
    std::string text;

    if (data != nullptr)
        appendHex (text, static_cast<const juce::uint8*> (data), numBytes);

    return juce::String (text);
}

bool hasPresetSignature (const void* data, size_t numBytes)
{
    return hexTextOfWindow (data, numBytes).find (presets::signature) != std::string::npos;
}

//==============================================================================
PresetReadResult readPresetFile (const juce::String& path)
{
    // A restored host state may carry any text here; a relative path would be read
    // from wherever the host happens to run.
    if (! juce::File::isAbsolutePath (path))
        return {};

    const auto read = readRegularFile (juce::File (path), maxUntrustedXmlBytes);

    // Too large to parse, but still a preset when its first bytes say so: it then
    // only fades the output out and in.
    if (read.status == FileReadResult::Status::tooLarge)
    {
        PresetReadResult result;
        result.isPreset = hasPresetSignature (read.bytes.getData(), read.bytes.getSize());
        return result;
    }

    if (! read.isRead())
        return {};

    return readPresetBytes (read.bytes.getData(), read.bytes.getSize());
}

PresetReadResult readPresetBytes (const void* data, size_t numBytes)
{
    PresetReadResult result;

    if (data == nullptr || numBytes == 0 || ! hasPresetSignature (data, numBytes))
        return result;

    result.isPreset = true;

    if (const auto text = decodeUntrustedText (data, numBytes))
        result.element = parseUntrustedXml (*text);

    return result;
}

//==============================================================================
juce::String writePresetFile (const juce::XmlElement& element, const juce::String& path)
{
    if (! juce::File::isAbsolutePath (path))
        return saveFailedMessage (path);

    const juce::File file (path);
    const auto created = ! file.existsAsFile();

    // Through a symbolic link to its target, never over a read-only file, and by a
    // rename, so a failed write leaves a previous preset intact.
    if (! file.getParentDirectory().createDirectory() || writeXmlFile (element, file) != FileWriteResult::written)
        return saveFailedMessage (path);

    const auto written = readRegularFile (file, (size_t) presets::signatureWindowBytes);

    if ((written.isRead() || written.status == FileReadResult::Status::tooLarge)
        && hasPresetSignature (written.bytes.getData(), written.bytes.getSize()))
        return {};

    if (created)
        file.deleteFile();

    return saveFailedMessage (path);
}

juce::File getPresetSaveSuggestion (const juce::String& currentPresetPath, const juce::File& presetsFolder)
{
    const auto userFolder = presetsFolder.getChildFile (presets::userFolderName);
    userFolder.createDirectory();

    if (! juce::File::isAbsolutePath (currentPresetPath))
    {
        const auto name = juce::File::createLegalFileName (currentPresetPath.trim());
        return userFolder.getChildFile ((name.isEmpty() ? juce::String (presets::initPresetName) : name) + presets::fileExtension);
    }

    const juce::File current (currentPresetPath);
    const auto lowerCasePath = currentPresetPath.toLowerCase();

    for (const auto* marker : presets::factoryPathMarkers)
        if (lowerCasePath.contains (marker))
            return userFolder.getChildFile (current.getFileName());

    return current;
}

//==============================================================================
namespace
{
    namespace fs = std::filesystem;

    fs::path nativePath (const juce::String& path)
    {
        return fs::u8path (path.toStdString());
    }

    /** True when the path lies below the folder, compared as written (after ".."
        and "." are resolved as text) or after every symbolic link is resolved. The
        first admits presets reached through links the user put into the folder;
        the second a folder that was itself reached through a link. */
    bool liesBelow (const fs::path& path, const juce::File& folder)
    {
        const auto below = [] (const fs::path& child, const fs::path& parent)
        {
            const auto relative = child.lexically_relative (parent);
            return ! relative.empty() && *relative.begin() != ".." && *relative.begin() != ".";
        };

        const auto folderPath = nativePath (folder.getFullPathName());

        if (below (path.lexically_normal(), folderPath.lexically_normal()))
            return true;

        std::error_code error;
        const auto realPath = fs::weakly_canonical (path, error);

        if (error)
            return false;

        const auto realFolder = fs::weakly_canonical (folderPath, error);
        return ! error && below (realPath, realFolder);
    }

    /** The index of the presets folder the path lies in, or -1. */
    int presetsFolderIndexOf (const juce::String& path, const juce::Array<juce::File>& presetsFolders)
    {
        if (! juce::File::isAbsolutePath (path) || path.containsChar (0))
            return -1;

        const auto native = nativePath (path);

        for (int i = 0; i < presetsFolders.size(); ++i)
            if (liesBelow (native, presetsFolders.getReference (i)))
                return i;

        return -1;
    }

    bool hasPresetExtension (const juce::String& path)
    {
        return juce::File::areFileNamesCaseSensitive() ? path.endsWith (presets::fileExtension)
                                                       : path.endsWithIgnoreCase (presets::fileExtension);
    }
} // namespace

bool isInPresetsFolders (const juce::String& path, const juce::Array<juce::File>& presetsFolders)
{
    if (! hasPresetExtension (path) || presetsFolderIndexOf (path, presetsFolders) < 0)
        return false;

    // A folder, FIFO or device named like a preset is none.
    const juce::File file (path);
    return ! file.exists() || isRegularFile (file);
}

juce::String presetPathOrInit (const juce::String& path, const juce::Array<juce::File>& presetsFolders)
{
    return isInPresetsFolders (path, presetsFolders) ? path : juce::String (presets::initPresetName);
}

bool isFactoryPreset (const juce::String& path, const juce::Array<juce::File>& presetsFolders)
{
    const auto index = presetsFolderIndexOf (path, presetsFolders);

    if (index != 0)
        return index > 0;

    const auto relative = nativePath (path).lexically_normal().lexically_relative (
        nativePath (presetsFolders.getReference (0).getFullPathName()).lexically_normal());

    return ! relative.empty() && juce::String (relative.begin()->u8string()).equalsIgnoreCase (presets::factoryFolderName);
}

bool isDeletablePreset (const juce::String& path, const juce::Array<juce::File>& presetsFolders)
{
    return isInPresetsFolders (path, presetsFolders) && juce::File (path).existsAsFile()
           && ! isFactoryPreset (path, presetsFolders);
}

} // namespace orvel
