#include "state/OrvelSettings.h"

#include "state/UntrustedXml.h"

#include <algorithm>
#include <cmath>

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

    std::unique_ptr<juce::XmlElement> withSortedAttributes (const juce::XmlElement& source)
    {
        juce::StringArray names;

        for (int i = 0; i < source.getNumAttributes(); ++i)
            names.add (source.getAttributeName (i));

        // Stable, so two names that differ only in case keep their file order.
        std::stable_sort (names.begin(), names.end(), [] (const juce::String& a, const juce::String& b)
                          { return a.compareIgnoreCase (b) < 0; });

        auto sorted = std::make_unique<juce::XmlElement> (source.getTagName());

        for (auto& name : names)
            sorted->setAttribute (name, source.getStringAttribute (name));

        return sorted;
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
                                           const juce::File& file,
                                           const juce::String& rootTag,
                                           bool sortAttributes)
{
    if (! file.exists())
        file.create();

    held = readUntrustedXmlFile (file);

    if (held == nullptr)
        held = std::make_unique<juce::XmlElement> (rootTag);

    if (sortAttributes)
        held = withSortedAttributes (*held);

    return held.get();
}

juce::XmlElement* OrvelSettings::loadMakerSettings (bool sortAttributes)
{
    return loadInto (makerSettings, getMakerSettingsFile(), getMakerRootTag(), sortAttributes);
}

juce::XmlElement* OrvelSettings::loadProductSettings (bool sortAttributes)
{
    return loadInto (productSettings, getProductSettingsFile(), getProductRootTag(), sortAttributes);
}

bool OrvelSettings::saveMakerSettings()
{
    return makerElement().writeTo (getMakerSettingsFile());
}

bool OrvelSettings::saveProductSettings()
{
    return productElement().writeTo (getProductSettingsFile());
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
    loadProductSettings (true);
    setProductDouble (windowSizeKey, clampWindowSize (settings.windowSize), false);
    setProductDouble (brightnessKey, (double) settings.brightness, false);
    setProductDouble (contrastKey, (double) settings.contrast, false);
    setProductInt (envelopeLinearKey, settings.envelopeLinear ? 1 : 0, false);
    return saveProductSettings();
}

bool OrvelSettings::writeMakerBool (const juce::String& key, bool value)
{
    loadMakerSettings (true);
    setMakerInt (key, value ? 1 : 0, false);
    return saveMakerSettings();
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
