#include "ClapCheckTestSupport.h"

#include <atomic>
#include <thread>

namespace clapcheck::test
{
namespace
{

    /** Without a thread-check table the plug-in cannot know its thread, so every task is queued. */
    class ClapcheckMainThreadTasks : public PluginFixture
    {
    public:
        void SetUp() override
        {
            PluginFixture::SetUp();
            host.withdraw (CLAP_EXT_THREAD_CHECK);
            reach (Stage::initialised);
        }

        std::vector<std::string> order;
    };

    TEST_F (ClapcheckMainThreadTasks, QueuedTasksRunOldestFirstBeforeThePluginsOwnMainThreadCallback)
    {
        probe->scheduleOnMainThread ([this]
                                     { order.emplace_back ("A"); });
        probe->scheduleOnMainThread ([this]
                                     { order.emplace_back ("B"); });
        EXPECT_TRUE (order.empty());
        EXPECT_EQ (host.callbackRequests.load(), 2);

        plugin->on_main_thread (plugin);

        EXPECT_EQ (order, (std::vector<std::string> { "A", "B" }));
        EXPECT_EQ (journal.calls, std::vector<std::string> { "onMainThread" });
    }

    TEST_F (ClapcheckMainThreadTasks, ATaskQueuedWhileTheQueueDrainsRunsInTheSamePass)
    {
        probe->scheduleOnMainThread (
            [this]
            {
                order.emplace_back ("A");
                probe->scheduleOnMainThread ([this]
                                             { order.emplace_back ("C"); });
            });
        probe->scheduleOnMainThread ([this]
                                     { order.emplace_back ("B"); });

        probe->runCallbacksOnMainThread();

        EXPECT_EQ (order, (std::vector<std::string> { "A", "B", "C" }));
    }

    TEST_F (ClapcheckMainThreadTasks, AHostThatCallsBackSynchronouslyFromRequestCallbackDoesNotDeadlock)
    {
        host.onCallbackRequest = [this]
        { plugin->on_main_thread (plugin); };

        probe->scheduleOnMainThread ([this]
                                     { order.emplace_back ("A"); });

        EXPECT_EQ (order, std::vector<std::string> { "A" });
    }

    TEST_F (ClapcheckMainThreadTasks, TasksQueuedFromOtherThreadsAllRunOnTheNextCallback)
    {
        std::atomic<int> ran { 0 };
        std::vector<std::thread> threads;

        for (int t = 0; t < 4; ++t)
            threads.emplace_back (
                [this, &ran]
                {
                    for (int i = 0; i < 100; ++i)
                        probe->scheduleOnMainThread ([&ran]
                                                     { ++ran; });
                });

        for (auto& thread : threads)
            thread.join();

        plugin->on_main_thread (plugin);

        EXPECT_EQ (ran.load(), 400);
    }

    //==============================================================================
    using ClapcheckScheduling = PluginFixture;

    TEST_F (ClapcheckScheduling, ATaskScheduledOnTheMainThreadRunsAtOnceWithoutAskingTheHost)
    {
        reach (Stage::initialised);
        bool ran = false;

        probe->scheduleOnMainThread ([&ran]
                                     { ran = true; });

        EXPECT_TRUE (ran);
        EXPECT_EQ (host.callbackRequests.load(), 0);
    }

    TEST_F (ClapcheckScheduling, RunningCallbacksOffTheMainThreadReportsAndKeepsTheTasksForLater)
    {
        reach (Stage::initialised);
        host.mainThread = false;
        bool ran = false;
        probe->scheduleOnMainThread ([&ran]
                                     { ran = true; });

        probe->runCallbacksOnMainThread();

        EXPECT_FALSE (ran);
        EXPECT_EQ (host.texts(),
                   std::vector<std::string> { "plugin called runCallbacksOnMainThread(), but not on the main thread!" });
        EXPECT_EQ (host.lines.front().severity, CLAP_LOG_PLUGIN_MISBEHAVING);

        host.mainThread = true;
        probe->runCallbacksOnMainThread();
        EXPECT_TRUE (ran);
    }

} // namespace
} // namespace clapcheck::test
