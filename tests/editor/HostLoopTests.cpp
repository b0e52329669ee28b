// Keeping JUCE's message loop alive inside a host that runs its own: the host
// timer pump, and the editor in a real X11 window (under Xvfb; skipped without
// a display).

#include "EditorTestSupport.h"
#include "tests/support/TestHost.h"

#include <cstdlib>
#include <vector>

#if JUCE_LINUX || JUCE_BSD
#include <X11/Xlib.h>
#endif

namespace
{
/** The test host's timer and log tables, handed to the pump as the binding
    hands them on after the plug-in's init. */
struct TimerHost
{
    TimerHost()
    {
        interfaces.timerSupport = &clap.timerTable;
        interfaces.hostLog = &clap.logTable;
    }

    TestHost clap;
    clapcheck::HostInterfaces interfaces { clap.clapHost() };
};

/** Ticks the pump like a host's timer would, until the condition holds. */
bool tickUntil (clapbinding::HostTimerMessagePump& pump, const std::function<bool()>& condition, int timeoutMs = 5000)
{
    const auto end = juce::Time::getMillisecondCounter() + (juce::uint32) timeoutMs;

    while (! condition())
    {
        if (juce::Time::getMillisecondCounter() > end)
            return false;

        pump.timerFired (pump.getTimerId());
        juce::Thread::sleep ((int) clapbinding::HostTimerMessagePump::periodMs);
    }

    return true;
}

/** A bare Xvfb server has no window manager, so some of the window-manager atoms
    JUCE sets on a new window do not exist and the server answers with an error
    that Xlib's default handler turns into an exit. A host process has its own
    handler for this; the test installs a quiet one. */
void tolerateMissingWindowManager()
{
#if JUCE_LINUX || JUCE_BSD
    XSetErrorHandler ([] (Display*, XErrorEvent*)
                      { return 0; });
#endif
}

bool hasDisplay()
{
    const auto* display = std::getenv ("DISPLAY");
    return display != nullptr && *display != 0;
}
} // namespace

TEST (HostTimerMessagePumpTest, WhileAttachedItsHostTimerTicksRunJucesPendingMessages)
{
#if JUCE_LINUX || JUCE_BSD
    TimerHost host;
    clapbinding::HostTimerMessagePump pump;

    pump.guiAttached (host.interfaces);
    ASSERT_TRUE (pump.isRegistered());
    ASSERT_EQ (host.clap.timers.size(), 1u);
    EXPECT_EQ (host.clap.timers.front().periodMs, 16u);

    bool ran = false;
    juce::MessageManager::callAsync ([&ran]
                                     { ran = true; });

    pump.timerFired (pump.getTimerId() + 1);
    EXPECT_FALSE (ran) << "another timer's tick is not ours";
    pump.timerFired (pump.getTimerId());
    EXPECT_TRUE (ran);

    // JUCE's own timers run through the same ticks.
    struct Counter : juce::Timer
    {
        void timerCallback() override { ++count; }
        int count = 0;
    } counter;
    counter.startTimer (10);
    EXPECT_TRUE (tickUntil (pump, [&counter]
                            { return counter.count >= 3; }));
    counter.stopTimer();

    const auto id = pump.getTimerId();
    pump.guiDetached (host.interfaces);
    EXPECT_FALSE (pump.isRegistered());
    EXPECT_TRUE (host.clap.timers.empty());

    ran = false;
    juce::MessageManager::callAsync ([&ran]
                                     { ran = true; });
    pump.timerFired (id);
    EXPECT_FALSE (ran) << "no dispatching after the window is gone";
    editortest::pumpPending();
    EXPECT_TRUE (ran);
#else
    GTEST_SKIP() << "the host's own run loop drives JUCE on this platform";
#endif
}

