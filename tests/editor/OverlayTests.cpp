// The top bar's boxes and unread badge, the about window and the news window.

#include "EditorTestSupport.h"

#include "editor/AboutWindow.h"
#include "editor/NotificationWindow.h"
#include "editor/TopBarBoxes.h"

#include <vector>

using editortest::paintToImage;
using editortest::pumpUntil;

namespace
{
/** The smallest rectangle holding every pixel that is not fully transparent. */
juce::Rectangle<int> paintedArea (const juce::Image& image)
{
    juce::Rectangle<int> area;

    for (int y = 0; y < image.getHeight(); ++y)
        for (int x = 0; x < image.getWidth(); ++x)
            if (image.getPixelAt (x, y).getAlpha() > 0)
                area = area.isEmpty() ? juce::Rectangle<int> (x, y, 1, 1)
                                      : area.getUnion ({ x, y, 1, 1 });

    return area;
}

juce::MouseEvent pressAt (juce::Component& target, juce::Point<int> position)
{
    return editortest::mouseEvent (target, position.toFloat(), juce::ModifierKeys::leftButtonModifier);
}

/** What the window hit test would hand a real click at this point. */
bool clickLandsOnItself (juce::Component& component, juce::Point<int> position)
{
    return component.getComponentAt (position) == &component;
}
} // namespace

//==============================================================================
TEST (TopBoxTest, StartsWithTheDarkColoursAndIgnoresTheMouse)
{
    orvel::OrvelTopBox box;

    EXPECT_EQ (box.getCornerSize(), 3);
    EXPECT_EQ (box.getFillColour(), juce::Colour (0xff1f2020));
    EXPECT_EQ (box.getInnerOutlineColour(), juce::Colour (0xff000000));
    EXPECT_EQ (box.getLowerOutlineColour(), juce::Colour (0xff1f2122));

    bool selfClicks = true, childClicks = true;
    box.getInterceptsMouseClicks (selfClicks, childClicks);
    EXPECT_FALSE (selfClicks);
    EXPECT_FALSE (childClicks);
}

TEST (TopBoxTest, FillsItsBodyAndShowsTheLowerOutlineAsALipUnderTheInnerOutline)
{
    orvel::OrvelTopBox box;
    box.setSize (92, 29);
    box.setColours (juce::Colour (0xff0000ff), juce::Colour (0xffff0000), juce::Colour (0xff00ff00));

    const auto image = paintToImage (box);

    EXPECT_EQ (image.getPixelAt (46, 14), juce::Colour (0xff0000ff));

    // The inner outline ends at y = h - 2, the lower one a unit further down:
    // the bottom row shows only the lip's colour.
    const auto lip = image.getPixelAt (46, 28);
    EXPECT_GT (lip.getAlpha(), 0);
    EXPECT_GT (lip.getGreen(), 0);
    EXPECT_EQ (lip.getRed(), 0);
    EXPECT_EQ (lip.getBlue(), 0);
}

//==============================================================================
TEST (BadgeTest, ACountOfZeroOrLessDrawsNothing)
{
    for (const int count : { 0, -1, -7 })
    {
        orvel::OrvelTopNotificationAmount badge;
        badge.setSize (11, 16);
        badge.setUnreadCount (count);

        EXPECT_TRUE (paintedArea (paintToImage (badge)).isEmpty()) << count;
    }
}

TEST (BadgeTest, ACountDrawsASmallRoundRedDotWithLightDigits)
{
    for (const int count : { 1, 42 })
    {
        orvel::OrvelTopNotificationAmount badge;
        badge.setSize (10, 10);
        badge.setUnreadCount (count);
        const auto image = paintToImage (badge);

        EXPECT_EQ (paintedArea (image), juce::Rectangle<int> (0, 0, 10, 10)) << count;
        for (const auto corner : { juce::Point<int> (0, 0), juce::Point<int> (9, 0), juce::Point<int> (0, 9), juce::Point<int> (9, 9) })
            EXPECT_LT (image.getPixelAt (corner.x, corner.y).getAlpha(), 64) << "round, not square: " << corner.toString();

        if (count == 1)
        {
            EXPECT_EQ (image.getPixelAt (2, 5), juce::Colour (0xffe74f47));
        }

        int lightPixels = 0;
        for (int y = 2; y < 8; ++y)
            for (int x = 2; x < 8; ++x)
                if (image.getPixelAt (x, y).getGreen() > 0xc0)
                    ++lightPixels;
        EXPECT_GT (lightPixels, 0) << count;
    }
}

