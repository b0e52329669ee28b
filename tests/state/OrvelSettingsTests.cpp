#include "state/FileAccess.h"
#include "state/OrvelSettings.h"
#include "state/UntrustedXml.h"
#include "tests/support/TemporaryHome.h"

#include <gtest/gtest.h>

#include <atomic>
#include <optional>
#include <thread>

#if JUCE_LINUX || JUCE_BSD || JUCE_MAC
#include <sys/stat.h>
#endif

namespace
{

using orvel::OrvelSettings;
using orvel::UserSettings;

class SettingsTest : public wrendle_test::TemporaryHomeTest
{
protected:
    juce::File expectedBase() const { return base(); }
    juce::File productFile() const { return productSettingsFile(); }
    juce::File makerFile() const { return makerSettingsFile(); }

    static void writeFile (const juce::File& file, const juce::String& text) { writeText (file, text); }

    /** Files written by the store are read back with the same limits the store
        applies, so a store that wrote hostile content back is caught here rather
        than handed to a permissive parser. */
    static std::unique_ptr<juce::XmlElement> readBack (const juce::File& file) { return orvel::readUntrustedXmlFile (file); }

    static juce::StringArray attributeNames (const juce::XmlElement& element)
    {
        juce::StringArray names;

        for (int i = 0; i < element.getNumAttributes(); ++i)
            names.add (element.getAttributeName (i));

        return names;
    }
};

//==============================================================================
TEST_F (SettingsTest, EveryFolderIsCreatedOnRequestWithTheSameLayoutBelowTheBaseFolder)
{
    ASSERT_FALSE (expectedBase().exists());

    OrvelSettings settings;

    struct Case
    {
        juce::File actual;
        const char* relativePath;
    };

    const Case folders[] = {
        { settings.getBaseFolder(), "" },
        { settings.getSettingsFolder(), "Settings" },
        { settings.getTempFolder(), "Temp" },
        { settings.getNewsFolder(), "Temp/News" },
        { settings.getPresetsFolder(), "Presets/WrendleFold" },
    };

    for (const auto& folder : folders)
    {
        SCOPED_TRACE (folder.relativePath);
        EXPECT_EQ (folder.actual, expectedBase().getChildFile (folder.relativePath));
        EXPECT_TRUE (folder.actual.isDirectory());
    }

    EXPECT_EQ (settings.getMakerSettingsFile(), makerFile());
    EXPECT_EQ (settings.getProductSettingsFile(), productFile());
    EXPECT_EQ (settings.getNewsFile(), expectedBase().getChildFile ("Temp/News/WrendleFold.kvn"));
}

TEST_F (SettingsTest, ABaseFolderThatIsASymbolicLinkIsUsedThroughItsTarget)
{
    const auto target = home.getChildFile ("elsewhere/KestrivaneData");
    ASSERT_TRUE (target.createDirectory());
    ASSERT_TRUE (expectedBase().getParentDirectory().createDirectory());
    ASSERT_TRUE (target.createSymbolicLink (expectedBase(), false));

    OrvelSettings settings;

    EXPECT_EQ (settings.getBaseFolder(), target);
    EXPECT_EQ (settings.getSettingsFolder(), target.getChildFile ("Settings"));
    EXPECT_TRUE (target.getChildFile ("Settings").isDirectory());
}

//==============================================================================
TEST_F (SettingsTest, StoredScaleBrightnessAndContrastAreClampedToTheirRanges)
{
    struct Case
    {
        const char* key;
        const char* stored;
        double expected;
    };

    const Case cases[] = {
        { "WindowSize", "3.5", 2.0 },
        { "WindowSize", "-1", 0.5 },
        { "WindowSize", "1.25", 1.25 },
        { "WindowSize", "nan", 1.0 }, // NaN would slip through a plain clamp
        { "WindowSize", "abc", 0.5 }, // parses as 0
        { "Brightness", "0.9", 0.5 },
        { "Brightness", "-0.75", -0.5 },
        { "Brightness", "0.25", 0.25 },
        { "Contrast", "-2", -0.5 },
        { "Contrast", "-0.125", -0.125 },
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (juce::String (c.key) + "=" + c.stored);
        writeFile (productFile(), juce::String ("<WrendleFold_GLOBAL_SETTINGS ") + c.key + "=\"" + c.stored + "\"/>");

        const auto stored = OrvelSettings().readStoredSettings();
        const auto actual = juce::String (c.key) == "WindowSize"   ? stored.windowSize
                            : juce::String (c.key) == "Brightness" ? (double) stored.brightness
                                                                   : (double) stored.contrast;
        EXPECT_FLOAT_EQ ((float) actual, (float) c.expected);
    }
}

TEST_F (SettingsTest, MakerBooleansFollowJuceBooleanParsing)
{
    struct Case
    {
        const char* stored;
        bool expected;
    };

    const Case cases[] = { { "false", false }, { "yes", true }, { "0", false }, { "1", true }, { "True", true }, { "no", false }, { " 1", true } };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.stored);
        writeFile (makerFile(), juce::String ("<KESTRIVANE_GLOBAL_SETTINGS KV-pn1=\"") + c.stored + "\" KV-LHMouse=\"" + c.stored + "\"/>");

