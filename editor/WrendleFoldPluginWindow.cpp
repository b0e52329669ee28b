// The main window: construction, the top bar's controls, the refresh timers,
// the listeners and the graphics updates. The main controls and their locks are
// in WrendleFoldPluginWindowControls.cpp, the top bar's menus and actions in
// WrendleFoldPluginWindowTopBar.cpp.
#include "editor/WrendleFoldPluginWindow.h"

#include "editor/EditorSettings.h"
#include "editor/EmbeddedResources.h"
#include "editor/FileDialogLook.h"
#include "editor/OrvelLookAndFeel.h"
#include "editor/SharedData.h"
#include "editor/WidgetSupport.h"
#include "editor/WrendleFoldEditor.h"
#include "plugin/WrendleFoldProcessor.h"
#include "state/PresetFile.h"

#include <cmath>
#include <limits>

namespace
{

// Logical size of the top bar's round buttons.
constexpr int topBarButtonSize = 20;

constexpr const char* topBarImageNames[] = {
    "prev_on_2x_png",
    "prev_off_2x_png",
    "next_on_2x_png",
    "next_off_2x_png",
    "save_on_2x_png",
    "save_off_2x_png",
    "delete_on_2x_png",
    "delete_off_2x_png",
    "random_on_2x_png",
    "random_off_2x_png",
    "bell_on_2x_png",
    "bell_off_2x_png",
    "more_on_2x_png",
    "more_off_2x_png",
    "bypass_on_2x_png",
    "bypass_off_2x_png",
};

// Logical sizes of the top-bar command buttons (their images are drawn at half size).
const juce::Point<int> stepButtonSize { 21, 12 }, presetActionSize { 25, 25 }, topBarIconSize { 20, 20 };

const juce::Colour topBarTextColour (0xffd2d2d2);

} // namespace

//==============================================================================
WrendleFoldPluginWindow::WrendleFoldPluginWindow (WrendleFoldProcessor& processorToUse, WrendleFoldEditor* editorToUse)
    : processor (processorToUse), editor (editorToUse)
{
    installDefaultPlatformServices();

    // Links in the news list open through the same service as every other link.
    newsWindow.setLinkOpener ([this] (const juce::URL& url)
                              {
                                  if (platform.openUrl != nullptr)
                                      platform.openUrl (url); });

    // Static decorations are drawn once into image buffers.
    monitorGrid.setBufferedToImage (true);
    knobRowPanel.setBufferedToImage (true);
    feedbackLink.setBufferedToImage (true);
    monitorGrid.setInterceptsMouseClicks (false, false);
    knobRowPanel.setInterceptsMouseClicks (false, false);
    feedbackLink.setInterceptsMouseClicks (false, false);
    monitor.setInterceptsMouseClicks (false, false);
    monitorFrame.setInterceptsMouseClicks (false, false);

    openGLContext.setRenderer (this);
    openGLContext.setMultisamplingEnabled (true);

    settings.loadMakerSettings (true);
    if (settings.getMakerBool (orvel::OrvelSettings::accelerateGuiKey, false))
        setAcceleratedDrawing (true);

    setSize (logicalWidth, logicalHeight);
    setOpaque (true);

    presetDisplayCounter = random.nextInt (4);
    presetDisplayTarget = 10 + random.nextInt (10);
    lockRestoreCountSeen = processor.getLockRestoreCount();

    // The first window of a process does not wait for the skin: it opens with
    // plain stand-ins behind the loading overlay while the skin is decoded and
    // the knob bodies painted on the store's thread.
    const auto& store = processor.getSharedData();
    skinPending = store != nullptr && ! store->isLoaded();

    loadTopBarImages();
    initTopBar();
    initMainControls();
    initMorePopupMenu();

    linksMenu.setLookAndFeel (&processor.getLookAndFeel());
    optionsMenu.setLookAndFeel (&processor.getLookAndFeel());

    startTimer (refreshTimerId, processor.getEditorRefreshIntervalMs());

    // Hidden overlays over the whole window; the loading overlay stays topmost,
    // including above the controls a rebuild adds later.
    for (auto* overlay : std::initializer_list<juce::Component*> { &aboutWindow, &newsWindow, &loadingOverlay })
    {
        addChildComponent (*overlay);
        overlay->setBounds (getLocalBounds());
    }

    loadingOverlay.setAlwaysOnTop (true);
    keepOverlaysOnTop();

    setLookAndFeel (&processor.getLookAndFeel());

    // Its very first frame is the plain overlay, at once; text waits for the
    // typefaces, which the skin thread makes first.
    if (skinPending && ! orvel::OrvelLookAndFeel::typefacesArePrepared())
    {
        loadingOverlay.setPlain (true);
        startTimer (typefaceWaitTimerId, 10);
    }

    if (skinPending)
        updateGraphics();
}

