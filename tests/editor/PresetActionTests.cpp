// Saving and deleting presets: the offered folder, failures shown to the user,
// the trash, and presets a project names or the factory installed.

#include "TopBarFixture.h"

using namespace topbartest;

TEST_F (PresetActionTest, SavingOffersTheUserFolderForInitOrAFactoryPresetAndShowsTheSavedPreset)
{
    const auto userFolder = presetsFolder().getChildFile (orvel::presets::userFolderName);
    ScratchPresetFolder factory ("Factory");
    const auto factoryPreset = factory.folder.getChildFile ("Growl.kvp");
    ASSERT_TRUE (processor->savePreset (factoryPreset.getFullPathName()).isEmpty());

    const std::pair<juce::String, juce::File> suggestions[] = {
        { "Init", userFolder.getChildFile ("Init.kvp") },
        { factoryPreset.getFullPathName(), userFolder.getChildFile ("Growl.kvp") },
    };

    for (const auto& [current, expected] : suggestions)
    {
        userFolder.deleteRecursively();
        processor->currentPresetPath = current;
        click (PluginWindow::TopBarButton::save);
        EXPECT_EQ (offeredFile, expected) << current;
        EXPECT_TRUE (userFolder.isDirectory()) << "created for the dialog";
    }

    // Cancelled: nothing changes.
    answerSaveDialog (juce::File());
    EXPECT_EQ (processor->currentPresetPath, factoryPreset.getFullPathName());

    // A name typed without the extension still becomes a listed preset.
    params().mix->setValueNotifyingHost (0.31f);
    answerSaveDialog (userFolder.getChildFile ("Mine"));
    const auto saved = userFolder.getChildFile ("Mine.kvp");
    ASSERT_TRUE (saved.existsAsFile());
    EXPECT_EQ (processor->currentPresetPath, saved.getFullPathName());
    EXPECT_EQ (window->getPresetBox().getLabel().getText(), "Mine");
    EXPECT_EQ (window->getPresetBox().getCurrentPresetPath(), saved.getFullPathName());
    EXPECT_TRUE (messages.isEmpty());

    // Saved over the current file when it is a user preset.
    click (PluginWindow::TopBarButton::save);
    EXPECT_EQ (offeredFile, saved);

    userFolder.deleteRecursively();
}

TEST_F (PresetActionTest, AFailedSaveIsShownToTheUserAndChangesNothing)
{
    ScratchPresetFolder scratch ("Blocked");
    const auto notAFolder = scratch.folder.getChildFile ("plain file");
    ASSERT_TRUE (notAFolder.replaceWithText ("x"));

    processor->currentPresetPath = "Init";
    const auto labelBefore = window->getPresetBox().getLabel().getText();

    click (PluginWindow::TopBarButton::save);
    answerSaveDialog (notAFolder.getChildFile ("Impossible.kvp"));

    ASSERT_EQ (messages.size(), 1);
    EXPECT_TRUE (messages[0].startsWith (orvel::presets::saveFailedTitle));
    EXPECT_EQ (processor->currentPresetPath, "Init");
    EXPECT_EQ (window->getPresetBox().getLabel().getText(), labelBefore);

    presetsFolder().getChildFile (orvel::presets::userFolderName).deleteRecursively();
}

