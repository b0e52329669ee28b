#include "state/PresetFile.h"
#include "state/PresetMenuModel.h"
#include "state/UnicodeComposition.h"
#include "tests/support/TemporaryHome.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <sys/stat.h>
#include <unistd.h>

namespace
{

using orvel::PresetMenuEntry;
using orvel::PresetMenuModel;
using Action = PresetMenuModel::Action;

/** A presets folder of this test's own HOME, with helpers to lay out files. */
class PresetMenuTest : public wrendle_test::TemporaryHomeTest
{
protected:
    juce::File addPreset (const juce::String& relativePath) const
    {
        const auto file = presetsFolder().getChildFile (relativePath);
        file.getParentDirectory().createDirectory();
        file.replaceWithText ("<WrendleFold_SETTINGS/>");
        return file;
    }

    /** "name#id" for presets and "name[...]" for folders, in menu order. */
    static juce::String describe (const std::vector<PresetMenuEntry>& entries)
    {
        juce::StringArray parts;

        for (const auto& entry : entries)
            parts.add (entry.isFolder() ? entry.name + "[" + describe (entry.children) + "]"
                                        : entry.name + "#" + juce::String (entry.itemId));

        return parts.joinIntoString (" ");
    }
};

//==============================================================================
TEST_F (PresetMenuTest, SubFoldersComeBeforeTheFolderOwnPresetsAndIdsRunDepthFirst)
{
    addPreset ("b.kvp");
    addPreset ("X/a.kvp");
    addPreset ("X/Deeper/c.kvp");
    addPreset ("Y/d.kvp");

    PresetMenuModel model;
    model.rebuild();

    EXPECT_EQ (describe (model.getEntries()), "X[Deeper[c#1] a#2] Y[d#3] b#4");
    EXPECT_EQ (model.getNextItemId(), 5);
    ASSERT_EQ (model.getPresetPaths().size(), 4);
    EXPECT_EQ (model.getPresetPaths()[0], presetsFolder().getChildFile ("X/Deeper/c.kvp").getFullPathName());
    EXPECT_EQ (model.getPresetPaths()[3], presetsFolder().getChildFile ("b.kvp").getFullPathName());
}

TEST_F (PresetMenuTest, NamesAreOrderedNaturallyIgnoringCase)
{
    addPreset ("Lead 10.kvp");
    addPreset ("lead 2.kvp");
    addPreset ("Lead 3.kvp");
    addPreset ("bank 10/x.kvp");
    addPreset ("Bank 9/y.kvp");

    PresetMenuModel model;
    model.rebuild();

    EXPECT_EQ (describe (model.getEntries()), "Bank 9[y#1] bank 10[x#2] lead 2#3 Lead 3#4 Lead 10#5");
}

TEST_F (PresetMenuTest, OnlyPresetFilesAreListedAndEmptyFoldersStayAsEmptySubMenus)
{
    addPreset ("a.kvp");
    presetsFolder().getChildFile ("notes.txt").replaceWithText ("not a preset");
    presetsFolder().getChildFile ("Empty").createDirectory();

    PresetMenuModel model;
    model.rebuild();

    EXPECT_EQ (describe (model.getEntries()), "Empty[] a#1");
}

TEST_F (PresetMenuTest, NextAndPreviousWrapAroundAndLoadWhatTheyReach)
{
    addPreset ("X/a.kvp");
    addPreset ("b.kvp");
    addPreset ("c.kvp");

    PresetMenuModel model;
    model.setCurrentPreset (presetsFolder().getChildFile ("c.kvp").getFullPathName(), true);
    ASSERT_EQ (model.getCurrentItemId(), 3);

    struct Step
    {
        bool next;
        const char* expectedLabel;
    };

    const Step steps[] = { { true, "a" }, { true, "b" }, { true, "c" }, { true, "a" }, { false, "c" }, { false, "b" }, { false, "a" }, { false, "c" } };

    for (const auto& step : steps)
    {
        ASSERT_EQ (step.next ? model.selectNext() : model.selectPrevious(), Action::presetChosen);
        EXPECT_EQ (model.getLabelText(), step.expectedLabel);
        EXPECT_EQ (juce::File (model.getCurrentPresetPath()).getFileNameWithoutExtension(), step.expectedLabel);
    }
}

TEST_F (PresetMenuTest, AfterADeletionNextStartsAtTheFirstPresetAndPreviousAtTheLast)
{
    addPreset ("a.kvp");
    addPreset ("b.kvp");
    addPreset ("c.kvp");

    for (const bool next : { true, false })
    {
        SCOPED_TRACE (next ? "next" : "previous");
        PresetMenuModel model;
        model.setCurrentPreset (presetsFolder().getChildFile ("b.kvp").getFullPathName(), true);

        model.forgetCurrentItem(); // what the delete action's deferred rebuild does first
        model.rebuild();
        EXPECT_EQ (model.getCurrentItemId(), -1);
        EXPECT_EQ (model.getCurrentPresetPath(), "");

        ASSERT_EQ (next ? model.selectNext() : model.selectPrevious(), Action::presetChosen);
        EXPECT_EQ (model.getLabelText(), next ? "a" : "c");
    }
}

TEST_F (PresetMenuTest, WithAnEmptyPresetsFolderNextAndPreviousSelectNothing)
{
    PresetMenuModel model;
    model.setCurrentPreset ("Init", true);

    for (const bool next : { true, false })
    {
        ASSERT_EQ (next ? model.selectNext() : model.selectPrevious(), Action::presetChosen);
        EXPECT_EQ (model.getCurrentPresetPath(), "");
        EXPECT_EQ (model.getLabelText(), "");
    }
}

TEST_F (PresetMenuTest, TheReservedItemOnlyAsksForTheFolderToBeShown)
{
    addPreset ("a.kvp");
    addPreset ("b.kvp");

    PresetMenuModel model;
    model.setCurrentPreset (presetsFolder().getChildFile ("b.kvp").getFullPathName(), true);

    EXPECT_EQ (model.selectItem (PresetMenuModel::openPresetsFolderItemId), Action::revealPresetsFolder);
    EXPECT_EQ (model.getCurrentItemId(), 2);
    EXPECT_EQ (model.getLabelText(), "b");
    EXPECT_EQ (model.getPresetsFolder(), presetsFolder());
}

TEST_F (PresetMenuTest, SettingTheCurrentPresetFindsItsEntryAndTicksItOnTheNextBuild)
{
    const auto a = addPreset ("a.kvp");
    const auto b = addPreset ("b.kvp");
    const auto outside = home.getChildFile ("elsewhere/Outside.kvp");
    outside.getParentDirectory().createDirectory();
    outside.replaceWithText ("x");

    PresetMenuModel model;
    model.rebuild();
    const auto unlisted = addPreset ("Unlisted.kvp"); // after the build

    struct Case
    {
        juce::String path;
        int expectedId;
        const char* expectedLabel;
    };

    // Paths come from projects: one that is no preset path inside the presets
    // folder counts as "Init".
    const Case cases[] = {
        { b.getFullPathName(), 2, "b" },
        { "Init", 1, "Init" },
        { unlisted.getFullPathName(), 0, "Unlisted" },                                         // exists, not listed
        { presetsFolder().getChildFile ("gone/Missing.kvp").getFullPathName(), 0, "Missing" }, // id left as it was
        { outside.getFullPathName(), 1, "Init" },
        { presetsFolder().getChildFile ("notes.txt").getFullPathName(), 1, "Init" },
        { a.getFullPathName(), 1, "a" },
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.path);
        model.setCurrentPreset (c.path, false);
        EXPECT_EQ (model.getCurrentItemId(), c.expectedId);
        EXPECT_EQ (model.getLabelText(), c.expectedLabel);
    }

