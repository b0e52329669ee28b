#include "news/PluginNotifications.h"
#include "tests/support/LocalHttpServer.h"
#include "tests/support/TemporaryHome.h"

#include <gtest/gtest.h>

namespace
{

using orvel::OrvelSettings;
using orvel::PluginNotifications;
using wrendle_test::LocalHttpServer;

/** Collects JUCE log lines, where JUCE reports a thread it had to kill. */
class CapturingLogger : public juce::Logger
{
public:
    CapturingLogger() { juce::Logger::setCurrentLogger (this); }
    ~CapturingLogger() override { juce::Logger::setCurrentLogger (nullptr); }

    juce::StringArray lines;

private:
    void logMessage (const juce::String& message) override { lines.add (message); }
};

//==============================================================================
class NotificationsTest : public wrendle_test::TemporaryHomeTest
{
protected:
    juce::File newsFile() const { return OrvelSettings().getNewsFile(); }

    void writeCache (const juce::String& text, double ageHours) const
    {
        const auto file = newsFile();
        ASSERT_TRUE (file.replaceWithText (text));
        ASSERT_TRUE (file.setLastModificationTime (juce::Time::getCurrentTime()
                                                   - juce::RelativeTime::hours (ageHours)));
    }

    static std::string noticeDocument (const char* version, const char* kind)
    {
        return std::string ("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<KESTRIVANE_NEWS latestVersion=\"")
               + version + "\" kind=\"" + kind + "\"/>\n";
    }

    static juce::String refusingAddress() { return wrendle_test::refusingNewsAddress(); }