        OrvelSettings settings;
        EXPECT_EQ (settings.getMakerBool (OrvelSettings::newsNotificationsKey, true), c.expected);
        EXPECT_EQ (settings.readStoredSettings().leftHandedMouse, c.expected);
    }
}

//==============================================================================
TEST_F (SettingsTest, UnreadableSettingsFilesGiveDefaultsAndOnlyMissingOrEmptyOnesAreWritten)
{
    juce::MemoryBlock binary (4096);
    juce::Random random (42);

    for (size_t i = 0; i < binary.getSize(); ++i)
        binary[i] = (char) random.nextInt (256);

    // Well-formed, small enough to be read, and deep enough to overflow a recursive parser.
    const auto deep = "<WrendleFold_GLOBAL_SETTINGS WindowSize=\"1.5\">" + juce::String::repeatedString ("<a>", 30000)
                      + juce::String::repeatedString ("</a>", 30000) + "</WrendleFold_GLOBAL_SETTINGS>";

    const auto huge = "<WrendleFold_GLOBAL_SETTINGS WindowSize=\"1.5\" Padding=\""
                      + juce::String::repeatedString ("x", 400 * 1024) + "\"/>";

    juce::String entityBomb ("<?xml version=\"1.0\"?>\n<!DOCTYPE s [\n<!ENTITY e0 \"1.5\">\n");

    for (int level = 1; level <= 9; ++level)
        entityBomb << "<!ENTITY e" << level << " \"" << juce::String::repeatedString ("&e" + juce::String (level - 1) + ";", 10) << "\">\n";

    entityBomb << "]>\n<WrendleFold_GLOBAL_SETTINGS WindowSize=\"&e9;\"/>";

    struct Case
    {
        const char* name;
        std::optional<juce::MemoryBlock> content; // nothing: no file at all
        bool written;                             // whether a save may replace it
    };

    const auto text = [] (const juce::String& s)
    { return juce::MemoryBlock (s.toRawUTF8(), s.getNumBytesAsUTF8()); };

    auto invalidUtf8 = text ("<WrendleFold_GLOBAL_SETTINGS WindowSize=\"1.5\"/>");
    invalidUtf8.append ("\xff\xfe\xc0", 3); // stray bytes after the element

    // A file with content that cannot be read may be what a newer version wrote, or
    // one that was read at a bad moment: a save must not put defaults over it.
    const Case cases[] = {
        { "missing", std::nullopt, true },
        { "empty", juce::MemoryBlock(), true },
        { "binary", binary, false },
        { "not XML", text ("WindowSize=1.5"), false },
        { "invalid UTF-8", invalidUtf8, false },
        { "deeply nested", text (deep), false },
        { "huge", text (huge), false },
        { "entity bomb", text (entityBomb), false },
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.name);
        productFile().deleteFile();
        makerFile().deleteFile();

        if (c.content.has_value())
        {
            writeBytes (productFile(), *c.content);
            writeBytes (makerFile(), *c.content);
        }

        OrvelSettings settings;
        const auto stored = settings.readStoredSettings();
        EXPECT_EQ (stored.windowSize, 1.0);
        EXPECT_EQ (stored.brightness, 0.0f);
        EXPECT_EQ (stored.contrast, 0.0f);
        EXPECT_FALSE (stored.envelopeLinear);
        EXPECT_FALSE (stored.leftHandedMouse);
        EXPECT_TRUE (settings.getMakerBool (OrvelSettings::newsNotificationsKey, true));

        EXPECT_EQ (settings.saveEditorSettings ({ 1.5, 0.25f, -0.125f, false, false, true }), c.written);
        EXPECT_EQ (settings.writeMakerBool (OrvelSettings::leftHandedMouseKey, true), c.written);

        // Refused or not, the values are held for this session.
        EXPECT_EQ (settings.getProductDouble (OrvelSettings::windowSizeKey, 1.0), 1.5);
        EXPECT_TRUE (settings.getMakerBool (OrvelSettings::leftHandedMouseKey, false));

        if (! c.written)
        {
            juce::MemoryBlock productAfter, makerAfter;
            ASSERT_TRUE (productFile().loadFileAsData (productAfter));
            ASSERT_TRUE (makerFile().loadFileAsData (makerAfter));
            EXPECT_TRUE (productAfter == *c.content);
            EXPECT_TRUE (makerAfter == *c.content);
            continue;
        }

        const auto product = readBack (productFile());
        ASSERT_NE (product, nullptr);
        EXPECT_EQ (product->getTagName(), "WrendleFold_GLOBAL_SETTINGS");
        auto productNames = attributeNames (*product);
        productNames.sort (true);
        EXPECT_EQ (productNames.joinIntoString (","), "Brightness,Contrast,EnvelopeLinear,WindowSize");

        const auto maker = readBack (makerFile());
        ASSERT_NE (maker, nullptr);
        EXPECT_EQ (maker->getTagName(), "KESTRIVANE_GLOBAL_SETTINGS");
        EXPECT_EQ (attributeNames (*maker).joinIntoString (","), "KV-LHMouse");

        const auto reread = OrvelSettings().readStoredSettings();
        EXPECT_EQ (reread.windowSize, 1.5);
        EXPECT_EQ (reread.brightness, 0.25f);
        EXPECT_EQ (reread.contrast, -0.125f);
        EXPECT_TRUE (reread.envelopeLinear);
        EXPECT_TRUE (reread.leftHandedMouse);
    }
}

