// The look and feel, the shared skin-image store and its brightness/contrast rebuild.

#include "EditorTestSupport.h"

#include "editor/LoadingOverlay.h"
#include "editor/OrvelLookAndFeel.h"
#include "editor/SharedData.h"

#include <chrono>
#include <future>
#include <map>

using editortest::pumpUntil;

namespace
{
constexpr juce::uint8 sampleAlpha = 128;

/** Every skin image is a 3 × 2 image of known colours: two opaque pixels, one
    half-transparent pixel, the rest opaque mid grey. The loader counts calls. */
struct SyntheticArtwork
{
    juce::Image make() const
    {
        juce::Image image (juce::Image::ARGB, 3, 2, true);
        image.setPixelAt (0, 0, juce::Colour::fromRGB (100, 200, 240));
        image.setPixelAt (1, 0, juce::Colour::fromRGB (228, 28, 128));
        image.setPixelAt (2, 0, juce::Colour::fromRGBA (100, 100, 100, sampleAlpha));
        for (int x = 0; x < 3; ++x)
            image.setPixelAt (x, 1, juce::Colour::fromRGB (128, 128, 128));
        return image;
    }

    orvel::SharedData::ImageLoader loader()
    {
        return [this] (const char* name)
        {
            ++loads[name];
            return make();
        };
    }

    std::map<std::string, int> loads;
};

juce::Colour pixel (const orvel::SharedData& store, orvel::SharedData::ImageId id, int x, int y)
{
    return store.getImage (id).getPixelAt (x, y);
}

bool isAdjusted (orvel::SharedData::ImageId id)
{
    return id != orvel::SharedData::swapOff && id != orvel::SharedData::swapOn;
}
} // namespace

TEST (SharedDataTest, BrightnessPlusThirtyPercentRaisesEveryChannelOfTheAdjustedImagesBy38AndLeavesSwapImagesAndAlpha)
{
    SyntheticArtwork artwork;
    orvel::SharedData store (artwork.loader());
    store.setAdjustment (0.3f, 0.0f);
    store.run();

    for (int i = 0; i < orvel::SharedData::numImages; ++i)
    {
        const auto id = (orvel::SharedData::ImageId) i;
        const auto first = pixel (store, id, 0, 0);
        const auto second = pixel (store, id, 1, 0);

        if (isAdjusted (id))
        {
            EXPECT_EQ (first.getRed(), 138) << orvel::SharedData::getResourceName (id);
            EXPECT_EQ (first.getGreen(), 238);
            EXPECT_EQ (first.getBlue(), 255) << "240 + 38 is clamped";
            EXPECT_EQ (second.getRed(), 255);
            EXPECT_EQ (second.getGreen(), 66);
            EXPECT_EQ (second.getBlue(), 166);
        }
        else
        {
            EXPECT_EQ (first, juce::Colour::fromRGB (100, 200, 240)) << orvel::SharedData::getResourceName (id);
            EXPECT_EQ (second, juce::Colour::fromRGB (228, 28, 128));
        }

        EXPECT_EQ (pixel (store, id, 2, 0).getAlpha(), sampleAlpha);
    }
}

TEST (SharedDataTest, ContrastMinusFiftyPercentPullsChannelsTowardMidGreyByTheFactor0674)
{
    EXPECT_NEAR (orvel::SharedData::contrastFactor (-0.5f), 205.0 * 259.0 / (309.0 * 255.0), 1.0e-6);
    EXPECT_NEAR (orvel::SharedData::contrastFactor (-0.5f), 0.674, 0.001);
    EXPECT_FLOAT_EQ (orvel::SharedData::contrastFactor (0.0f), 1.0f);

    SyntheticArtwork artwork;
    orvel::SharedData store (artwork.loader());
    store.setAdjustment (0.0f, -0.5f);
    store.run();

    // 228 → 128 + 100 × 0.6738 = 195.4; 28 → 128 − 67.4 = 60.6; 128 stays.
    const auto adjusted = pixel (store, orvel::SharedData::background, 1, 0);
    EXPECT_EQ (adjusted.getRed(), 195);
    EXPECT_EQ (adjusted.getGreen(), 60);
    EXPECT_EQ (adjusted.getBlue(), 128);
}

TEST (SharedDataTest, AResetToZeroBringsBackTheUntouchedArtworkExactly)
{
    SyntheticArtwork artwork;
    orvel::SharedData store (artwork.loader());
    store.setAdjustment (-0.3f, 0.25f);
    store.run();
    ASSERT_NE (pixel (store, orvel::SharedData::background, 0, 0), juce::Colour::fromRGB (100, 200, 240));

    store.setAdjustment (0.0f, 0.0f);
    store.run();

    const auto original = artwork.make();
    for (int i = 0; i < orvel::SharedData::numImages; ++i)
        for (int y = 0; y < 2; ++y)
            for (int x = 0; x < 3; ++x)
                EXPECT_EQ (pixel (store, (orvel::SharedData::ImageId) i, x, y), original.getPixelAt (x, y));
}

