// The main window: construction, layout, knobs, presets and the refresh timers.
#include "editor/WrendleFoldPluginWindow.h"

#include "editor/EditorSettings.h"
#include "editor/EmbeddedResources.h"
#include "editor/OrvelLookAndFeel.h"
#include "editor/SharedData.h"
#include "editor/WidgetSupport.h"
#include "editor/WrendleFoldEditor.h"
#include "editor/FileDialogLook.h"
#include "plugin/WrendleFoldProcessor.h"
#include "state/PresetFile.h"

#include <cmath>
#include <limits>

namespace
{

// Logical sizes of the skin images (the artwork is drawn at twice this).
constexpr int bigKnobSize = 153, whiteKnobSize = 62, smallKnobSize = 68, tinyKnobSize = 43;
constexpr int swapWidth = 30, swapHeight = 22, roundButtonSize = 26, topBarButtonSize = 20;

// The middle knob row: four places 86 units apart.
constexpr int knobRowX = 76, knobRowY = 256, knobRowSpacing = 86;
// Half the small-knob-2 image width: where a pair title ends past its right knob.
constexpr int pairTitleOverhang = 68;

constexpr const char* topBarImageNames[] = {
    "prev_on_2x_png",   "prev_off_2x_png",   "next_on_2x_png",   "next_off_2x_png",
    "save_on_2x_png",   "save_off_2x_png",   "delete_on_2x_png", "delete_off_2x_png",
    "random_on_2x_png", "random_off_2x_png", "bell_on_2x_png",   "bell_off_2x_png",
    "more_on_2x_png",   "more_off_2x_png",   "bypass_on_2x_png", "bypass_off_2x_png",
};

const juce::Colour labelTextColour (0xffb5b5b5);

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
                                      platform.openUrl (url);
                              });

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
    logoButton.onClick = [this] { showLinksMenu(); };
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
                        [this] { presetBox.selectPrevious(); });
    setupCommandButton (nextButton, nextOffImage, nextOnImage, 121, 24, stepButtonSize, "Next Preset",
                        [this] { presetBox.selectNext(); });

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
                        "Save Preset", [this] { saveCurrentPreset(); });
    setupCommandButton (deleteButton, deleteOffImage, deleteOnImage, presetBoxRight + 33, 10, presetActionSize,
                        "Delete Preset", [this] { deleteCurrentPreset(); });
    setupCommandButton (randomButton, randomOffImage, randomOnImage, presetBoxRight + 65, 10, presetActionSize,
                        "Randomizer", [this] { randomizeParameters(); });

    // 8: the news group; the badge shows the notifier's unread flag (1 or nothing).
    secondTopBox.setBounds (379, 9, 92, 29);
    addAndMakeVisible (secondTopBox);

    setupCommandButton (newsButton, bellOffImage, bellOnImage, 384, 13, topBarIconSize, "Notifications",
                        [this] { showNews(); });

    // A small dot on the bell's upper right shoulder.
    unreadBadge.setBounds (newsButton.getX() + 12, newsButton.getY() - 3, unreadBadgeSize, unreadBadgeSize);
    unreadBadge.setUnreadCount (processor.getNotifications().unreadFlag());
    unreadBadge.repaint();
    addAndMakeVisible (unreadBadge);

    newsWindow.setAnchor (newsButton.getX() + 19, newsButton.getY() + 3);

    // 9: options, then bypass.
    setupCommandButton (optionsButton, moreOffImage, moreOnImage, 414, 13, topBarIconSize, "Options",
                        [this] { showOptionsMenu(); });

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
        case TopBarButton::previous: return previousButton;
        case TopBarButton::next: return nextButton;
        case TopBarButton::save: return saveButton;
        case TopBarButton::remove: return deleteButton;
        case TopBarButton::randomize: return randomButton;
        case TopBarButton::news: return newsButton;
        case TopBarButton::options: return optionsButton;
        case TopBarButton::bypass: break;
    }

    return bypassButton;
}