TEST (HostTimerMessagePumpTest, AHostWithoutTimerSupportIsToldThatTheWindowCannotRun)
{
#if JUCE_LINUX || JUCE_BSD
    TimerHost host;
    host.interfaces.timerSupport = nullptr;
    clapbinding::HostTimerMessagePump pump;

    pump.guiAttached (host.interfaces);
    EXPECT_FALSE (pump.isRegistered());
    ASSERT_EQ (host.clap.logTexts().size(), 1u);
    EXPECT_NE (host.clap.logTexts()[0].find ("timer"), std::string::npos);

    pump.guiDetached (host.interfaces);
    EXPECT_TRUE (host.clap.timers.empty());
#else
    GTEST_SKIP() << "no timer is needed on this platform";
#endif
}

//==============================================================================
struct RealWindowTest : editortest::EditorFixture
{
    void SetUp() override
    {
        if (! hasDisplay())
            GTEST_SKIP() << "needs an X display (the test command runs this suite under Xvfb)";

        tolerateMissingWindowManager();
        editortest::EditorFixture::SetUp();
        editor->setTopLeftPosition (40, 40);
        editor->addToDesktop (0);
        editor->setVisible (true);

        pump.guiAttached (host.interfaces);
        ASSERT_TRUE (pump.isRegistered());
        ASSERT_TRUE (tickUntil (pump, [this]
                                { return editor->isShowing() && editor->getPeer() != nullptr; }));
    }

    void TearDown() override
    {
        if (! hasDisplay())
            return;

        pump.guiDetached (host.interfaces);
        editortest::EditorFixture::TearDown();
    }

    /** Clicks at a point of the window through the X server, like a user. The wait is long:
        under a sanitizer on a loaded machine xdotool's --sync alone can take seconds. */
    bool clickAt (juce::Component& target, juce::Point<int> local, int buttonNumber = 1)
    {
        const auto screen = target.localPointToGlobal (local);
        juce::ChildProcess xdotool;
        juce::StringArray command { "xdotool", "mousemove", "--sync", juce::String (screen.x), juce::String (screen.y),
                                    "click", juce::String (buttonNumber) };
        return xdotool.start (command) && xdotool.waitForProcessToFinish (30000) && xdotool.getExitCode() == 0;
    }

    TimerHost host;
    clapbinding::HostTimerMessagePump pump;
};

TEST_F (RealWindowTest, TheRefreshTimerRunsInsideTheHostsLoopAndMovesTheKnobs)
{
    params().mix->setValueNotifyingHost (0.8f);
    EXPECT_TRUE (tickUntil (pump, [this]
                            { return std::abs (knob ("Mix").getValue() - 0.8) < 1.0e-6; }));
}

TEST_F (RealWindowTest, X11ClicksReachTheControlsThroughTheHostTimer)
{
    if (juce::File ("/usr/bin/xdotool").existsAsFile() == false)
        GTEST_SKIP() << "xdotool is not installed";

    auto& softClip = button ("Soft Clip");
    const auto wasOn = params().softClip->getValue() >= 0.5f;
    ASSERT_TRUE (clickAt (softClip, softClip.getLocalBounds().getCentre()));
    EXPECT_TRUE (tickUntil (pump, [&]
                            { return (params().softClip->getValue() >= 0.5f) != wasOn; }));

    // A right click on a knob opens its lock menu inside the window.
    auto& mix = knob ("Mix");
    ASSERT_TRUE (clickAt (mix, mix.getLocalBounds().getCentre(), 3));
    EXPECT_TRUE (tickUntil (pump, []
                            { return juce::ModalComponentManager::getInstance()->getNumModalComponents() > 0; }));
    juce::PopupMenu::dismissAllActiveMenus();
}

TEST_F (RealWindowTest, TheScaledEditorKeepsItsWindowInsideTheResizedFrame)
{
    editor->setBoundsConstrained ({ 40, 40, 720, 690 });
    ASSERT_TRUE (tickUntil (pump, [this]
                            { return editor->getPeer() != nullptr && editor->getPeer()->getBounds().getWidth() == 720; }));
    EXPECT_EQ (window->getBoundsInParent(), juce::Rectangle<int> (0, 0, 720, 690));
}
