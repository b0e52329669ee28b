#pragma once

#include <juce_core/juce_core.h>

#include <memory>

namespace orvel
{

/**
    Preset files: the settings element (PluginState.h) written as an XML document in
    JUCE's default text format (declaration, CR LF, attributes wrapped past 60
    characters), extension ".kvp", in the presets folder of OrvelSettings or any
    sub-folder of it.

    A file counts as a preset of this product only when the signature text occurs in
    the hexadecimal text of its first 4096 bytes. That hexadecimal text takes every
    byte as a signed 8-bit value widened to int and prints it in lower case without
    leading zeros or separators (0x0a gives "a", 0x41 "41", 0xc3 "ffffffc3"). The
    signature is that text of "Fold_SET", a part of the root tag that every saved
    preset carries within its first hundred bytes.
*/
namespace presets
{
    constexpr const char* fileExtension = ".kvp";
    constexpr const char* filePattern = "*.kvp";
    constexpr const char* initPresetName = "Init";
    constexpr const char* initPresetFileName = "Init.kvp";

    /** How many leading bytes of a file the signature test reads. */
    constexpr int signatureWindowBytes = 4096;

    /** The hexadecimal text of the bytes "Fold_SET". */
    constexpr const char* signature = "466f6c645f534554";

    /** The child folder of the presets folder that the save dialog offers instead of
        overwriting a factory preset; created on the first save. */
    constexpr const char* userFolderName = "User";

    /** The folder of the factory bank, in the user's presets folder (where a per-user
        install puts it) and in the system ones. */
    constexpr const char* factoryFolderName = "Factory";

    /** A current preset whose lower-cased path contains one of these is a factory
        preset: the save dialog then offers the user folder. */
    constexpr const char* factoryPathMarkers[] = { "/factory", "\\factory" };

    /** Texts of the save and delete actions of the main window. */
    constexpr const char* saveDialogTitle = "Save Preset";
    constexpr const char* saveFailedTitle = "Preset Not Saved";
    constexpr const char* deleteDialogTitle = "Delete Preset";
    constexpr const char* deleteQuestionStart = "Do you want to move this preset to the trash: ";
} // namespace presets

//==============================================================================
/** The hexadecimal text of the signature test for the given bytes (see above). */
juce::String getPresetHexText (const void* data, size_t numBytes);

/** True when the hexadecimal text of the first 4096 of the given bytes (all of
    them when there are fewer) contains the signature. */
bool hasPresetSignature (const void* data, size_t numBytes);

/** What loading finds in a file. */
struct PresetReadResult
{
    /** The file exists, is not empty, could be read and carries the signature. Only
        then is it applied, even when it does not parse. */
    bool isPreset = false;

    /** The parsed root element; null for a preset that is not well-formed XML (or is
        too large, see UntrustedXml.h), which then only fades the output out and in. */
    std::unique_ptr<juce::XmlElement> element;
};

/** Reads a preset file. A path that is not absolute, does not exist, names an empty
    or unreadable file or a file without the signature gives isPreset false. */
PresetReadResult readPresetFile (const juce::String& path);

/** The same test on a file's bytes already in memory. */
PresetReadResult readPresetBytes (const void* data, size_t numBytes);

/** Writes the element to the file in JUCE's default text format, creating the file
    and its parent folders when missing and replacing any previous content whole, then
    reads back the first 4096 bytes and applies the signature test. Returns an empty
    text on success, else a message for the user (a file this call created is removed
    again).
*/
juce::String writePresetFile (const juce::XmlElement& element, const juce::String& path);

/** The file the save dialog offers: for a factory preset (see factoryPathMarkers) or a
    current preset that is not a file path (such as "Init"), a file of that name in the
    user folder, which is created here; otherwise the current preset file itself.
*/
juce::File getPresetSaveSuggestion (const juce::String& currentPresetPath, const juce::File& presetsFolder);

//==============================================================================
/** Whether a path may be taken for a preset of ours: an absolute path ending in
    ".kvp" that lies below one of the presets folders (OrvelSettings::
    getAllPresetsFolders()) and names a regular file or nothing at all.

    "Below" holds for the path as written (".." and "." resolved as text, so they
    cannot climb out) or for the path with every symbolic link resolved; links the
    user put into a presets folder are followed, a path that merely starts with the
    folder's name is not.

    The current preset path comes back from projects, which anyone can write: the
    save and delete actions and the preset label act on it only when this holds.
*/
bool isInPresetsFolders (const juce::String& path, const juce::Array<juce::File>& presetsFolders);

/** The path when isInPresetsFolders(), else "Init". */
juce::String presetPathOrInit (const juce::String& path, const juce::Array<juce::File>& presetsFolders);

/** True for a path below a system presets folder (any entry after the first), or
    below the Factory folder of the user's presets folder (the first entry). Such
    presets are read-only: they are saved to the user folder instead, and never
    deleted. */
bool isFactoryPreset (const juce::String& path, const juce::Array<juce::File>& presetsFolders);

/** An existing preset file of the user's own that the delete action may move to the
    trash: in the presets folders and no factory preset. */
bool isDeletablePreset (const juce::String& path, const juce::Array<juce::File>& presetsFolders);

} // namespace orvel
