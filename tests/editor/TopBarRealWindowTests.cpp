// The top bar in a real X11 window (under Xvfb): menus and the news window drawn
// through the look and feel.

#include "TopBarFixture.h"

#include <algorithm>
#include <map>
#include <set>
#include <vector>

#if JUCE_LINUX || JUCE_BSD
#include <X11/Xlib.h>
#endif

using namespace topbartest;

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
        XSetErrorHandler ([] (Display*, XErrorEvent*)
                          { return 0; });
#endif

        TopBarTest::SetUp();
        editor->setTopLeftPosition (40, 40);
        editor->addToDesktop (0);
        editor->setVisible (true);
        ASSERT_TRUE (editortest::pumpUntil ([this]
                                            { return editor->isShowing() && editor->getPeer() != nullptr; }));
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
    ASSERT_TRUE (editortest::pumpUntil ([modal]
                                        { return modal->getNumModalComponents() > 0; }));
    auto* menuWindow = modal->getModalComponent (0);
    ASSERT_NE (menuWindow, nullptr);
    EXPECT_TRUE (window->isParentOf (menuWindow)) << "menus open inside the plug-in window";
    editortest::pumpUntil ([menuWindow]
                           { return menuWindow->getAlpha() >= 1.0f; },
                           500);

    const auto menuArea = editor->getLocalArea (menuWindow, menuWindow->getLocalBounds());
    const auto withMenu = snapshot ("topbar-options-menu.png");
    expectLightWithDarkText (withMenu, menuArea, "options menu");

    juce::PopupMenu::dismissAllActiveMenus();
    ASSERT_TRUE (editortest::pumpUntil ([modal]
                                        { return modal->getNumModalComponents() == 0; }));

    // The news window: the panel hangs under the bell, the rest of the window dims.
    const auto before = snapshot ("topbar-before-news.png");
    window->showNews();
    auto& news = window->getNewsWindow();
    ASSERT_TRUE (editortest::pumpUntil ([&news]
                                        { return news.isVisible() && news.getAlpha() >= 1.0f; }));

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
    ASSERT_TRUE (editortest::pumpUntil ([&about]
                                        { return about.isVisible() && about.getAlpha() >= 1.0f; }));

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
                                       [&answered] (const juce::File&)
                                       { answered = true; });
    auto* dialog = dynamic_cast<juce::FileChooserDialogBox*> (modal->getModalComponent (0));

    if (dialog == nullptr)
    {
        modal->cancelAllModalComponents();
        GTEST_SKIP() << "the desktop's own file dialog opened";
    }

    ASSERT_TRUE (editortest::pumpUntil ([dialog]
                                        { return dialog->isShowing(); }));
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
    ASSERT_TRUE (editortest::pumpUntil ([&answered]
                                        { return answered; }));
}