    static void waitForFetch (PluginNotifications& notifications)
    {
        ASSERT_TRUE (notifications.waitForThreadToExit (20000));
    }
};

//==============================================================================
TEST (PluginNotificationsVersions, NewerComparesDottedVersionsPartByPartAsIntegers)
{
    struct Case
    {
        const char* latest;
        const char* current;
        bool newer;
    };

    const Case cases[] = {
        { "1.2", "1.1.1", true }, { "1.1.1", "1.1.1", false }, { "1.1.1.1", "1.1.1", true }, { "1.1", "1.1.1", false }, { "1.10", "1.9", true }, { "1.9", "1.10", false }, { "2", "1.99.99", true }, { "1.1.0", "1.1.1", false }, { "", "", false }, { "", "1.1.1", false }, { "abc", "1.1.1", false }, { "1.1.2beta", "1.1.1", true }, { "1.99999999999", "1.2", true }, { "-2147483648", "1", false }, // out-of-range parts saturate
    };

    for (const auto& c : cases)
        EXPECT_EQ (PluginNotifications::isNewer (c.latest, c.current), c.newer) << c.latest << " vs " << c.current;
}

//==============================================================================
TEST_F (NotificationsTest, AFreshCacheIsShownRightAfterTheCheckAndAnErrorAnswerLeavesItInPlace)
{
    const auto cached = noticeDocument ("2.0.0", "update notify");
    writeCache (cached, 10.0);
    const auto cachedBytes = newsFile().loadFileAsString();

    LocalHttpServer server (LocalHttpServer::Behaviour::answer, 200, noticeDocument ("3.0.0", "error"));
    PluginNotifications notifications ("wrendlefold", server.address());
    notifications.checkForNews();

    ASSERT_EQ (notifications.getNumNotices(), 1);
    const auto notice = notifications.getNotice (0);
    EXPECT_EQ (notice.title, "New Version Available: v.2.0.0");
    EXPECT_EQ (notice.text, "Log in to your account to download the new version.");
    EXPECT_EQ (notice.link, "https://kestrivane.com/account/?source=pni");
    EXPECT_EQ (notice.kind, "update notify");
    EXPECT_EQ (notifications.unreadFlag(), 1);
    EXPECT_EQ (notifications.getLastKind(), "update notify");

    waitForFetch (notifications);
    EXPECT_EQ (server.requests().size(), 1u);
    EXPECT_EQ (newsFile().loadFileAsString(), cachedBytes);
    ASSERT_EQ (notifications.getNumNotices(), 1);
    EXPECT_EQ (notifications.getNotice (0).title, "New Version Available: v.2.0.0");
}

TEST_F (NotificationsTest, AStaleCacheIsNotReadAndWithoutNetworkTheListStaysEmpty)
{
    writeCache (noticeDocument ("2.0.0", "update notify"), 40.0);

    PluginNotifications notifications ("wrendlefold", refusingAddress());
    notifications.checkForNews();
    EXPECT_EQ (notifications.getNumNotices(), 0);

    waitForFetch (notifications);
    EXPECT_EQ (notifications.getNumNotices(), 0);
    EXPECT_EQ (notifications.unreadFlag(), 0);
    EXPECT_TRUE (newsFile().loadFileAsString().contains ("2.0.0"));
}

TEST_F (NotificationsTest, WithTheNewsSwitchOffNothingIsReadOrFetched)
{
    ASSERT_TRUE (OrvelSettings().writeMakerBool (OrvelSettings::newsNotificationsKey, false));
    writeCache (noticeDocument ("2.0.0", "update notify"), 1.0);

    LocalHttpServer server (LocalHttpServer::Behaviour::answer, 200, noticeDocument ("3.0.0", "notify"));

    {
        PluginNotifications notifications ("wrendlefold", server.address());
        notifications.checkForNews();

        EXPECT_FALSE (notifications.isThreadRunning());
        EXPECT_EQ (notifications.getNumNotices(), 0);
        EXPECT_EQ (notifications.unreadFlag(), 0);
    }

    EXPECT_TRUE (server.requests().empty());
}

TEST_F (NotificationsTest, WithoutACacheTheCheckCreatesAnEmptyOne)
{
    ASSERT_FALSE (newsFile().exists());

    PluginNotifications notifications ("wrendlefold", refusingAddress());
    notifications.checkForNews();
    waitForFetch (notifications);

    EXPECT_TRUE (newsFile().existsAsFile());
    EXPECT_EQ (newsFile().getSize(), 0);
}

//==============================================================================
TEST_F (NotificationsTest, AFetchedNoticeReplacesTheCacheAndRaisesTheFlagOnlyWhenItsKindCarriesTheMarker)
{
    struct Case
    {
        const char* version;
        const char* kind;
        int notices;
        int unread;
    };

    const Case cases[] = {
        { "1.2.0", "update notify", 1, 1 },
        { "1.2.0", "update", 1, 0 },
        { "1.1.1", "update notify", 0, 0 }, // not newer: cache refreshed, nothing shown
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (juce::String (c.version) + " " + c.kind);
        newsFile().deleteFile();

        const auto answer = noticeDocument (c.version, c.kind);
        LocalHttpServer server (LocalHttpServer::Behaviour::answer, 200, answer);
        PluginNotifications notifications ("wrendlefold", server.address());
        notifications.checkForNews();

        // Read from this thread while the fetch thread publishes; the sanitizer build
        // checks that the hand-over is race free.
        while (notifications.isThreadRunning())
        {
            for (int i = 0; i < notifications.getNumNotices(); ++i)
                EXPECT_TRUE (notifications.getNotice (i).title.startsWith ("New Version Available"));

            if (notifications.unreadFlag() == 1)
            {
                EXPECT_EQ (notifications.getNumNotices(), 1);
            }

            juce::Thread::yield();
        }

        waitForFetch (notifications);

        const auto requests = server.requests();
        ASSERT_EQ (requests.size(), 1u);
        EXPECT_EQ (requests[0], "POST /news/wrendlefold.kvn HTTP/1.1");

        EXPECT_EQ (newsFile().loadFileAsString(), juce::String (answer).replace ("\n", "\r\n"));
        EXPECT_EQ (notifications.getNumNotices(), c.notices);
        EXPECT_EQ (notifications.unreadFlag(), c.unread);

        if (c.notices == 1)
        {
            EXPECT_EQ (notifications.getNotice (0).title, juce::String ("New Version Available: v.") + c.version);
            EXPECT_EQ (notifications.getNotice (0).kind, c.kind);
        }

        notifications.clearUnread();
        EXPECT_EQ (notifications.unreadFlag(), 0);

        notifications.checkForNews(); // one fetch per instance
        waitForFetch (notifications);
        EXPECT_EQ (server.requests().size(), 1u);
    }
}

TEST_F (NotificationsTest, AnswersThatAreNotANoticeLeaveTheCacheAndTheShownNoticeAlone)
{
    struct Case
    {
        const char* name;
        int statusCode;
        std::string body;
    };

    const Case cases[] = {
        { "contains error", 200, noticeDocument ("9.0.0", "error-notify") },
        { "server failure", 500, noticeDocument ("9.0.0", "update notify") },
        { "not found page", 404, "<html><body>Not Found</body></html>" },
        { "portal page", 200, "<html><body>Please sign in</body></html>" },
        { "foreign root", 200, "<SOMETHING latestVersion=\"9.0.0\" kind=\"notify\"/>" },
        { "cut off inside the tag", 200, "<KESTRIVANE_NEWS latestVersion=\"9.0.0\" " },
        { "would hang JUCE's parser", 200, "<KESTRIVANE_NEWS latestVersion=\"9.0.0\"><?x?>b</KESTRIVANE_NEWS>" },
        { "binary", 200, std::string ("\x00\xff\xfe\x01garbage", 11) },
        { "oversized", 200, "<KESTRIVANE_NEWS latestVersion=\"9.0.0\" pad=\"" + std::string (300 * 1024, 'x') + "\"/>" },
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.name);
        writeCache (noticeDocument ("2.0.0", "update"), 1.0);
        const auto cachedBytes = newsFile().loadFileAsString();

        LocalHttpServer server (LocalHttpServer::Behaviour::answer, c.statusCode, c.body);
        PluginNotifications notifications ("wrendlefold", server.address());
        notifications.checkForNews();
        waitForFetch (notifications);

        EXPECT_EQ (server.requests().size(), 1u);
        EXPECT_EQ (newsFile().loadFileAsString(), cachedBytes);
        ASSERT_EQ (notifications.getNumNotices(), 1);
        EXPECT_EQ (notifications.getNotice (0).title, "New Version Available: v.2.0.0");
        EXPECT_EQ (notifications.unreadFlag(), 0);
    }
}

