// The top bar itself: its controls and tooltips, the links menu, a rebuild.

#include "TopBarFixture.h"

using namespace topbartest;

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
