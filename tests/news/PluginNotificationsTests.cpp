#include "news/PluginNotifications.h"
#include "tests/support/LocalHttpServer.h"
#include "tests/support/TemporaryHome.h"

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <memory>
#include <vector>

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

    /** An instance on the test's clock: now, moved on by advanceClock(). */
    std::unique_ptr<PluginNotifications> makeNotifications (const juce::String& address)
    {
        return std::make_unique<PluginNotifications> ("wrendlefold", address, [this]
                                                      { return juce::Time (nowMs.load()); });
    }

    void advanceClock (juce::RelativeTime step) { nowMs += step.inMilliseconds(); }

    std::atomic<juce::int64> nowMs { juce::Time::getCurrentTime().toMilliseconds() };
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
        productSettingsFile().deleteFile(); // each case is the day's first fetch

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
        productSettingsFile().deleteFile(); // each case is the day's first fetch

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
// One fetch a day for all of the user's instances, whether it worked or not.

TEST_F (NotificationsTest, TenInstancesInARowMakeOneRequestShowTheCachedNoticeAndADayLaterOneMore)
{
    LocalHttpServer server (LocalHttpServer::Behaviour::answer, 200, noticeDocument ("2.0.0", "update notify"));

    const auto openInstances = [&] (int count)
    {
        for (int i = 0; i < count; ++i)
        {
            auto notifications = makeNotifications (server.address());
            notifications->checkForNews();

            // All but the day's first show the notice it fetched at once.
            if (! server.requests().empty())
            {
                EXPECT_EQ (notifications->getNumNotices(), 1) << "instance " << i;
            }

            waitForFetch (*notifications);
        }
    };

    openInstances (10);
    EXPECT_EQ (server.requests().size(), 1u);

    advanceClock (juce::RelativeTime::hours (PluginNotifications::hoursBetweenFetches) - juce::RelativeTime::minutes (1));
    openInstances (3);
    EXPECT_EQ (server.requests().size(), 1u) << "not yet a day";

    advanceClock (juce::RelativeTime::minutes (1));
    openInstances (10);
    EXPECT_EQ (server.requests().size(), 2u) << "a day after the first";
}

TEST_F (NotificationsTest, TenInstancesCheckingAtOnceMakeOneRequest)
{
    LocalHttpServer server (LocalHttpServer::Behaviour::answer, 200, noticeDocument ("2.0.0", "update notify"));
    std::vector<std::unique_ptr<PluginNotifications>> instances;

    for (int i = 0; i < 10; ++i)
        instances.push_back (makeNotifications (server.address()));

    for (auto& notifications : instances)
        notifications->checkForNews();

    for (auto& notifications : instances)
        waitForFetch (*notifications);

    EXPECT_EQ (server.requests().size(), 1u);
}

TEST_F (NotificationsTest, AFailedFetchWaitsADayLikeASuccessfulOne)
{
    LocalHttpServer server (LocalHttpServer::Behaviour::answer, 500, "");

    for (int i = 0; i < 3; ++i)
    {
        auto notifications = makeNotifications (server.address());
        notifications->checkForNews();
        waitForFetch (*notifications);
    }

    EXPECT_EQ (server.requests().size(), 1u);

    advanceClock (juce::RelativeTime::hours (PluginNotifications::hoursBetweenFetches));
    auto nextDay = makeNotifications (server.address());
    nextDay->checkForNews();
    waitForFetch (*nextDay);
    EXPECT_EQ (server.requests().size(), 2u);
}

TEST_F (NotificationsTest, WithTheSwitchOffTenInstancesMakeNoRequestAndLeaveTheDaysFetchToTheNextOneOn)
{
    LocalHttpServer server (LocalHttpServer::Behaviour::answer, 200, noticeDocument ("2.0.0", "update notify"));
    ASSERT_TRUE (OrvelSettings().writeMakerBool (OrvelSettings::newsNotificationsKey, false));

    for (int i = 0; i < 10; ++i)
    {
        auto notifications = makeNotifications (server.address());
        notifications->checkForNews();
        EXPECT_FALSE (notifications->isThreadRunning());
    }

    EXPECT_TRUE (server.requests().empty());
    EXPECT_FALSE (productSettingsFile().existsAsFile() && productSettingsFile().loadFileAsString().contains (OrvelSettings::lastNewsCheckKey));

    ASSERT_TRUE (OrvelSettings().writeMakerBool (OrvelSettings::newsNotificationsKey, true));
    auto switchedOn = makeNotifications (server.address());
    switchedOn->checkForNews();
    waitForFetch (*switchedOn);
    EXPECT_EQ (server.requests().size(), 1u);
}

TEST_F (NotificationsTest, TheLastAttemptOnRecordDecidesWhetherAnInstanceFetches)
{
    struct Case
    {
        const char* description;
        std::function<juce::String (juce::Time now)> recorded;
        bool fetches;
    };

    const auto hoursFrom = [] (double hours)
    {
        return [hours] (juce::Time now)
        { return juce::String ((now + juce::RelativeTime::hours (hours)).toMilliseconds()); };
    };

    const Case cases[] = {
        { "an hour ago", hoursFrom (-1.0), false },
        { "a day ago", hoursFrom (-24.0), true },
        { "an hour ahead (another process's clock)", hoursFrom (1.0), false },
        { "two days ahead (a clock put back since)", hoursFrom (48.0), true },
        { "not a number", [] (juce::Time)
          { return juce::String ("soon"); },
          true },
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.description);
        const auto now = juce::Time (nowMs.load());
        writeText (productSettingsFile(), "<WrendleFold_GLOBAL_SETTINGS WindowSize=\"1.5\" LastNewsCheck=\"" + c.recorded (now) + "\"/>");

        LocalHttpServer server (LocalHttpServer::Behaviour::answer, 200, noticeDocument ("2.0.0", "update"));
        auto notifications = makeNotifications (server.address());
        notifications->checkForNews();
        waitForFetch (*notifications);

        EXPECT_EQ (server.requests().size(), c.fetches ? 1u : 0u);

        // A fetch records its time and keeps the other settings.
        OrvelSettings settings;
        settings.loadProductSettings (true);
        EXPECT_EQ (settings.getProductDouble (OrvelSettings::windowSizeKey, 0.0), 1.5);

        if (c.fetches)
        {
            EXPECT_EQ (settings.getProductString (OrvelSettings::lastNewsCheckKey), juce::String (now.toMilliseconds()));
        }
    }
}

TEST_F (NotificationsTest, AnInstanceThatCannotRecordItsAttemptDoesNotFetch)
{
    // Something this store cannot read: it is never written over, so no attempt can be recorded.
    writeText (productSettingsFile(), "<WrendleFold_GLOBAL_SETTINGS WindowSize=\"1.5\"");
    const auto unreadable = productSettingsFile().loadFileAsString();

    LocalHttpServer server (LocalHttpServer::Behaviour::answer, 200, noticeDocument ("2.0.0", "update"));
    auto notifications = makeNotifications (server.address());
    notifications->checkForNews();
    waitForFetch (*notifications);

    EXPECT_TRUE (server.requests().empty());
    EXPECT_EQ (productSettingsFile().loadFileAsString(), unreadable);
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
        productSettingsFile().deleteFile(); // each case is the day's first fetch
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
