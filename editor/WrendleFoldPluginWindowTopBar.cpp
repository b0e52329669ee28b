// The top bar's menus and actions: the links menu, the options menu, the news
// bell, the preset save and delete actions and the randomizer.

#include "editor/WrendleFoldPluginWindow.h"

#include "editor/EditorSettings.h"
#include "editor/EmbeddedResources.h"
#include "editor/OrvelLookAndFeel.h"
#include "editor/SharedData.h"
#include "editor/WidgetSupport.h"
#include "editor/WrendleFoldEditor.h"
#include "plugin/WrendleFoldProcessor.h"
#include "state/PresetFile.h"

namespace
{
const juce::Colour menuIconColour (0xff202020);

/** The thirteen brightness and contrast steps of the graphics sub-menu. */
struct ImageAdjustmentStep
{
    const char* label;
    float value;
};

constexpr ImageAdjustmentStep imageAdjustmentSteps[] = {
    { "-30%", -0.30f },
    { "-25%", -0.25f },
    { "-20%", -0.20f },
    { "-15%", -0.15f },
    { "-10%", -0.10f },
    { "-5%", -0.05f },
    { "0%", 0.0f },
    { "+5%", 0.05f },
    { "+10%", 0.10f },
    { "+15%", 0.15f },
    { "+20%", 0.20f },
    { "+25%", 0.25f },
    { "+30%", 0.30f },
};

/** The window size items: the range of stored scales each one ticks and the scale it sets. */
struct WindowSizeStep
{
    const char* label;
    double minimum;
    bool minimumIncluded;
    double maximum;
    bool maximumIncluded;
    double scale;

    bool ticks (double stored) const noexcept
    {
        return (minimumIncluded ? stored >= minimum : stored > minimum)
               && (maximumIncluded ? stored <= maximum : stored < maximum);
    }
};

constexpr WindowSizeStep windowSizeSteps[] = {
    { WrendleFoldPluginWindow::MenuTexts::smallSize, 0.5, true, 0.99, false, 0.75 },
    { WrendleFoldPluginWindow::MenuTexts::normalSize, 0.99, true, 1.01, true, 1.0 },
    { WrendleFoldPluginWindow::MenuTexts::largeSize, 1.01, false, 2.0, true, 1.25 },
};

/** The kinds (and so the icons) of the two entries the bell makes itself. */
constexpr const char* newsOffKind = orvel::NotificationList::greetingKind;
constexpr const char* noNewsKind = orvel::NotificationList::greetingKind;
/** Builds menu items whose actions run only while the window still exists: JUCE
    runs a chosen item's action asynchronously, after the menu has closed, and the
    host may have closed the editor by then. */
class MenuBuilder
{
public:
    explicit MenuBuilder (WrendleFoldPluginWindow& windowToUse)
        : window (&windowToUse) {}

    using Action = std::function<void (WrendleFoldPluginWindow&)>;

    void add (juce::PopupMenu& menu, const juce::String& text, bool ticked, Action action,
              std::unique_ptr<juce::Drawable> icon = {})
    {
        juce::PopupMenu::Item item (text);
        // JUCE runs an item's action only when the item has a non-zero id.
        item.setID (nextItemId++);
        item.setTicked (ticked);
        item.setImage (std::move (icon));
        item.setAction ([safeWindow = window, action = std::move (action)]
                        {
                            if (auto* w = safeWindow.getComponent())
                                action (*w); });
        menu.addItem (std::move (item));
    }

private:
    juce::Component::SafePointer<WrendleFoldPluginWindow> window;
    int nextItemId = 1;
};
} // namespace

void WrendleFoldPluginWindow::buildLinksMenu()
{
    linksMenu.clear();
    linksMenu.setLookAndFeel (&processor.getLookAndFeel());

    int itemId = 1;
    const auto addLink = [this, &itemId] (const juce::String& text, const char* iconName, const char* address)
    {
        juce::PopupMenu::Item item (text);
        item.setID (itemId++);
        item.setImage (orvel::makeMenuIcon (iconName, menuIconColour));
        item.setAction ([safeThis = juce::Component::SafePointer<WrendleFoldPluginWindow> (this), address]
                        {
                            if (safeThis != nullptr && safeThis->platform.openUrl != nullptr)
                                safeThis->platform.openUrl (juce::URL (address)); });
        linksMenu.addItem (std::move (item));
    };

    addLink (WebAddresses::homePageText, "kestrivanelogo_svg", WebAddresses::homePage);
    linksMenu.addSeparator();
    addLink ("Join our Discord server", "discord_svg", WebAddresses::discord);
    addLink ("Follow us on Instagram", "instagram_svg", WebAddresses::instagram);
    addLink ("Follow us on Bluesky", "twitter_svg", WebAddresses::bluesky);
    addLink ("Follow us on Facebook", "facebook_svg", WebAddresses::facebook);
    addLink ("Watch us on Youtube", "youtube_svg", WebAddresses::youtube);
}

