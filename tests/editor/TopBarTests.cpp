// The top bar: its controls, the preset selector and the preset actions, the
// randomizer, the news bell, the links menu and the options menu. Menus are read
// through juce::PopupMenu::MenuItemIterator and their items triggered by calling
// their actions; dialogs and the browser are replaced through the window's
// platform services, so nothing modal opens and nothing is launched.

#include "EditorTestSupport.h"

#include "editor/ComboboxSubmenu.h"
#include "editor/EditorSettings.h"
#include "editor/WidgetSupport.h"
#include "state/PresetFile.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <map>
#include <set>
#include <vector>

#if JUCE_LINUX || JUCE_BSD
 #include <X11/Xlib.h>
#endif

using PluginWindow = WrendleFoldPluginWindow;
using Texts = WrendleFoldPluginWindow::MenuTexts;

namespace
{
//==============================================================================
// Menu reading.

/** The item reached by following the texts through sub-menus, or null. */
const juce::PopupMenu::Item* findItem (const juce::PopupMenu& menu, const juce::StringArray& path)
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
juce::StringArray entryTexts (const juce::PopupMenu& menu)
{
    juce::StringArray texts;

    for (juce::PopupMenu::MenuItemIterator it (menu); it.next();)
    {
        const auto& item = it.getItem();
        texts.add (item.isSeparator ? "-" : item.subMenu != nullptr ? item.text + ">" : item.text);
    }

    return texts;
}

/** The texts of the ticked items of one menu level. */
juce::StringArray tickedTexts (const juce::PopupMenu& menu)
{
    juce::StringArray texts;

    for (juce::PopupMenu::MenuItemIterator it (menu); it.next();)
        if (it.getItem().isTicked)
            texts.add (it.getItem().text);

    return texts;
}

const juce::PopupMenu& subMenu (const juce::PopupMenu& menu, const juce::StringArray& path)
{
    static const juce::PopupMenu empty;
    const auto* item = findItem (menu, path);
    EXPECT_TRUE (item != nullptr && item->subMenu != nullptr) << path.joinIntoString (" / ");
    return item != nullptr && item->subMenu != nullptr ? *item->subMenu : empty;
}

/** Runs an item's action as JUCE would after the user chose it. */
void choose (const juce::PopupMenu& menu, const juce::StringArray& path)
{
    const auto* item = findItem (menu, path);
    ASSERT_NE (item, nullptr) << path.joinIntoString (" / ");
    ASSERT_NE (item->itemID, 0) << "JUCE runs the action only of an item with an id";
    ASSERT_TRUE (item->action != nullptr) << path.joinIntoString (" / ");
    item->action();
}

/** Every fully opaque pixel of the drawable has the colour, and there are some. */
void expectDrawnIn (const juce::Drawable& drawable, juce::Colour colour, const juce::String& what)
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

juce::File presetsFolder()
{
    return orvel::OrvelSettings().getPresetsFolder();
}

/** A fresh folder below the presets folder, deleted with the object. */
struct ScratchPresetFolder
{
    explicit ScratchPresetFolder (const juce::String& name) : folder (presetsFolder().getChildFile (name))
    {
        folder.deleteRecursively();
        folder.createDirectory();
    }

    ~ScratchPresetFolder() { folder.deleteRecursively(); }

    const juce::File folder;
};

void writeMakerSetting (const juce::String& key, bool value)
{
    orvel::OrvelSettings().writeMakerBool (key, value);
}

bool readMakerSetting (const juce::String& key, bool defaultValue)
{
    orvel::OrvelSettings store;
    store.loadMakerSettings (true);
    return store.getMakerBool (key, defaultValue);
}

double readProductSetting (const juce::String& key)
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
        window->platform.openUrl = [this] (const juce::URL& url) { openedUrls.add (url.toString (true)); };
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
        window->getPresetBox().revealFolder = [this] (const juce::File& folder) { revealedFolders.add (folder.getFullPathName()); };
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
} // namespace

