#pragma once

#include <juce_audio_processors/juce_audio_processors.h>

#include <memory>

class WrendleFoldProcessor;
class WrendleFoldPluginWindow;

/**
    The plug-in's editor: a resizable frame (corner resizer, host resizing
    allowed, 240 × 230 to 960 × 920, aspect 480:460) around the main window, which
    is laid out at 480 × 460 logical units and scaled as a whole by a transform.

    The scale lives in the processor's settings cache, so it survives closing
    and reopening the editor; a size change is written to the settings file
    1.5 s after the last change. A double click on the resizer returns to 100 %.
*/
class WrendleFoldEditor : public juce::AudioProcessorEditor,
                          public juce::Timer
{
public:
    explicit WrendleFoldEditor (WrendleFoldProcessor& processor);
    ~WrendleFoldEditor() override;

    static constexpr int logicalWidth = 480;
    static constexpr int logicalHeight = 460;
    static constexpr int minimumWidth = 240, minimumHeight = 230;
    static constexpr int maximumWidth = 960, maximumHeight = 920;

    WrendleFoldPluginWindow* getMainWindow() const noexcept { return mainWindow.get(); }

    void mouseDown (const juce::MouseEvent& e) override;
    void paint (juce::Graphics& g) override;
    void resized() override;
    void timerCallback() override;

private:
    static constexpr int saveDelayMs = 1500;
    static constexpr int resetDelayMs = 100;

    std::unique_ptr<WrendleFoldPluginWindow> mainWindow;
    WrendleFoldProcessor* processor = nullptr;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (WrendleFoldEditor)
};