    model.rebuild();
    ASSERT_EQ (model.getEntries().size(), 3u);
    EXPECT_TRUE (model.getEntries()[0].ticked);
    EXPECT_FALSE (model.getEntries()[1].ticked);
}

TEST_F (PresetMenuTest, PathsAreComparedWithBackslashesAndDrivePrefixesNormalised)
{
    struct Case
    {
        const char* path;
        const char* normalised;
    };

    const Case cases[] = {
        { "C:\\Users\\Public\\Kestrivane\\a.kvp", "/Users/Public/Kestrivane/a.kvp" },
        { "Z:/x/D:y.kvp", "/x/y.kvp" },
        { "A:\\x.kvp", "A:/x.kvp" }, // A: and B: are not drive prefixes here
        { "c:\\x.kvp", "c:/x.kvp" }, // nor lower-case letters
        { "/home/user/a.kvp", "/home/user/a.kvp" },
    };

    for (const auto& c : cases)
        EXPECT_EQ (PresetMenuModel::normalisePath (c.path), c.normalised) << c.path;
}

TEST_F (PresetMenuTest, TheLabelShowsTheFileNameInPrecomposedForm)
{
    const auto decomposed = juce::String::fromUTF8 ("Cafe\xcc\x81 Noir.kvp"); // e + combining acute
    const auto file = addPreset (decomposed);

    PresetMenuModel model;
    model.setCurrentPreset (file.getFullPathName(), true);

    EXPECT_EQ (model.getLabelText(), juce::String::fromUTF8 ("Caf\xc3\xa9 Noir"));
    EXPECT_EQ (model.getCurrentItemId(), 1);
}