//==============================================================================
TEST_F (TopBarTest, ControlsSitWhereTheTableSaysInAddingOrderWithTheirTooltips)
{
    using B = PluginWindow::TopBarButton;

    struct Expected
    {
        juce::Component* component;
        juce::Rectangle<int> bounds;
        const char* tooltip;
    };

    const Expected controls[] = {
        { &window->getLogoButton(), { 0, 0, 185, 46 }, "" },
        { &window->getTopBox (0), { 119, 9, 258, 29 }, nullptr },
        { &topBarButton (B::previous), { 121, 10, 21, 12 }, "Prev Preset" },
        { &topBarButton (B::next), { 121, 24, 21, 12 }, "Next Preset" },
        { &window->getPresetBox(), { 142, 10, 138, 25 }, "Preset Box" },
        { &topBarButton (B::save), { 281, 10, 25, 25 }, "Save Preset" },
        { &topBarButton (B::remove), { 313, 10, 25, 25 }, "Delete Preset" },
        { &topBarButton (B::randomize), { 345, 10, 25, 25 }, "Randomizer" },
        { &window->getTopBox (1), { 379, 9, 92, 29 }, nullptr },
        { &topBarButton (B::news), { 384, 13, 20, 20 }, "Notifications" },
        { &window->getUnreadBadge(), { 396, 10, 10, 10 }, nullptr },
        { &topBarButton (B::options), { 414, 13, 20, 20 }, "Options" },
        { &topBarButton (B::bypass), { 444, 13, 20, 20 }, "Bypass" },
    };

    int previousIndex = window->getIndexOfChildComponent (&window->getProductNameLabel());
    EXPECT_EQ (window->getProductNameLabel().getBounds(), juce::Rectangle<int> (39, -1, 150, 46));
    EXPECT_EQ (window->getProductNameLabel().getText(), "FOLD");

    for (const auto& control : controls)
    {
        const auto name = control.tooltip != nullptr ? juce::String (control.tooltip) : control.bounds.toString();
        EXPECT_EQ (control.component->getBounds(), control.bounds) << name;
        EXPECT_TRUE (control.component->isVisible()) << name;

        const auto index = window->getIndexOfChildComponent (control.component);
        EXPECT_GT (index, previousIndex) << name << " is added after the control before it";
        previousIndex = index;

        if (control.tooltip != nullptr)
        {
            auto* client = dynamic_cast<juce::TooltipClient*> (control.component);
            ASSERT_NE (client, nullptr) << name;
            EXPECT_EQ (client->getTooltip(), control.tooltip) << name;
        }
    }

    for (int i = 0; i < 2; ++i)
    {
        auto& box = window->getTopBox (i);
        EXPECT_EQ (box.getCornerSize(), 3);
        EXPECT_EQ (box.getFillColour(), juce::Colour (0xff232323));
        EXPECT_EQ (box.getInnerOutlineColour(), juce::Colour (0xff0a0a0b));
        EXPECT_EQ (box.getLowerOutlineColour(), juce::Colour (0xff333535).withAlpha (0.7f));
    }

    // The bypass button leads the parameter buttons, locked for good and without indicator.
    auto& bypass = topBarButton (B::bypass);
    EXPECT_EQ (window->getParameterButtons().getFirst(), &bypass);
    EXPECT_TRUE (bypass.isLocked());
    EXPECT_FALSE (bypass.isLockable());
    EXPECT_FALSE (bypass.getLockIndicator().isVisible());

    // The logo: light on the dark bar, fitted into (5, 5, 35, 35).
    const auto* logo = window->getLogo();
    ASSERT_NE (logo, nullptr);
    expectDrawnIn (*logo, juce::Colour (0xffd2d2d2), "logo");
    const auto logoArea = logo->getBoundsInParent();
    EXPECT_TRUE (juce::Rectangle<int> (5, 5, 35, 35).expanded (1).contains (logoArea)) << logoArea.toString();
    EXPECT_GE (logoArea.getWidth(), 34);
}

TEST_F (TopBarTest, TheLinksMenuListsTheHomePageThenFiveServicesWithDarkIconsAndOpensEach)
{
    const auto& menu = window->getLinksMenu();

    EXPECT_EQ (entryTexts (menu).joinIntoString ("|"),
               "kestrivane.com|-|Join our Discord server|Follow us on Instagram|Follow us on Bluesky"
               "|Follow us on Facebook|Watch us on Youtube");

    for (juce::PopupMenu::MenuItemIterator it (menu); it.next();)
    {
        const auto& item = it.getItem();

        if (item.isSeparator)
            continue;

        ASSERT_NE (item.image, nullptr) << item.text;
        expectDrawnIn (*item.image, juce::Colour (0xff202020), item.text);
        EXPECT_NE (item.itemID, 0);
        ASSERT_TRUE (item.action != nullptr);
        item.action();
    }

    using A = PluginWindow::WebAddresses;
    EXPECT_EQ (openedUrls, juce::StringArray ({ A::homePage, A::discord, A::instagram, A::bluesky, A::facebook, A::youtube }));
    for (const auto& url : openedUrls)
        EXPECT_TRUE (url.startsWith ("https://")) << url;
}

TEST_F (TopBarTest, ARebuildOfTheTopBarKeepsOneOfEachControlAndTheOverlaysOnTop)
{
    // (The first rebuild moves the command buttons' hidden lock indicators into
    // the window, as it does for every button that has a parent; later ones add nothing.)
    window->initTopBar();
    window->initMainControls();
    const auto childrenBefore = window->getNumChildComponents();

    window->initTopBar();
    window->initMainControls();

    EXPECT_EQ (window->getNumChildComponents(), childrenBefore);
    EXPECT_EQ (window->getParameterButtons().size(), 4);
    EXPECT_EQ (window->getLinksMenu().getNumItems(), 6) << "six links (the separator is not counted)";

    auto& loadingOverlay = window->getLoadingOverlay();
    const auto newsIndex = window->getIndexOfChildComponent (&window->getNewsWindow());
    EXPECT_LT (newsIndex, window->getIndexOfChildComponent (&loadingOverlay));

    for (auto* child : window->getChildren())
    {
        // Always-on-top children (about window, loading overlay, tooltip window) stay above anyway.
        if (! child->isAlwaysOnTop() && child != &window->getNewsWindow())
        {
            EXPECT_LT (window->getIndexOfChildComponent (child), newsIndex)
                << typeid (*child).name() << " " << child->getBounds().toString() << ": the news window covers every control";
        }
    }
}