WrendleFoldPluginWindow::~WrendleFoldPluginWindow()
{
    stopTimer (refreshTimerId);
    stopTimer (lockRestoreTimerId);
    stopTimer (typefaceWaitTimerId);
    loadingOverlay.stopTimer();
    presetBox.removeChangeListener (this);
    openGLContext.detach();
    setLookAndFeel (nullptr);
}

void WrendleFoldPluginWindow::installDefaultPlatformServices()
{
    platform.openUrl = [] (const juce::URL& url)
    {
        // A failed launch is not reported: there is nothing the user could do about it here.
        url.launchInDefaultBrowser();
    };

    platform.chooseFileToSave = [this] (const juce::File& suggestion, std::function<void (const juce::File&)> onChosen)
    {
        saveChooser = std::make_unique<juce::FileChooser> (orvel::presets::saveDialogTitle, suggestion,
                                                           orvel::presets::filePattern);

        const auto flags = juce::FileBrowserComponent::saveMode | juce::FileBrowserComponent::canSelectFiles
                           | juce::FileBrowserComponent::warnAboutOverwriting;

        saveChooser->launchAsync (flags, [onChosen = std::move (onChosen)] (const juce::FileChooser& chooser)
                                  { onChosen (chooser.getResult()); });

        // JUCE's own dialog, when it is the one that opened, is modal by now.
        if (saveDialogLook == nullptr)
            saveDialogLook = orvel::makeFileDialogLook();

        orvel::dressFileDialog (juce::Component::getCurrentlyModalComponent(), *saveDialogLook);
    };

    platform.askOkCancel = [this] (const juce::String& title, const juce::String& message, std::function<void (bool)> onAnswer)
    {
        juce::NativeMessageBox::showOkCancelBox (juce::MessageBoxIconType::QuestionIcon, title, message, this,
                                                 juce::ModalCallbackFunction::create ([onAnswer = std::move (onAnswer)] (int result)
                                                                                      { onAnswer (result != 0); }));
    };

    platform.showMessage = [this] (const juce::String& title, const juce::String& message)
    {
        juce::NativeMessageBox::showMessageBoxAsync (juce::MessageBoxIconType::NoIcon, title, message, this);
    };
}

//==============================================================================
void WrendleFoldPluginWindow::loadTopBarImages()
{
    for (size_t i = 0; i < std::size (topBarImageNames); ++i)
        topBarImages[i] = orvel::resources::loadCachedImage (topBarImageNames[i]);
}

void WrendleFoldPluginWindow::setupCommandButton (orvel::OrvelButton& button, TopBarImage offImage, TopBarImage onImage,
                                                  int x, int y, juce::Point<int> logicalSize, const juce::String& tooltip,
                                                  std::function<void()> onClick)
{
    const auto& off = topBarImages[(size_t) offImage];
    button.setupImageButton (off, topBarImages[(size_t) onImage], x, y, this);
    button.setDisplayScale (2);

    // Without artwork the button still takes its logical size, so it can be clicked.
    if (! off.isValid())
        button.setSize (logicalSize.x, logicalSize.y);

    button.setTooltip (tooltip);
    button.onClick = std::move (onClick);
    addAndMakeVisible (button);
}

