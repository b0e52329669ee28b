#pragma once

#include "ProductIdentity.h"
#include <juce_core/juce_core.h>

#include <memory>

namespace orvel
{

/** The user settings a processor caches while it lives: what readStoredSettings()
    fills and saveEditorSettings() writes back. Values read from disk arrive already
    clamped to their ranges.
*/
struct UserSettings
{
    double windowSize = 1.0;      ///< editor scale factor, 0.5..2.0
    float brightness = 0.0f;      ///< skin image brightness offset, -0.5..0.5
    float contrast = 0.0f;        ///< skin image contrast offset, -0.5..0.5
    bool leftHandedMouse = false; ///< maker-wide
    bool accelerateGui = false;   ///< maker-wide: draw the main window through a GPU context
    bool envelopeLinear = false;  ///< envelope law chosen in the options menu

    /** True when the shared skin images must be rebuilt with brightness/contrast applied. */
    bool needsImageAdjustment() const noexcept { return brightness != 0.0f || contrast != 0.0f; }
};

//==============================================================================
/**
    The per-user settings store and folder calculator.

    Two small XML files hold settings that outlive projects: one shared by all of the
    maker's products (Kestrivane.kvs) and one for this product (WrendleFold.kvs). Each
    attribute of the root element is one setting; the root tag is written when a file
    is created and never checked on load.

    Every owner (processor, main window, preset selector, news fetcher) has its own
    store; they meet only in the files. There is no lock and no cache beyond the two
    parsed elements, so an owner that is about to change a setting must reload the
    file first, or it would overwrite whatever another instance wrote meanwhile.
    writeMakerBool() and saveEditorSettings() do that reload for you; the plain
    setters do not.

    Files are always replaced whole (written to a temporary sibling and renamed), so
    a crash or a second instance never sees half a file; a settings file that is a
    symbolic link is written through to its target, and a read-only one is left
    alone. Reads take whatever file they opened to its end and open nothing but
    regular files (a FIFO named like a settings file would block the host).

    A missing or empty file reads as a file without attributes, and the next save
    writes a well-formed file. A file that holds something but cannot be read or
    parsed (binary, oversized, malformed, not a regular file) also gives every
    getter its default, but the store then never writes that file: it may hold
    what a newer version wrote, or what another process was writing at that
    moment, and writing defaults over it would lose the user's settings.

    writeMakerBool() and saveEditorSettings() hold ScopedFolderLock on the settings
    folder around their reload-modify-write, so two processes that change different
    settings at the same moment both keep their change (when the lock cannot be had
    within a short wait, they go ahead without it).

    Folder layout, below the base folder:
      Settings/             both settings files
      Temp/News/            the cached news file, <productKey>.kvn
      Presets/<productKey>/ presets of this product

    Base folder: "<maker key>" in the platform's common documents folder (macOS:
    /Users/Shared, Windows: the public Documents folder). On Linux that folder is
    /opt, which users cannot write, so the base is ~/.local/share/<maker key>, the
    XDG default location for user data. It is derived from the home folder only,
    deliberately not from $XDG_DATA_HOME: sandboxed hosts (Flatpak) point that
    variable at a private folder per host, which would give one user different
    settings and presets in every host.

    Not thread-safe: one store is used by one thread at a time.
*/
class OrvelSettings
{
public:
    //==============================================================================
    static constexpr const char* defaultProductName = wrendle::identity::productName;
    static constexpr const char* defaultMakerName = wrendle::identity::vendor;

    /** Maker-wide keys. */
    static constexpr const char* leftHandedMouseKey = "KV-LHMouse";
    static constexpr const char* accelerateGuiKey = "KV-AccelerateGUI";
    static constexpr const char* newsNotificationsKey = "KV-pn1";

    /** Product keys; saveEditorSettings() always writes the first four together. */
    static constexpr const char* windowSizeKey = "WindowSize";
    static constexpr const char* brightnessKey = "Brightness";
    static constexpr const char* contrastKey = "Contrast";
    static constexpr const char* envelopeLinearKey = "EnvelopeLinear";

    /** Product key: when an instance of this user last fetched the news or tried to, in
        milliseconds since 1970 (UTC). Written by claimNewsCheck(). */
    static constexpr const char* lastNewsCheckKey = "LastNewsCheck";

    static constexpr double minWindowSize = 0.5;
    static constexpr double maxWindowSize = 2.0;
    static constexpr double minImageOffset = -0.5;
    static constexpr double maxImageOffset = 0.5;

    //==============================================================================
    /** Both keys are the given names with every space removed ("WrendleFold",
        "Kestrivane") and are fixed for the store's lifetime. Nothing is read or
        written here.
    */
    explicit OrvelSettings (const juce::String& productName = defaultProductName,
                            const juce::String& makerName = defaultMakerName);

    const juce::String& getProductKey() const noexcept { return productKey; }
    const juce::String& getMakerKey() const noexcept { return makerKey; }

    //==============================================================================
    /** (Re)reads a settings file and returns the element now held (never null).

        A missing file is created empty first. The previous element is deleted, so any
        pointer obtained from an earlier load dangles afterwards. With sortAttributes
        the attributes are reordered alphabetically ignoring case and child elements
        are dropped; the next save writes them in that order.
    */
    juce::XmlElement* loadMakerSettings (bool sortAttributes);
    juce::XmlElement* loadProductSettings (bool sortAttributes);

    /** Writes the held element (loading first if none is held). Returns false when the
        file could not be replaced, or must not be (its last load found content it
        could not read); the in-memory values are kept either way.
    */
    bool saveMakerSettings();
    bool saveProductSettings();