void WrendleFoldPluginWindow::initMorePopupMenu()
{
    using Texts = MenuTexts;

    optionsMenu.clear();
    optionsMenu.setLookAndFeel (&processor.getLookAndFeel());

    MenuBuilder builder (*this);
    auto& userSettings = orvel::editorSettingsOf (processor);

    // 1: oversampling; the tick follows the choice the audio thread has applied.
    {
        juce::PopupMenu oversampling;
        const char* const names[] = { "Off", "2x", "4x", "8x", "16x" };
        const auto indexInUse = processor.getOversamplingIndex();

        for (int i = 0; i < WrendleFoldProcessor::numOversamplingChoices; ++i)
        {
            builder.add (oversampling, names[i], indexInUse == i, [i] (WrendleFoldPluginWindow& w)
                         {
                             auto* parameter = w.processor.getParameterSet().oversampling;
                             parameter->beginChangeGesture();
                             parameter->setValueNotifyingHost (parameter->convertTo0to1 ((float) i));
                             parameter->endChangeGesture(); });

            if (i == 0)
                oversampling.addSeparator();
        }

        optionsMenu.addSubMenu (Texts::oversampling, oversampling, true, orvel::makeMenuIcon ("settings_svg", menuIconColour));
    }

    // 2: envelope law.
    {
        juce::PopupMenu envelope;
        const auto linear = processor.isEnvelopeLinear();

        for (const auto makeLinear : { true, false })
        {
            builder.add (envelope, makeLinear ? "Linear" : "Exponential", linear == makeLinear,
                         [makeLinear] (WrendleFoldPluginWindow& w)
                         {
                             w.processor.setEnvelopeLinear (makeLinear);
                             orvel::saveEditorSettings (w.processor);
                         });
        }

        optionsMenu.addSubMenu (Texts::envelope, envelope);
    }

    optionsMenu.addSeparator();

    // 4: clipboard.
    {
        juce::PopupMenu clipboard;
        builder.add (
            clipboard, Texts::copySettings, false, [] (WrendleFoldPluginWindow& w)
            { w.processor.copySettingsToClipboard(); },
            orvel::makeMenuIcon ("copy_svg", menuIconColour));
        builder.add (
            clipboard, Texts::pasteSettings, false, [] (WrendleFoldPluginWindow& w)
            { w.processor.pasteSettingsFromClipboard(); },
            orvel::makeMenuIcon ("paste_svg", menuIconColour));
        optionsMenu.addSubMenu (Texts::clipboard, clipboard);
    }

    optionsMenu.addSeparator();

    // 6: the news check, the user's consent to it. The action writes the inverse of
    // what the menu showed, into a freshly read file, so another instance's changes
    // survive. Switched off, the bell's badge goes out with it: nothing is shown.
    settings.loadMakerSettings (true);
    const auto newsOn = settings.getMakerBool (orvel::OrvelSettings::newsNotificationsKey, true);

    builder.add (optionsMenu, Texts::checkForNews, newsOn, [newsOn] (WrendleFoldPluginWindow& w)
                 {
                     w.settings.writeMakerBool (orvel::OrvelSettings::newsNotificationsKey, ! newsOn);

                     if (newsOn)
                     {
                         w.processor.getNotifications().clearUnread();
                         w.unreadBadge.setUnreadCount (0);
                         w.unreadBadge.repaint();
                     } });

    // 7: left-handed mouse.
    builder.add (optionsMenu, Texts::leftHandedMouse, userSettings.leftHandedMouse,
                 [] (WrendleFoldPluginWindow& w)
                 { w.setLeftHandedMouse (! orvel::editorSettingsOf (w.processor).leftHandedMouse); });

    optionsMenu.addSeparator();

    // 9: accelerated drawing, refreshed from the maker-wide file.
    userSettings.accelerateGui = settings.getMakerBool (orvel::OrvelSettings::accelerateGuiKey, false);

    builder.add (optionsMenu, Texts::accelerateGui, userSettings.accelerateGui, [] (WrendleFoldPluginWindow& w)
                 {
                     auto& cache = orvel::editorSettingsOf (w.processor);
                     cache.accelerateGui = ! cache.accelerateGui;
                     w.settings.writeMakerBool (orvel::OrvelSettings::accelerateGuiKey, cache.accelerateGui);
                     w.setAcceleratedDrawing (cache.accelerateGui); });

    // 10: brightness and contrast of the skin.
    {
        juce::PopupMenu brightness, contrast, graphics;

        for (const auto& step : imageAdjustmentSteps)
        {
            const auto value = step.value;
            builder.add (brightness, step.label, userSettings.brightness == value, [value] (WrendleFoldPluginWindow& w)
                         { w.setImageAdjustment (value, orvel::editorSettingsOf (w.processor).contrast); });
            builder.add (contrast, step.label, userSettings.contrast == value, [value] (WrendleFoldPluginWindow& w)
                         { w.setImageAdjustment (orvel::editorSettingsOf (w.processor).brightness, value); });
        }

        graphics.addSubMenu (Texts::brightness, brightness);
        graphics.addSubMenu (Texts::contrast, contrast);
        graphics.addSeparator();
        builder.add (graphics, Texts::reset, false, [] (WrendleFoldPluginWindow& w)
                     { w.setImageAdjustment (0.0f, 0.0f); });
        optionsMenu.addSubMenu (Texts::graphics, graphics);
    }

    // 11: window size.
    {
        juce::PopupMenu windowSize;

        for (const auto& step : windowSizeSteps)
        {
            const auto scale = step.scale;
            builder.add (windowSize, step.label, step.ticks (userSettings.windowSize),
                         [scale] (WrendleFoldPluginWindow& w)
                         { w.setWindowSize (scale); });
        }

        optionsMenu.addSubMenu (Texts::windowSize, windowSize);
    }

    optionsMenu.addSeparator();

    // 13, 14: the product page and the about window.
    builder.add (
        optionsMenu, Texts::webPage, false, [] (WrendleFoldPluginWindow& w)
        {
                     if (w.platform.openUrl != nullptr)
                         w.platform.openUrl (juce::URL (WebAddresses::productPage)); },
        orvel::makeMenuIcon ("globe_svg", menuIconColour));
    builder.add (
        optionsMenu, Texts::about, false, [] (WrendleFoldPluginWindow& w)
        { w.aboutWindow.showWindow (1); },
        orvel::makeMenuIcon ("info_svg", menuIconColour));
}