TEST (UnicodeComposition, DecomposedSequencesBecomeTheirPrecomposedCharacters)
{
    struct Case
    {
        const char* name;
        const char* input;
        const char* expected;
    };

    const Case cases[] = {
        { "acute", "e\xcc\x81", "\xc3\xa9" },
        { "two marks in canonical order", "e\xcc\xa3\xcc\x82", "\xe1\xbb\x87" }, // e + dot below + circumflex
        { "upper-case ring", "A\xcc\x8a", "\xc3\x85" },
        { "Hangul syllable with final", "\xe1\x84\x80\xe1\x85\xa1\xe1\x86\xa8", "\xea\xb0\x81" },
        { "already precomposed", "\xc3\xa9t\xc3\xa9", "\xc3\xa9t\xc3\xa9" },
        { "mark without a base", "\xcc\x81x", "\xcc\x81x" },
        { "plain text", "Lead 10", "Lead 10" },
    };

    for (const auto& c : cases)
        EXPECT_EQ (orvel::toPrecomposedUnicode (juce::String::fromUTF8 (c.input)), juce::String::fromUTF8 (c.expected)) << c.name;
}

TEST_F (PresetMenuTest, FoldersReachedThroughSymbolicLinksAreListedAndLoopsAreCut)
{
    addPreset ("a.kvp");
    addPreset ("Bank/b.kvp");

    const auto shared = home.getChildFile ("SharedPresets");
    shared.getChildFile ("s.kvp").create();
    ASSERT_TRUE (shared.createSymbolicLink (presetsFolder().getChildFile ("Linked"), false));
    ASSERT_TRUE (presetsFolder().createSymbolicLink (presetsFolder().getChildFile ("Bank/Loop"), false));

    PresetMenuModel model;
    model.rebuild();

    EXPECT_EQ (describe (model.getEntries()), "Bank[b#1] SharedPresets[s#2] a#3");
}

TEST_F (PresetMenuTest, EveryFolderAndPresetIsListedOnceHoweverManyLinksLeadThere)
{
    // Bass/{a,b}, Fav -> Bass, a root preset c and a link to a preset in Bass: with
    // folders told apart by path text, Fav listed a and b again and next went
    // a, b, a, b... without ever reaching c.
    addPreset ("Bass/a.kvp");
    addPreset ("Bass/b.kvp");
    addPreset ("c.kvp");
    ASSERT_TRUE (presetsFolder().getChildFile ("Bass").createSymbolicLink (presetsFolder().getChildFile ("Fav"), false));
    ASSERT_TRUE (presetsFolder().getChildFile ("Bass/a.kvp").createSymbolicLink (presetsFolder().getChildFile ("x.kvp"), false));

    PresetMenuModel model;
    model.setCurrentPreset ("Init", true);
    EXPECT_EQ (describe (model.getEntries()), "Bass[a#1 b#2] c#3");

    juce::StringArray visited;

    for (int step = 0; step < 4; ++step)
    {
        ASSERT_EQ (model.selectNext(), Action::presetChosen);
        visited.add (model.getLabelText());
    }

    EXPECT_EQ (visited.joinIntoString (" "), "b c a b");

    // The same preset named by the other way is found as the listed one.
    model.setCurrentPreset (presetsFolder().getChildFile ("Fav/b.kvp").getFullPathName(), false);
    EXPECT_EQ (model.getCurrentItemId(), 2);
}

