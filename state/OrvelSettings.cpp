#include "state/OrvelSettings.h"

#include "state/FileAccess.h"
#include "state/UntrustedXml.h"

#include <algorithm>
#include <cmath>
#include <set>
#include <string>
#include <vector>

namespace orvel
{

namespace
{
    juce::File resolveFolder (const juce::File& path)
    {
        auto folder = path.isSymbolicLink() ? path.getLinkedTarget() : path;

        if (! folder.exists())
            folder.createDirectory();

        return folder;
    }

    juce::File platformBaseLocation()
    {
#if JUCE_LINUX || JUCE_BSD
        // JUCE's common documents folder is /opt here, which users cannot write.
        auto home = juce::File::getSpecialLocation (juce::File::userHomeDirectory);

        if (home == juce::File())
            home = juce::File ("/tmp"); // no HOME and no password entry: still somewhere writable

        return home.getChildFile (".local").getChildFile ("share");
#else
        return juce::File::getSpecialLocation (juce::File::commonDocumentsDirectory);
#endif
    }

    /** An attribute value as XML text: what JUCE's writer escapes, and control
        characters as numeric references. Built in a std::string: appending to a
        juce::String measures the whole text again each time. */
    void appendEscaped (std::string& text, const juce::String& value)
    {
        for (const auto* p = value.toRawUTF8(); *p != 0; ++p)
        {
            switch (*p)
            {
                case '&':
                    text += "&amp;";
                    break;
                case '"':
                    text += "&quot;";
                    break;
                case '\'':
                    text += "&apos;";
                    break;
                case '<':
                    text += "&lt;";
                    break;
                case '>':
                    text += "&gt;";
                    break;
                default:
                    if ((unsigned char) *p < 32)
                        text += "&#" + std::to_string ((int) *p) + ";";
                    else
                        text += *p;
            }
        }
    }

    /** The element with its attributes in alphabetical order ignoring case, of two
        with the same name the first, and no children.

        JUCE keeps attributes in a linked list and setAttribute() looks for an
        existing one first, so reading them by index or adding them one by one costs
        n² steps: seconds for every load of a file with a few thousand settings. So
        the attributes are taken off the front of a copy, and the sorted element is
        parsed from text, which appends them in one pass. */
    std::unique_ptr<juce::XmlElement> withSortedAttributes (const juce::XmlElement& source)
    {
        juce::XmlElement remaining (source);
        std::vector<std::pair<juce::String, juce::String>> attributes;
        std::set<juce::String> seen;
        auto unchanged = source.getFirstChildElement() == nullptr;

        for (;;)
        {
            const auto name = remaining.getAttributeName (0); // empty once none is left

            if (name.isEmpty())
                break;

            if (seen.insert (name).second)
                attributes.emplace_back (name, remaining.getAttributeValue (0));
            else
                unchanged = false;

            remaining.removeAttribute (name);
        }

        const auto inOrder = [] (const auto& a, const auto& b)
        { return a.first.compareIgnoreCase (b.first) < 0; };

        // What this store wrote is in order already: a plain copy does.
        if (unchanged && std::is_sorted (attributes.begin(), attributes.end(), inOrder))
            return std::make_unique<juce::XmlElement> (source);

        // Stable, so two names that differ only in case keep their file order.
        std::stable_sort (attributes.begin(), attributes.end(), inOrder);

        std::string text = "<" + source.getTagName().toStdString();

        for (const auto& [name, value] : attributes)
        {
            text += " " + name.toStdString() + "=\"";
            appendEscaped (text, value);
            text += "\"";
        }

        text += "/>";

        if (auto sorted = juce::parseXML (juce::String::fromUTF8 (text.data(), (int) text.size())))
            return sorted;

        return std::make_unique<juce::XmlElement> (source.getTagName());
    }

