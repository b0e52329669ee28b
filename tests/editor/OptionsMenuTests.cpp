// The options menu: its entries in order, and what each item changes and writes.

#include "TopBarFixture.h"

using namespace topbartest;

TEST_F (OptionsMenuTest, EntriesComeInOrderWithTheirSubMenusAndIcons)
{
    const auto& menu = optionsMenu();

    EXPECT_EQ (entryTexts (menu).joinIntoString ("|"),
               juce::StringArray ({ "Oversampling>", "Envelope>", "-", "Clipboard>", "-", Texts::checkForNews,
                                    Texts::leftHandedMouse, "-", Texts::accelerateGui, "Graphics>", "Window Size>", "-",
                                    Texts::webPage, Texts::about })
                   .joinIntoString ("|"));

    EXPECT_EQ (entryTexts (subMenu (menu, { Texts::oversampling })).joinIntoString ("|"), "Off|-|2x|4x|8x|16x");
    EXPECT_EQ (entryTexts (subMenu (menu, { Texts::envelope })).joinIntoString ("|"), "Linear|Exponential");
    EXPECT_EQ (entryTexts (subMenu (menu, { Texts::clipboard })).joinIntoString ("|"),
               juce::String (Texts::copySettings) + "|" + Texts::pasteSettings);
    EXPECT_EQ (entryTexts (subMenu (menu, { Texts::graphics })).joinIntoString ("|"), "Brightness>|Contrast>|-|Reset");
    EXPECT_EQ (entryTexts (subMenu (menu, { Texts::graphics, Texts::brightness })).joinIntoString ("|"),
               "-30%|-25%|-20%|-15%|-10%|-5%|0%|+5%|+10%|+15%|+20%|+25%|+30%");
    EXPECT_EQ (entryTexts (subMenu (menu, { Texts::graphics, Texts::contrast })).joinIntoString ("|"),
               "-30%|-25%|-20%|-15%|-10%|-5%|0%|+5%|+10%|+15%|+20%|+25%|+30%");
    EXPECT_EQ (entryTexts (subMenu (menu, { Texts::windowSize })).joinIntoString ("|"),
               juce::StringArray ({ Texts::smallSize, Texts::normalSize, Texts::largeSize }).joinIntoString ("|"));

    const auto* oversampling = findItem (menu, { Texts::oversampling });
    ASSERT_NE (oversampling->image, nullptr);
    expectDrawnIn (*oversampling->image, juce::Colour (0xff202020), "oversampling icon");

    // In a fresh instance: oversampling off, exponential envelope, news on, 0% twice.
    EXPECT_EQ (tickedTexts (subMenu (menu, { Texts::oversampling })), juce::StringArray ("Off"));
    EXPECT_EQ (tickedTexts (subMenu (menu, { Texts::envelope })), juce::StringArray ("Exponential"));
    EXPECT_EQ (tickedTexts (menu), juce::StringArray (Texts::checkForNews));
    EXPECT_EQ (tickedTexts (subMenu (menu, { Texts::graphics, Texts::brightness })), juce::StringArray ("0%"));
    EXPECT_EQ (tickedTexts (subMenu (menu, { Texts::graphics, Texts::contrast })), juce::StringArray ("0%"));
    EXPECT_TRUE (tickedTexts (subMenu (menu, { Texts::clipboard })).isEmpty());
}

TEST_F (OptionsMenuTest, TheWindowSizeTickFollowsTheStoredScaleAndEachItemResizesTheEditor)
{
    const std::pair<double, const char*> ticks[] = {
        { 1.0, Texts::normalSize },
        { 0.98, Texts::smallSize },
        { 1.01, Texts::normalSize },
        { 2.0, Texts::largeSize },
        { 0.5, Texts::smallSize },
        { 0.99, Texts::normalSize },
        { 1.011, Texts::largeSize },
        { 0.49, nullptr },
        { 2.01, nullptr },
    };

    for (const auto& [scale, expected] : ticks)
    {
        orvel::editorSettingsOf (*processor).windowSize = scale;
        const auto ticked = tickedTexts (subMenu (optionsMenu(), { Texts::windowSize }));
        EXPECT_EQ (ticked, expected != nullptr ? juce::StringArray (expected) : juce::StringArray()) << scale;
    }

    const std::tuple<const char*, double, int, int> choices[] = {
        { Texts::smallSize, 0.75, 360, 345 },
        { Texts::largeSize, 1.25, 600, 575 },
        { Texts::normalSize, 1.0, 480, 460 },
    };

    for (const auto& [item, scale, width, height] : choices)
    {
        choose (optionsMenu(), { Texts::windowSize, item });
        EXPECT_EQ (editor->getWidth(), width) << item;
        EXPECT_EQ (editor->getHeight(), height) << item;
        EXPECT_DOUBLE_EQ (orvel::editorSettingsOf (*processor).windowSize, scale);
        EXPECT_DOUBLE_EQ (readProductSetting (orvel::OrvelSettings::windowSizeKey), scale) << "written at once";
        EXPECT_EQ (tickedTexts (subMenu (optionsMenu(), { Texts::windowSize })), juce::StringArray (item));
    }
}