void WrendleFoldPluginWindow::setupKnob (orvel::OrvelKnob& knob, juce::RangedAudioParameter* parameter,
                                         orvel::SharedData::KnobArt art, int x, int y, int logicalSize)
{
    knob.setupParameterKnob (parameter, {}, 1, x, y, juce::Slider::RotaryHorizontalVerticalDrag);

    // Without the skin store the knob still takes its logical size and draws a plain dial.
    const auto& sharedData = processor.getSharedData();

    if (sharedData != nullptr && ! skinPending)
        knob.setFramePainter (sharedData->getKnobPainter (art), orvel::SharedData::getKnobFramePx (art));
    else
        knob.setSize (logicalSize, logicalSize);

    knobs.add (&knob);
    addAndMakeVisible (knob);
}

void WrendleFoldPluginWindow::setupButton (orvel::OrvelButton& button, juce::RangedAudioParameter* parameter,
                                           const juce::Image& offImage, const juce::Image& onImage, int x, int y,
                                           int logicalWidthOfButton, int logicalHeightOfButton)
{
    button.setupParameterButton (parameter, offImage, onImage, x, y);

    if (! offImage.isValid())
        button.setSize (logicalWidthOfButton, logicalHeightOfButton);

    button.addOwnerListeners (this, this);
    addAndMakeVisible (button);
}

void WrendleFoldPluginWindow::initMainControls()
{
    const auto& params = processor.getParameterSet();
    const auto& sharedData = processor.getSharedData();
    const auto image = [&sharedData, this] (orvel::SharedData::ImageId id)
    { return sharedData != nullptr && ! skinPending ? sharedData->getImage (id) : juce::Image(); };

    // 1-2: the monitor block; the frame is added last so it is drawn over the curve.
    monitorFrame.setImage (image (orvel::SharedData::box), juce::RectanglePlacement::stretchToFit);
    monitorFrame.setBounds (51, 78, 116, 120);

    monitorGrid.setBounds (66, 93, 88, 88);
    monitorGrid.setAlpha (0.75f);
    addAndMakeVisible (monitorGrid);

    monitor.setBounds (66, 93, 88, 88);
    addAndMakeVisible (monitor);
    lastPublishedDrive = processor.getMonitorDrive();
    ticksSinceDriveMoved = std::numeric_limits<int>::max() / 2;
    monitor.updateCurve (true, monitorDriveToShow(), params.input->getPlainValue(), params.output->getPlainValue());
    updateMonitorActivity();
    addAndMakeVisible (monitorFrame);

    // 3: the upper knobs, the panel behind the middle row, the middle row at its
    // "Normal" places, the link glyph.
    using Art = orvel::SharedData;
    const auto bigKnob = Art::bigKnob, whiteKnob = Art::whiteKnob, tinyKnob = Art::tinyKnob;
    const auto smallKnob = Art::smallKnob, smallKnob2 = Art::smallKnob2;

    const int foldX = (logicalWidth - bigKnobSize) / 2, foldY = 59;
    setupKnob (foldAmountKnob, params.foldAmount, bigKnob, foldX, foldY, bigKnobSize);
    setupKnob (envelopeAmountKnob, params.envelopeAmount, whiteKnob, foldX + 170, foldY + 17, whiteKnobSize);
    setupKnob (envelopeAttackKnob, params.envelopeAttack, tinyKnob, foldX + 170 - 15, foldY + 17 + 82, tinyKnobSize);
    setupKnob (envelopeReleaseKnob, params.envelopeRelease, tinyKnob, foldX + 170 + 35, foldY + 17 + 82, tinyKnobSize);

    addAndMakeVisible (knobRowPanel);
    setupKnob (highPassKnob, params.highPass, smallKnob2, knobRowX, knobRowY, smallKnobSize);
    setupKnob (lowPassKnob, params.lowPass, smallKnob2, knobRowX + knobRowSpacing, knobRowY, smallKnobSize);
    setupKnob (feedbackKnob, params.feedback, smallKnob, knobRowX + 2 * knobRowSpacing, knobRowY, smallKnobSize);
    setupKnob (feedbackLowPassKnob, params.feedbackLowPass, smallKnob2, knobRowX + 3 * knobRowSpacing, knobRowY, smallKnobSize);
    addAndMakeVisible (feedbackLink);

    // 4: the PrePost swap button above the panel's divider, then the row arrangement.
    setupButton (prePostButton, params.prePost, image (orvel::SharedData::swapOff), image (orvel::SharedData::swapOn),
                 (logicalWidth - swapWidth) / 2, knobRowY - 26 + 9, swapWidth, swapHeight);
    parameterButtons.add (&prePostButton);
    updatePrePostLayout (true);

    // 5: the lower row.
    const int inputX = 78, inputY = 364;
    setupKnob (inputKnob, params.input, whiteKnob, inputX, inputY, whiteKnobSize);
    setupKnob (mixKnob, params.mix, Art::whiteKnobUnipolar, inputX + 86, inputY + 7, whiteKnobSize);
    setupKnob (outputKnob, params.output, whiteKnob, inputX + 2 * 86, inputY, whiteKnobSize);

    const auto buttonOff = image (orvel::SharedData::buttonOff);
    const auto buttonOn = image (orvel::SharedData::buttonOn);
    setupButton (autoGainButton, params.autoGain, buttonOff, buttonOn, 354, inputY - 7, roundButtonSize, roundButtonSize);
    parameterButtons.add (&autoGainButton);
    setupButton (softClipButton, params.softClip, buttonOff, buttonOn, 354, inputY - 7 + 51, roundButtonSize, roundButtonSize);
    parameterButtons.add (&softClipButton);

    // 6-8.
    applyKnobDisplaySettings();
    applyButtonSettings();
    createSectionLabels();

    // 9: locks a host restored meanwhile are shown a second after the build.
    startTimer (lockRestoreTimerId, 1000);

    keepOverlaysOnTop();
}

