#include "state/PresetFile.h"

#include "state/UntrustedXml.h"

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
        return "The preset could not be saved as \"" + path + "\". Please check that the folder exists and can be written to.";
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
    PresetReadResult result;

    // A restored host state may carry any text here; a relative path would be read
    // from wherever the host happens to run.
    if (! juce::File::isAbsolutePath (path))
        return result;

    const juce::File file (path);

    if (! file.existsAsFile() || file.getSize() <= 0)
        return result;

    juce::MemoryBlock head;

    {
        juce::FileInputStream in (file);

        if (! in.openedOk())
            return result;

        in.readIntoMemoryBlock (head, presets::signatureWindowBytes);
    }

    if (head.getSize() == 0 || ! hasPresetSignature (head.getData(), head.getSize()))
        return result;

    result.isPreset = true;
    result.element = readUntrustedXmlFile (file);
    return result;
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

    if (file.isDirectory())
        return saveFailedMessage (path);

    const auto created = ! file.existsAsFile();

    if (created && ! file.create())
        return saveFailedMessage (path);

    // writeTo goes through a temporary sibling and a rename, so a failed write
    // leaves a previous preset intact.
    auto saved = element.writeTo (file);

    if (saved)
    {
        juce::MemoryBlock head;
        juce::FileInputStream in (file);
        saved = in.openedOk() && in.readIntoMemoryBlock (head, presets::signatureWindowBytes) > 0
                && hasPresetSignature (head.getData(), head.getSize());
    }

    if (saved)
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

} // namespace orvel