//==============================================================================
TEST_F (TopBarTest, TheBellListsTheUnreadNoticeClearsTheBadgeAndListsItAgainNextTime)
{
    // A fresh cached notice that asks to be noticed, as a new instance finds it.
    closeEditor();
    processor.reset();
    writeMakerSetting (orvel::OrvelSettings::newsNotificationsKey, true);
    const auto newsFile = orvel::OrvelSettings().getNewsFile();
    ASSERT_TRUE (newsFile.replaceWithText (R"(<?xml version="1.0" encoding="UTF-8"?><KESTRIVANE_NEWS latestVersion="9.0.0" kind="update notify"/>)"));
    processor = std::make_unique<WrendleFoldProcessor> (editortest::refusingNewsAddress());
    openEditor();
    recordPlatformServices();
    newsFile.deleteFile();

    auto& notifications = processor->getNotifications();
    ASSERT_EQ (notifications.getNumNotices(), 1);
    ASSERT_EQ (notifications.unreadFlag(), 1);
    auto& badge = window->getUnreadBadge();
    EXPECT_EQ (badge.getUnreadCount(), 1);

    auto& news = window->getNewsWindow();

    for (int round = 0; round < 2; ++round)
    {
        click (PluginWindow::TopBarButton::news);

        ASSERT_EQ (news.getNumNotices(), 1) << "round " << round;
        const auto* entry = news.getList().getEntry (0);
        EXPECT_TRUE (entry->getText().getText().contains ("9.0.0"));
        EXPECT_EQ (entry->getLink(), notifications.getNotice (0).link);
        EXPECT_TRUE (news.isVisible());
        EXPECT_EQ (badge.getUnreadCount(), 0);
        EXPECT_EQ (badge.getBounds(), juce::Rectangle<int> (396, 10, 10, 10));
        EXPECT_EQ (notifications.unreadFlag(), 0);
        EXPECT_EQ (notifications.getNumNotices(), 1) << "the notices stay";

        // The bell stays lit while its window is open.
        window->refreshFromProcessor();
        EXPECT_TRUE (topBarButton (PluginWindow::TopBarButton::news).getToggleState());
        news.setVisible (false);
        window->refreshFromProcessor();
        EXPECT_FALSE (topBarButton (PluginWindow::TopBarButton::news).getToggleState());
    }

    // A clicked link goes through the window's one way to the browser.
    news.getList().linkOpener (juce::URL ("https://kestrivane.com/account/"));
    EXPECT_EQ (openedUrls, juce::StringArray ("https://kestrivane.com/account/"));
}

TEST_F (TopBarTest, WithoutNoticesOrWithNewsSwitchedOffTheBellListsOneFixedEntry)
{
    auto& news = window->getNewsWindow();
    auto& badge = window->getUnreadBadge();
    ASSERT_EQ (processor->getNotifications().getNumNotices(), 0);

    click (PluginWindow::TopBarButton::news);
    ASSERT_EQ (news.getNumNotices(), 1);
    EXPECT_TRUE (news.getList().getEntry (0)->getText().getText().contains (Texts::noNewsTitle));
    EXPECT_EQ (news.getList().getEntry (0)->getLink(), "#");

    // Switched off: the fixed entry, and the badge keeps what it showed.
    choose (optionsMenu(), { Texts::newsNotifications });
    ASSERT_FALSE (readMakerSetting (orvel::OrvelSettings::newsNotificationsKey, true));
    badge.setUnreadCount (1);
    news.setVisible (false);

    click (PluginWindow::TopBarButton::news);
    ASSERT_EQ (news.getNumNotices(), 1) << "the earlier entry is cleared first";
    EXPECT_TRUE (news.getList().getEntry (0)->getText().getText().contains (Texts::newsOffTitle));
    EXPECT_EQ (news.getList().getEntry (0)->getLink(), "#");
    EXPECT_TRUE (news.isVisible());
    EXPECT_EQ (badge.getUnreadCount(), 1);
}

//==============================================================================
TEST_F (RandomizerTest, ValuesStayInsideTheirBoundsAndReachTheParameters)
{
    struct Bounds
    {
        const char* knob;
        float minimum, maximum;
    };

    const Bounds bounds[] = {
        { "Input", 0.5f - 0.15f * 0.99f, 0.5f + 0.15f * 0.99f },
        { "Output", 0.5f - 0.15f * 0.99f, 0.5f },
        { "Feedback LP", 0.0f, 0.85f * 0.99f },
        { "Feedback", 0.0f, 0.99f },
        { "Fold Amount", 0.0f, 0.99f },
        { "Mix", 0.0f, 0.99f },
    };

    const auto bypassBefore = params().bypass->getValue();
    bool inputBelowHalf = false, inputAboveHalf = false;
    juce::Array<bool> buttonStatesSeen[4];

    for (int run = 0; run < 300; ++run)
    {
        click (PluginWindow::TopBarButton::randomize);

        for (const auto& b : bounds)
        {
            auto& k = knob (b.knob);
            const auto value = k.getParameter()->getValue();
            ASSERT_GE (value, b.minimum - 1.0e-6f) << b.knob;
            ASSERT_LE (value, b.maximum + 1.0e-6f) << b.knob;
            ASSERT_NEAR (value, (float) k.getValue(), 1.0e-6f) << b.knob << " follows its knob";
        }

        const auto input = params().input->getValue();
        inputBelowHalf |= input < 0.499f;
        inputAboveHalf |= input > 0.501f;

        for (int i = 1; i < 4; ++i)
            buttonStatesSeen[i].addIfNotAlreadyThere (window->getParameterButtons()[i]->getToggleState());

        ASSERT_EQ (params().bypass->getValue(), bypassBefore) << "bypass is never randomized";
    }

    EXPECT_TRUE (inputBelowHalf && inputAboveHalf) << "the coin turns the input offset both ways";
    for (int i = 1; i < 4; ++i)
        EXPECT_EQ (buttonStatesSeen[i].size(), 2) << window->getParameterButtons()[i]->getParameter()->getName (50);

    // The value label carries the new value text.
    EXPECT_EQ (knob ("Mix").getValueLabel().getText(), knob ("Mix").getTextFromValue (knob ("Mix").getValue()));
}