TEST (SharedDataTest, ImagesAreDecodedOnFirstUseAndEveryRunStartsFromTheArtworkAgain)
{
    SyntheticArtwork artwork;
    orvel::SharedData store (artwork.loader());
    EXPECT_TRUE (artwork.loads.empty()) << "a plug-in scan never opens a window";

    store.getImage (orvel::SharedData::box);
    store.getImage (orvel::SharedData::box);
    EXPECT_EQ (artwork.loads["box_png"], 1);

    store.setAdjustment (0.1f, 0.0f);
    store.run();
    store.run();
    EXPECT_EQ (artwork.loads["box_png"], 3);
    // Two runs at +10% give +12 once, not twice.
    EXPECT_EQ (pixel (store, orvel::SharedData::box, 0, 0).getRed(), 112);
}

TEST (SharedDataTest, TheRebuildThreadRunsItsCompletionActionsAndAMissingImageStaysNull)
{
    orvel::SharedData store ([] (const char*)
                             { return juce::Image(); });

    std::atomic<int> completions { 0 };
    std::atomic<bool> ranOnCallersThread { false };
    const auto callersThread = std::this_thread::get_id();
    store.setAdjustment (0.2f, 0.2f);
    store.setCompletionAction ([&]
                               {
        ranOnCallersThread = std::this_thread::get_id() == callersThread;
        ++completions; });
    store.setCompletionAction ([&]
                               { completions += 10; });
    store.startRebuild();

    ASSERT_TRUE (pumpUntil ([&]
                            { return completions.load() == 11 && ! store.isRebuildRunning(); }));
    EXPECT_FALSE (ranOnCallersThread.load());
    EXPECT_FALSE (store.getImage (orvel::SharedData::background).isValid());
}

TEST (SharedDataTest, StoppingARebuildThatWaitsForTheMessageThreadNeitherDeadlocksNorDropsItsAction)
{
    // The rebuild finishes while this (the message) thread dispatches nothing, so its
    // completion waits for the message-manager lock; then the store is destroyed. A
    // destructor that simply joined would wait forever for a thread waiting for us.
    std::atomic<int> imagesRequested { 0 };
    std::atomic<bool> completed { false };
    auto store = std::make_unique<orvel::SharedData> ([&] (const char*)
                                                      {
        ++imagesRequested;
        return juce::Image(); });

    store->setCompletionAction ([&]
                                { completed = true; });
    store->startRebuild();

    while (imagesRequested.load() < orvel::SharedData::numImages)
        std::this_thread::yield();

    auto destruction = std::async (std::launch::async, [&store]
                                   { store.reset(); });
    ASSERT_EQ (destruction.wait_for (std::chrono::seconds (10)), std::future_status::ready) << "deadlock";
    EXPECT_FALSE (completed.load());

    // The action was handed to the message thread instead.
    EXPECT_TRUE (pumpUntil ([&]
                            { return completed.load(); }));
}

TEST (SharedDataTest, InstancesShareOneStoreWhileAnyHoldsIt)
{
    auto first = orvel::SharedData::acquire();
    auto second = orvel::SharedData::acquire();
    EXPECT_EQ (first.get(), second.get());

    const std::weak_ptr<orvel::SharedData> watcher = first;
    first.reset();
    second.reset();
    EXPECT_TRUE (watcher.expired());
}

//==============================================================================
TEST (LookAndFeelTest, LabelFontsFollowTheLabelName)
{
    orvel::OrvelLookAndFeel lookAndFeel;

    juce::Label productName ("pluginName", "FOLD");
    productName.setFont (juce::Font (9.0f, juce::Font::italic));
    const auto productFont = lookAndFeel.getLabelFont (productName);
    EXPECT_FLOAT_EQ (productFont.getHeight(), 27.0f);
    EXPECT_TRUE (productFont.isBold());

    juce::Label untouched ("ignoreFont", "x");
    const auto own = juce::Font (11.0f, juce::Font::italic).withHorizontalScale (0.8f);
    untouched.setFont (own);
    EXPECT_EQ (lookAndFeel.getLabelFont (untouched), own);

    juce::Label section ({}, "MIX");
    section.setFont (juce::Font (13.5f, juce::Font::bold).withHorizontalScale (0.95f));
    const auto sectionFont = lookAndFeel.getLabelFont (section);
    EXPECT_TRUE (sectionFont.isBold());
    EXPECT_FLOAT_EQ (sectionFont.getHorizontalScale(), 0.95f);
    EXPECT_NEAR (sectionFont.getHeightInPoints(), section.getFont().getHeightInPoints(), 0.01f);
}