TEST_F (SettingsTest, UnusualButWellFormedSettingsFilesAreRead)
{
    const auto utf16 = [] (const juce::String& s)
    {
        juce::MemoryOutputStream out;
        out.writeText (s, true, true, nullptr);
        return out.getMemoryBlock();
    };

    const auto utf8 = [] (const juce::String& s)
    { return juce::MemoryBlock (s.toRawUTF8(), s.getNumBytesAsUTF8()); };

    struct Case
    {
        const char* name;
        juce::MemoryBlock content;
    };

    const Case cases[] = {
        { "UTF-16 with byte-order mark", utf16 ("<WrendleFold_GLOBAL_SETTINGS WindowSize=\"1.5\"/>") },
        { "UTF-8 with byte-order mark", utf8 (juce::String::fromUTF8 ("\xef\xbb\xbf") + "<x WindowSize=\"1.5\"/>") },
        { "markup inside a quoted value", utf8 ("<x Note=\"a>b/<c\" WindowSize=\"1.5\"/>") },
        { "comment and child", utf8 ("<?xml version=\"1.0\"?><!-- kept by hand --><x WindowSize=\"1.5\"><y/></x>") },
        { "foreign root tag", utf8 ("<SomethingElse WindowSize=\"1.5\"/>") },
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.name);
        writeBytes (productFile(), c.content);
        EXPECT_EQ (OrvelSettings().readStoredSettings().windowSize, 1.5);
    }
}

