#pragma once

// The top bar's fixture and helpers: menus are read through
// juce::PopupMenu::MenuItemIterator and their items triggered by calling their
// actions; dialogs and the browser are replaced through the window's platform
// services, so nothing modal opens and nothing is launched.

#include "EditorTestSupport.h"

#include "editor/ComboboxSubmenu.h"
#include "editor/EditorSettings.h"
#include "editor/WidgetSupport.h"
#include "state/PresetFile.h"

#include <cmath>
#include <cstdlib>
#include <vector>

namespace topbartest
{
using PluginWindow = WrendleFoldPluginWindow;
using Texts = WrendleFoldPluginWindow::MenuTexts;

//==============================================================================
// Menu reading.

/** The item reached by following the texts through sub-menus, or null. */
inline const juce::PopupMenu::Item* findItem (const juce::PopupMenu& menu, const juce::StringArray& path)
{
    const auto* current = &menu;
    const juce::PopupMenu::Item* found = nullptr;

    for (const auto& text : path)
    {
        found = nullptr;

        if (current == nullptr)
            return nullptr;

        for (juce::PopupMenu::MenuItemIterator it (*current); it.next();)
        {
            if (it.getItem().text == text)
            {
                found = &it.getItem();
                break;
            }
        }

        if (found == nullptr)
            return nullptr;

        current = found->subMenu.get();
    }

    return found;
}

/** The entries of one menu level as text: separators as "-", sub-menus as "name>". */
inline juce::StringArray entryTexts (const juce::PopupMenu& menu)
{
    juce::StringArray texts;

    for (juce::PopupMenu::MenuItemIterator it (menu); it.next();)
    {
        const auto& item = it.getItem();
        texts.add (item.isSeparator ? "-" : item.subMenu != nullptr ? item.text + ">"
                                                                    : item.text);
    }

    return texts;
}

/** The texts of the ticked items of one menu level. */
inline juce::StringArray tickedTexts (const juce::PopupMenu& menu)
{
    juce::StringArray texts;

    for (juce::PopupMenu::MenuItemIterator it (menu); it.next();)
        if (it.getItem().isTicked)
            texts.add (it.getItem().text);

    return texts;
}

inline const juce::PopupMenu& subMenu (const juce::PopupMenu& menu, const juce::StringArray& path)
{
    static const juce::PopupMenu empty;
    const auto* item = findItem (menu, path);
    EXPECT_TRUE (item != nullptr && item->subMenu != nullptr) << path.joinIntoString (" / ");
    return item != nullptr && item->subMenu != nullptr ? *item->subMenu : empty;
}

/** Runs an item's action as JUCE would after the user chose it. */
inline void choose (const juce::PopupMenu& menu, const juce::StringArray& path)
{
    const auto* item = findItem (menu, path);
    ASSERT_NE (item, nullptr) << path.joinIntoString (" / ");
    ASSERT_NE (item->itemID, 0) << "JUCE runs the action only of an item with an id";
    ASSERT_TRUE (item->action != nullptr) << path.joinIntoString (" / ");
    item->action();
}

/** Every fully opaque pixel of the drawable has the colour, and there are some. */
inline void expectDrawnIn (const juce::Drawable& drawable, juce::Colour colour, const juce::String& what)
{
    juce::Image image (juce::Image::ARGB, 48, 48, true);
    {
        juce::Graphics g (image);
        drawable.drawWithin (g, { 0.0f, 0.0f, 48.0f, 48.0f }, juce::RectanglePlacement::centred, 1.0f);
    }

    int opaque = 0, wrong = 0;

    for (int y = 0; y < image.getHeight(); ++y)
    {
        for (int x = 0; x < image.getWidth(); ++x)
        {
            const auto pixel = image.getPixelAt (x, y);

            if (pixel.getAlpha() == 255)
            {
                // Where two antialiased edges meet, rounding may shift a channel by a step or two.
                ++opaque;
                const auto off = std::abs (pixel.getRed() - colour.getRed()) + std::abs (pixel.getGreen() - colour.getGreen())
                                 + std::abs (pixel.getBlue() - colour.getBlue());
                wrong += off > 6 ? 1 : 0;
            }
        }
    }

    EXPECT_GT (opaque, 20) << what;
    EXPECT_EQ (wrong, 0) << what;
}

//==============================================================================
// Files.

inline juce::File presetsFolder()
{
    return orvel::OrvelSettings().getPresetsFolder();
}

/** A fresh folder below the presets folder, deleted with the object. */
struct ScratchPresetFolder
{
    explicit ScratchPresetFolder (const juce::String& name)
        : folder (presetsFolder().getChildFile (name))
    {
        folder.deleteRecursively();
        folder.createDirectory();
    }

    ~ScratchPresetFolder() { folder.deleteRecursively(); }

    const juce::File folder;
};

inline void writeMakerSetting (const juce::String& key, bool value)
{
    orvel::OrvelSettings().writeMakerBool (key, value);
}

inline bool readMakerSetting (const juce::String& key, bool defaultValue)
{
    orvel::OrvelSettings store;
    store.loadMakerSettings (true);
    return store.getMakerBool (key, defaultValue);
}

inline double readProductSetting (const juce::String& key)
{
    orvel::OrvelSettings store;
    return store.loadProductSettings (true)->getDoubleAttribute (key, -99.0);
}

//==============================================================================
/** The editor fixture with the window's platform services recorded instead of run. */
struct TopBarTest : editortest::EditorFixture
{
    void SetUp() override
    {
        editortest::EditorFixture::SetUp();
        recordPlatformServices();
    }

    void TearDown() override
    {
        // Put the maker-wide switches back for the next test.
        writeMakerSetting (orvel::OrvelSettings::newsNotificationsKey, true);
        writeMakerSetting (orvel::OrvelSettings::leftHandedMouseKey, false);
        writeMakerSetting (orvel::OrvelSettings::accelerateGuiKey, false);
        editortest::EditorFixture::TearDown();
    }

    void recordPlatformServices()
    {
        window->platform.openUrl = [this] (const juce::URL& url)
        { openedUrls.add (url.toString (true)); };
        window->platform.chooseFileToSave = [this] (const juce::File& suggestion, std::function<void (const juce::File&)> onChosen)
        {
            offeredFile = suggestion;
            answerSaveDialog = std::move (onChosen);
        };
        window->platform.askOkCancel = [this] (const juce::String& title, const juce::String& message, std::function<void (bool)> onAnswer)
        {
            questions.add (title + ": " + message);
            answerQuestion = std::move (onAnswer);
        };
        window->platform.showMessage = [this] (const juce::String& title, const juce::String& message)
        { messages.add (title + ": " + message); };
        window->getPresetBox().revealFolder = [this] (const juce::File& folder)
        { revealedFolders.add (folder.getFullPathName()); };
    }

    orvel::OrvelButton& topBarButton (PluginWindow::TopBarButton which) { return window->getTopBarButton (which); }

    void click (PluginWindow::TopBarButton which)
    {
        auto& button = topBarButton (which);
        ASSERT_TRUE (button.onClick != nullptr);
        button.onClick();
    }

    const juce::PopupMenu& optionsMenu()
    {
        window->initMorePopupMenu();
        return window->getOptionsMenu();
    }

    juce::StringArray openedUrls, questions, messages, revealedFolders;
    juce::File offeredFile;
    std::function<void (const juce::File&)> answerSaveDialog;
    std::function<void (bool)> answerQuestion;
};

using OptionsMenuTest = TopBarTest;
using RandomizerTest = TopBarTest;
using PresetActionTest = TopBarTest;
} // namespace topbartest