void WrendleFoldPluginWindow::applyKnobDisplaySettings()
{
    const auto leftHanded = orvel::editorSettingsOf (processor).leftHandedMouse;

    for (auto* knob : knobs)
    {
        knob->getValueLabel().setVisible (false);
        knob->bubbleHost = this;
        knob->removeListener (this);
        knob->addListener (this);
        knob->removeActionListener (this);
        knob->addActionListener (this);

        // The knob frames are painted at twice the logical resolution.
        knob->setDisplayScale (2);

        knob->bubbleFadeLimit = 0.94f;
        knob->editBubbleWidth = 70;
        knob->bubbleOffset = { 0.0f, (float) -(knob->getHeight() + 36) };
        knob->bubbleObstacles = [this] { return getBubbleObstacles(); };
        knob->leftHandedMouse = leftHanded;
    }

    // The big knob's bubbles open over its own artwork, not above it.
    foldAmountKnob.setLockIndicatorOffset ({ 9, 12 });
    foldAmountKnob.bubbleOffset = { 0.0f, (float) -(foldAmountKnob.getHeight() + 19) };
}

void WrendleFoldPluginWindow::applyButtonSettings()
{
    const auto leftHanded = orvel::editorSettingsOf (processor).leftHandedMouse;

    for (auto* button : parameterButtons)
    {
        button->addOwnerListeners (this, this);
        button->setDisplayScale (2);
        button->leftHandedMouse = leftHanded;
    }
}

orvel::OrvelKnob::BubbleObstacles WrendleFoldPluginWindow::getBubbleObstacles() const
{
    orvel::OrvelKnob::BubbleObstacles obstacles;

    // The words themselves, not the (wider) label boxes.
    for (const auto& group : labelGroups)
    {
        for (const auto* label : group)
        {
            if (! label->isVisible() || label->getText().isEmpty())
                continue;

            const auto font = label->getFont();
            const auto text = juce::Rectangle<int> (juce::roundToInt (font.getStringWidthFloat (label->getText())) + 2,
                                                    juce::roundToInt (font.getHeight()));
            obstacles.texts.push_back (label->getJustificationType().appliedToRectangle (text, label->getBounds()));
        }
    }

    obstacles.frames.push_back (knobRowPanel.getBounds());
    obstacles.frames.push_back (monitorFrame.getBounds());
    return obstacles;
}