void WrendleFoldPluginWindow::setLeftHandedMouse (bool shouldBeLeftHanded)
{
    orvel::editorSettingsOf (processor).leftHandedMouse = shouldBeLeftHanded;
    settings.writeMakerBool (orvel::OrvelSettings::leftHandedMouseKey, shouldBeLeftHanded);

    // Only the parameter widgets swap their buttons; the top bar's command buttons do not.
    for (auto* knob : knobs)
        knob->leftHandedMouse = shouldBeLeftHanded;

    for (auto* button : parameterButtons)
        button->leftHandedMouse = shouldBeLeftHanded;
}

void WrendleFoldPluginWindow::setImageAdjustment (float newBrightness, float newContrast)
{
    auto& cache = orvel::editorSettingsOf (processor);
    cache.brightness = newBrightness;
    cache.contrast = newContrast;
    orvel::saveEditorSettings (processor);
    updateGraphics();
}

void WrendleFoldPluginWindow::setWindowSize (double scale)
{
    orvel::editorSettingsOf (processor).windowSize = scale;

    // The editor's resize handling scales this window.
    if (editor != nullptr)
        editor->setSize ((int) (logicalWidth * scale), (int) (logicalHeight * scale));

    orvel::saveEditorSettings (processor);
}

//==============================================================================
void WrendleFoldPluginWindow::showLinksMenu()
{
    if (! orvel::canShowPopupMenus())
        return;

    linksMenu.showMenuAsync (juce::PopupMenu::Options().withTargetComponent (&logoButton).withStandardItemHeight (24));
}

void WrendleFoldPluginWindow::showOptionsMenu()
{
    initMorePopupMenu();

    if (! orvel::canShowPopupMenus())
        return;

    optionsMenu.showMenuAsync (juce::PopupMenu::Options().withTargetComponent (&optionsButton));
}

void WrendleFoldPluginWindow::showNews()
{
    newsWindow.clearNotices();

    settings.loadMakerSettings (true);

    if (! settings.getMakerBool (orvel::OrvelSettings::newsNotificationsKey, true))
    {
        // Switched off: one fixed entry says so; badge and unread flag stay as they are.
        newsWindow.addNotice (MenuTexts::newsOffTitle, MenuTexts::newsOffText, "#", newsOffKind);
        newsWindow.showNotices (1);
        return;
    }

    auto& notifications = processor.getNotifications();
    const auto numNotices = notifications.getNumNotices();

    for (int i = 0; i < numNotices; ++i)
    {
        const auto notice = notifications.getNotice (i);
        newsWindow.addNotice (notice.title, notice.text, notice.link, notice.kind);
    }

    if (numNotices <= 0)
        newsWindow.addNotice (MenuTexts::noNewsTitle, MenuTexts::noNewsText, "#", noNewsKind);

    newsWindow.showNotices (1);

    unreadBadge.setSize (unreadBadgeSize, unreadBadgeSize);
    unreadBadge.setUnreadCount (0);
    unreadBadge.repaint();

    // The notices stay, so the next click lists them again.
    notifications.clearUnread();
}