void WrendleFoldPluginWindow::initTopBar()
{
    // 1: initMainControls refills both lists; bypass becomes the first button below.
    knobs.clear();
    parameterButtons.clear();

    // 2: the skin background.
    const auto& sharedData = processor.getSharedData();
    const auto backgroundImage = sharedData != nullptr && ! skinPending ? sharedData->getImage (orvel::SharedData::background) : juce::Image();
    hasBackgroundImage = backgroundImage.isValid();

    background.setImage (backgroundImage, juce::RectanglePlacement::stretchToFit);
    background.setBounds (getLocalBounds());
    background.setInterceptsMouseClicks (false, false);
    addAndMakeVisible (background);

    // 3: the logo, light on the dark bar.
    if (logo != nullptr)
        removeChildComponent (logo.get());

    logo = orvel::resources::loadDrawable ("kestrivanelogo_svg");

    if (logo != nullptr)
    {
        logo->setInterceptsMouseClicks (false, false);
        addAndMakeVisible (*logo);
        logo->setTransformToFit ({ 5.0f, 5.0f, 35.0f, 35.0f }, juce::RectanglePlacement::centred);
        logo->replaceColour (juce::Colours::black, topBarTextColour);
    }

    // 4: the product name.
    productName.setText ("FOLD", juce::dontSendNotification);
    productName.setJustificationType (juce::Justification::centredLeft);
    productName.setColour (juce::Label::textColourId, topBarTextColour);
    productName.setBounds (39, -1, 150, 46);
    productName.setInterceptsMouseClicks (false, false);
    addAndMakeVisible (productName);

    // 5: an invisible button over logo and name opens the links menu.
    logoButton.setupImageButton (juce::Image(), juce::Image(), 0, 0, nullptr);
    logoButton.setBounds (0, 0, productName.getWidth() + 35, 46);
    logoButton.setMouseCursor (juce::MouseCursor::PointingHandCursor);
    logoButton.onClick = [this]
    { showLinksMenu(); };
    addAndMakeVisible (logoButton);

    // 6: the preset group.
    const auto topBoxOutline = juce::Colour (0xff333535).withAlpha (0.7f);

    for (auto* box : { &firstTopBox, &secondTopBox })
    {
        box->setCornerSize (3);
        box->setColours (juce::Colour (0xff232323), juce::Colour (0xff0a0a0b), topBoxOutline);
    }

    firstTopBox.setBounds (119, 9, 258, 29);
    addAndMakeVisible (firstTopBox);

    setupCommandButton (previousButton, prevOffImage, prevOnImage, 121, 10, stepButtonSize, "Prev Preset",
                        [this]
                        { presetBox.selectPrevious(); });
    setupCommandButton (nextButton, nextOffImage, nextOnImage, 121, 24, stepButtonSize, "Next Preset",
                        [this]
                        { presetBox.selectNext(); });

    presetBox.setBounds (nextButton.getRight(), 10, 138, 25);
    presetBox.removeChangeListener (this);
    presetBox.addChangeListener (this);
    presetBox.setCurrentPreset (processor.currentPresetPath, true);
    presetBox.setTooltip ("Preset Box");
    presetBox.setLookAndFeel (&processor.getLookAndFeel());
    addAndMakeVisible (presetBox);

    // 7: the preset actions.
    const auto presetBoxRight = presetBox.getRight();
    setupCommandButton (saveButton, saveOffImage, saveOnImage, presetBoxRight + 1, 10, presetActionSize,
                        "Save Preset", [this]
                        { saveCurrentPreset(); });
    setupCommandButton (deleteButton, deleteOffImage, deleteOnImage, presetBoxRight + 33, 10, presetActionSize,
                        "Delete Preset", [this]
                        { deleteCurrentPreset(); });
    setupCommandButton (randomButton, randomOffImage, randomOnImage, presetBoxRight + 65, 10, presetActionSize,
                        "Randomizer", [this]
                        { randomizeParameters(); });

    // 8: the news group; the badge shows the notifier's unread flag (1 or nothing),
    // and nothing while the news check is off.
    secondTopBox.setBounds (379, 9, 92, 29);
    addAndMakeVisible (secondTopBox);

    setupCommandButton (newsButton, bellOffImage, bellOnImage, 384, 13, topBarIconSize, "Notifications",
                        [this]
                        { showNews(); });

    // A small dot on the bell's upper right shoulder.
    unreadBadge.setBounds (newsButton.getX() + 12, newsButton.getY() - 3, unreadBadgeSize, unreadBadgeSize);
    settings.loadMakerSettings (true);
    const auto newsOn = settings.getMakerBool (orvel::OrvelSettings::newsNotificationsKey, true);
    unreadBadge.setUnreadCount (newsOn ? processor.getNotifications().unreadFlag() : 0);
    unreadBadge.repaint();
    addAndMakeVisible (unreadBadge);

    newsWindow.setAnchor (newsButton.getX() + 19, newsButton.getY() + 3);

    // 9: options, then bypass.
    setupCommandButton (optionsButton, moreOffImage, moreOnImage, 414, 13, topBarIconSize, "Options",
                        [this]
                        { showOptionsMenu(); });

    const auto& params = processor.getParameterSet();
    setupButton (bypassButton, params.bypass, topBarImages[bypassOffImage], topBarImages[bypassOnImage],
                 444, 13, topBarButtonSize, topBarButtonSize);
    // Bypass is never randomized or taken by lock-all, and never shows a lock.
    bypassButton.setLockable (false);
    bypassButton.setLocked (true);
    bypassButton.getLockIndicator().setVisible (false);
    bypassButton.setDisplayScale (2);
    bypassButton.setTooltip ("Bypass");
    parameterButtons.add (&bypassButton);

    // 10: the links menu under the logo.
    buildLinksMenu();
}