TEST_F (PresetMenuTest, LinkLoopsAndLinksToHugeFoldersKeepTheScanSmall)
{
    // Three links back into the presets folder: told apart by path text, each level
    // doubled the folders to list until the depth limit (131,070 folders).
    addPreset ("only.kvp");

    const auto link = [this] (const char* target, const char* name)
    { return ::symlink (target, presetsFolder().getChildFile (name).getFullPathName().toRawUTF8()) == 0; };

    ASSERT_TRUE (link ("b", "a0"));
    ASSERT_TRUE (link ("b", "a1"));
    ASSERT_TRUE (link (".", "b"));

    PresetMenuModel model;
    model.rebuild();
    EXPECT_EQ (describe (model.getEntries()), "only#1");

    // A link to a large system folder lists at most the folder budget.
#if JUCE_LINUX || JUCE_BSD
    ASSERT_TRUE (juce::File ("/usr").createSymbolicLink (presetsFolder().getChildFile ("System"), false));
    model.rebuild();

    std::function<int (const std::vector<PresetMenuEntry>&)> countFolders = [&] (const std::vector<PresetMenuEntry>& entries)
    {
        int folders = 0;

        for (const auto& entry : entries)
            if (entry.isFolder())
                folders += 1 + countFolders (entry.children);

        return folders;
    };

    EXPECT_GT (countFolders (model.getEntries()), 0);
    EXPECT_LT (countFolders (model.getEntries()), PresetMenuModel::maxFoldersScanned);
    EXPECT_EQ (model.getPresetPaths().size(), 1);
#endif
}

TEST_F (PresetMenuTest, SteppingRescansOnlyWhenSomethingChangedOnDisk)
{
    addPreset ("Bass/a.kvp");
    addPreset ("Bass/b.kvp");
    addPreset ("c.kvp");

    // Folder times well in the past, as for a library that is not being edited.
    const auto settle = [this]
    {
        const auto anHourAgo = juce::Time::getCurrentTime() - juce::RelativeTime::hours (1);

        for (const auto& folder : { presetsFolder(), presetsFolder().getChildFile ("Bass") })
            ASSERT_TRUE (folder.setLastModificationTime (anHourAgo));
    };

    settle();
    PresetMenuModel model;
    model.setCurrentPreset ("Init", true);
    const auto scans = model.getNumScans();

    for (int step = 0; step < 50; ++step)
        model.selectNext();

    EXPECT_EQ (model.getNumScans(), scans);
    EXPECT_EQ (model.getLabelText(), "c"); // 50 steps from a through three presets

    // A preset added in a sub-folder is listed at the next step.
    addPreset ("Bass/a2.kvp");
    ASSERT_EQ (model.selectNext(), Action::presetChosen);
    EXPECT_EQ (model.getNumScans(), scans + 1);
    EXPECT_EQ (describe (model.getEntries()), "Bass[a#1 a2#2 b#3] c#4");

    // Right after a change the folder times cannot tell a second change in the
    // same clock tick, so the scan is repeated until they can.
    addPreset ("Bass/a3.kvp");
    model.selectNext();
    model.selectNext();
    EXPECT_EQ (model.getNumScans(), scans + 3);
    EXPECT_EQ (model.getNextItemId(), 6);

    // A preset folder appearing elsewhere (a factory bank being installed) counts too.
    settle();
    model.rebuild();
    const auto installed = home.getChildFile ("system/Kestrivane/Presets/WrendleFold");
    ASSERT_TRUE (installed.getChildFile ("Factory/f.kvp").create());
    PresetMenuModel layered (juce::Array<juce::File> { presetsFolder(), installed });
    layered.setCurrentPreset ("Init", true);
    EXPECT_EQ (describe (layered.getEntries()), "Bass[a#1 a2#2 a3#3 b#4] Factory[f#5] c#6");
}

