// The preset selector: sub-folders listed depth first, the step buttons, and a
// path the host restores after the window opened.

#include "TopBarFixture.h"

using namespace topbartest;

TEST (PresetBoxTest, PresetsInSubFoldersAreListedDepthFirstAndSteppedThroughWithWrapAround)
{
    juce::TemporaryFile tempRoot;
    const auto root = tempRoot.getFile();
    ASSERT_TRUE (root.createDirectory());

    for (const auto* relativePath : { "b.kvp", "X/a.kvp", "X/Y/c.kvp", "notes.txt" })
        ASSERT_TRUE (root.getChildFile (relativePath).create());
    ASSERT_TRUE (root.getChildFile ("Empty").createDirectory());

    orvel::ComboboxSubmenu box (root);
    box.setSize (138, 25);

    struct Listener : juce::ChangeListener
    {
        void changeListenerCallback (juce::ChangeBroadcaster*) override { ++changes; }
        int changes = 0;
    } listener;
    box.addChangeListener (&listener);

    box.setCurrentPreset (root.getChildFile ("b.kvp").getFullPathName(), true);
    EXPECT_EQ (box.getLabel().getText(), "b");

    const auto& menu = box.getMenu();
    EXPECT_EQ (entryTexts (menu).joinIntoString ("|"), "Empty>|X>|b|-|Open presets folder");
    EXPECT_EQ (entryTexts (subMenu (menu, { "X" })).joinIntoString ("|"), "Y>|a");
    EXPECT_EQ (findItem (menu, { "X", "Y", "c" })->itemID, 1);
    EXPECT_EQ (findItem (menu, { "X", "a" })->itemID, 2);
    EXPECT_EQ (findItem (menu, { "b" })->itemID, 3);
    EXPECT_EQ (findItem (menu, { "Open presets folder" })->itemID, 99999);
    EXPECT_EQ (tickedTexts (menu), juce::StringArray ("b"));

    // Next from the last wraps to the first; previous from the first to the last.
    const std::pair<bool, const char*> steps[] = { { true, "c" }, { true, "a" }, { false, "c" }, { false, "b" }, { false, "a" } };

    for (const auto& [forward, expected] : steps)
    {
        const auto changesBefore = listener.changes;

        if (forward)
            box.selectNext();
        else
            box.selectPrevious();

        EXPECT_EQ (box.getLabel().getText(), expected);
        EXPECT_EQ (juce::File (box.getCurrentPresetPath()).getFileNameWithoutExtension(), expected);
        editortest::pumpPending();
        EXPECT_EQ (listener.changes, changesBefore + 1) << "each step tells the window to load";

        const juce::String name (expected);
        const auto* ticked = findItem (box.getMenu(), name == "b"   ? juce::StringArray ("b")
                                                      : name == "a" ? juce::StringArray ("X", "a")
                                                                    : juce::StringArray ("X", "Y", "c"));
        ASSERT_NE (ticked, nullptr);
        EXPECT_TRUE (ticked->isTicked) << expected;
    }

    // The reserved item shows the folder instead of choosing anything.
    juce::StringArray revealed;
    box.revealFolder = [&revealed] (const juce::File& folder)
    { revealed.add (folder.getFullPathName()); };
    const auto changesBefore = listener.changes;
    box.selectItem (99999);
    editortest::pumpPending();
    EXPECT_EQ (revealed, juce::StringArray (root.getFullPathName()));
    EXPECT_EQ (listener.changes, changesBefore);
    EXPECT_EQ (box.getLabel().getText(), "a");

    // A deferred rebuild forgets the current item at once and rescans a second later.
    ASSERT_TRUE (root.getChildFile ("X/a.kvp").deleteFile());
    box.rebuildMenu (true);
    EXPECT_TRUE (box.getCurrentPresetPath().isEmpty());
    EXPECT_TRUE (tickedTexts (subMenu (box.getMenu(), { "X" })).isEmpty());
    EXPECT_EQ (box.getTimerInterval(), 1000);
    box.timerCallback();
    EXPECT_FALSE (box.isTimerRunning());
    EXPECT_EQ (entryTexts (subMenu (box.getMenu(), { "X" })).joinIntoString ("|"), "Y>");
    box.selectNext();
    EXPECT_EQ (box.getLabel().getText(), "c") << "after a deletion next starts at the first preset";

    box.removeChangeListener (&listener);
    root.deleteRecursively();
}

TEST_F (TopBarTest, ThePresetButtonsLoadPresetsFromSubFoldersAndMoveTheKnobsAtOnce)
{
    ScratchPresetFolder bass ("Bass"), lead ("Lead");

    const std::pair<juce::File, float> presets[] = {
        { bass.folder.getChildFile ("Deep.kvp"), 0.2f },
        { lead.folder.getChildFile ("Bright.kvp"), 0.7f },
        { lead.folder.getChildFile ("Wide.kvp"), 0.4f },
    };

    for (const auto& [file, mix] : presets)
    {
        params().mix->setValueNotifyingHost (mix);
        ASSERT_TRUE (processor->savePreset (file.getFullPathName()).isEmpty());
    }

    auto& box = window->getPresetBox();
    box.setCurrentPreset (presets[2].first.getFullPathName(), true);
    ASSERT_EQ (entryTexts (subMenu (box.getMenu(), { "Lead" })).joinIntoString ("|"), "Bright|Wide");

    // Next from the last preset wraps to the first (Bass/Deep), then on through Lead.
    const std::pair<PluginWindow::TopBarButton, int> steps[] = {
        { PluginWindow::TopBarButton::next, 0 },
        { PluginWindow::TopBarButton::next, 1 },
        { PluginWindow::TopBarButton::previous, 0 },
        { PluginWindow::TopBarButton::previous, 2 },
    };

    for (const auto& [which, expected] : steps)
    {
        click (which);
        editortest::pumpPending();

        const auto& [file, mix] = presets[expected];
        EXPECT_EQ (box.getLabel().getText(), file.getFileNameWithoutExtension());
        EXPECT_EQ (processor->currentPresetPath, file.getFullPathName());
        EXPECT_NEAR (params().mix->getValue(), mix, 1.0e-6f);
        EXPECT_NEAR (knob ("Mix").getValue(), mix, 1.0e-6) << "without waiting for the refresh";
    }
}

TEST_F (TopBarTest, ThePresetBoxShowsAPathTheHostRestoredAfterTheWindowOpened)
{
    processor->currentPresetPath = presetsFolder().getChildFile ("Restored Preset.kvp").getFullPathName();

    // At most 19 refresh ticks after opening.
    for (int tick = 0; tick < 19; ++tick)
        window->refreshFromProcessor();

    EXPECT_EQ (window->getPresetBox().getLabel().getText(), "Restored Preset");
}