orvel::OrvelButton& WrendleFoldPluginWindow::getTopBarButton (TopBarButton which) noexcept
{
    switch (which)
    {
        case TopBarButton::previous:
            return previousButton;
        case TopBarButton::next:
            return nextButton;
        case TopBarButton::save:
            return saveButton;
        case TopBarButton::remove:
            return deleteButton;
        case TopBarButton::randomize:
            return randomButton;
        case TopBarButton::news:
            return newsButton;
        case TopBarButton::options:
            return optionsButton;
        case TopBarButton::bypass:
            break;
    }

    return bypassButton;
}

//==============================================================================
void WrendleFoldPluginWindow::timerCallback (int timerId)
{
    if (timerId == refreshTimerId)
        refreshFromProcessor();
    else if (timerId == lockRestoreTimerId)
        restoreParameterLocks();
    else if (timerId == typefaceWaitTimerId && orvel::OrvelLookAndFeel::typefacesArePrepared())
        endPlainLoadingOverlay();
}

void WrendleFoldPluginWindow::endPlainLoadingOverlay()
{
    stopTimer (typefaceWaitTimerId);
    loadingOverlay.setPlain (false);
}

void WrendleFoldPluginWindow::syncWidgetsWithParameters()
{
    for (auto* knob : knobs)
    {
        auto* parameter = knob->getParameter();

        if (parameter == nullptr || knob->isMouseHeldDown())
            continue;

        const auto value = (double) parameter->getValue();

        if (knob->getValue() != value)
        {
            knob->setValue (value, juce::dontSendNotification);

            if (knob->getValueLabel().isVisible())
                knob->updateValueLabel();
        }
    }

    for (auto* button : parameterButtons)
        if (auto* parameter = button->getParameter())
            button->setToggleState (parameter->getValue() > 0.5f, juce::dontSendNotification);
}

void WrendleFoldPluginWindow::updateMonitorActivity()
{
    // Without audio nothing reports the bypass the audio thread applied: the
    // switch says what it will be.
    const auto bypassed = audioIsLive ? processor.getLastBypassRequest() : processor.getParameterSet().bypass->getValue() < 0.5f;
    monitor.setActive (! bypassed);
}

float WrendleFoldPluginWindow::monitorDriveToShow()
{
    const auto published = processor.getMonitorDrive();

    if (published != lastPublishedDrive)
    {
        lastPublishedDrive = published;
        ticksSinceDriveMoved = 0;
    }
    else if (ticksSinceDriveMoved < std::numeric_limits<int>::max() / 2)
    {
        ++ticksSinceDriveMoved;
    }

    const auto staleTicks = juce::jmax (1, staleDriveMs / juce::jmax (1, processor.getEditorRefreshIntervalMs()));
    audioIsLive = published > 0.0f && ticksSinceDriveMoved < staleTicks;

    // The fold core's drive for a knob position, before the envelope moves it.
    return audioIsLive ? published : processor.getParameterSet().foldAmount->getValue() * 14.0f + 1.0f;
}

void WrendleFoldPluginWindow::refreshFromProcessor()
{
    syncWidgetsWithParameters();

    const auto& params = processor.getParameterSet();
    monitor.updateCurve (false, monitorDriveToShow(), params.input->getPlainValue(), params.output->getPlainValue());
    updateMonitorActivity();

    // A host automation of PrePost rearranges the row at the next tick.
    updatePrePostLayout (false);

    // A host restore while the window is open brings its own locks.
    if (processor.getLockRestoreCount() != lockRestoreCountSeen)
        restoreParameterLocks (true);

    // The bell stays lit while its news window is open.
    newsButton.setToggleState (newsWindow.isVisible(), juce::dontSendNotification);

    // Shown once, some ticks after opening, so that a preset path the host
    // restored after the window opened is the one displayed.
    if (presetDisplayCounter < presetDisplayTarget && ++presetDisplayCounter == presetDisplayTarget)
        showCurrentPreset();
}

void WrendleFoldPluginWindow::showCurrentPreset()
{
    presetBox.setCurrentPreset (processor.currentPresetPath, false);
}

//==============================================================================
void WrendleFoldPluginWindow::sliderValueChanged (juce::Slider* slider)
{
    if (auto* knob = dynamic_cast<orvel::OrvelKnob*> (slider))
        if (auto* parameter = knob->getParameter())
            parameter->setValueNotifyingHost ((float) knob->getValue());
}