TEST (LookAndFeelTest, MenusOpenInsideTheTargetsParentSoTheyScaleWithTheWindow)
{
    orvel::OrvelLookAndFeel lookAndFeel;
    juce::Component window, knob;
    window.addChildComponent (knob);

    EXPECT_EQ (lookAndFeel.getParentComponentForMenuOptions (juce::PopupMenu::Options().withTargetComponent (&knob)), &window);
    EXPECT_EQ (lookAndFeel.getParentComponentForMenuOptions (juce::PopupMenu::Options()), nullptr);
    EXPECT_EQ (lookAndFeel.getPopupMenuBorderSize(), 2);
}

TEST (LookAndFeelTest, ATooltipOpensAwayFromTheQuarterOfTheWindowTheMouseIsIn)
{
    orvel::OrvelLookAndFeel lookAndFeel;
    const juce::Rectangle<int> parent (0, 0, 480, 460);

    const auto topLeft = lookAndFeel.getTooltipBounds ("Mix", { 100, 100 }, parent);
    EXPECT_EQ (topLeft.getX(), 124);
    EXPECT_EQ (topLeft.getY(), 106);

    const auto bottomRight = lookAndFeel.getTooltipBounds ("Mix", { 400, 400 }, parent);
    EXPECT_EQ (bottomRight.getRight(), 400 - 12);
    EXPECT_EQ (bottomRight.getBottom(), 400 - 6);
    EXPECT_TRUE (parent.contains (bottomRight));
}

TEST (LookAndFeelTest, PopupMenusAreLightWithDarkText)
{
    orvel::OrvelLookAndFeel lookAndFeel;
    EXPECT_EQ (lookAndFeel.findColour (juce::PopupMenu::highlightedBackgroundColourId), juce::Colour (0xffd2d2d2));
    EXPECT_EQ (lookAndFeel.findColour (juce::PopupMenu::textColourId), juce::Colour (0xff202020));
    EXPECT_TRUE (lookAndFeel.findColour (juce::PopupMenu::backgroundColourId).isTransparent());

    juce::Image image (juce::Image::ARGB, 100, 60, true);
    {
        juce::Graphics g (image);
        lookAndFeel.drawPopupMenuBackground (g, 100, 60);
    }
    EXPECT_EQ (image.getPixelAt (50, 30), juce::Colour (0xffd2d2d2));
    EXPECT_LT (image.getPixelAt (0, 0).getAlpha(), 64) << "rounded corner";
}

//==============================================================================
TEST (LoadingOverlayTest, DotsCycleThroughOneTwoThreeAndNone)
{
    orvel::LoadingOverlay overlay;
    const char* expected[] = { ".", "..", "...", "", "." };

    for (auto* dots : expected)
    {
        overlay.timerCallback();
        EXPECT_EQ (overlay.getDots(), dots);
    }
}

TEST (LoadingOverlayTest, PaintsAHazeAndADashedFrameSevenUnitsInside)
{
    orvel::LoadingOverlay overlay;
    overlay.setSize (480, 460);
    const auto image = editortest::paintToImage (overlay);

    // The haze: light grey at 55 % opacity.
    EXPECT_EQ (image.getPixelAt (240, 120).getAlpha(), 0x8c);
    // The frame line is 5 thick around y = 7; the first dash starts at the corner.
    EXPECT_GT (image.getPixelAt (12, 7).getAlpha(), 0xf0);
    EXPECT_LT (editortest::luma (image, 12, 7), 80.0f);
    // Between dashes (12 on, 12 off) only the haze remains.
    EXPECT_EQ (image.getPixelAt (7 + 18, 7).getAlpha(), 0x8c);
}

TEST (LoadingOverlayTest, PlainItIsAnOpaqueGroundInTheFrameWithoutTheWord)
{
    orvel::LoadingOverlay overlay;
    overlay.setSize (480, 460);
    overlay.setPlain (true);
    EXPECT_TRUE (overlay.isOpaque()) << "the controls behind it, text and all, must not paint";
    const auto image = editortest::paintToImage (overlay);

    // Where the word stands in the normal overlay there is only the ground.
    for (int y = 205; y < 255; y += 3)
        for (int x = 100; x < 380; x += 3)
            ASSERT_EQ (image.getPixelAt (x, y), juce::Colour (0xff2c2c2d)) << x << ", " << y;

    EXPECT_GT (editortest::luma (image, 12, 7), editortest::luma (image, 240, 120) + 20.0f) << "the dashed frame";

    overlay.setPlain (false);
    EXPECT_FALSE (overlay.isOpaque());
}