TEST_F (PresetActionTest, DeletingAsksFirstThenMovesTheFileToTheTrashAndRebuildsLater)
{
    ScratchPresetFolder scratch ("Doomed");
    const auto preset = scratch.folder.getChildFile ("Old Sound.kvp");
    ASSERT_TRUE (processor->savePreset (preset.getFullPathName()).isEmpty());

    // The platform's trash folder of this (temporary) home.
    const auto trash = juce::File ("~/.local/share/Trash/files");
    ASSERT_TRUE (trash.createDirectory());

    // "Init" is no file: there is nothing to ask about.
    processor->currentPresetPath = "Init";
    click (PluginWindow::TopBarButton::remove);
    EXPECT_TRUE (questions.isEmpty());

    processor->loadPreset (preset.getFullPathName());
    window->getPresetBox().setCurrentPreset (preset.getFullPathName(), true);

    click (PluginWindow::TopBarButton::remove);
    ASSERT_EQ (questions.size(), 1);
    EXPECT_EQ (questions[0], juce::String (orvel::presets::deleteDialogTitle) + ": "
                                 + orvel::presets::deleteQuestionStart + "Old Sound?");

    answerQuestion (false);
    EXPECT_TRUE (preset.existsAsFile()) << "cancelled";

    click (PluginWindow::TopBarButton::remove);
    answerQuestion (true);
    EXPECT_FALSE (preset.existsAsFile());
    EXPECT_TRUE (trash.getChildFile ("Old Sound.kvp").existsAsFile());

    auto& box = window->getPresetBox();
    EXPECT_TRUE (box.getCurrentPresetPath().isEmpty()) << "no item is current until the next choice";
    EXPECT_EQ (box.getLabel().getText(), "Old Sound") << "the label keeps the deleted name";
    EXPECT_TRUE (box.isTimerRunning());
    box.timerCallback();
    EXPECT_EQ (findItem (box.getMenu(), { "Doomed", "Old Sound" }), nullptr);

    // A second click has no file left to ask about.
    click (PluginWindow::TopBarButton::remove);
    EXPECT_EQ (questions.size(), 2);

    trash.getParentDirectory().deleteRecursively();
}

TEST_F (PresetActionTest, AProjectNamingAFileOutsideThePresetsFoldersIsTreatedAsInit)
{
    const auto userFolder = presetsFolder().getChildFile (orvel::presets::userFolderName);
    const auto settingsFile = orvel::OrvelSettings().getMakerSettingsFile();
    ASSERT_TRUE (settingsFile.existsAsFile());

    // What a project may carry in its "Preset" attribute: any text at all.
    const juce::String paths[] = {
        "/etc/passwd",
        settingsFile.getFullPathName(),
        presetsFolder().getFullPathName() + "/../../Settings/" + settingsFile.getFileName(),
    };

    for (const auto& path : paths)
    {
        SCOPED_TRACE (path);
        WrendleFoldProcessor author (editortest::refusingNewsAddress());
        author.currentPresetPath = path;
        juce::MemoryBlock project;
        author.getStateInformation (project);
        processor->setStateInformation (project.getData(), (int) project.getSize());

        for (int tick = 0; tick < 19; ++tick)
            window->refreshFromProcessor();

        EXPECT_EQ (window->getPresetBox().getLabel().getText(), "Init");

        click (PluginWindow::TopBarButton::remove);
        EXPECT_TRUE (questions.isEmpty()) << "nothing to delete";

        click (PluginWindow::TopBarButton::save);
        EXPECT_EQ (offeredFile, userFolder.getChildFile ("Init.kvp"));
    }

    EXPECT_TRUE (settingsFile.existsAsFile());
    userFolder.deleteRecursively();
}

TEST_F (PresetActionTest, FactoryPresetsAreNeverOfferedForDeletionAndAReadOnlyOneIsNotOverwritten)
{
    ScratchPresetFolder factory ("Factory");
    const auto preset = factory.folder.getChildFile ("Bass/Growl.kvp");
    ASSERT_TRUE (processor->savePreset (preset.getFullPathName()).isEmpty());
    ASSERT_TRUE (preset.setReadOnly (true));

    processor->loadPreset (preset.getFullPathName());
    window->getPresetBox().setCurrentPreset (preset.getFullPathName(), true);

    click (PluginWindow::TopBarButton::remove);
    EXPECT_TRUE (questions.isEmpty());
    EXPECT_TRUE (preset.existsAsFile());

    // Chosen in the dialog all the same, the read-only file is refused with the message.
    const auto before = preset.loadFileAsString();
    params().mix->setValueNotifyingHost (0.12f);
    click (PluginWindow::TopBarButton::save);
    answerSaveDialog (preset);

    ASSERT_EQ (messages.size(), 1);
    EXPECT_TRUE (messages[0].startsWith (orvel::presets::saveFailedTitle));
    EXPECT_EQ (preset.loadFileAsString(), before);

    preset.setReadOnly (false);
    presetsFolder().getChildFile (orvel::presets::userFolderName).deleteRecursively();
}