TEST_F (RandomizerTest, LockedWidgetsKeepTheirValuesAndAfterLockAllNothingChanges)
{
    params().mix->setValueNotifyingHost (0.123f);
    params().autoGain->setValueNotifyingHost (1.0f);
    window->refreshFromProcessor();

    knob ("Mix").performMenuAction (orvel::lockItem);
    button ("AutoGain").performMenuAction (orvel::lockItem);
    editortest::pumpPending();

    const auto foldBefore = params().foldAmount->getValue();
    bool foldChanged = false;

    for (int run = 0; run < 20; ++run)
    {
        click (PluginWindow::TopBarButton::randomize);
        EXPECT_FLOAT_EQ (params().mix->getValue(), 0.123f);
        EXPECT_EQ (params().autoGain->getValue(), 1.0f);
        foldChanged |= params().foldAmount->getValue() != foldBefore;
    }

    EXPECT_TRUE (foldChanged) << "unlocked knobs do move";

    knob ("Input").performMenuAction (orvel::lockAllItem);
    editortest::pumpPending();

    std::vector<float> before;
    for (auto* parameter : processor->getParameters())
        before.push_back (parameter->getValue());

    for (int run = 0; run < 10; ++run)
        click (PluginWindow::TopBarButton::randomize);

    for (size_t i = 0; i < before.size(); ++i)
        EXPECT_EQ (processor->getParameters()[(int) i]->getValue(), before[i]) << processor->getParameters()[(int) i]->getName (50);

    // After unlock-all the bypass button is still left alone.
    knob ("Input").performMenuAction (orvel::unlockAllItem);
    editortest::pumpPending();
    const auto bypassBefore = params().bypass->getValue();
    for (int run = 0; run < 20; ++run)
        click (PluginWindow::TopBarButton::randomize);
    EXPECT_EQ (params().bypass->getValue(), bypassBefore);
}

//==============================================================================
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
    box.revealFolder = [&revealed] (const juce::File& folder) { revealed.add (folder.getFullPathName()); };
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

//==============================================================================
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

//==============================================================================
TEST_F (OptionsMenuTest, EntriesComeInOrderWithTheirSubMenusAndIcons)
{
    const auto& menu = optionsMenu();

    EXPECT_EQ (entryTexts (menu).joinIntoString ("|"),
               juce::StringArray ({ "Oversampling>", "Envelope>", "-", "Clipboard>", "-", Texts::newsNotifications,
                                    Texts::leftHandedMouse, "-", Texts::accelerateGui, "Graphics>", "Window Size>", "-",
                                    Texts::webPage, Texts::about })
                   .joinIntoString ("|"));

    EXPECT_EQ (entryTexts (subMenu (menu, { Texts::oversampling })).joinIntoString ("|"), "Off|-|2x|4x|8x|16x");
    EXPECT_EQ (entryTexts (subMenu (menu, { Texts::envelope })).joinIntoString ("|"), "Linear|Exponential");
    EXPECT_EQ (entryTexts (subMenu (menu, { Texts::clipboard })).joinIntoString ("|"),
               juce::String (Texts::copySettings) + "|" + Texts::pasteSettings);
    EXPECT_EQ (entryTexts (subMenu (menu, { Texts::graphics })).joinIntoString ("|"), "Brightness>|Contrast>|-|Reset");
    EXPECT_EQ (entryTexts (subMenu (menu, { Texts::graphics, Texts::brightness })).joinIntoString ("|"),
               "-30%|-25%|-20%|-15%|-10%|-5%|0%|+5%|+10%|+15%|+20%|+25%|+30%");
    EXPECT_EQ (entryTexts (subMenu (menu, { Texts::graphics, Texts::contrast })).joinIntoString ("|"),
               "-30%|-25%|-20%|-15%|-10%|-5%|0%|+5%|+10%|+15%|+20%|+25%|+30%");
    EXPECT_EQ (entryTexts (subMenu (menu, { Texts::windowSize })).joinIntoString ("|"),
               juce::StringArray ({ Texts::smallSize, Texts::normalSize, Texts::largeSize }).joinIntoString ("|"));

    const auto* oversampling = findItem (menu, { Texts::oversampling });
    ASSERT_NE (oversampling->image, nullptr);
    expectDrawnIn (*oversampling->image, juce::Colour (0xff202020), "oversampling icon");

    // In a fresh instance: oversampling off, exponential envelope, news on, 0% twice.
    EXPECT_EQ (tickedTexts (subMenu (menu, { Texts::oversampling })), juce::StringArray ("Off"));
    EXPECT_EQ (tickedTexts (subMenu (menu, { Texts::envelope })), juce::StringArray ("Exponential"));
    EXPECT_EQ (tickedTexts (menu), juce::StringArray (Texts::newsNotifications));
    EXPECT_EQ (tickedTexts (subMenu (menu, { Texts::graphics, Texts::brightness })), juce::StringArray ("0%"));
    EXPECT_EQ (tickedTexts (subMenu (menu, { Texts::graphics, Texts::contrast })), juce::StringArray ("0%"));
    EXPECT_TRUE (tickedTexts (subMenu (menu, { Texts::clipboard })).isEmpty());
}