TEST_F (OptionsMenuTest, ABrightnessOffTheStepsTicksNothingUntilAStepIsChosen)
{
    auto& cache = orvel::editorSettingsOf (*processor);
    cache.brightness = 0.12f;
    EXPECT_TRUE (tickedTexts (subMenu (optionsMenu(), { Texts::graphics, Texts::brightness })).isEmpty());

    choose (optionsMenu(), { Texts::graphics, Texts::brightness, "+10%" });
    EXPECT_EQ (cache.brightness, 0.1f);
    EXPECT_EQ (cache.contrast, 0.0f);
    EXPECT_NEAR (readProductSetting (orvel::OrvelSettings::brightnessKey), 0.1, 1.0e-6);

    auto& overlay = window->getLoadingOverlay();
    EXPECT_TRUE (overlay.isVisible()) << "the skin is rebuilt behind the overlay";
    ASSERT_TRUE (editortest::pumpUntil ([&overlay]
                                        { return ! overlay.isVisible(); },
                                        20000));

    EXPECT_EQ (tickedTexts (subMenu (optionsMenu(), { Texts::graphics, Texts::brightness })), juce::StringArray ("+10%"));
    EXPECT_EQ (tickedTexts (subMenu (optionsMenu(), { Texts::graphics, Texts::contrast })), juce::StringArray ("0%"));

    choose (optionsMenu(), { Texts::graphics, Texts::contrast, "-5%" });
    ASSERT_TRUE (editortest::pumpUntil ([&overlay]
                                        { return ! overlay.isVisible(); },
                                        20000));
    EXPECT_EQ (cache.contrast, -0.05f);
    EXPECT_EQ (cache.brightness, 0.1f);

    choose (optionsMenu(), { Texts::graphics, Texts::reset });
    ASSERT_TRUE (editortest::pumpUntil ([&overlay]
                                        { return ! overlay.isVisible(); },
                                        20000));
    EXPECT_EQ (cache.brightness, 0.0f);
    EXPECT_EQ (cache.contrast, 0.0f);
    EXPECT_EQ (readProductSetting (orvel::OrvelSettings::contrastKey), 0.0);
    EXPECT_EQ (window->getKnobs().size(), 11) << "controls rebuilt";
}

TEST_F (OptionsMenuTest, AnOversamplingItemSetsTheParameterInAGestureAndItsTickWaitsForABlock)
{
    struct GestureLog : juce::AudioProcessorParameter::Listener
    {
        void parameterValueChanged (int, float value) override { events.add ("value " + juce::String (value, 2)); }
        void parameterGestureChanged (int, bool starting) override { events.add (starting ? "begin" : "end"); }
        juce::StringArray events;
    } log;

    auto* oversampling = params().oversampling;
    processor->prepareToPlay (48000.0, 64);
    oversampling->addListener (&log);

    // The choice already in use is still set, inside a gesture.
    choose (optionsMenu(), { Texts::oversampling, "Off" });
    EXPECT_EQ (log.events, juce::StringArray ({ "begin", "value 0.00", "end" }));
    EXPECT_EQ (oversampling->getIndex(), 0);

    log.events.clear();
    choose (optionsMenu(), { Texts::oversampling, "16x" });
    EXPECT_EQ (log.events, juce::StringArray ({ "begin", "value 1.00", "end" }));
    EXPECT_EQ (oversampling->getIndex(), 4);
    oversampling->removeListener (&log);

    EXPECT_EQ (tickedTexts (subMenu (optionsMenu(), { Texts::oversampling })), juce::StringArray ("Off"))
        << "no block has run with the new choice yet";

    juce::AudioBuffer<float> buffer (2, 64);
    buffer.clear();
    juce::MidiBuffer midi;
    processor->processBlock (buffer, midi);

    EXPECT_EQ (tickedTexts (subMenu (optionsMenu(), { Texts::oversampling })), juce::StringArray ("16x"));
    processor->releaseResources();
}