TEST (BadgeTest, IgnoresTheMouseSoTheBellBeneathGetsTheClick)
{
    orvel::OrvelTopNotificationAmount badge;
    bool selfClicks = true, childClicks = true;
    badge.getInterceptsMouseClicks (selfClicks, childClicks);

    EXPECT_FALSE (selfClicks);
    EXPECT_FALSE (childClicks);
}

TEST (BubbleTest, ATwoLineTextIsDrawnOnTwoLinesClearOfTheEdgesOnAnOpaqueBody)
{
    orvel::OrvelBubble bubble (0.0f);
    bubble.setSize (210, 48);
    bubble.setFont (juce::Font (14.0f));
    bubble.setText ("Look behind you,\na Three-Headed Monkey!");
    const auto image = paintToImage (bubble);

    const auto fill = image.getPixelAt (4, 24);
    EXPECT_EQ (fill.getAlpha(), 255) << "nothing behind the bubble shows through";

    // Rows holding ink between the side paddings.
    std::vector<bool> inked;
    for (int y = 0; y < image.getHeight(); ++y)
    {
        bool any = false;
        for (int x = orvel::OrvelBubble::textPaddingX; x < image.getWidth() - orvel::OrvelBubble::textPaddingX; ++x)
            any = any || image.getPixelAt (x, y) != fill;
        inked.push_back (any);
    }

    int bands = 0;
    for (size_t y = 1; y + 1 < inked.size(); ++y)
        bands += inked[y] && ! inked[y - 1] ? 1 : 0;
    EXPECT_EQ (bands, 2) << "one band of ink per line";

    for (int y = 2; y <= orvel::OrvelBubble::textPaddingY; ++y)
    {
        EXPECT_FALSE (inked[(size_t) y]) << "ink at row " << y;
        EXPECT_FALSE (inked[inked.size() - 1 - (size_t) y]) << "ink at row " << inked.size() - 1 - (size_t) y;
    }
}

//==============================================================================
struct AboutWindowTest : ::testing::Test
{
    void SetUp() override
    {
        about.setSize (480, 460);
        about.showWindow (1);
    }

    void TearDown() override { editortest::pumpPending(); }

    juce::Point<int> logoCentre() const { return about.getLogoBand().getCentre(); }

    void clickLogo (int times)
    {
        for (int i = 0; i < times; ++i)
            about.mouseDown (pressAt (about, logoCentre()));
    }

    /** A press on the bubble as JUCE delivers it: to the bubble, then to the
        about window, which listens to it. */
    void clickBubble()
    {
        auto& bubble = const_cast<orvel::OrvelBubble&> (about.getBubble());
        const auto e = pressAt (bubble, bubble.getLocalBounds().getCentre());
        bubble.mouseDown (e);
        about.mouseDown (e);
    }

    AboutWindow about;
};

TEST_F (AboutWindowTest, CentresThePanelTwelveUnitsLowAndLaysOutLogoNameAndVersion)
{
    EXPECT_EQ (about.getPanelBounds(), juce::Rectangle<int> (120, 52, 240, 380));
    EXPECT_TRUE (about.isVisible());
    EXPECT_TRUE (about.isAlwaysOnTop());

    // The round logo fitted, centred, into the 240 x 48 band.
    ASSERT_NE (about.getLogo(), nullptr);
    const auto logo = about.getLogo()->getDrawableBounds().transformedBy (about.getLogo()->getTransform());
    EXPECT_NEAR (logo.getX(), 216.0f, 0.05f);
    EXPECT_NEAR (logo.getY(), 63.0f, 0.05f);
    EXPECT_NEAR (logo.getWidth(), 48.0f, 0.05f);
    EXPECT_NEAR (logo.getHeight(), 48.0f, 0.05f);

    const auto& name = about.getLabel (AboutWindow::productNameLabel);
    EXPECT_EQ (name.getText(), "Wrendle Fold");
    EXPECT_EQ (name.getBounds(), juce::Rectangle<int> (120, 125, 240, 20));

    const auto version = about.getLabel (AboutWindow::versionLabel).getText();
    EXPECT_TRUE (version.startsWith ("Version 1.1.1 (")) << version;
    EXPECT_TRUE (version.endsWith (")")) << version;

    EXPECT_EQ (about.getLabel (AboutWindow::secondValueLabel).getBounds(), juce::Rectangle<int> (120, 238, 240, 42));
    EXPECT_EQ (about.getLabel (AboutWindow::copyrightLabel).getBounds(), juce::Rectangle<int> (120, 385, 240, 42));

    for (int i = 0; i < AboutWindow::numLabels; ++i)
        EXPECT_FALSE (about.getLabel ((AboutWindow::LabelIndex) i).getText().isEmpty()) << i;

    const auto image = paintToImage (about);
    EXPECT_EQ (image.getPixelAt (20, 20).getAlpha(), 0x80) << "the dimmed main window";
    EXPECT_NEAR (editortest::luma (image, 20, 20), 32.0f, 2.0f);
    EXPECT_GT (editortest::luma (image, 130, 300), 180.0f) << "the light panel";
}