TEST_F (OptionsMenuTest, TheWindowSizeTickFollowsTheStoredScaleAndEachItemResizesTheEditor)
{
    const std::pair<double, const char*> ticks[] = {
        { 1.0, Texts::normalSize }, { 0.98, Texts::smallSize }, { 1.01, Texts::normalSize }, { 2.0, Texts::largeSize },
        { 0.5, Texts::smallSize },  { 0.99, Texts::normalSize }, { 1.011, Texts::largeSize }, { 0.49, nullptr }, { 2.01, nullptr },
    };

    for (const auto& [scale, expected] : ticks)
    {
        orvel::editorSettingsOf (*processor).windowSize = scale;
        const auto ticked = tickedTexts (subMenu (optionsMenu(), { Texts::windowSize }));
        EXPECT_EQ (ticked, expected != nullptr ? juce::StringArray (expected) : juce::StringArray()) << scale;
    }

    const std::tuple<const char*, double, int, int> choices[] = {
        { Texts::smallSize, 0.75, 360, 345 }, { Texts::largeSize, 1.25, 600, 575 }, { Texts::normalSize, 1.0, 480, 460 },
    };

    for (const auto& [item, scale, width, height] : choices)
    {
        choose (optionsMenu(), { Texts::windowSize, item });
        EXPECT_EQ (editor->getWidth(), width) << item;
        EXPECT_EQ (editor->getHeight(), height) << item;
        EXPECT_DOUBLE_EQ (orvel::editorSettingsOf (*processor).windowSize, scale);
        EXPECT_DOUBLE_EQ (readProductSetting (orvel::OrvelSettings::windowSizeKey), scale) << "written at once";
        EXPECT_EQ (tickedTexts (subMenu (optionsMenu(), { Texts::windowSize })), juce::StringArray (item));
    }
}

TEST_F (OptionsMenuTest, ABrightnessOffTheStepsTicksNothingUntilAStepIsChosen)
{
    auto& cache = orvel::editorSettingsOf (*processor);
    cache.brightness = 0.12f;
    EXPECT_TRUE (tickedTexts (subMenu (optionsMenu(), { Texts::graphics, Texts::brightness })).isEmpty());

    choose (optionsMenu(), { Texts::graphics, Texts::brightness, "+10%" });
    EXPECT_EQ (cache.brightness, 0.1f);
    EXPECT_EQ (cache.contrast, 0.0f);
    EXPECT_NEAR (readProductSetting (orvel::OrvelSettings::brightnessKey), 0.1, 1.0e-6);

    auto& overlay = window->getLoadingOverlay();
    EXPECT_TRUE (overlay.isVisible()) << "the skin is rebuilt behind the overlay";
    ASSERT_TRUE (editortest::pumpUntil ([&overlay] { return ! overlay.isVisible(); }, 20000));

    EXPECT_EQ (tickedTexts (subMenu (optionsMenu(), { Texts::graphics, Texts::brightness })), juce::StringArray ("+10%"));
    EXPECT_EQ (tickedTexts (subMenu (optionsMenu(), { Texts::graphics, Texts::contrast })), juce::StringArray ("0%"));

    choose (optionsMenu(), { Texts::graphics, Texts::contrast, "-5%" });
    ASSERT_TRUE (editortest::pumpUntil ([&overlay] { return ! overlay.isVisible(); }, 20000));
    EXPECT_EQ (cache.contrast, -0.05f);
    EXPECT_EQ (cache.brightness, 0.1f);

    choose (optionsMenu(), { Texts::graphics, Texts::reset });
    ASSERT_TRUE (editortest::pumpUntil ([&overlay] { return ! overlay.isVisible(); }, 20000));
    EXPECT_EQ (cache.brightness, 0.0f);
    EXPECT_EQ (cache.contrast, 0.0f);
    EXPECT_EQ (readProductSetting (orvel::OrvelSettings::contrastKey), 0.0);
    EXPECT_EQ (window->getKnobs().size(), 11) << "controls rebuilt";
}

