#pragma once

#include "LoadingOverlay.h"
#include "MonitorComponents.h"
#include "OrvelButton.h"
#include "OrvelComponents.h"
#include "OrvelKnob.h"
#include "state/OrvelSettings.h"

#include <juce_opengl/juce_opengl.h>

#include <array>

class WrendleFoldProcessor;
class WrendleFoldEditor;

/**
    The main window: every control of the plug-in, laid out at a fixed logical
    size of 480 × 460 (the editor scales it as a whole).

    It binds each knob and button to one parameter, forwards their changes to the
    parameters inside change gestures, and keeps them in step with the parameters
    on a 55 ms timer (timer 0), which also drives the monitor and rearranges the
    middle knob row when PrePost changes. Timer 1 runs once, a second after the
    controls are built, and copies the processor's parameter locks into the
    widgets, so that locks a host restored after the window opened still show.

    Message thread only, except the completion of updateGraphics(), which the
    skin thread runs and which takes the message-manager lock first.
*/
class WrendleFoldPluginWindow : public juce::Component,
                                public juce::MultiTimer,
                                public juce::Slider::Listener,
                                public juce::Button::Listener,
                                public juce::ChangeListener,
                                public juce::ActionListener,
                                public juce::OpenGLRenderer
{
public:
    WrendleFoldPluginWindow (WrendleFoldProcessor& processor, WrendleFoldEditor* editor);
    ~WrendleFoldPluginWindow() override;

    static constexpr int logicalWidth = 480;
    static constexpr int logicalHeight = 460;

    enum TimerIds
    {
        refreshTimerId = 0,
        lockRestoreTimerId = 1
    };

    //==============================================================================
    /** The top bar: background, product name and the bypass button. Also empties
        the knob and button lists, which initMainControls() refills. */
    void initTopBar();
    /** The monitor block, knobs, parameter buttons and section labels. Runs again
        (after initTopBar()) to rebuild every control from new skin images. */
    void initMainControls();

    /** Rebuilds the skin images with the processor's brightness and contrast on
        the skin thread, behind the loading overlay, then rebuilds the controls. */
    void updateGraphics();

    /** Arranges the middle knob row for the PrePost value (unless unchanged and
        not forced), with the link glyph, panel and section labels. */
    void updatePrePostLayout (bool force);
    void placeSectionLabels();

    /** Timer 0's work: widgets, monitor and knob row follow the processor. */
    void refreshFromProcessor();

    /** Moves every knob (unless held by the mouse) and button to its parameter's value. */
    void syncWidgetsWithParameters();

    /** The processor's locked-name list and lock text, rebuilt from the widgets'
        flags: knobs in creation order, then buttons (bypass first). */
    void rebuildLockList();
    /** Copies the processor's locked names into the widgets; only adds locks. */
    void restoreParameterLocks();

    /** Attaches (or detaches) the GPU context to the window's top-level component. */
    void setAcceleratedDrawing (bool shouldBeAccelerated);
    bool isAcceleratedDrawing() const noexcept { return accelerated; }

    //==============================================================================
    const juce::Array<orvel::OrvelKnob*>& getKnobs() const noexcept { return knobs; }
    const juce::Array<orvel::OrvelButton*>& getParameterButtons() const noexcept { return parameterButtons; }
    orvel::OrvelKnob* findKnob (const juce::String& parameterName) const;
    orvel::OrvelButton* findParameterButton (const juce::String& parameterName) const;

    /** The section labels ("MONITOR", "PRE", ... "SOFTCLIP") in creation order. */
    const juce::OwnedArray<orvel::OrvelLabel>& getSectionLabels() const noexcept { return labelGroups[1]; }

    WaveShaperMonitor& getMonitor() noexcept { return monitor; }
    orvel::LoadingOverlay& getLoadingOverlay() noexcept { return loadingOverlay; }
    juce::OpenGLContext& getOpenGLContext() noexcept { return openGLContext; }
    juce::Label& getProductNameLabel() noexcept { return productName; }

    /** The knob-row arrangement last applied: −1 before the first, 0 normal, 1 inverted. */
    int getPrePostArrangement() const noexcept { return prePostInverted; }

    //==============================================================================
    void mouseDown (const juce::MouseEvent& e) override;
    void paint (juce::Graphics& g) override;
    void parentHierarchyChanged() override;
    void newOpenGLContextCreated() override {}
    void renderOpenGL() override {}
    void openGLContextClosing() override {}
    void timerCallback (int timerId) override;
    void sliderValueChanged (juce::Slider* slider) override;
    void sliderDragStarted (juce::Slider* slider) override;
    void sliderDragEnded (juce::Slider* slider) override;
    void buttonClicked (juce::Button* button) override;
    void changeListenerCallback (juce::ChangeBroadcaster* source) override;
    void actionListenerCallback (const juce::String& message) override;

private:
    enum TopBarImage
    {
        bypassOnImage = 14,
        bypassOffImage = 15,
        numTopBarImages = 18
    };

    void loadTopBarImages();
    void setupKnob (orvel::OrvelKnob& knob, juce::RangedAudioParameter* parameter, const juce::Image& filmStrip,
                    int x, int y, int logicalSize);
    void setupButton (orvel::OrvelButton& button, juce::RangedAudioParameter* parameter, const juce::Image& offImage,
                      const juce::Image& onImage, int x, int y, int logicalWidthOfButton, int logicalHeightOfButton);
    void applyKnobDisplaySettings();
    void applyButtonSettings();
    void createSectionLabels();
    orvel::OrvelLabel* addSectionLabel (const juce::String& text);
    void placeUnder (juce::Label& label, const juce::Component& control, int overlap);
    void updateMonitorActivity();
    void finishGraphicsUpdate();
    void showCurrentPreset();
    void lockAllWidgets (bool shouldBeLocked);

    //==============================================================================
    juce::OpenGLContext openGLContext;
    orvel::LoadingOverlay loadingOverlay;
    juce::ImageComponent background;
    std::array<juce::Image, numTopBarImages> topBarImages;
    juce::Label productName { "pluginName", juce::String() };
    orvel::OrvelButton bypassButton;

    juce::Array<orvel::OrvelKnob*> knobs;
    orvel::OrvelKnob foldAmountKnob, lowPassKnob, highPassKnob, feedbackKnob, feedbackLowPassKnob, inputKnob,
        outputKnob, mixKnob, envelopeAmountKnob, envelopeAttackKnob, envelopeReleaseKnob;

    juce::Array<orvel::OrvelButton*> parameterButtons;
    orvel::OrvelButton prePostButton, autoGainButton, softClipButton;

    juce::OwnedArray<orvel::OrvelLabel> labelGroups[3];
    orvel::OrvelLabel* preLabel = nullptr;
    orvel::OrvelLabel* postLabel = nullptr;
    orvel::OrvelLabel* highPassLabel = nullptr;
    orvel::OrvelLabel* lowPassLabel = nullptr;
    orvel::OrvelLabel* feedbackLabel = nullptr;
    orvel::OrvelLabel* feedbackLowPassLabel = nullptr;

    WaveShaperMonitor monitor;
    MonitorGrid monitorGrid;
    juce::ImageComponent monitorFrame;
    BlackBox knobRowPanel;
    StraightLink feedbackLink;

    int prePostInverted = -1;
    int presetDisplayCounter = 0;
    int presetDisplayTarget = 0;

    juce::TooltipWindow tooltipWindow { this, 600 };
    orvel::OrvelSettings settings;
    juce::Random random;
    bool accelerated = false;
    bool hasBackgroundImage = false;

    WrendleFoldProcessor& processor;
    WrendleFoldEditor* editor = nullptr;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (WrendleFoldPluginWindow)
};
