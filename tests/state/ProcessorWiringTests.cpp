#include "ProcessorStateFixture.h"
#include "editor/SharedData.h"
#include "tests/support/LocalHttpServer.h"

#include <gtest/gtest.h>

namespace
{

using namespace wrendle_test;

class ProcessorWiringTest : public TemporaryHomeTest
{
protected:
    juce::File newsCache() const { return base().getChildFile ("Temp/News/WrendleFold.kvn"); }

    void writeNewsCache (const char* version, double ageHours) const
    {
        writeText (newsCache(), juce::String ("<KESTRIVANE_NEWS latestVersion=\"") + version + "\" kind=\"update notify\"/>");
        ASSERT_TRUE (newsCache().setLastModificationTime (juce::Time::getCurrentTime() - juce::RelativeTime::hours (ageHours)));
    }
};

//==============================================================================
TEST_F (ProcessorWiringTest, StoredUserSettingsReachTheProcessorClampedWhenItIsBuilt)
{
    switchNewsOff();
    writeText (productSettingsFile(), "<WrendleFold_GLOBAL_SETTINGS WindowSize=\"3.5\" Brightness=\"0.9\" "
                                      "Contrast=\"-0.25\" EnvelopeLinear=\"1\"/>");
    writeText (makerSettingsFile(), "<KESTRIVANE_GLOBAL_SETTINGS KV-pn1=\"0\" KV-LHMouse=\"1\" KV-AccelerateGUI=\"yes\"/>");

    WrendleFoldProcessor processor (refusingNewsAddress());
    const auto& cache = processor.getUserSettings();

    EXPECT_EQ (cache.windowSize, 2.0);
    EXPECT_EQ (cache.brightness, 0.5f);
    EXPECT_EQ (cache.contrast, -0.25f);
    EXPECT_TRUE (cache.leftHandedMouse);
    EXPECT_TRUE (cache.accelerateGui);
    EXPECT_TRUE (processor.isEnvelopeLinear());

    // The shared skin images take the adjustment.
    ASSERT_NE (processor.getSharedData(), nullptr);
    EXPECT_EQ (processor.getSharedData()->getBrightness(), 0.5f);
    EXPECT_EQ (processor.getSharedData()->getContrast(), -0.25f);

    // Building a processor writes no setting.
    EXPECT_EQ (productSettingsFile().loadFileAsString(),
               "<WrendleFold_GLOBAL_SETTINGS WindowSize=\"3.5\" Brightness=\"0.9\" Contrast=\"-0.25\" EnvelopeLinear=\"1\"/>");
}

TEST_F (ProcessorWiringTest, AFreshCachedNoticeIsThereAsSoonAsTheProcessorIsBuilt)
{
    writeNewsCache ("2.0.0", 10.0);

    WrendleFoldProcessor processor (refusingNewsAddress());

    ASSERT_EQ (processor.getNotifications().getNumNotices(), 1);
    EXPECT_EQ (processor.getNotifications().getNotice (0).title, "New Version Available: v.2.0.0");
    EXPECT_EQ (processor.getNotifications().unreadFlag(), 1);
}

TEST_F (ProcessorWiringTest, WithTheNewsSwitchOffAProcessorReadsAndFetchesNothing)
{
    switchNewsOff();
    writeNewsCache ("2.0.0", 1.0);
    LocalHttpServer server (LocalHttpServer::Behaviour::answer, 200, "<KESTRIVANE_NEWS latestVersion=\"3.0.0\" kind=\"notify\"/>");

    {
        WrendleFoldProcessor processor (server.address());
        EXPECT_FALSE (processor.getNotifications().isThreadRunning());
        EXPECT_EQ (processor.getNotifications().getNumNotices(), 0);
    }

    EXPECT_TRUE (server.requests().empty());
}

TEST_F (ProcessorWiringTest, TheFetchAsksTheGivenServerForTheProductFileOnce)
{
    const std::string answer = "<KESTRIVANE_NEWS latestVersion=\"1.2.0\" kind=\"update\"/>";
    LocalHttpServer server (LocalHttpServer::Behaviour::answer, 200, answer);

    WrendleFoldProcessor processor (server.address());
    ASSERT_TRUE (processor.getNotifications().waitForThreadToExit (20000));

    const auto requests = server.requests();
    ASSERT_EQ (requests.size(), 1u);
    EXPECT_EQ (requests[0], "POST /news/wrendlefold.kvn HTTP/1.1");
    ASSERT_EQ (processor.getNotifications().getNumNotices(), 1);
    EXPECT_EQ (processor.getNotifications().getNotice (0).title, "New Version Available: v.1.2.0");
    EXPECT_EQ (processor.getNotifications().unreadFlag(), 0);
}

TEST_F (ProcessorWiringTest, DestroyingAProcessorStopsAFetchThatGetsNoAnswer)
{
    LocalHttpServer server (LocalHttpServer::Behaviour::neverAnswer);

    auto processor = std::make_unique<WrendleFoldProcessor> (server.address());
    ASSERT_TRUE (server.waitForRequest());
    ASSERT_TRUE (processor->getNotifications().isThreadRunning());

    processor.reset(); // returns: the fetcher's stop is bounded (see PluginNotifications)
    SUCCEED();
}

} // namespace