//==============================================================================
void WrendleFoldPluginWindow::saveCurrentPreset()
{
    // The file the label names (processor.currentPresetPath), or for a factory
    // preset or "Init" a file of that name in the user folder, which this creates.
    // A path from a project that names no preset file of ours counts as "Init".
    const auto current = orvel::presetPathOrInit (processor.currentPresetPath, settings.getAllPresetsFolders());
    const auto suggestion = orvel::getPresetSaveSuggestion (current, settings.getPresetsFolder());

    if (platform.chooseFileToSave == nullptr)
        return;

    platform.chooseFileToSave (suggestion, [safeThis = juce::Component::SafePointer<WrendleFoldPluginWindow> (this)] (const juce::File& chosen)
                               {
        if (safeThis == nullptr || chosen == juce::File())
            return;

        // A name typed without the extension would be saved where the menu never lists it.
        const auto file = chosen.hasFileExtension (orvel::presets::fileExtension)
                              ? chosen
                              : chosen.getSiblingFile (chosen.getFileName() + orvel::presets::fileExtension);
        const auto path = file.getFullPathName();
        const auto failure = safeThis->processor.savePreset (path);

        if (failure.isNotEmpty())
        {
            if (safeThis->platform.showMessage != nullptr)
                safeThis->platform.showMessage (orvel::presets::saveFailedTitle, failure);
            return;
        }

        safeThis->presetBox.setCurrentPreset (path, true);
        safeThis->processor.setCurrentPresetPath (path); });
}

void WrendleFoldPluginWindow::deleteCurrentPreset()
{
    // Only the file the label names, and only when it is a preset of the user's own:
    // "Init", a factory preset, a file deleted already, or whatever a project names
    // outside the presets folders give nothing to ask about.
    const auto path = processor.currentPresetPath;

    if (! orvel::isDeletablePreset (path, settings.getAllPresetsFolders()) || platform.askOkCancel == nullptr)
        return;

    const juce::File file (path);
    const auto message = juce::String (orvel::presets::deleteQuestionStart) + file.getFileNameWithoutExtension() + "?";

    platform.askOkCancel (orvel::presets::deleteDialogTitle, message,
                          [safeThis = juce::Component::SafePointer<WrendleFoldPluginWindow> (this), file] (bool confirmed)
                          {
                              if (! confirmed)
                                  return;

                              // A refused move leaves the file; the menu is rebuilt either way.
                              file.moveToTrash();

                              if (safeThis != nullptr)
                                  safeThis->presetBox.rebuildMenu (true);
                          });
}

void WrendleFoldPluginWindow::randomizeParameters()
{
    const auto& params = processor.getParameterSet();

    // A fresh draw in 0 .. 0.99, in steps of 0.01.
    const auto draw = [this]
    { return std::floor (random.nextFloat() * 100.0f) / 100.0f; };

    for (auto* knob : knobs)
    {
        auto* parameter = knob->getParameter();

        if (parameter == nullptr || knob->excludedFromRandom)
            continue;

        const auto r = draw();
        auto value = r;

        if (parameter == params.input)
        {
            value = random.nextBool() ? 0.5f - 0.15f * r : 0.5f + 0.15f * r;
        }
        else if (parameter == params.output)
        {
            // Never louder than unity: a random click must not blast the speakers.
            value = 0.5f - 0.15f * r;
        }
        else if (parameter == params.feedback)
        {
            if (value > 0.5f && random.nextBool())
                value -= 0.5f * draw();
            if (value > 0.5f && random.nextBool())
                value -= 0.45f * draw();
        }
        else if (parameter == params.feedbackLowPass)
        {
            value = 0.85f * r;
        }

        parameter->beginChangeGesture();
        knob->setValue (value, juce::sendNotificationSync);
        parameter->endChangeGesture();
        knob->updateValueLabel();
    }

    for (auto* button : parameterButtons)
        if (button->getParameter() != nullptr && ! button->isLocked())
            button->setToggleState (random.nextBool(), juce::sendNotificationSync);
}

//==============================================================================