TEST_F (OptionsMenuTest, AnOversamplingItemSetsTheParameterInAGestureAndItsTickWaitsForABlock)
{
    struct GestureLog : juce::AudioProcessorParameter::Listener
    {
        void parameterValueChanged (int, float value) override { events.add ("value " + juce::String (value, 2)); }
        void parameterGestureChanged (int, bool starting) override { events.add (starting ? "begin" : "end"); }
        juce::StringArray events;
    } log;

    auto* oversampling = params().oversampling;
    processor->prepareToPlay (48000.0, 64);
    oversampling->addListener (&log);

    // The choice already in use is still set, inside a gesture.
    choose (optionsMenu(), { Texts::oversampling, "Off" });
    EXPECT_EQ (log.events, juce::StringArray ({ "begin", "value 0.00", "end" }));
    EXPECT_EQ (oversampling->getIndex(), 0);

    log.events.clear();
    choose (optionsMenu(), { Texts::oversampling, "16x" });
    EXPECT_EQ (log.events, juce::StringArray ({ "begin", "value 1.00", "end" }));
    EXPECT_EQ (oversampling->getIndex(), 4);
    oversampling->removeListener (&log);

    EXPECT_EQ (tickedTexts (subMenu (optionsMenu(), { Texts::oversampling })), juce::StringArray ("Off"))
        << "no block has run with the new choice yet";

    juce::AudioBuffer<float> buffer (2, 64);
    buffer.clear();
    juce::MidiBuffer midi;
    processor->processBlock (buffer, midi);

    EXPECT_EQ (tickedTexts (subMenu (optionsMenu(), { Texts::oversampling })), juce::StringArray ("16x"));
    processor->releaseResources();
}

TEST_F (OptionsMenuTest, EnvelopeLeftHandedAndGpuItemsChangeTheStateAndWriteItAtOnce)
{
    // Envelope law: product file.
    choose (optionsMenu(), { Texts::envelope, "Linear" });
    EXPECT_TRUE (processor->isEnvelopeLinear());
    EXPECT_EQ (readProductSetting (orvel::OrvelSettings::envelopeLinearKey), 1.0);
    EXPECT_EQ (tickedTexts (subMenu (optionsMenu(), { Texts::envelope })), juce::StringArray ("Linear"));
    choose (optionsMenu(), { Texts::envelope, "Exponential" });
    EXPECT_FALSE (processor->isEnvelopeLinear());
    EXPECT_EQ (readProductSetting (orvel::OrvelSettings::envelopeLinearKey), 0.0);

    // Left-handed mouse: every parameter widget, none of the command buttons.
    choose (optionsMenu(), { Texts::leftHandedMouse });
    EXPECT_TRUE (orvel::editorSettingsOf (*processor).leftHandedMouse);
    EXPECT_TRUE (readMakerSetting (orvel::OrvelSettings::leftHandedMouseKey, false));
    for (auto* k : window->getKnobs())
        EXPECT_TRUE (k->leftHandedMouse) << k->getParameterName();
    for (auto* b : window->getParameterButtons())
        EXPECT_TRUE (b->leftHandedMouse);
    EXPECT_FALSE (topBarButton (PluginWindow::TopBarButton::options).leftHandedMouse);
    EXPECT_TRUE (tickedTexts (optionsMenu()).contains (Texts::leftHandedMouse));

    choose (optionsMenu(), { Texts::leftHandedMouse });
    EXPECT_FALSE (orvel::editorSettingsOf (*processor).leftHandedMouse);
    EXPECT_FALSE (knob ("Mix").leftHandedMouse);

    // Accelerated drawing: the tick is read from the file while the menu is built.
    writeMakerSetting (orvel::OrvelSettings::accelerateGuiKey, true);
    EXPECT_TRUE (tickedTexts (optionsMenu()).contains (Texts::accelerateGui));
    choose (window->getOptionsMenu(), { Texts::accelerateGui });
    EXPECT_FALSE (readMakerSetting (orvel::OrvelSettings::accelerateGuiKey, true));
    EXPECT_FALSE (window->isAcceleratedDrawing());
    choose (optionsMenu(), { Texts::accelerateGui });
    EXPECT_TRUE (readMakerSetting (orvel::OrvelSettings::accelerateGuiKey, false));
    EXPECT_TRUE (window->isAcceleratedDrawing());
    choose (optionsMenu(), { Texts::accelerateGui });
    EXPECT_FALSE (window->isAcceleratedDrawing());
}

TEST_F (OptionsMenuTest, TheNewsSwitchWritesTheInverseOfWhatItShowedIntoAFreshlyReadFile)
{
    const auto& menu = optionsMenu();
    ASSERT_TRUE (tickedTexts (menu).contains (Texts::newsNotifications));

    // Another instance writes meanwhile; its change survives this one's write.
    writeMakerSetting (orvel::OrvelSettings::leftHandedMouseKey, true);

    choose (menu, { Texts::newsNotifications });
    EXPECT_FALSE (readMakerSetting (orvel::OrvelSettings::newsNotificationsKey, true));
    EXPECT_TRUE (readMakerSetting (orvel::OrvelSettings::leftHandedMouseKey, false));

    // Chosen again from the same (stale) menu it writes the same value: what the user saw.
    choose (menu, { Texts::newsNotifications });
    EXPECT_FALSE (readMakerSetting (orvel::OrvelSettings::newsNotificationsKey, true));

    EXPECT_FALSE (tickedTexts (optionsMenu()).contains (Texts::newsNotifications));
    choose (window->getOptionsMenu(), { Texts::newsNotifications });
    EXPECT_TRUE (readMakerSetting (orvel::OrvelSettings::newsNotificationsKey, false));
}