TEST_F (PresetMenuTest, InstalledPresetFoldersAreLaidUnderTheUsersOwnPresets)
{
    const auto installed = home.getChildFile ("system/Kestrivane/Presets/WrendleFold");

    for (const auto* path : { "Factory/Bass/Growl.kvp", "Factory/Bass/Sub.kvp", "Factory/Drums/Snap.kvp", "Lone.kvp" })
        ASSERT_TRUE (installed.getChildFile (path).create());

    const auto userSub = addPreset ("Factory/Bass/Sub.kvp"); // the user's copy wins
    addPreset ("Mine/x.kvp");

    PresetMenuModel model (juce::Array<juce::File> { presetsFolder(), installed });
    model.setCurrentPreset ("Init", true);

    EXPECT_EQ (describe (model.getEntries()), "Factory[Bass[Growl#1 Sub#2] Drums[Snap#3]] Mine[x#4] Lone#5");
    EXPECT_EQ (model.getPresetPaths()[1], userSub.getFullPathName());
    EXPECT_EQ (model.getPresetPaths()[0], installed.getChildFile ("Factory/Bass/Growl.kvp").getFullPathName());
    EXPECT_EQ (model.getPresetsFolder(), presetsFolder()) << "the folder the menu shows is the user's";

    // A preset of the installed folders is a preset path like the user's own.
    model.setCurrentPreset (installed.getChildFile ("Factory/Drums/Snap.kvp").getFullPathName(), false);
    EXPECT_EQ (model.getCurrentItemId(), 3);
    EXPECT_EQ (model.getLabelText(), "Snap");
}

TEST_F (PresetMenuTest, EntriesWhoseNamesAreNotValidTextAreLeftOut)
{
#if JUCE_LINUX || JUCE_BSD
    addPreset ("fine.kvp");

    // Names are bytes here; these hold an overlong form, which juce::String cannot
    // copy without overrunning its buffer.
    const auto folder = presetsFolder().getFullPathName().toStdString();
    ASSERT_TRUE (juce::File (juce::String (folder + "/X")).createDirectory());
    std::FILE* file = std::fopen ((folder + "/bad\xc0\xac.kvp").c_str(), "w");
    ASSERT_NE (file, nullptr);
    std::fclose (file);
    ASSERT_EQ (::mkdir ((folder + "/X/dir\xc0\xbc").c_str(), 0700), 0);

    PresetMenuModel model;
    model.rebuild();

    EXPECT_EQ (describe (model.getEntries()), "X[] fine#1");
#else
    GTEST_SKIP() << "file names are bytes only on Linux";
#endif
}

TEST_F (PresetMenuTest, AFolderNestedBeyondTheDepthLimitIsNotListed)
{
    juce::String tooDeep;

    for (int i = 0; i <= PresetMenuModel::maxFolderDepth; ++i)
        tooDeep << "d" << i << "/";

    addPreset ("d0/top.kvp");
    addPreset (tooDeep + "deep.kvp");

    PresetMenuModel model;
    model.rebuild();

    EXPECT_EQ (model.getPresetPaths().size(), 1);
    EXPECT_TRUE (model.getPresetPaths()[0].endsWith ("top.kvp"));
}

//==============================================================================
TEST_F (PresetMenuTest, TheSaveDialogOffersTheUserFolderForFactoryPresetsAndTheFileItselfOtherwise)
{
    const auto user = presetsFolder().getChildFile ("User");

    struct Case
    {
        juce::String current;
        juce::File expected;
    };

    const Case cases[] = {
        { presetsFolder().getChildFile ("Factory/Bass.kvp").getFullPathName(), user.getChildFile ("Bass.kvp") },
        { "C:\\Presets\\FACTORY\\Lead.kvp", user.getChildFile ("Lead.kvp") },
        { presetsFolder().getChildFile ("Mine/Pad.kvp").getFullPathName(), presetsFolder().getChildFile ("Mine/Pad.kvp") },
        { "Init", user.getChildFile ("Init.kvp") },
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.current);
#if ! JUCE_WINDOWS
        if (c.current.startsWith ("C:"))
            continue; // not an absolute path here
#endif
        EXPECT_EQ (orvel::getPresetSaveSuggestion (c.current, presetsFolder()), c.expected);
    }

    EXPECT_TRUE (user.isDirectory());
}