//==============================================================================
orvel::OrvelLabel* WrendleFoldPluginWindow::addSectionLabel (const juce::String& text)
{
    return labelGroups[1].add (new orvel::OrvelLabel (juce::String(), text));
}

void WrendleFoldPluginWindow::placeUnder (juce::Label& label, const juce::Component& control, int overlap)
{
    label.setBounds (control.getX() - 10, control.getBottom() - overlap, control.getWidth() + 20, 24);
}

void WrendleFoldPluginWindow::createSectionLabels()
{
    for (auto& group : labelGroups)
        group.clear();

    preLabel = postLabel = highPassLabel = lowPassLabel = feedbackLabel = feedbackLowPassLabel = nullptr;

    auto* monitorLabel = addSectionLabel ("MONITOR");
    monitorLabel->setBounds (monitorFrame.getX(), monitorFrame.getBottom() - 4, monitorFrame.getWidth(), 24);

    preLabel = addSectionLabel ("PRE");
    highPassLabel = addSectionLabel ("HIGHPASS");
    lowPassLabel = addSectionLabel ("LOWPASS");
    postLabel = addSectionLabel ("POST");
    feedbackLabel = addSectionLabel ("FEEDBACK");
    feedbackLowPassLabel = addSectionLabel ("LOWPASS");
    placeSectionLabels();

    placeUnder (*addSectionLabel ("FOLD"), foldAmountKnob, 10);
    placeUnder (*addSectionLabel ("ENVELOPE"), envelopeAmountKnob, 4);
    placeUnder (*addSectionLabel ("ATK"), envelopeAttackKnob, 4);
    placeUnder (*addSectionLabel ("REL"), envelopeReleaseKnob, 4);
    placeUnder (*addSectionLabel ("INPUT"), inputKnob, 4);
    placeUnder (*addSectionLabel ("MIX"), mixKnob, 4);
    placeUnder (*addSectionLabel ("OUTPUT"), outputKnob, 4);

    for (auto* button : { &autoGainButton, &softClipButton })
    {
        auto* label = addSectionLabel (button == &autoGainButton ? "AUTOGAIN" : "SOFTCLIP");
        label->setBounds (button->getX() - 30, button->getBottom() - 3, button->getWidth() + 60, 24);
    }

    // The first and third groups keep their styling rules but stay empty in this product.
    const juce::Font groupFonts[] = {
        juce::Font (11.5f, juce::Font::plain).withHorizontalScale (0.97f),
        juce::Font (13.5f, juce::Font::bold).withHorizontalScale (0.95f),
        juce::Font (15.0f, juce::Font::bold).withHorizontalScale (1.1f),
    };

    for (int group = 0; group < 3; ++group)
    {
        for (auto* label : labelGroups[group])
        {
            label->setFont (groupFonts[group]);
            label->setColour (juce::Label::textColourId, labelTextColour);
            label->setJustificationType (juce::Justification::centred);
            // Captions only: a press on one reaches the window (and closes open bubbles).
            label->setInterceptsMouseClicks (false, false);
            addAndMakeVisible (label);
        }
    }
}

void WrendleFoldPluginWindow::updatePrePostLayout (bool force)
{
    const auto inverted = processor.getParameterSet().prePost->getValue() >= 0.5f ? 1 : 0;

    if (! force && inverted == prePostInverted)
        return;

    prePostInverted = inverted;

    orvel::OrvelKnob* const normalOrder[] = { &highPassKnob, &lowPassKnob, &feedbackKnob, &feedbackLowPassKnob };
    orvel::OrvelKnob* const invertedOrder[] = { &feedbackKnob, &feedbackLowPassKnob, &highPassKnob, &lowPassKnob };
    const auto& order = inverted != 0 ? invertedOrder : normalOrder;

    for (int i = 0; i < 4; ++i)
        order[i]->setTopLeftPosition (knobRowX + i * knobRowSpacing, knobRowY);

    feedbackLink.setBounds (feedbackKnob.getX() + 67, feedbackLowPassKnob.getY() + 72, 22, 24);
    knobRowPanel.setBounds (order[0]->getX() - 16, order[0]->getY() - 26, 358, 124);

    placeSectionLabels();
}