void WrendleFoldPluginWindow::sliderDragStarted (juce::Slider* slider)
{
    if (auto* knob = dynamic_cast<orvel::OrvelKnob*> (slider))
        if (auto* parameter = knob->getParameter())
            parameter->beginChangeGesture();
}

void WrendleFoldPluginWindow::sliderDragEnded (juce::Slider* slider)
{
    if (auto* knob = dynamic_cast<orvel::OrvelKnob*> (slider))
        if (auto* parameter = knob->getParameter())
            parameter->endChangeGesture();
}

void WrendleFoldPluginWindow::buttonClicked (juce::Button* button)
{
    if (auto* orvelButton = dynamic_cast<orvel::OrvelButton*> (button))
    {
        if (auto* parameter = orvelButton->getParameter())
        {
            parameter->beginChangeGesture();
            parameter->setValueNotifyingHost (orvelButton->getToggleState() ? 1.0f : 0.0f);
            parameter->endChangeGesture();
        }
    }
}

void WrendleFoldPluginWindow::changeListenerCallback (juce::ChangeBroadcaster* source)
{
    // The preset box chose a preset: load it, and let every widget follow at
    // once instead of at the next refresh tick.
    if (source != &presetBox)
        return;

    processor.loadPreset (presetBox.getCurrentPresetPath());
    syncWidgetsWithParameters();
}

//==============================================================================
void WrendleFoldPluginWindow::mouseDown (const juce::MouseEvent& e)
{
    // A press on the background closes open value bubbles.
    if (e.eventComponent != this)
        return;

    for (auto* knob : knobs)
        if (knob->getValueBubble() != nullptr)
            knob->hideBubbles (100);
}

void WrendleFoldPluginWindow::paint (juce::Graphics& g)
{
    // The background is an image component; this only covers for missing artwork.
    if (! hasBackgroundImage)
        g.fillAll (juce::Colour (0xff2c2c2d));
}

//==============================================================================
void WrendleFoldPluginWindow::updateGraphics()
{
    loadingOverlay.setVisible (true);
    loadingOverlay.startTimer (350);

    auto sharedData = processor.getSharedData();

    if (sharedData == nullptr)
    {
        finishGraphicsUpdate();
        return;
    }

    const auto& userSettings = orvel::editorSettingsOf (processor);
    sharedData->setAdjustment (userSettings.brightness, userSettings.contrast);

    // Runs with the message thread's rights (see SharedData), possibly after this window closed.
    sharedData->setCompletionAction ([safeWindow = juce::Component::SafePointer<WrendleFoldPluginWindow> (this)]
                                     {
        if (safeWindow != nullptr)
            safeWindow->finishGraphicsUpdate(); });

    sharedData->startRebuild();
}

void WrendleFoldPluginWindow::finishGraphicsUpdate()
{
    skinPending = false;
    endPlainLoadingOverlay();
    initTopBar();
    initMainControls();
    loadingOverlay.stopTimer();
    loadingOverlay.setVisible (false);
}

void WrendleFoldPluginWindow::keepOverlaysOnTop()
{
    // A rebuild adds new children (logo, section labels) above everything; the
    // overlays must still cover them when they show.
    aboutWindow.toFront (false);
    newsWindow.toFront (false);
    loadingOverlay.toFront (false);
}

//==============================================================================
void WrendleFoldPluginWindow::setAcceleratedDrawing (bool shouldBeAccelerated)
{
    accelerated = shouldBeAccelerated;

    if (accelerated)
        openGLContext.attachTo (*getTopLevelComponent());
    else
        openGLContext.detach();
}

void WrendleFoldPluginWindow::parentHierarchyChanged()
{
    // The context belongs on the top-level component, which is only known once
    // the editor (and the host's holder) have taken the window in.
    if (accelerated && openGLContext.getTargetComponent() != getTopLevelComponent())
    {
        openGLContext.detach();
        openGLContext.attachTo (*getTopLevelComponent());
    }
}

orvel::OrvelKnob* WrendleFoldPluginWindow::findKnob (const juce::String& parameterName) const
{
    for (auto* knob : knobs)
        if (knob->getParameterName() == parameterName)
            return knob;

    return nullptr;
}

orvel::OrvelButton* WrendleFoldPluginWindow::findParameterButton (const juce::String& parameterName) const
{
    for (auto* button : parameterButtons)
        if (auto* parameter = button->getParameter(); parameter != nullptr && parameter->getName (50) == parameterName)
            return button;

    return nullptr;
}