//==============================================================================
TEST_F (SettingsTest, AttributesAreHeldAndWrittenInAlphabeticalOrderIgnoringCase)
{
    writeFile (productFile(), "<WrendleFold_GLOBAL_SETTINGS WindowSize=\"1.5\" Contrast=\"0.1\" Brightness=\"0.2\" apple=\"x\">"
                              "<child/></WrendleFold_GLOBAL_SETTINGS>");

    OrvelSettings settings;
    const auto* held = settings.loadProductSettings (true);
    EXPECT_EQ (attributeNames (*held).joinIntoString (","), "apple,Brightness,Contrast,WindowSize");
    EXPECT_EQ (held->getNumChildElements(), 0);

    ASSERT_TRUE (settings.saveProductSettings());
    const auto written = productFile().loadFileAsString();
    const auto appleAt = written.indexOf ("apple=");
    const auto brightnessAt = written.indexOf ("Brightness=");
    const auto contrastAt = written.indexOf ("Contrast=");
    const auto windowSizeAt = written.indexOf ("WindowSize=");

    EXPECT_TRUE (written.startsWith ("<?xml"));
    EXPECT_GE (appleAt, 0);
    EXPECT_LT (appleAt, brightnessAt);
    EXPECT_LT (brightnessAt, contrastAt);
    EXPECT_LT (contrastAt, windowSizeAt);
    EXPECT_FALSE (written.contains ("child"));
}

TEST_F (SettingsTest, TogglingAfterTheMakerFileWasDeletedWritesANewFileWithOnlyThatSetting)
{
    writeFile (makerFile(), "<KESTRIVANE_GLOBAL_SETTINGS KV-AccelerateGUI=\"1\"/>");

    OrvelSettings settings;
    ASSERT_TRUE (settings.readStoredSettings().accelerateGui);

    ASSERT_TRUE (makerFile().deleteFile());
    ASSERT_TRUE (settings.writeMakerBool (OrvelSettings::leftHandedMouseKey, true));

    const auto maker = readBack (makerFile());
    ASSERT_NE (maker, nullptr);
    EXPECT_EQ (maker->getTagName(), "KESTRIVANE_GLOBAL_SETTINGS");
    EXPECT_EQ (attributeNames (*maker).joinIntoString (","), "KV-LHMouse");
    EXPECT_EQ (maker->getStringAttribute ("KV-LHMouse"), "1");
}

TEST_F (SettingsTest, ChangesWrittenByAnotherInstanceSurviveThisInstancesChanges)
{
    OrvelSettings first;
    OrvelSettings second;
    first.readStoredSettings(); // both files now held by the first instance
    second.readStoredSettings();

    ASSERT_TRUE (second.writeMakerBool (OrvelSettings::accelerateGuiKey, true));
    ASSERT_TRUE (second.setProductString ("LastPreset", "Init", true));

    ASSERT_TRUE (first.writeMakerBool (OrvelSettings::leftHandedMouseKey, true));
    ASSERT_TRUE (first.saveEditorSettings ({ 1.25, 0.0f, 0.0f, false, false, false }));

    OrvelSettings reader;
    const auto stored = reader.readStoredSettings();
    EXPECT_TRUE (stored.accelerateGui);
    EXPECT_TRUE (stored.leftHandedMouse);
    EXPECT_EQ (stored.windowSize, 1.25);
    EXPECT_EQ (reader.getProductString ("LastPreset"), "Init");
}

TEST_F (SettingsTest, EditorSettingsRoundTripWithTheScaleClampedOnSave)
{
    OrvelSettings settings;
    ASSERT_TRUE (settings.saveEditorSettings ({ 3.0, 0.2f, -0.3f, true, true, true }));

    const auto product = readBack (productFile());
    ASSERT_NE (product, nullptr);
    EXPECT_EQ (product->getStringAttribute ("EnvelopeLinear"), "1");
    EXPECT_EQ (product->getDoubleAttribute ("WindowSize"), 2.0);
    EXPECT_FALSE (product->hasAttribute ("KV-LHMouse")); // maker-wide members are not product settings

    const auto stored = OrvelSettings().readStoredSettings();
    EXPECT_EQ (stored.windowSize, 2.0);
    EXPECT_EQ (stored.brightness, 0.2f);
    EXPECT_EQ (stored.contrast, -0.3f);
    EXPECT_TRUE (stored.envelopeLinear);
    EXPECT_TRUE (stored.needsImageAdjustment());
}