TEST_F (AboutWindowTest, LogoClicksShowTheBubbleOnTheFourthAndChangeItsTextAtFixedCounts)
{
    struct Step
    {
        int clicks;
        bool showing;
        const char* text;
    };

    const Step steps[] {
        { 3, false, AboutWindow::curiousText },
        { 4, true, "You are uncommonly curious!" },
        { 5, true, "You are uncommonly curious!" },
        { 6, true, "Look behind you,\na Three-Headed Monkey!" },
        { 8, true, "Banana Hammock." },
        { 10, true, "What happens if you\nclick it 42 times?" },
        { 37, true, "What happens if you\nclick it 42 times?" },
        { 38, true, "The answer is..." },
        { 42, true, "42" },
        { 50, true, "42" },
    };

    for (const auto& step : steps)
    {
        clickLogo (step.clicks - about.getLogoClicks());

        EXPECT_EQ (about.getLogoClicks(), step.clicks);
        EXPECT_EQ (about.isBubbleShowing(), step.showing) << step.clicks;
        EXPECT_EQ (about.getBubble().getText(), juce::String (step.text)) << step.clicks;
        EXPECT_TRUE (about.isVisible()) << "logo clicks never close the window";
    }
}

TEST_F (AboutWindowTest, TheLogoBandIncludesItsEdgesAndAnyOtherClickClosesTheWindow)
{
    const auto panel = about.getPanelBounds();
    const auto x = panel.getX(), y = panel.getY();

    struct Case
    {
        juce::Point<int> position;
        bool logoClick;
    };

    const Case cases[] {
        { { x, y + 11 }, true },
        { { x + 240, y + 59 }, true },
        { { x + 120, y + 59 }, true },
        { { x + 120, y + 60 }, false },
        { { x + 120, y + 10 }, false },
        { { x - 1, y + 30 }, false },
        { { x + 120, y + 80 }, false }, // on the product name: labels let the click through
        { { 10, 10 }, false },          // the dimmed main window
    };

    for (const auto& c : cases)
    {
        about.showWindow (1);
        ASSERT_TRUE (clickLandsOnItself (about, c.position)) << c.position.toString();

        about.mouseDown (pressAt (about, c.position));

        EXPECT_EQ (about.getLogoClicks(), c.logoClick ? 1 : 0) << c.position.toString();
        EXPECT_EQ (about.isVisible(), c.logoClick) << c.position.toString();
    }
}

TEST_F (AboutWindowTest, WithTwoClicksToCloseTheFirstOutsideClickLeavesTheWindowOpen)
{
    about.showWindow (2);

    about.mouseDown (pressAt (about, { 10, 10 }));
    EXPECT_TRUE (about.isVisible());

    about.mouseDown (pressAt (about, { 10, 10 }));
    EXPECT_FALSE (about.isVisible());
}

TEST_F (AboutWindowTest, ClickingTheBubbleHidesItWithoutClosingTheWindowEvenInItsFirstFadeFrame)
{
    for (const bool letTheFadeRun : { true, false })
    {
        about.showWindow (1);
        clickLogo (4);
        ASSERT_TRUE (about.isBubbleShowing());

        if (letTheFadeRun)
        {
            ASSERT_TRUE (pumpUntil ([this]
                                    { return about.getBubble().getAlpha() > 0.0f; }));
        }

        clickBubble();

        EXPECT_FALSE (about.isBubbleShowing()) << letTheFadeRun;
        EXPECT_TRUE (about.isVisible()) << letTheFadeRun;
        EXPECT_EQ (about.getLogoClicks(), 4) << letTheFadeRun;
    }
}

