#pragma once

#include "binding/HostTimerMessagePump.h"
#include "editor/EditorSettings.h"
#include "editor/SharedData.h"
#include "editor/WrendleFoldEditor.h"
#include "editor/WrendleFoldPluginWindow.h"
#include "plugin/WrendleFoldProcessor.h"
#include "tests/support/NewsAddresses.h"

#include <gtest/gtest.h>
#include <juce_gui_basics/juce_gui_basics.h>

#include <functional>
#include <memory>

namespace editortest
{

/** Turns JUCE's message loop until the condition holds or the time is up (the
    test thread is JUCE's message thread, and nobody else runs the loop). */
inline bool pumpUntil (const std::function<bool()>& condition, int timeoutMs = 3000)
{
    const auto end = juce::Time::getMillisecondCounter() + (juce::uint32) timeoutMs;

    while (! condition())
    {
        if (juce::Time::getMillisecondCounter() > end)
            return false;

        if (clapbinding::dispatchPendingJuceMessages() == 0)
            juce::Thread::sleep (2);
    }

    return true;
}

/** Runs the queued messages (action broadcasts, async calls) that are already due. */
inline void pumpPending()
{
    for (int i = 0; i < 5; ++i)
        clapbinding::dispatchPendingJuceMessages();
}

inline juce::MouseEvent mouseEvent (juce::Component& target, juce::Point<float> position, juce::ModifierKeys mods,
                                    int clicks = 1, juce::Point<float> downPosition = { -1.0f, -1.0f })
{
    const auto now = juce::Time::getCurrentTime();
    const auto down = downPosition.x < 0.0f ? position : downPosition;

    return juce::MouseEvent (juce::Desktop::getInstance().getMainMouseSource(), position, mods,
                             juce::MouseInputSource::defaultPressure, 0.0f, 0.0f, 0.0f, 0.0f,
                             &target, &target, now, down, now, clicks, false);
}

inline juce::MouseWheelDetails wheel (float deltaY, float deltaX = 0.0f)
{
    juce::MouseWheelDetails details;
    details.deltaX = deltaX;
    details.deltaY = deltaY;
    details.isReversed = false;
    details.isSmooth = false;
    details.isInertial = false;
    return details;
}

/** Paints a component (and its children) into an image of its own size. */
inline juce::Image paintToImage (juce::Component& component)
{
    juce::Image image (juce::Image::ARGB, juce::jmax (1, component.getWidth()), juce::jmax (1, component.getHeight()), true);
    juce::Graphics g (image);
    component.paintEntireComponent (g, true);
    return image;
}

/** Brightness of a pixel, 0..255. */
inline float luma (const juce::Image& image, int x, int y)
{
    const auto c = image.getPixelAt (x, y);
    return 0.299f * c.getRed() + 0.587f * c.getGreen() + 0.114f * c.getBlue();
}

using wrendle_test::refusingNewsAddress;

/** A processor with an editor, as a host holds them. */
struct EditorFixture : ::testing::Test
{
    // One skin-image store for a whole suite, as when a host keeps another
    // instance open: the artwork is decoded once, not for every case.
    static std::shared_ptr<orvel::SharedData>& suiteSkinImages()
    {
        static std::shared_ptr<orvel::SharedData> holder;
        return holder;
    }

    // Decoded up front, as for every window but a process's first (which opens
    // with stand-ins while the skin loads; the window tests cover that case).
    static void SetUpTestSuite()
    {
        suiteSkinImages() = orvel::SharedData::acquire();
        suiteSkinImages()->getImage (orvel::SharedData::background);
    }
    static void TearDownTestSuite() { suiteSkinImages().reset(); }

    void SetUp() override
    {
        processor = std::make_unique<WrendleFoldProcessor> (refusingNewsAddress());
        openEditor();
    }

    void TearDown() override
    {
        juce::PopupMenu::dismissAllActiveMenus();
        editor.reset();
        processor.reset();
        pumpPending();
    }

    void openEditor()
    {
        if (! editorOpenedOnce)
            orvel::editorSettingsOf (*processor).windowSize = 1.0;

        editorOpenedOnce = true;
        editor = std::make_unique<WrendleFoldEditor> (*processor);
        window = editor->getMainWindow();
    }

    void closeEditor()
    {
        editor.reset();
        window = nullptr;
    }

    const wrendle::WrendleFoldParameters& params() const { return processor->getParameterSet(); }

    orvel::OrvelKnob& knob (const juce::String& name)
    {
        auto* found = window->findKnob (name);
        EXPECT_NE (found, nullptr) << name;
        return *found;
    }

    orvel::OrvelButton& button (const juce::String& name)
    {
        auto* found = window->findParameterButton (name);
        EXPECT_NE (found, nullptr) << name;
        return *found;
    }

    std::unique_ptr<WrendleFoldProcessor> processor;
    std::unique_ptr<WrendleFoldEditor> editor;
    WrendleFoldPluginWindow* window = nullptr;
    bool editorOpenedOnce = false;
};

} // namespace editortest