TEST_F (SettingsTest, ASaveThatCannotReplaceTheFileReportsFailureAndKeepsTheValueInMemory)
{
    OrvelSettings settings;
    // A non-empty folder where the file should be: nothing can replace it.
    ASSERT_TRUE (productFile().getChildFile ("keep").create());

    EXPECT_FALSE (settings.setProductDouble (OrvelSettings::windowSizeKey, 1.5, true));
    EXPECT_EQ (settings.getProductDouble (OrvelSettings::windowSizeKey, 1.0), 1.5);

    // The temporary file of the failed write is cleaned up.
    juce::StringArray leftovers;

    for (const auto& file : settings.getSettingsFolder().findChildFiles (juce::File::findFiles, false))
        leftovers.add (file.getFileName());

    EXPECT_TRUE (leftovers.isEmpty()) << leftovers.joinIntoString (", ");
}

//==============================================================================
TEST_F (SettingsTest, AReaderRacingAWriterAlwaysReadsAWholeFile)
{
    // Two versions of the file of different lengths, each written by renaming a new
    // file over the old one. A read that took the new file's length for the old
    // file's content would cut it short, fail to parse and give defaults.
    const auto longPadding = juce::String::repeatedString ("x", 2000);
    writeFile (productFile(), "<WrendleFold_GLOBAL_SETTINGS WindowSize=\"1.5\"/>");

    std::atomic<bool> reading { true };
    std::thread writer ([&]
                        {
        OrvelSettings store;
        store.loadProductSettings (false);

        for (int i = 0; reading.load(); ++i)
            store.setProductString ("Padding", i % 2 == 0 ? longPadding : juce::String(), true); });

    OrvelSettings reader;
    int wholeReads = 0;
    constexpr int numReads = 20000;

    for (int i = 0; i < numReads; ++i)
        if (reader.loadProductSettings (false)->getDoubleAttribute (OrvelSettings::windowSizeKey) == 1.5)
            ++wholeReads;

    reading = false;
    writer.join();
    EXPECT_EQ (wholeReads, numReads);
}

TEST_F (SettingsTest, ASettingsFileReachedThroughASymbolicLinkIsWrittenThroughIt)
{
    const auto target = home.getChildFile ("dotfiles/WrendleFold.kvs");
    writeFile (target, "<WrendleFold_GLOBAL_SETTINGS Brightness=\"0.25\"/>");
    ASSERT_TRUE (productFile().getParentDirectory().createDirectory());
    ASSERT_TRUE (target.createSymbolicLink (productFile(), false));

    OrvelSettings settings;
    ASSERT_TRUE (settings.saveEditorSettings ({ 1.25, 0.25f, 0.0f, false, false, false }));

    EXPECT_TRUE (productFile().isSymbolicLink());
    EXPECT_EQ (productFile().getLinkedTarget(), target);
    EXPECT_EQ (OrvelSettings().readStoredSettings().windowSize, 1.25);
    EXPECT_TRUE (target.loadFileAsString().contains ("WindowSize=\"1.25\""));
}

TEST_F (SettingsTest, SpecialFilesNamedLikeSettingsFilesAreNeitherOpenedNorReplaced)
{
#if JUCE_LINUX || JUCE_BSD
    ASSERT_TRUE (productFile().getParentDirectory().createDirectory());

    struct Case
    {
        const char* name;
        std::function<bool (const juce::File&)> make;
    };

    const Case cases[] = {
        // Opened for reading, a FIFO would block until another process writes into it.
        { "FIFO", [] (const juce::File& file)
          { return ::mkfifo (file.getFullPathName().toRawUTF8(), 0600) == 0; } },
        { "link to a device", [] (const juce::File& file)
          { return juce::File ("/dev/zero").createSymbolicLink (file, false); } },
        { "folder", [] (const juce::File& file)
          { return file.createDirectory().wasOk(); } },
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.name);
        productFile().deleteRecursively();
        ASSERT_TRUE (c.make (productFile()));

        OrvelSettings settings;
        EXPECT_EQ (settings.readStoredSettings().windowSize, 1.0);
        EXPECT_FALSE (settings.saveEditorSettings ({ 1.5, 0.0f, 0.0f, false, false, false }));
        EXPECT_EQ (orvel::readRegularFile (productFile(), 1024).status, orvel::FileReadResult::Status::notRegular);
    }

    productFile().deleteRecursively();
#else
    GTEST_SKIP() << "FIFOs and device files are POSIX ones";
#endif
}