TEST_F (PresetMenuTest, OnlyPresetPathsInsideThePresetsFoldersAreTakenAndFactoryOnesAreNeverDeleted)
{
    const auto installed = home.getChildFile ("system/Kestrivane/Presets/WrendleFold");
    const juce::Array<juce::File> folders { presetsFolder(), installed };

    addPreset ("Bass/a.kvp");
    addPreset ("Factory/Bass/f.kvp"); // a per-user copy of the factory bank
    ASSERT_TRUE (installed.getChildFile ("Factory/Drums/s.kvp").create());
    ASSERT_TRUE (presetsFolder().getChildFile ("Folder.kvp").createDirectory());
    ASSERT_TRUE (home.getChildFile ("elsewhere/l.kvp").create());
    ASSERT_TRUE (home.getChildFile ("elsewhere").createSymbolicLink (presetsFolder().getChildFile ("Linked"), false));

    const auto inPresets = [this] (const char* relative)
    { return presetsFolder().getFullPathName() + relative; };

    struct Case
    {
        juce::String path;
        bool taken;
        bool factory;
        bool deletable;
    };

    const Case cases[] = {
        { inPresets ("/Bass/a.kvp"), true, false, true },
        { inPresets ("/Bass/gone.kvp"), true, false, false }, // nothing to delete
        { inPresets ("/Linked/l.kvp"), true, false, true },   // through a link the user made
        { inPresets ("/Factory/Bass/f.kvp"), true, true, false },
        { installed.getChildFile ("Factory/Drums/s.kvp").getFullPathName(), true, true, false },
        { "/etc/passwd", false, false, false },
        { inPresets ("/Bass/../../../Settings/Kestrivane.kvp"), false, false, false }, // climbs out
        { inPresets ("Evil/x.kvp"), false, false, false },                             // a sibling named alike
        { inPresets ("/Bass/notes.txt"), false, false, false },
        { inPresets ("/Folder.kvp"), false, false, false },
        { "Bass/a.kvp", false, false, false }, // relative
        { "Init", false, false, false },
        { "", false, false, false },
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.path);
        EXPECT_EQ (orvel::isInPresetsFolders (c.path, folders), c.taken);
        EXPECT_EQ (orvel::presetPathOrInit (c.path, folders), c.taken ? c.path : "Init");
        EXPECT_EQ (orvel::isFactoryPreset (c.path, folders), c.factory);
        EXPECT_EQ (orvel::isDeletablePreset (c.path, folders), c.deletable);
    }
}

//==============================================================================
TEST (PresetSignature, HexTextTakesEachByteAsASignedValueWithoutLeadingZeros)
{
    struct Case
    {
        juce::MemoryBlock bytes;
        const char* hex;
    };

    const Case cases[] = {
        { juce::MemoryBlock ("\x0a", 1), "a" },
        { juce::MemoryBlock ("\x41", 1), "41" },
        { juce::MemoryBlock ("\xc3", 1), "ffffffc3" },
        { juce::MemoryBlock ("\x00\x7f\x80", 3), "07fffffff80" },
        { juce::MemoryBlock ("Fold_SET", 8), orvel::presets::signature },
    };

    for (const auto& c : cases)
        EXPECT_EQ (orvel::getPresetHexText (c.bytes.getData(), c.bytes.getSize()), c.hex);
}

TEST (PresetSignature, OnlyTheFirst4096BytesAreSearched)
{
    const juce::String marker ("Fold_SET");

    struct Case
    {
        int offset;
        bool found;
    };

    const Case cases[] = { { 0, true }, { 4088, true }, { 4089, false }, { 5000, false } };

    for (const auto& c : cases)
    {
        juce::MemoryBlock bytes (6000, true);
        juce::MemoryBlock filler (6000);
        filler.fillWith ('x');
        bytes.copyFrom (filler.getData(), 0, 6000);
        bytes.copyFrom (marker.toRawUTF8(), c.offset, 8);

        EXPECT_EQ (orvel::hasPresetSignature (bytes.getData(), bytes.getSize()), c.found) << c.offset;
        EXPECT_EQ (orvel::readPresetBytes (bytes.getData(), bytes.getSize()).isPreset, c.found) << c.offset;
    }
}

} // namespace
