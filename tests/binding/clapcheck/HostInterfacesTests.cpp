#include "ClapCheckTestSupport.h"

namespace clapcheck::test
{
namespace
{

    TEST (ClapcheckHostInterfaces, InitAsksForEveryHostTableInOrderAndRetriesDraftsRightAfterTheirFinalIds)
    {
        FakeHost host;
        host.withdraw (CLAP_EXT_LOG);
        host.withdraw (CLAP_EXT_THREAD_CHECK);
        HostInterfaces interfaces (host.clapHost());

        interfaces.fetch();

        EXPECT_EQ (host.askedIds,
                   (std::vector<std::string> { "clap.log",
                                               "clap.thread-check",
                                               "clap.thread-pool",
                                               "clap.audio-ports",
                                               "clap.audio-ports-config",
                                               "clap.note-ports",
                                               "clap.timer-support",
                                               "clap.posix-fd-support",
                                               "clap.resource-directory/1",
                                               "clap.latency",
                                               "clap.gui",
                                               "clap.params",
                                               "clap.track-info/1",
                                               "clap.track-info.draft/1",
                                               "clap.state",
                                               "clap.note-name",
                                               "clap.remote-controls/2",
                                               "clap.remote-controls.draft/2",
                                               "clap.voice-info",
                                               "clap.context-menu/1",
                                               "clap.context-menu.draft/0",
                                               "clap.preset-load/2",
                                               "clap.preset-load.draft/2" }));
    }

    TEST (ClapcheckHostInterfaces, ADraftIsOnlyAskedForWhenTheFinalIdIsNotOffered)
    {
        FakeHost host;
        const clap_host_context_menu_t draftMenu {};
        host.offer ("clap.track-info/1", &host.trackInfoTable);
        host.offer ("clap.context-menu.draft/0", &draftMenu);
        HostInterfaces interfaces (host.clapHost());

        interfaces.fetch();

        EXPECT_EQ (interfaces.trackInfo, &host.trackInfoTable);
        EXPECT_EQ (interfaces.contextMenu, &draftMenu);
        EXPECT_EQ (std::count (host.askedIds.begin(), host.askedIds.end(), "clap.track-info.draft/1"), 0);
        EXPECT_EQ (interfaces.latency, nullptr);
    }

    TEST (ClapcheckHostInterfaces, AMissingHostOrGetExtensionLeavesEveryTableAbsent)
    {
        HostInterfaces noHost;
        noHost.fetch();
        EXPECT_EQ (noHost.hostLog, nullptr);
        EXPECT_FALSE (noHost.requestCallback());

        FakeHost host;
        auto record = *host.clapHost();
        record.get_extension = nullptr;
        HostInterfaces noQueries (&record);
        noQueries.fetch();
        EXPECT_EQ (noQueries.threadCheck, nullptr);
    }

    //==============================================================================
    class ClapcheckHostCalls : public PluginFixture
    {
    public:
        void SetUp() override
        {
            PluginFixture::SetUp();
            host.offer (CLAP_EXT_LATENCY, &host.latencyTable);
            host.offer (CLAP_EXT_PARAMS, &host.paramsTable);
            host.offer (CLAP_EXT_STATE, &host.stateTable);
            host.offer (CLAP_EXT_GUI, &host.guiTable);
            host.offer (CLAP_EXT_TRACK_INFO, &host.trackInfoTable);
        }

        const HostInterfaces& interfaces() const { return probe->getHostInterfaces(); }
    };

    TEST_F (ClapcheckHostCalls, APluginCallToTheHostOffTheMainThreadIsReportedAsPluginMisbehaviourAndStillMade)
    {
        reach (Stage::initialised);
        host.mainThread = false;
        clap_track_info_t info {};

        EXPECT_TRUE (interfaces().guiRequestResize (600, 400));
        EXPECT_TRUE (interfaces().trackInfoGet (&info));

        EXPECT_EQ (host.texts(),
                   (std::vector<std::string> {
                       "Plugin called the method clap_host_gui.request_resize() on wrong thread! It must be called on main thread!",
                       "Plugin called the method clap_host_track_info.get() on wrong thread! It must be called on main thread!" }));
        EXPECT_EQ (host.lines.front().severity, CLAP_LOG_PLUGIN_MISBEHAVING);
        EXPECT_EQ (host.hostCalls, (std::vector<std::string> { "gui.request_resize 600x400", "track_info.get" }));
    }

    TEST_F (ClapcheckHostCalls, HostCallsWithoutTheHostFunctionAnswerFalseAndCallNothing)
    {
        host.guiTable.request_resize = nullptr;
        host.withdraw (CLAP_EXT_TRACK_INFO);
        reach (Stage::initialised);
        clap_track_info_t info {};

        EXPECT_FALSE (interfaces().guiRequestResize (600, 400));
        EXPECT_FALSE (interfaces().trackInfoGet (&info));
        EXPECT_FALSE (interfaces().contextMenuCanPopup());

        EXPECT_TRUE (host.hostCalls.empty());
        EXPECT_TRUE (host.lines.empty());
    }

    //==============================================================================
    /** A host notification queued by the plug-in: what reaches the host for a complete, a partial and
        a missing host table. */
    struct NotificationCase
    {
        const char* name;
        std::function<void (CheckedPlugin&)> notify;
        const char* extensionId;
        std::function<void (FakeHost&)> breakTable;
        std::string hostCall;
        std::string partialWarning;
    };