//==============================================================================
TEST_F (NotificationsTest, DestroyingDuringAFetchThatGetsNoAnswerReturnsWithinTheStopBound)
{
    const std::pair<const char*, LocalHttpServer::Behaviour> cases[] = {
        { "no answer at all", LocalHttpServer::Behaviour::neverAnswer },
        { "answer stalls inside the body", LocalHttpServer::Behaviour::stallInsideBody },
    };

    for (const auto& [name, behaviour] : cases)
    {
        SCOPED_TRACE (name);
        LocalHttpServer server (behaviour, 200, noticeDocument ("2.0.0", "update notify"));
        CapturingLogger log;

        auto notifications = std::make_unique<PluginNotifications> ("wrendlefold", server.address());
        notifications->checkForNews();
        ASSERT_TRUE (server.waitForRequest());

        // Give the fetch a moment to take in what was sent, so the stalled case is
        // destroyed while reading the body rather than while still connecting.
        juce::Thread::sleep (300);
        ASSERT_TRUE (notifications->isThreadRunning());

        const auto startMs = juce::Time::getMillisecondCounterHiRes();
        notifications.reset();
        const auto destructionMs = juce::Time::getMillisecondCounterHiRes() - startMs;

        // Not a speed requirement: the bound is what keeps a dead network from freezing
        // the host, and a thread JUCE had to kill would have left locks in odd states.
        EXPECT_LT (destructionMs, (double) PluginNotifications::stopTimeoutMs);
        EXPECT_FALSE (log.lines.joinIntoString ("\n").contains ("killing thread"));
    }
}

} // namespace