TEST_F (AboutWindowTest, ReopeningHidesABubbleLeftShowingAndStartsCountingAgain)
{
    clickLogo (6);
    ASSERT_TRUE (about.isBubbleShowing());
    about.mouseDown (pressAt (about, { 10, 10 }));
    ASSERT_FALSE (about.isVisible());

    about.showWindow (1);
    EXPECT_FALSE (about.isBubbleShowing());
    EXPECT_EQ (about.getLogoClicks(), 0);

    clickLogo (3);
    EXPECT_FALSE (about.isBubbleShowing());
    clickLogo (1);
    EXPECT_TRUE (about.isBubbleShowing());
    EXPECT_EQ (about.getBubble().getText(), juce::String (AboutWindow::curiousText));
}

//==============================================================================
struct NotificationWindowTest : ::testing::Test
{
    void SetUp() override
    {
        window.setSize (480, 460);
        window.setAnchor (400, 16);
        window.setLinkOpener ([this] (const juce::URL& url)
                              { opened.push_back (url.toString (true)); });
    }

    void TearDown() override { editortest::pumpPending(); }

    void fill (int numNotices, const juce::String& link = "https://kestrivane.com/account/")
    {
        window.clearNotices();

        for (int i = 0; i < numNotices; ++i)
            window.addNotice ("Title " + juce::String (i), "Text " + juce::String (i), link, "update notify");
    }

    orvel::NotificationList::NotificationEntry& entry (int index)
    {
        auto* found = window.getList().getEntry (index);
        EXPECT_NE (found, nullptr);
        return *found;
    }

    /** A point in the middle of a row, in the window's coordinates. */
    juce::Point<int> rowCentre (int index)
    {
        return window.getLocalPoint (&entry (index), entry (index).getLocalBounds().getCentre());
    }

    orvel::NotificationWindow window { 300 };
    std::vector<juce::String> opened;
};

TEST_F (NotificationWindowTest, PanelSizeAndScrollBarFollowTheNumberOfNotices)
{
    struct Case
    {
        int notices, width, height;
        bool scrollBar;
    };

    const Case cases[] {
        { 1, 290, 66, false },
        { 2, 290, 130, false },
        { 3, 300, 130, true },
        { 5, 300, 130, true },
    };

    for (const auto& c : cases)
    {
        fill (c.notices);
        window.showNotices (1);

        EXPECT_EQ (window.getPanelBounds(), juce::Rectangle<int> (100, 40, c.width, c.height)) << c.notices;
        EXPECT_EQ (window.getViewport().getVerticalScrollBar().isVisible(), c.scrollBar) << c.notices;
        EXPECT_FALSE (window.getViewport().getHorizontalScrollBar().isVisible()) << c.notices;

        // The rows start inside the panel, whatever was laid out before.
        EXPECT_EQ (rowCentre (0), juce::Point<int> (104 + 141, 44 + 32)) << c.notices;

        for (int i = 0; i < c.notices; ++i)
            EXPECT_EQ (entry (i).isLastEntry(), i == c.notices - 1) << c.notices << " row " << i;

        const auto image = paintToImage (window);
        EXPECT_EQ (image.getPixelAt (20, 300).getAlpha(), 115) << "the dimmed main window";
        // Between the panel's top edge and the rows: the panel is 290 or 300 wide.
        EXPECT_GT (editortest::luma (image, 100 + 285, 42), 150.0f) << c.notices;
        EXPECT_EQ (editortest::luma (image, 100 + 295, 42) > 150.0f, c.width == 300) << c.notices;
    }
}

TEST_F (NotificationWindowTest, AClickOnANoticeOpensItsLinkAndLeavesTheWindowOpenAClickElsewhereClosesIt)
{
    fill (1);
    window.showNotices (1);

    ASSERT_EQ (window.getComponentAt (rowCentre (0)), &entry (0));
    entry (0).mouseDown (pressAt (entry (0), entry (0).getLocalBounds().getCentre()));

    EXPECT_EQ (opened, std::vector<juce::String> { "https://kestrivane.com/account/" });
    EXPECT_TRUE (window.isVisible());

    // Beside the row, inside the panel, and on the dimmed area: the window itself.
    for (const auto position : { juce::Point<int> (100 + 292, 60), juce::Point<int> (20, 300) })
    {
        window.showNotices (1);
        ASSERT_TRUE (clickLandsOnItself (window, position)) << position.toString();

        window.mouseDown (pressAt (window, position));
        EXPECT_FALSE (window.isVisible()) << position.toString();
    }

    EXPECT_EQ (opened.size(), 1u);
}