//==============================================================================
namespace
{
/** Whether a pixel shows the amber of a value arc (the dark groove does not). */
bool isArcAmber (juce::Colour pixel)
{
    return pixel.getRed() > 150 && pixel.getRed() > pixel.getBlue() + 80;
}

/** The pixel on a knob's value arc at an angle (0 = 12 o'clock, clockwise). */
juce::Colour arcPixel (const juce::Image& frame, float radiusFraction, float angle)
{
    const auto size = (float) frame.getWidth();
    const auto point = juce::Point<float> (size * 0.5f, size * 0.5f).getPointOnCircumference (radiusFraction * size, angle);
    return frame.getPixelAt (juce::roundToInt (point.x), juce::roundToInt (point.y));
}

constexpr float pi = juce::MathConstants<float>::pi;
} // namespace

TEST (KnobArt, EveryKnobIsPaintedWhollyInsideItsFrameAndDifferentValuesLookDifferent)
{
    const auto store = orvel::SharedData::acquire();

    for (int i = 0; i < orvel::SharedData::numKnobArts; ++i)
    {
        const auto art = (orvel::SharedData::KnobArt) i;
        SCOPED_TRACE (i);
        const auto paint = store->getKnobPainter (art);
        ASSERT_NE (paint, nullptr);

        const auto low = paint (0.0f), middle = paint (0.5f), high = paint (1.0f);
        const auto size = orvel::SharedData::getKnobFramePx (art);
        ASSERT_EQ (low.getWidth(), size);
        ASSERT_EQ (low.getHeight(), size);

        for (int x = 0; x < size; ++x)
        {
            EXPECT_EQ (middle.getPixelAt (x, 0).getAlpha(), 0) << "touches its upper edge at " << x;
            EXPECT_EQ (middle.getPixelAt (x, size - 1).getAlpha(), 0) << "touches its lower edge at " << x;
        }

        EXPECT_EQ (middle.getPixelAt (size / 2, size / 2).getAlpha(), 255);

        auto differ = [size] (const juce::Image& a, const juce::Image& b)
        {
            for (int y = 0; y < size; ++y)
                for (int x = 0; x < size; ++x)
                    if (a.getPixelAt (x, y) != b.getPixelAt (x, y))
                        return true;
            return false;
        };
        EXPECT_TRUE (differ (low, middle));
        EXPECT_TRUE (differ (middle, high));
    }
}

TEST (KnobArt, TheUnipolarWhiteKnobsArcGrowsFromTheMinimumAndTheBipolarOnesFromTwelveOClock)
{
    const auto store = orvel::SharedData::acquire();
    const auto unipolar = store->getKnobPainter (orvel::SharedData::whiteKnobUnipolar);
    const auto bipolar = store->getKnobPainter (orvel::SharedData::whiteKnob);

    // Points on the arc: just after the minimum (7:30), at 9 o'clock, and at 3 o'clock.
    constexpr float radius = 0.405f;
    const float nearMinimum = -0.7f * pi, nineOClock = -0.5f * pi, threeOClock = 0.5f * pi;

    struct Case
    {
        float value;
        bool nearMinimumLit, nineLit, threeLit;
    };

    for (const auto& c : { Case { 0.0f, false, false, false }, Case { 0.5f, true, true, false }, Case { 1.0f, true, true, true } })
    {
        const auto frame = unipolar (c.value);
        EXPECT_EQ (isArcAmber (arcPixel (frame, radius, nearMinimum)), c.nearMinimumLit) << c.value;
        EXPECT_EQ (isArcAmber (arcPixel (frame, radius, nineOClock)), c.nineLit) << c.value;
        EXPECT_EQ (isArcAmber (arcPixel (frame, radius, threeOClock)), c.threeLit) << c.value;
    }

    // Input and Output keep the centred arc: nothing lit at 50 %, the right half at 100 %.
    EXPECT_FALSE (isArcAmber (arcPixel (bipolar (0.5f), radius, nineOClock)));
    EXPECT_FALSE (isArcAmber (arcPixel (bipolar (1.0f), radius, nineOClock)));
    EXPECT_TRUE (isArcAmber (arcPixel (bipolar (1.0f), radius, threeOClock)));
}

TEST (KnobArt, APainterFromAnAdjustedStoreAdjustsItsFramesAsTheImagesAre)
{
    orvel::SharedData store;
    const auto plain = store.getKnobPainter (orvel::SharedData::bigKnob) (0.3f);

    store.setAdjustment (0.3f, 0.0f);
    store.run();
    const auto brighter = store.getKnobPainter (orvel::SharedData::bigKnob) (0.3f);

    auto expected = plain.createCopy();
    orvel::SharedData::adjustImage (expected, 0.3f, 0.0f);

    for (int y = 0; y < plain.getHeight(); y += 7)
        for (int x = 0; x < plain.getWidth(); x += 7)
            ASSERT_EQ (brighter.getPixelAt (x, y), expected.getPixelAt (x, y)) << x << ", " << y;
}
