// The news bell: its list of notices, the unread badge and the news switch.

#include "TopBarFixture.h"

using namespace topbartest;

namespace
{
struct NewsBellTest : TopBarTest
{
    /** A new instance that finds a fresh cached notice asking to be noticed. */
    void openWithUnreadNotice()
    {
        closeEditor();
        processor.reset();
        writeMakerSetting (orvel::OrvelSettings::newsNotificationsKey, true);
        const auto newsFile = orvel::OrvelSettings().getNewsFile();
        ASSERT_TRUE (newsFile.replaceWithText (R"(<?xml version="1.0" encoding="UTF-8"?><KESTRIVANE_NEWS latestVersion="9.0.0" kind="update notify"/>)"));
        processor = std::make_unique<WrendleFoldProcessor> (editortest::refusingNewsAddress());
        openEditor();
        recordPlatformServices();
        newsFile.deleteFile();
    }
};
} // namespace

TEST_F (NewsBellTest, TheBellListsTheUnreadNoticeClearsTheBadgeAndListsItAgainNextTime)
{
    openWithUnreadNotice();

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

TEST_F (NewsBellTest, WhileTheNewsCheckIsOffTheBadgeShowsNothing)
{
    openWithUnreadNotice();
    auto& notifications = processor->getNotifications();
    ASSERT_EQ (window->getUnreadBadge().getUnreadCount(), 1);

    // Switched off by another instance: an editor opened now shows no badge, and one
    // opened once it is on again shows what is still unread.
    writeMakerSetting (orvel::OrvelSettings::newsNotificationsKey, false);
    closeEditor();
    openEditor();
    EXPECT_EQ (window->getUnreadBadge().getUnreadCount(), 0);
    EXPECT_EQ (notifications.unreadFlag(), 1);

    writeMakerSetting (orvel::OrvelSettings::newsNotificationsKey, true);
    closeEditor();
    openEditor();
    EXPECT_EQ (window->getUnreadBadge().getUnreadCount(), 1);

    // Switched off here: the badge goes out at once and stays out.
    choose (optionsMenu(), { Texts::checkForNews });
    ASSERT_FALSE (readMakerSetting (orvel::OrvelSettings::newsNotificationsKey, true));
    EXPECT_EQ (window->getUnreadBadge().getUnreadCount(), 0);
    EXPECT_EQ (notifications.unreadFlag(), 0);
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
    choose (optionsMenu(), { Texts::checkForNews });
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