void WrendleFoldPluginWindow::placeSectionLabels()
{
    if (preLabel == nullptr || postLabel == nullptr)
        return;

    const auto inverted = prePostInverted == 1;
    auto* filterTitle = inverted ? postLabel : preLabel;
    auto* feedbackTitle = inverted ? preLabel : postLabel;

    filterTitle->setBounds (highPassKnob.getX(), highPassKnob.getY() - 18,
                            lowPassKnob.getX() + pairTitleOverhang - highPassKnob.getX(), 24);
    feedbackTitle->setBounds (feedbackKnob.getX(), feedbackKnob.getY() - 18,
                              feedbackLowPassKnob.getX() + pairTitleOverhang - feedbackKnob.getX(), 24);

    const std::pair<orvel::OrvelLabel*, orvel::OrvelKnob*> rowLabels[] = {
        { highPassLabel, &highPassKnob },
        { lowPassLabel, &lowPassKnob },
        { feedbackLabel, &feedbackKnob },
        { feedbackLowPassLabel, &feedbackLowPassKnob },
    };

    for (const auto& [label, knob] : rowLabels)
        if (label != nullptr)
            placeUnder (*label, *knob, 4);
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
void WrendleFoldPluginWindow::rebuildLockList()
{
    juce::StringArray names;

    for (auto* knob : knobs)
        if (knob->getParameter() != nullptr && knob->isLocked())
            names.add (knob->getParameterName());

    for (auto* button : parameterButtons)
        if (auto* parameter = button->getParameter(); parameter != nullptr && button->isLocked())
            names.add (parameter->getName (50));

    processor.setLockedParameterNames (names);
}

void WrendleFoldPluginWindow::restoreParameterLocks (bool replaceWidgetLocks)
{
    const auto& names = processor.lockedParameterNames;

    for (auto* knob : knobs)
    {
        if (knob->getParameter() == nullptr)
            continue;

        const auto listed = names.contains (knob->getParameterName());

        if (! listed && ! replaceWidgetLocks)
            continue;

        if (knob->lockable)
            knob->setLocked (listed);
        else
            knob->getLockIndicator().setVisible (false);

        if (knob->followsLockAll)
            knob->excludedFromRandom = listed;
    }

    for (auto* button : parameterButtons)
        if (auto* parameter = button->getParameter(); parameter != nullptr)
            if (const auto listed = names.contains (parameter->getName (50)); listed || replaceWidgetLocks)
                button->setLocked (listed);

    locksRestored = true;
    lockRestoreCountSeen = processor.getLockRestoreCount();
    stopTimer (lockRestoreTimerId);
}

void WrendleFoldPluginWindow::lockAllWidgets (bool shouldBeLocked)
{
    for (auto* knob : knobs)
    {
        if (knob->lockable)
            knob->setLocked (shouldBeLocked);
        else
            knob->getLockIndicator().setVisible (false);

        if (knob->followsLockAll)
            knob->excludedFromRandom = shouldBeLocked;
    }

    // A button that is not lockable (bypass) stays locked either way.
    for (auto* button : parameterButtons)
        button->setLocked (shouldBeLocked);

    rebuildLockList();
}

void WrendleFoldPluginWindow::actionListenerCallback (const juce::String& message)
{
    // A lock action before the processor's locks reached the widgets would rebuild the list
    // without them.
    const auto isLockAction = message == orvel::lockMessages::update || message == orvel::lockMessages::lockAll
                              || message == orvel::lockMessages::unlockAll;

    if (isLockAction && ! locksRestored)
        restoreParameterLocks();

    if (message == orvel::lockMessages::update)
        rebuildLockList();
    else if (message == orvel::lockMessages::lockAll)
        lockAllWidgets (true);
    else if (message == orvel::lockMessages::unlockAll)
        lockAllWidgets (false);
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
            safeWindow->finishGraphicsUpdate();
    });

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
