#pragma once

#include "ProductIdentity.h"
#include "editor/AboutWindow.h"
#include "editor/ComboboxSubmenu.h"
#include "editor/LoadingOverlay.h"
#include "editor/MonitorComponents.h"
#include "editor/NotificationWindow.h"
#include "editor/OrvelButton.h"
#include "editor/OrvelComponents.h"
#include "editor/OrvelKnob.h"
#include "editor/OrvelLookAndFeel.h"
#include "editor/SharedData.h"
#include "editor/TopBarBoxes.h"
#include "editor/WrendleFoldEditor.h"
#include "state/OrvelSettings.h"

#include <juce_opengl/juce_opengl.h>

#include <array>
#include <functional>
#include <memory>

class WrendleFoldProcessor;

/**
    The main window: every control of the plug-in, laid out at a fixed logical
    size of 480 × 460 (the editor scales it as a whole).

    It binds each knob and button to one parameter, forwards their changes to the
    parameters inside change gestures, and keeps them in step with the parameters
    on a 55 ms timer (timer 0), which also drives the monitor and rearranges the
    middle knob row when PrePost changes. Timer 1 runs once, a second after the
    controls are built, and copies the processor's parameter locks into the
    widgets, so that locks a host restored after the window opened still show.

    The top bar (top 46 units) holds the logo with the links menu, the preset
    selector with previous, next, save, delete and random, the news bell with its
    unread badge, the options menu and the bypass button. Everything it asks of
    the platform (browser, file chooser, message boxes) goes through `platform`,
    which tests replace so that nothing modal opens and no browser starts.

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

    // The editor's logical size, named once there.
    static constexpr int logicalWidth = WrendleFoldEditor::logicalWidth;
    static constexpr int logicalHeight = WrendleFoldEditor::logicalHeight;

    enum TimerIds
    {
        refreshTimerId = 0,
        lockRestoreTimerId = 1,
        typefaceWaitTimerId = 2 // the first window of a process, until it may draw text
    };

    /** Width of the news panel under the bell. */
    static constexpr int newsPanelWidth = 300;
    /** The unread badge, a round dot over the bell's upper right shoulder. */
    static constexpr int unreadBadgeSize = 10;

    /** Where the top bar sends the user on the web. */
    struct WebAddresses
    {
        static constexpr const char* homePageText = wrendle::identity::vendorSiteText;
        static constexpr const char* homePage = wrendle::identity::vendorSite;
        static constexpr const char* discord = "https://discord.gg/kestrivane";
        static constexpr const char* instagram = "https://www.instagram.com/kestrivane/";
        static constexpr const char* bluesky = "https://bsky.app/profile/kestrivane.com";
        static constexpr const char* facebook = "https://www.facebook.com/kestrivane";
        static constexpr const char* youtube = "https://www.youtube.com/@kestrivane";
        static constexpr const char* productPage = wrendle::identity::productPage;
    };

    /** Texts of the options menu and of the news entries the bell makes itself. */
    struct MenuTexts
    {
        static constexpr const char* oversampling = "Oversampling";
        static constexpr const char* envelope = "Envelope";
        static constexpr const char* clipboard = "Clipboard";
        static constexpr const char* copySettings = "Copy Settings";
        static constexpr const char* pasteSettings = "Paste Settings";
        static constexpr const char* checkForNews = "Check for news";
        static constexpr const char* leftHandedMouse = "Left-Handed Mouse";
        static constexpr const char* accelerateGui = "GPU Acceleration";
        static constexpr const char* graphics = "Graphics";
        static constexpr const char* brightness = "Brightness";
        static constexpr const char* contrast = "Contrast";
        static constexpr const char* reset = "Reset";
        static constexpr const char* windowSize = "Window Size";
        static constexpr const char* smallSize = "Small (75%)";
        static constexpr const char* normalSize = "Normal (100%)";
        static constexpr const char* largeSize = "Large (125%)";
        static constexpr const char* webPage = "Product Page";
        static constexpr const char* about = "About";

        static constexpr const char* newsOffTitle = "The news check is off";
        static constexpr const char* newsOffText = "Switch on Check for news in the options menu.";
        static constexpr const char* noNewsTitle = "No news";
        static constexpr const char* noNewsText = "You are up to date.";
    };

    /** What the top bar asks of the platform. Each default opens the real thing
        (asynchronously); tests put their own functions in. */
    struct PlatformServices
    {
        /** Opens an address in the default browser. */
        std::function<void (const juce::URL&)> openUrl;
        /** A save dialog offering `suggestion`; onChosen gets the chosen file, or a
            default File when the user cancelled. */
        std::function<void (const juce::File& suggestion, std::function<void (const juce::File&)> onChosen)> chooseFileToSave;
        /** An OK/Cancel question; onAnswer gets true for OK. */
        std::function<void (const juce::String& title, const juce::String& message, std::function<void (bool)> onAnswer)> askOkCancel;
        /** A message box without icon. */
        std::function<void (const juce::String& title, const juce::String& message)> showMessage;
    };

    PlatformServices platform;
    /** Puts the real services into `platform` (the constructor does). */
    void installDefaultPlatformServices();

    //==============================================================================
    /** The top bar: background, logo, product name, the links menu, the preset
        controls, bell and badge, options and bypass. Also empties the knob and
        button lists (the bypass button becomes the first button again), which
        initMainControls() refills. */
    void initTopBar();
    /** The monitor block, knobs, parameter buttons and section labels. Runs again
        (after initTopBar()) to rebuild every control from new skin images. */
    void initMainControls();
    /** Clears and rebuilds the options menu, every tick taken from the state now. */
    void initMorePopupMenu();

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
    /** Copies the processor's locked names into the widgets. Normally it only adds
        locks; after a host restore (replaceWidgetLocks) the widgets take exactly the
        restored list, so that the next lock action cannot put the old locks back. */
    void restoreParameterLocks (bool replaceWidgetLocks = false);

    /** Attaches (or detaches) the GPU context to the window's top-level component. */
    void setAcceleratedDrawing (bool shouldBeAccelerated);
    bool isAcceleratedDrawing() const noexcept { return accelerated; }

    //==============================================================================
    // Top-bar actions (what the buttons' onClick run).

    /** Shows the links menu under the logo. */
    void showLinksMenu();
    /** Rebuilds the options menu and shows it under the options button. */
    void showOptionsMenu();
    /** Fills the news window from the notifier (or with a fixed entry) and shows it. */
    void showNews();
    /** Offers a file for the current settings and writes the preset there. */
    void saveCurrentPreset();
    /** Asks, then moves the current preset file to the trash. */
    void deleteCurrentPreset();
    /** Random values for every knob not excluded from it and every unlocked button. */
    void randomizeParameters();

    //==============================================================================
    const juce::Array<orvel::OrvelKnob*>& getKnobs() const noexcept { return knobs; }
    const juce::Component& getKnobRowPanel() const noexcept { return knobRowPanel; }
    const juce::Array<orvel::OrvelButton*>& getParameterButtons() const noexcept { return parameterButtons; }
    orvel::OrvelKnob* findKnob (const juce::String& parameterName) const;
    orvel::OrvelButton* findParameterButton (const juce::String& parameterName) const;

    /** The section labels ("MONITOR", "PRE", ... "SOFTCLIP") in creation order. */
    const juce::OwnedArray<orvel::OrvelLabel>& getSectionLabels() const noexcept { return labelGroups[1]; }

    WaveShaperMonitor& getMonitor() noexcept { return monitor; }
    orvel::LoadingOverlay& getLoadingOverlay() noexcept { return loadingOverlay; }
    juce::OpenGLContext& getOpenGLContext() noexcept { return openGLContext; }
    juce::Label& getProductNameLabel() noexcept { return productName; }

    orvel::ComboboxSubmenu& getPresetBox() noexcept { return presetBox; }
    AboutWindow& getAboutWindow() noexcept { return aboutWindow; }
    orvel::NotificationWindow& getNewsWindow() noexcept { return newsWindow; }
    orvel::OrvelTopNotificationAmount& getUnreadBadge() noexcept { return unreadBadge; }
    orvel::OrvelTopBox& getTopBox (int index) noexcept { return index == 0 ? firstTopBox : secondTopBox; }
    const juce::Drawable* getLogo() const noexcept { return logo.get(); }
    orvel::OrvelButton& getLogoButton() noexcept { return logoButton; }

    enum class TopBarButton
    {
        previous,
        next,
        save,
        remove,
        randomize,
        news,
        options,
        bypass
    };
    orvel::OrvelButton& getTopBarButton (TopBarButton which) noexcept;

    const juce::PopupMenu& getLinksMenu() const noexcept { return linksMenu; }
    const juce::PopupMenu& getOptionsMenu() const noexcept { return optionsMenu; }

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
    /** The loading overlay shows the word again, and the controls behind it paint. */
    void endPlainLoadingOverlay();

    enum TopBarImage
    {
        prevOnImage = 0,
        prevOffImage,
        nextOnImage,
        nextOffImage,
        saveOnImage,
        saveOffImage,
        deleteOnImage,
        deleteOffImage,
        randomOnImage,
        randomOffImage,
        bellOnImage,
        bellOffImage,
        moreOnImage,
        moreOffImage,
        bypassOnImage,
        bypassOffImage,
        numTopBarImages = 18
    };

    void loadTopBarImages();
    void setupCommandButton (orvel::OrvelButton& button, TopBarImage offImage, TopBarImage onImage, int x, int y,
                             juce::Point<int> logicalSize, const juce::String& tooltip, std::function<void()> onClick);
    void buildLinksMenu();
    void setupKnob (orvel::OrvelKnob& knob, juce::RangedAudioParameter* parameter, orvel::SharedData::KnobArt art,
                    int x, int y, int logicalSize);
    void setupButton (orvel::OrvelButton& button, juce::RangedAudioParameter* parameter, const juce::Image& offImage,
                      const juce::Image& onImage, int x, int y, int logicalWidthOfButton, int logicalHeightOfButton);
    void applyKnobDisplaySettings();
    void applyButtonSettings();
    void createSectionLabels();
    orvel::OrvelLabel* addSectionLabel (const juce::String& text);
    /** The section labels' words and the panel frames, for the knobs' bubbles. */
    orvel::OrvelKnob::BubbleObstacles getBubbleObstacles() const;
    void placeUnder (juce::Label& label, const juce::Component& control, int overlap);
    void updateMonitorActivity();
    /** The drive the monitor shows: the one the audio thread publishes while it
        runs, else the one the Fold Amount knob asks for. Counts refresh ticks. */
    float monitorDriveToShow();

    // Audio counts as running while the published drive keeps moving; once it has
    // stood still this long (or was never published) the knob's drive is shown.
    static constexpr int staleDriveMs = 500;
    float lastPublishedDrive = 0.0f;
    int ticksSinceDriveMoved = 0;
    bool audioIsLive = false;
    void finishGraphicsUpdate();
    void keepOverlaysOnTop();
    void showCurrentPreset();
    void lockAllWidgets (bool shouldBeLocked);
    void setLeftHandedMouse (bool shouldBeLeftHanded);
    void setWindowSize (double scale);
    void setImageAdjustment (float newBrightness, float newContrast);

    //==============================================================================
    juce::OpenGLContext openGLContext;
    orvel::LoadingOverlay loadingOverlay;
    AboutWindow aboutWindow;
    orvel::NotificationWindow newsWindow { newsPanelWidth };
    juce::ImageComponent background;
    std::array<juce::Image, numTopBarImages> topBarImages;
    juce::Label productName { "pluginName", juce::String() };
    std::unique_ptr<juce::Drawable> logo;
    orvel::OrvelButton logoButton;
    orvel::OrvelTopBox firstTopBox, secondTopBox;
    orvel::OrvelTopNotificationAmount unreadBadge;
    orvel::ComboboxSubmenu presetBox;
    orvel::OrvelButton previousButton, nextButton, saveButton, deleteButton, randomButton, newsButton, optionsButton,
        bypassButton;
    juce::PopupMenu linksMenu, optionsMenu;

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

    bool locksRestored = false;   // the processor's locks have reached the widgets
    int lockRestoreCountSeen = 0; // the processor's host restores they reflect

    juce::TooltipWindow tooltipWindow { this, 600 };
    // The dialog's look outlives the dialog.
    std::unique_ptr<orvel::OrvelLookAndFeel> saveDialogLook;
    std::unique_ptr<juce::FileChooser> saveChooser;
    orvel::OrvelSettings settings;
    juce::Random random;
    bool accelerated = false;
    bool hasBackgroundImage = false;
    bool skinPending = false; // the first window of a process: the skin is still being decoded

    WrendleFoldProcessor& processor;
    WrendleFoldEditor* editor = nullptr;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (WrendleFoldPluginWindow)
};