    /** jlimit lets NaN through unchanged; a stored "nan" must not become a window scale. */
    double numberOr (double value, double fallback) noexcept
    {
        return std::isnan (value) ? fallback : value;
    }
} // namespace

//==============================================================================
OrvelSettings::OrvelSettings (const juce::String& productName, const juce::String& makerName)
    : productKey (productName.removeCharacters (" ")),
      makerKey (makerName.removeCharacters (" "))
{
}

//==============================================================================
juce::XmlElement* OrvelSettings::loadInto (std::unique_ptr<juce::XmlElement>& held,
                                           bool& mayWrite,
                                           const juce::File& file,
                                           const juce::String& rootTag,
                                           bool sortAttributes)
{
    const auto read = readRegularFile (file, maxUntrustedXmlBytes);

    if (read.status == FileReadResult::Status::missing)
        file.create();

    held.reset();

    if (read.isRead())
        if (const auto text = decodeUntrustedText (read.bytes.getData(), read.bytes.getSize()))
            held = parseUntrustedXml (*text);

    // Only what was read and understood, or nothing at all, may be written over.
    mayWrite = held != nullptr || read.status == FileReadResult::Status::missing
               || (read.isRead() && read.bytes.isEmpty());

    if (held == nullptr)
        held = std::make_unique<juce::XmlElement> (rootTag);

    if (sortAttributes)
        held = withSortedAttributes (*held);

    return held.get();
}

bool OrvelSettings::saveTo (const juce::XmlElement& element, bool mayWrite, const juce::File& file)
{
    return mayWrite && writeXmlFile (element, file) == FileWriteResult::written;
}

juce::XmlElement* OrvelSettings::loadMakerSettings (bool sortAttributes)
{
    return loadInto (makerSettings, makerFileWritable, getMakerSettingsFile(), getMakerRootTag(), sortAttributes);
}

juce::XmlElement* OrvelSettings::loadProductSettings (bool sortAttributes)
{
    return loadInto (productSettings, productFileWritable, getProductSettingsFile(), getProductRootTag(), sortAttributes);
}

bool OrvelSettings::saveMakerSettings()
{
    return saveTo (makerElement(), makerFileWritable, getMakerSettingsFile());
}

bool OrvelSettings::saveProductSettings()
{
    return saveTo (productElement(), productFileWritable, getProductSettingsFile());
}

juce::XmlElement& OrvelSettings::makerElement()
{
    if (makerSettings == nullptr)
        loadMakerSettings (true);

    return *makerSettings;
}

juce::XmlElement& OrvelSettings::productElement()
{
    if (productSettings == nullptr)
        loadProductSettings (true);

    return *productSettings;
}

//==============================================================================
juce::String OrvelSettings::getMakerString (juce::StringRef key, const juce::String& defaultValue)
{
    return makerElement().getStringAttribute (key, defaultValue);
}

int OrvelSettings::getMakerInt (juce::StringRef key, int defaultValue)
{
    return makerElement().getIntAttribute (key, defaultValue);
}

double OrvelSettings::getMakerDouble (juce::StringRef key, double defaultValue)
{
    return makerElement().getDoubleAttribute (key, defaultValue);
}

bool OrvelSettings::getMakerBool (juce::StringRef key, bool defaultValue)
{
    return makerElement().getBoolAttribute (key, defaultValue);
}

juce::String OrvelSettings::getProductString (juce::StringRef key, const juce::String& defaultValue)
{
    return productElement().getStringAttribute (key, defaultValue);
}

int OrvelSettings::getProductInt (juce::StringRef key, int defaultValue)
{
    return productElement().getIntAttribute (key, defaultValue);
}

double OrvelSettings::getProductDouble (juce::StringRef key, double defaultValue)
{
    return productElement().getDoubleAttribute (key, defaultValue);
}

bool OrvelSettings::getProductBool (juce::StringRef key, bool defaultValue)
{
    return productElement().getBoolAttribute (key, defaultValue);
}

//==============================================================================
bool OrvelSettings::setMakerString (const juce::String& key, const juce::String& value, bool saveNow)
{
    makerElement().setAttribute (key, value);
    return ! saveNow || saveMakerSettings();
}

bool OrvelSettings::setMakerInt (const juce::String& key, int value, bool saveNow)
{
    makerElement().setAttribute (key, value);
    return ! saveNow || saveMakerSettings();
}

bool OrvelSettings::setMakerDouble (const juce::String& key, double value, bool saveNow)
{
    makerElement().setAttribute (key, value);
    return ! saveNow || saveMakerSettings();
}

bool OrvelSettings::setProductString (const juce::String& key, const juce::String& value, bool saveNow)
{
    productElement().setAttribute (key, value);
    return ! saveNow || saveProductSettings();
}

bool OrvelSettings::setProductInt (const juce::String& key, int value, bool saveNow)
{
    productElement().setAttribute (key, value);
    return ! saveNow || saveProductSettings();
}

bool OrvelSettings::setProductDouble (const juce::String& key, double value, bool saveNow)
{
    productElement().setAttribute (key, value);
    return ! saveNow || saveProductSettings();
}

//==============================================================================
double OrvelSettings::clampWindowSize (double scale) noexcept
{
    return juce::jlimit (minWindowSize, maxWindowSize, numberOr (scale, 1.0));
}

double OrvelSettings::clampImageOffset (double offset) noexcept
{
    return juce::jlimit (minImageOffset, maxImageOffset, numberOr (offset, 0.0));
}

UserSettings OrvelSettings::readStoredSettings()
{
    UserSettings settings;

    loadMakerSettings (true);
    settings.leftHandedMouse = getMakerBool (leftHandedMouseKey, false);
    settings.accelerateGui = getMakerBool (accelerateGuiKey, false);

    loadProductSettings (true);
    settings.windowSize = clampWindowSize (getProductDouble (windowSizeKey, 1.0));
    settings.brightness = (float) clampImageOffset (getProductDouble (brightnessKey, 0.0));
    settings.contrast = (float) clampImageOffset (getProductDouble (contrastKey, 0.0));
    settings.envelopeLinear = getProductBool (envelopeLinearKey, false);

    return settings;
}

bool OrvelSettings::saveEditorSettings (const UserSettings& settings)
{
    const ScopedFolderLock lock (getSettingsFolder());
    loadProductSettings (true);
    setProductDouble (windowSizeKey, clampWindowSize (settings.windowSize), false);
    setProductDouble (brightnessKey, (double) settings.brightness, false);
    setProductDouble (contrastKey, (double) settings.contrast, false);
    setProductInt (envelopeLinearKey, settings.envelopeLinear ? 1 : 0, false);
    return saveProductSettings();
}

bool OrvelSettings::writeMakerBool (const juce::String& key, bool value)
{
    const ScopedFolderLock lock (getSettingsFolder());
    loadMakerSettings (true);
    setMakerInt (key, value ? 1 : 0, false);
    return saveMakerSettings();
}

bool OrvelSettings::claimNewsCheck (juce::Time now, juce::RelativeTime minInterval)
{
    const ScopedFolderLock lock (getSettingsFolder());
    loadProductSettings (true);

    // Anything but a number reads as 1970: long enough ago.
    const juce::Time lastAttempt (getProductString (lastNewsCheckKey).getLargeIntValue());
    const auto sinceLastAttempt = std::abs ((now - lastAttempt).inMilliseconds());

    if (sinceLastAttempt < minInterval.inMilliseconds())
        return false;

    setProductString (lastNewsCheckKey, juce::String (now.toMilliseconds()), false);
    return saveProductSettings();
}

//==============================================================================
juce::File OrvelSettings::getBaseFolder() const
{
    return resolveFolder (platformBaseLocation().getChildFile (makerKey));
}

juce::File OrvelSettings::getSettingsFolder() const
{
    return resolveFolder (getBaseFolder().getChildFile ("Settings"));
}

juce::File OrvelSettings::getTempFolder() const
{
    return resolveFolder (getBaseFolder().getChildFile ("Temp"));
}

juce::File OrvelSettings::getNewsFolder() const
{
    return resolveFolder (getTempFolder().getChildFile ("News"));
}

juce::File OrvelSettings::getPresetsFolder() const
{
    return resolveFolder (getBaseFolder().getChildFile ("Presets").getChildFile (productKey));
}

juce::Array<juce::File> OrvelSettings::getSystemDataFolders (const juce::File& moduleFile, const juce::String& xdgDataDirs)
{
    juce::Array<juce::File> dataFolders;

#if JUCE_LINUX || JUCE_BSD
    // Installed under any prefix, the module sits in <prefix>/lib/clap (or lib64/clap)
    // and the presets in <prefix>/share; the per-user ~/.clap has no such sibling.
    const auto moduleFolder = moduleFile.getParentDirectory();

    if (moduleFolder.getFileName() == "clap")
        dataFolders.add (moduleFolder.getParentDirectory().getSiblingFile ("share"));

    // The XDG base directory rules: system data folders, most important first.
    for (const auto& path : juce::StringArray::fromTokens (xdgDataDirs.isEmpty() ? "/usr/local/share:/usr/share" : xdgDataDirs, ":", ""))
        if (juce::File::isAbsolutePath (path))
            dataFolders.addIfNotAlreadyThere (juce::File (path));
#elif JUCE_MAC
    juce::ignoreUnused (moduleFile, xdgDataDirs);
    dataFolders.add (juce::File ("/Library/Application Support"));
#else
    juce::ignoreUnused (moduleFile, xdgDataDirs);
    dataFolders.add (juce::File::getSpecialLocation (juce::File::commonApplicationDataDirectory));
#endif

    return dataFolders;
}

juce::Array<juce::File> OrvelSettings::getSystemPresetsFolders() const
{
    const auto dataFolders = getSystemDataFolders (getExecutableFile(), juce::SystemStats::getEnvironmentVariable ("XDG_DATA_DIRS", {}));
    const auto userFolder = getPresetsFolder();
    juce::Array<juce::File> folders;

    for (const auto& dataFolder : dataFolders)
    {
        const auto folder = dataFolder.getChildFile (makerKey).getChildFile ("Presets").getChildFile (productKey);

        if (folder.isDirectory() && folder != userFolder)
            folders.addIfNotAlreadyThere (folder);
    }

    return folders;
}

juce::Array<juce::File> OrvelSettings::getAllPresetsFolders() const
{
    auto folders = getSystemPresetsFolders();
    folders.insert (0, getPresetsFolder());
    return folders;
}

juce::File OrvelSettings::getMakerSettingsFile() const
{
    return getSettingsFolder().getChildFile (makerKey + ".kvs");
}

juce::File OrvelSettings::getProductSettingsFile() const
{
    return getSettingsFolder().getChildFile (productKey + ".kvs");
}

juce::File OrvelSettings::getNewsFile() const
{
    return getNewsFolder().getChildFile (productKey + ".kvn");
}

juce::File OrvelSettings::getExecutableFile()
{
    return juce::File::getSpecialLocation (juce::File::currentExecutableFile);
}

} // namespace orvel