TEST_F (OptionsMenuTest, EnvelopeLeftHandedAndGpuItemsChangeTheStateAndWriteItAtOnce)
{
    // Envelope law: product file.
    choose (optionsMenu(), { Texts::envelope, "Linear" });
    EXPECT_TRUE (processor->isEnvelopeLinear());
    EXPECT_EQ (readProductSetting (orvel::OrvelSettings::envelopeLinearKey), 1.0);
    EXPECT_EQ (tickedTexts (subMenu (optionsMenu(), { Texts::envelope })), juce::StringArray ("Linear"));
    choose (optionsMenu(), { Texts::envelope, "Exponential" });
    EXPECT_FALSE (processor->isEnvelopeLinear());
    EXPECT_EQ (readProductSetting (orvel::OrvelSettings::envelopeLinearKey), 0.0);

    // Left-handed mouse: every parameter widget, none of the command buttons.
    choose (optionsMenu(), { Texts::leftHandedMouse });
    EXPECT_TRUE (orvel::editorSettingsOf (*processor).leftHandedMouse);
    EXPECT_TRUE (readMakerSetting (orvel::OrvelSettings::leftHandedMouseKey, false));
    for (auto* k : window->getKnobs())
        EXPECT_TRUE (k->leftHandedMouse) << k->getParameterName();
    for (auto* b : window->getParameterButtons())
        EXPECT_TRUE (b->leftHandedMouse);
    EXPECT_FALSE (topBarButton (PluginWindow::TopBarButton::options).leftHandedMouse);
    EXPECT_TRUE (tickedTexts (optionsMenu()).contains (Texts::leftHandedMouse));

    choose (optionsMenu(), { Texts::leftHandedMouse });
    EXPECT_FALSE (orvel::editorSettingsOf (*processor).leftHandedMouse);
    EXPECT_FALSE (knob ("Mix").leftHandedMouse);

    // Accelerated drawing: the tick is read from the file while the menu is built.
    writeMakerSetting (orvel::OrvelSettings::accelerateGuiKey, true);
    EXPECT_TRUE (tickedTexts (optionsMenu()).contains (Texts::accelerateGui));
    choose (window->getOptionsMenu(), { Texts::accelerateGui });
    EXPECT_FALSE (readMakerSetting (orvel::OrvelSettings::accelerateGuiKey, true));
    EXPECT_FALSE (window->isAcceleratedDrawing());
    choose (optionsMenu(), { Texts::accelerateGui });
    EXPECT_TRUE (readMakerSetting (orvel::OrvelSettings::accelerateGuiKey, false));
    EXPECT_TRUE (window->isAcceleratedDrawing());
    choose (optionsMenu(), { Texts::accelerateGui });
    EXPECT_FALSE (window->isAcceleratedDrawing());
}

TEST_F (OptionsMenuTest, TheNewsSwitchWritesTheInverseOfWhatItShowedIntoAFreshlyReadFile)
{
    const auto& menu = optionsMenu();
    ASSERT_TRUE (tickedTexts (menu).contains (Texts::checkForNews));

    // Another instance writes meanwhile; its change survives this one's write.
    writeMakerSetting (orvel::OrvelSettings::leftHandedMouseKey, true);

    choose (menu, { Texts::checkForNews });
    EXPECT_FALSE (readMakerSetting (orvel::OrvelSettings::newsNotificationsKey, true));
    EXPECT_TRUE (readMakerSetting (orvel::OrvelSettings::leftHandedMouseKey, false));

    // Chosen again from the same (stale) menu it writes the same value: what the user saw.
    choose (menu, { Texts::checkForNews });
    EXPECT_FALSE (readMakerSetting (orvel::OrvelSettings::newsNotificationsKey, true));

    EXPECT_FALSE (tickedTexts (optionsMenu()).contains (Texts::checkForNews));
    choose (window->getOptionsMenu(), { Texts::checkForNews });
    EXPECT_TRUE (readMakerSetting (orvel::OrvelSettings::newsNotificationsKey, false));
}

TEST_F (OptionsMenuTest, TheWebPageAndAboutItemsOpenTheProductPageAndTheAboutWindow)
{
    choose (optionsMenu(), { Texts::webPage });
    EXPECT_EQ (openedUrls, juce::StringArray (PluginWindow::WebAddresses::productPage));

    auto& about = window->getAboutWindow();
    EXPECT_FALSE (about.isVisible());
    EXPECT_EQ (about.getBounds(), window->getLocalBounds());
    choose (optionsMenu(), { Texts::about });
    EXPECT_TRUE (about.isVisible());

    // The overlays stay hidden children over the whole window, the loading overlay topmost.
    auto& news = window->getNewsWindow();
    EXPECT_EQ (news.getBounds(), window->getLocalBounds());
    EXPECT_LT (window->getIndexOfChildComponent (&news), window->getIndexOfChildComponent (&window->getLoadingOverlay()));
    EXPECT_EQ (news.getPanelBounds().getRight(), 403) << "anchored under the bell";
    EXPECT_EQ (news.getPanelBounds().getY(), 16 + 24);
}