TEST_F (OptionsMenuTest, TheWebPageAndAboutItemsOpenTheProductPageAndTheAboutWindow)
{
    choose (optionsMenu(), { Texts::webPage });
    EXPECT_EQ (openedUrls, juce::StringArray (PluginWindow::WebAddresses::productPage));

    auto& about = window->getAboutWindow();
    EXPECT_FALSE (about.isVisible());
    EXPECT_EQ (about.getBounds(), window->getLocalBounds());
    choose (optionsMenu(), { Texts::about });
    EXPECT_TRUE (about.isVisible());

    // The overlays stay hidden children over the whole window, the loading overlay topmost.
    auto& news = window->getNewsWindow();
    EXPECT_EQ (news.getBounds(), window->getLocalBounds());
    EXPECT_LT (window->getIndexOfChildComponent (&news), window->getIndexOfChildComponent (&window->getLoadingOverlay()));
    EXPECT_EQ (news.getPanelBounds().getRight(), 403) << "anchored under the bell";
    EXPECT_EQ (news.getPanelBounds().getY(), 16 + 24);
}

//==============================================================================
namespace
{
bool hasDisplay()
{
    const auto* display = std::getenv ("DISPLAY");
    return display != nullptr && *display != 0;
}

/** The editor in a real X11 window (under Xvfb), drawn through the look and feel. */
struct TopBarRealWindowTest : TopBarTest
{
    void SetUp() override
    {
        if (! hasDisplay())
            GTEST_SKIP() << "needs an X display (the test command runs this suite under Xvfb)";

#if JUCE_LINUX || JUCE_BSD
        // A bare Xvfb has no window manager; its missing atoms must not end the process.
        XSetErrorHandler ([] (Display*, XErrorEvent*) { return 0; });
#endif

        TopBarTest::SetUp();
        editor->setTopLeftPosition (40, 40);
        editor->addToDesktop (0);
        editor->setVisible (true);
        ASSERT_TRUE (editortest::pumpUntil ([this] { return editor->isShowing() && editor->getPeer() != nullptr; }));
    }

    void TearDown() override
    {
        if (hasDisplay())
            TopBarTest::TearDown();
    }

    /** The editor as drawn now, saved as a PNG in the home folder for a look. */
    juce::Image snapshot (const juce::String& fileName)
    {
        const auto image = editor->createComponentSnapshot (editor->getLocalBounds(), true, 1.0f);
        const auto file = juce::File ("~").getChildFile (fileName);
        file.deleteFile();
        juce::FileOutputStream out (file);
        juce::PNGImageFormat().writeImageToStream (image, out);
        return image;
    }

    /** Light background with dark text in the area: most pixels light, some dark. */
    static void expectLightWithDarkText (const juce::Image& image, juce::Rectangle<int> area, const juce::String& what)
    {
        area = area.getIntersection (image.getBounds()).reduced (4);
        ASSERT_FALSE (area.isEmpty()) << what;

        int light = 0, dark = 0, total = 0;
        for (int y = area.getY(); y < area.getBottom(); ++y)
        {
            for (int x = area.getX(); x < area.getRight(); ++x)
            {
                const auto luma = editortest::luma (image, x, y);
                light += luma > 170.0f ? 1 : 0;
                dark += luma < 90.0f ? 1 : 0;
                ++total;
            }
        }

        EXPECT_GT (light, total / 2) << what << ": a light background";
        EXPECT_GT (dark, total / 100) << what << ": dark text on it";
    }
};
} // namespace

TEST_F (TopBarRealWindowTest, TheOptionsMenuAndTheNewsWindowAreDrawnLightWithDarkText)
{
    auto* modal = juce::ModalComponentManager::getInstance();

    window->showOptionsMenu();
    ASSERT_TRUE (editortest::pumpUntil ([modal] { return modal->getNumModalComponents() > 0; }));
    auto* menuWindow = modal->getModalComponent (0);
    ASSERT_NE (menuWindow, nullptr);
    EXPECT_TRUE (window->isParentOf (menuWindow)) << "menus open inside the plug-in window";
    editortest::pumpUntil ([menuWindow] { return menuWindow->getAlpha() >= 1.0f; }, 500);

    const auto menuArea = editor->getLocalArea (menuWindow, menuWindow->getLocalBounds());
    const auto withMenu = snapshot ("topbar-options-menu.png");
    expectLightWithDarkText (withMenu, menuArea, "options menu");

    juce::PopupMenu::dismissAllActiveMenus();
    ASSERT_TRUE (editortest::pumpUntil ([modal] { return modal->getNumModalComponents() == 0; }));

    // The news window: the panel hangs under the bell, the rest of the window dims.
    const auto before = snapshot ("topbar-before-news.png");
    window->showNews();
    auto& news = window->getNewsWindow();
    ASSERT_TRUE (editortest::pumpUntil ([&news] { return news.isVisible() && news.getAlpha() >= 1.0f; }));

    const auto withNews = snapshot ("topbar-news-window.png");
    expectLightWithDarkText (withNews, news.getPanelBounds(), "news panel");

    const juce::Point<int> dimmed (240, 420);
    EXPECT_LT (editortest::luma (withNews, dimmed.x, dimmed.y), editortest::luma (before, dimmed.x, dimmed.y) - 5.0f);
}