    /** Names the case in test output instead of dumping its bytes. */
    void PrintTo (const NotificationCase& c, std::ostream* os)
    {
        *os << c.name;
    }

    class HostNotification : public ClapcheckHostCalls, public ::testing::WithParamInterface<NotificationCase>
    {
    };

    TEST_P (HostNotification, ReachesACompleteHostTable)
    {
        reach (Stage::initialised);

        GetParam().notify (*probe);

        EXPECT_EQ (host.hostCalls, std::vector<std::string> { GetParam().hostCall });
        EXPECT_TRUE (host.lines.empty());
    }

    TEST_P (HostNotification, WarnsInsteadWhenTheHostTableIsPartial)
    {
        GetParam().breakTable (host);
        reach (Stage::initialised);

        GetParam().notify (*probe);

        EXPECT_TRUE (host.hostCalls.empty());
        EXPECT_EQ (host.texts(), std::vector<std::string> { GetParam().partialWarning });
        EXPECT_EQ (host.lines.front().severity, CLAP_LOG_HOST_MISBEHAVING);
    }

    TEST_P (HostNotification, DoesNothingWithoutTheHostTable)
    {
        host.withdraw (GetParam().extensionId);
        reach (Stage::initialised);

        GetParam().notify (*probe);

        EXPECT_TRUE (host.hostCalls.empty());
        EXPECT_TRUE (host.lines.empty());
    }

    TEST_P (HostNotification, QueuedOffTheMainThreadDoesNothingOnceDestroyHasBegun)
    {
        reach (Stage::initialised);
        host.mainThread = false;
        GetParam().notify (*probe);
        host.mainThread = true;
        EXPECT_TRUE (host.hostCalls.empty());

        destroy();

        EXPECT_TRUE (host.hostCalls.empty());
        EXPECT_TRUE (host.lines.empty());
    }

    TEST_P (HostNotification, QueuedOffTheMainThreadReachesTheHostAtTheNextMainThreadCallback)
    {
        reach (Stage::initialised);
        host.mainThread = false;
        GetParam().notify (*probe);
        EXPECT_EQ (host.callbackRequests.load(), 1);
        host.mainThread = true;

        plugin->on_main_thread (plugin);

        EXPECT_EQ (host.hostCalls, std::vector<std::string> { GetParam().hostCall });
    }

    INSTANTIATE_TEST_SUITE_P (
        ClapcheckEveryNotification,
        HostNotification,
        ::testing::Values (
            NotificationCase { "LatencyChanged", [] (CheckedPlugin& p)
                               { p.notifyHostLatencyChanged(); },
                               CLAP_EXT_LATENCY,
                               [] (FakeHost& h)
                               { h.latencyTable.changed = nullptr; },
                               "latency.changed",
                               "clap_host_latency is partially implemented" },
            NotificationCase { "ProgramChangedRescansValues", [] (CheckedPlugin& p)
                               { p.notifyHostParamsRescan (CLAP_PARAM_RESCAN_VALUES); },
                               CLAP_EXT_PARAMS, [] (FakeHost& h)
                               { h.paramsTable.clear = nullptr; },
                               "params.rescan 1",
                               "clap_host_params is partially implemented" },
            NotificationCase { "ParameterInfoChangedRescansEverything",
                               [] (CheckedPlugin& p)
                               { p.notifyHostParamsRescan (CLAP_PARAM_RESCAN_VALUES | CLAP_PARAM_RESCAN_TEXT | CLAP_PARAM_RESCAN_INFO); },
                               CLAP_EXT_PARAMS, [] (FakeHost& h)
                               { h.paramsTable.request_flush = nullptr; },
                               "params.rescan 7", "clap_host_params is partially implemented" },
            NotificationCase { "StateDirty", [] (CheckedPlugin& p)
                               { p.notifyHostStateDirty(); },
                               CLAP_EXT_STATE,
                               [] (FakeHost& h)
                               { h.stateTable.mark_dirty = nullptr; },
                               "state.mark_dirty",
                               "clap_host_state is partially implemented" }),
        [] (const ::testing::TestParamInfo<NotificationCase>& info)
        { return std::string (info.param.name); });

    TEST_F (ClapcheckHostCalls, AFlushRequestIsMadeAtOnceOnlyWhenTheParamsTableIsComplete)
    {
        reach (Stage::initialised);
        host.mainThread = false; // allowed off the main thread: no queue, no thread report

        probe->requestHostParamsFlush();
        EXPECT_EQ (host.hostCalls, std::vector<std::string> { "params.request_flush" });
        EXPECT_TRUE (host.lines.empty());

        host.paramsTable.rescan = nullptr;
        host.hostCalls.clear();
        probe->requestHostParamsFlush();
        EXPECT_TRUE (host.hostCalls.empty());
        EXPECT_EQ (host.texts(), std::vector<std::string> { "clap_host_params is partially implemented" });
    }

    TEST_F (ClapcheckHostCalls, AFlushRequestWithoutAParamsTableIsSilent)
    {
        host.withdraw (CLAP_EXT_PARAMS);
        reach (Stage::initialised);

        probe->requestHostParamsFlush();

        EXPECT_TRUE (host.hostCalls.empty());
        EXPECT_TRUE (host.lines.empty());
    }

} // namespace
} // namespace clapcheck::test