TEST_F (SettingsTest, TwoProcessesWritingDistinctSettingsAtOnceKeepAllOfThem)
{
    constexpr int writesEach = 2000;
    juce::ChildProcess first, second;

    // Both write into the maker-wide file of this test's HOME, which they inherit.
    ASSERT_TRUE (first.start (juce::StringArray { WRENDLE_SETTINGS_WRITER, "First", juce::String (writesEach) }, 0));
    ASSERT_TRUE (second.start (juce::StringArray { WRENDLE_SETTINGS_WRITER, "Second", juce::String (writesEach) }, 0));

    ASSERT_TRUE (first.waitForProcessToFinish (300000));
    ASSERT_TRUE (second.waitForProcessToFinish (300000));
    EXPECT_EQ (first.getExitCode(), 0u);
    EXPECT_EQ (second.getExitCode(), 0u);

    OrvelSettings reader;
    const auto* maker = reader.loadMakerSettings (false);
    int kept = 0;

    for (const auto* prefix : { "First", "Second" })
        for (int i = 0; i < writesEach; ++i)
            if (maker->getBoolAttribute (prefix + juce::String (i)))
                ++kept;

    EXPECT_EQ (kept, 2 * writesEach);
}

TEST_F (SettingsTest, AWriterThatCannotHaveTheLockGoesAheadWithoutIt)
{
    OrvelSettings settings;

    // As if another process hung while holding the lock.
    const orvel::ScopedFolderLock stuck (settings.getSettingsFolder());
    ASSERT_TRUE (stuck.isHeld());
    EXPECT_FALSE (orvel::ScopedFolderLock (settings.getSettingsFolder(), 10).isHeld());

    EXPECT_TRUE (settings.writeMakerBool (OrvelSettings::leftHandedMouseKey, true));
    EXPECT_TRUE (OrvelSettings().readStoredSettings().leftHandedMouse);
}

//==============================================================================
TEST_F (SettingsTest, SystemPresetsFoldersComeFromTheDataFoldersInTheirOrder)
{
#if JUCE_LINUX || JUCE_BSD
    const auto presetsBelow = [] (const juce::File& dataFolder)
    { return dataFolder.getChildFile ("Kestrivane/Presets/WrendleFold"); };

    const auto local = home.getChildFile ("system/local");
    const auto shared = home.getChildFile ("system/shared");
    const auto empty = home.getChildFile ("system/empty"); // no presets of ours
    ASSERT_TRUE (presetsBelow (local).createDirectory());
    ASSERT_TRUE (presetsBelow (shared).createDirectory());
    ASSERT_TRUE (empty.createDirectory());

    const auto previous = juce::SystemStats::getEnvironmentVariable ("XDG_DATA_DIRS", {});
    const auto xdg = empty.getFullPathName() + ":relative/ignored:" + local.getFullPathName() + ":"
                     + home.getChildFile (".local/share").getFullPathName() + ":" + shared.getFullPathName();
    ::setenv ("XDG_DATA_DIRS", xdg.toRawUTF8(), 1);

    OrvelSettings settings;
    const auto all = settings.getAllPresetsFolders();
    ::setenv ("XDG_DATA_DIRS", previous.toRawUTF8(), 1);

    // The user's own folder, also named by the variable here, comes first and once.
    EXPECT_EQ (all, (juce::Array<juce::File> { presetsFolder(), presetsBelow (local), presetsBelow (shared) }));

    // An installed module finds the data folder of its own prefix first.
    struct Case
    {
        const char* module;
        const char* xdg;
        juce::StringArray expected;
    };

    const Case cases[] = {
        { "/opt/kv/lib/clap/WrendleFold.clap", "", { "/opt/kv/share", "/usr/local/share", "/usr/share" } },
        { "/usr/lib64/clap/WrendleFold.clap", "/a:/usr/share", { "/usr/share", "/a" } },
        { "/home/u/.clap/WrendleFold.clap", "/a:/b", { "/a", "/b" } },
    };

    for (const auto& c : cases)
    {
        juce::StringArray actual;

        for (const auto& folder : OrvelSettings::getSystemDataFolders (juce::File (c.module), c.xdg))
            actual.add (folder.getFullPathName());

        EXPECT_EQ (actual, c.expected) << c.module;
    }
#else
    GTEST_SKIP() << "data folders follow XDG_DATA_DIRS only on Linux";
#endif
}

} // namespace