TEST_F (TopBarRealWindowTest, TheAboutWindowIsALightPanelWithDarkTextOverTheDimmedEditor)
{
    const auto before = snapshot ("topbar-before-about.png");
    auto& about = window->getAboutWindow();
    about.showWindow (1);
    ASSERT_TRUE (editortest::pumpUntil ([&about] { return about.isVisible() && about.getAlpha() >= 1.0f; }));

    const auto withAbout = snapshot ("topbar-about-window.png");
    expectLightWithDarkText (withAbout, about.getPanelBounds(), "about panel");

    const juce::Point<int> inputKnob (108, 395); // white, left of the panel
    ASSERT_GT (editortest::luma (before, inputKnob.x, inputKnob.y), 150.0f);
    EXPECT_LT (editortest::luma (withAbout, inputKnob.x, inputKnob.y), editortest::luma (before, inputKnob.x, inputKnob.y) - 40.0f);
}

TEST_F (TopBarRealWindowTest, JucesOwnSaveDialogWearsTheEditorsColoursAndLightButtonsInsteadOfTeal)
{
    window->installDefaultPlatformServices();
    auto* modal = juce::ModalComponentManager::getInstance();
    bool answered = false;

    juce::File ("~").getChildFile ("Growl.kvp").replaceWithText ("<preset/>"); // a row in the list
    window->platform.chooseFileToSave (juce::File ("~").getChildFile ("Dialog.kvp"),
                                       [&answered] (const juce::File&) { answered = true; });
    auto* dialog = dynamic_cast<juce::FileChooserDialogBox*> (modal->getModalComponent (0));

    if (dialog == nullptr)
    {
        modal->cancelAllModalComponents();
        GTEST_SKIP() << "the desktop's own file dialog opened";
    }

    ASSERT_TRUE (editortest::pumpUntil ([dialog] { return dialog->isShowing(); }));
    editortest::pumpPending();
    const auto image = dialog->createComponentSnapshot (dialog->getLocalBounds(), true, 1.0f);
    {
        const auto file = juce::File ("~").getChildFile ("save-dialog.png");
        file.deleteFile();
        juce::FileOutputStream out (file);
        juce::PNGImageFormat().writeImageToStream (image, out);
    }

    // JUCE's dark scheme, which the dialog wore before: its window and widget backgrounds.
    const auto teal = juce::LookAndFeel_V4::getDarkColourScheme();
    const juce::Colour jucesColours[] = { teal.getUIColour (juce::LookAndFeel_V4::ColourScheme::windowBackground),
                                          teal.getUIColour (juce::LookAndFeel_V4::ColourScheme::widgetBackground) };
    std::map<juce::uint32, int> counts;
    int jucesPixels = 0;

    for (int y = 0; y < image.getHeight(); ++y)
    {
        for (int x = 0; x < image.getWidth(); ++x)
        {
            const auto pixel = image.getPixelAt (x, y);
            ++counts[pixel.getARGB()];

            for (const auto& colour : jucesColours)
                jucesPixels += pixel == colour ? 1 : 0;
        }
    }

    // The two commonest colours are the editor's panel and its top-bar boxes (the file list).
    std::vector<std::pair<int, juce::uint32>> byCount;

    for (const auto& [argb, count] : counts)
        byCount.emplace_back (count, argb);

    std::sort (byCount.rbegin(), byCount.rend());
    ASSERT_GE (byCount.size(), 2u);
    EXPECT_EQ (std::set<juce::uint32> ({ byCount[0].second, byCount[1].second }),
               std::set<juce::uint32> ({ 0xff2c2c2d, 0xff232323 }));
    EXPECT_EQ (jucesPixels, 0);

    // The Save button is light with dark text, as the editor's menus are.
    juce::TextButton* saveButton = nullptr;
    std::vector<juce::Component*> pending { dialog };

    while (! pending.empty() && saveButton == nullptr)
    {
        auto* next = pending.back();
        pending.pop_back();

        if (auto* button = dynamic_cast<juce::TextButton*> (next); button != nullptr && button->getButtonText() == "Save")
            saveButton = button;

        for (auto* child : next->getChildren())
            pending.push_back (child);
    }

    ASSERT_NE (saveButton, nullptr);
    const auto buttonArea = dialog->getLocalArea (saveButton, saveButton->getLocalBounds()).reduced (3);
    int lightPixels = 0, darkPixels = 0;

    for (int y = buttonArea.getY(); y < buttonArea.getBottom(); ++y)
    {
        for (int x = buttonArea.getX(); x < buttonArea.getRight(); ++x)
        {
            lightPixels += editortest::luma (image, x, y) > 170.0f ? 1 : 0;
            darkPixels += editortest::luma (image, x, y) < 90.0f ? 1 : 0;
        }
    }

    EXPECT_GT (lightPixels, buttonArea.getWidth() * buttonArea.getHeight() / 2);
    EXPECT_GT (darkPixels, 10) << "the button's text";

    dialog->exitModalState (0);
    ASSERT_TRUE (editortest::pumpUntil ([&answered] { return answered; }));
}