TEST_F (NotificationWindowTest, OnlyWebLinksShowTheHandAndOpenOnAClick)
{
    struct Case
    {
        const char* link;
        bool opens;
    };

    const Case cases[] {
        { "https://kestrivane.com/account/?source=pni", true },
        { "http://kestrivane.com/", true },
        { "", false },
        { "#", false },
        { "file:///etc/passwd", false },
        { "/usr/bin/xterm", false },
    };

    for (const auto& c : cases)
    {
        opened.clear();
        fill (1, c.link);
        window.showNotices (1);
        entry (0).mouseDown (pressAt (entry (0), { 100, 30 }));

        EXPECT_EQ (opened.size(), c.opens ? 1u : 0u) << c.link;
        EXPECT_EQ (entry (0).getMouseCursor() == juce::MouseCursor::PointingHandCursor, c.opens)
            << c.link;
        EXPECT_TRUE (window.isVisible()) << c.link;
    }
}

TEST_F (NotificationWindowTest, EachKindGetsItsIconAndTheTextHoldsTitleThenText)
{
    using Icon = orvel::NotificationList::Icon;

    struct Case
    {
        const char* kind;
        Icon icon;
    };

    const Case cases[] {
        { "update notify", Icon::download },
        { "Update", Icon::download },
        { "hello", Icon::face },
        { "news", Icon::newspaper },
        { "updates", Icon::newspaper },
        { "", Icon::newspaper },
    };

    for (const auto& c : cases)
    {
        window.clearNotices();
        window.addNotice ("New Version Available: v.1.2.0", "Log in to download it.", "#", c.kind);

        EXPECT_EQ (entry (0).getIconKind(), c.icon) << c.kind;
        ASSERT_NE (entry (0).getIcon(), nullptr) << c.kind;
        EXPECT_TRUE (juce::Rectangle<int> (5, 5, 15, 15).contains (entry (0).getIcon()->getBoundsInParent())) << c.kind;
    }

    EXPECT_EQ (entry (0).getText().getText(), "New Version Available: v.1.2.0\nLog in to download it.\n");
}

TEST_F (NotificationWindowTest, HoverHighlightsARowAndOnlyRowsAboveTheLastHaveASeparator)
{
    fill (2);
    window.showNotices (1);

    auto& first = entry (0);
    auto& last = entry (1);
    const auto blankSpot = juce::Point<int> (15, 45); // below the icon, left of the text

    EXPECT_EQ (paintToImage (first).getPixelAt (blankSpot.x, blankSpot.y).getAlpha(), 0);
    first.mouseEnter (pressAt (first, blankSpot));
    EXPECT_TRUE (first.isHovered());
    EXPECT_GT (paintToImage (first).getPixelAt (blankSpot.x, blankSpot.y).getAlpha(), 200);
    first.mouseExit (pressAt (first, blankSpot));
    EXPECT_FALSE (first.isHovered());

    const auto separatorY = orvel::NotificationList::entryHeight - 3;
    EXPECT_GT (paintToImage (first).getPixelAt (100, separatorY).getAlpha(), 0);
    EXPECT_EQ (paintToImage (last).getPixelAt (100, separatorY).getAlpha(), 0);
}

TEST_F (NotificationWindowTest, ClearingRemovesEveryRowAndTheNextNoticeStartsAtTheTop)
{
    fill (3);
    window.clearNotices();
    EXPECT_EQ (window.getNumNotices(), 0);
    EXPECT_EQ (window.getList().getHeight(), 0);

    window.addNotice ("Only", "one", "#", "hello");
    window.showNotices (1);

    EXPECT_EQ (window.getNumNotices(), 1);
    EXPECT_EQ (entry (0).getBounds(), juce::Rectangle<int> (0, 0, 282, 64));
    EXPECT_TRUE (entry (0).isLastEntry());
    EXPECT_EQ (window.getList().getHeight(), 64);
}