    //==============================================================================
    /** Getters read the held element; when none is held yet they load it (sorted)
        first. A missing attribute gives the default; booleans follow JUCE's parsing
        ("1", "true", "yes"... are true), numbers JUCE's number parsing.
    */
    juce::String getMakerString (juce::StringRef key, const juce::String& defaultValue = {});
    int getMakerInt (juce::StringRef key, int defaultValue);
    double getMakerDouble (juce::StringRef key, double defaultValue);
    bool getMakerBool (juce::StringRef key, bool defaultValue);

    juce::String getProductString (juce::StringRef key, const juce::String& defaultValue = {});
    int getProductInt (juce::StringRef key, int defaultValue);
    double getProductDouble (juce::StringRef key, double defaultValue);
    bool getProductBool (juce::StringRef key, bool defaultValue);

    /** Setters change the held element (loading it first when none is held) and, with
        saveNow, write the file. They do not reload a held element: call the matching
        load first when another instance may have written meanwhile. Keys must be valid
        XML attribute names. Return false only when a requested save failed.
    */
    bool setMakerString (const juce::String& key, const juce::String& value, bool saveNow);
    bool setMakerInt (const juce::String& key, int value, bool saveNow);
    bool setMakerDouble (const juce::String& key, double value, bool saveNow);

    bool setProductString (const juce::String& key, const juce::String& value, bool saveNow);
    bool setProductInt (const juce::String& key, int value, bool saveNow);
    bool setProductDouble (const juce::String& key, double value, bool saveNow);

    //==============================================================================
    /** Reloads both files and returns the user settings, each clamped to its range.
        A stored value that is not a number at all (NaN) gives the default.
    */
    UserSettings readStoredSettings();

    /** Reloads the product file, sets the four product keys from the given settings
        (window size clamped, booleans as 0/1) and writes the file once. Maker-wide
        members of the struct are ignored. Returns the result of the write.
    */
    bool saveEditorSettings (const UserSettings& settings);

    /** Reloads the maker-wide file, stores the boolean as 0 or 1 and writes the file:
        what an options-menu toggle does. Returns the result of the write.
    */
    bool writeMakerBool (const juce::String& key, bool value);

    /** Claims the news fetch for every instance of the user, in every process: under
        the settings folder's lock, reloads the product file and, unless the last attempt
        it records lies less than minInterval before (or after) now, records now and
        answers true. A time further in the future than minInterval counts as a clock
        that was put back, not as a reason to wait. Answers false, too, when the time
        cannot be written (a file this store must not write over, a read-only disk):
        without the record every instance would fetch.
    */
    bool claimNewsCheck (juce::Time now, juce::RelativeTime minInterval);

    //==============================================================================
    /** Folders and files. Every call resolves the folder afresh: a symbolic link is
        replaced by its target, and a missing folder is created with its parents.
        (Creating may fail, e.g. on a read-only disk; later reads then give defaults.)
    */
    juce::File getBaseFolder() const;
    juce::File getSettingsFolder() const;
    juce::File getTempFolder() const;
    juce::File getNewsFolder() const;
    juce::File getPresetsFolder() const;

    /** Folders of presets installed for every user (the factory bank), each with the
        same layout below a data folder as the user's presets folder below the base
        folder: <data folder>/<maker key>/Presets/<product key>. Only folders that
        exist are listed, none of them created, and never the user's own folder.

        Data folders: on Linux the "share" folder beside the plug-in's installed
        module (<prefix>/lib/clap/X.clap gives <prefix>/share), then those of
        $XDG_DATA_DIRS (by default /usr/local/share and /usr/share); on macOS
        /Library/Application Support; on Windows the common application data folder
        (C:\ProgramData).
    */
    juce::Array<juce::File> getSystemPresetsFolders() const;

    /** The user's presets folder, then getSystemPresetsFolders(). */
    juce::Array<juce::File> getAllPresetsFolders() const;

    /** The data folders getSystemPresetsFolders() looks in, for a plug-in module at
        moduleFile and the given value of $XDG_DATA_DIRS (empty: unset). */
    static juce::Array<juce::File> getSystemDataFolders (const juce::File& moduleFile, const juce::String& xdgDataDirs);

    juce::File getMakerSettingsFile() const;
    juce::File getProductSettingsFile() const;
    juce::File getNewsFile() const;

    /** The plug-in's own binary (the loaded module, not the host). */
    static juce::File getExecutableFile();

    /** Root tags written into newly created files. */
    juce::String getMakerRootTag() const { return makerKey.toUpperCase() + "_GLOBAL_SETTINGS"; }
    juce::String getProductRootTag() const { return productKey + "_GLOBAL_SETTINGS"; }

    static double clampWindowSize (double scale) noexcept;
    static double clampImageOffset (double offset) noexcept;

private:
    //==============================================================================
    juce::XmlElement& makerElement();
    juce::XmlElement& productElement();

    static juce::XmlElement* loadInto (std::unique_ptr<juce::XmlElement>& held,
                                       bool& mayWrite,
                                       const juce::File& file,
                                       const juce::String& rootTag,
                                       bool sortAttributes);
    static bool saveTo (const juce::XmlElement& element, bool mayWrite, const juce::File& file);

    const juce::String productKey;
    const juce::String makerKey;
    std::unique_ptr<juce::XmlElement> productSettings;
    std::unique_ptr<juce::XmlElement> makerSettings;

    /** False after a load found content it could not read: the file is kept as it is. */
    bool productFileWritable = true;
    bool makerFileWritable = true;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (OrvelSettings)
};

} // namespace orvel
