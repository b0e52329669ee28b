#include "BinaryData.h"

#include <juce_gui_basics/juce_gui_basics.h>

#include <gtest/gtest.h>

#include <cstring>
#include <ostream>
#include <set>

namespace
{
enum class Kind
{
    png,
    svg,
    ttf
};

/** One embedded resource as the editor asks for it, with the geometry the
    editor relies on: width, height of one frame, and frames stacked
    vertically. */
struct Resource
{
    const char* name;
    Kind kind;
    int width = 0;
    int frameHeight = 0;
    int frames = 1;
};

void PrintTo (const Resource& resource, std::ostream* out)
{
    *out << resource.name;
}

const Resource resourceTable[] = {
    { "background_png", Kind::png, 960, 920 },
    { "swap_off_png", Kind::png, 60, 44 },
    { "swap_on_png", Kind::png, 60, 44 },
    { "button_off_png", Kind::png, 52, 52 },
    { "button_on_png", Kind::png, 52, 52 },
    { "box_png", Kind::png, 232, 232 },

    { "prev_on_2x_png", Kind::png, 42, 24 },
    { "prev_off_2x_png", Kind::png, 42, 24 },
    { "next_on_2x_png", Kind::png, 42, 24 },
    { "next_off_2x_png", Kind::png, 42, 24 },
    { "save_on_2x_png", Kind::png, 50, 50 },
    { "save_off_2x_png", Kind::png, 50, 50 },
    { "delete_on_2x_png", Kind::png, 50, 50 },
    { "delete_off_2x_png", Kind::png, 50, 50 },
    { "random_on_2x_png", Kind::png, 50, 50 },
    { "random_off_2x_png", Kind::png, 50, 50 },
    { "bell_on_2x_png", Kind::png, 40, 40 },
    { "bell_off_2x_png", Kind::png, 40, 40 },
    { "more_on_2x_png", Kind::png, 40, 40 },
    { "more_off_2x_png", Kind::png, 40, 40 },
    { "bypass_on_2x_png", Kind::png, 40, 40 },
    { "bypass_off_2x_png", Kind::png, 40, 40 },

    { "lock_png", Kind::png, 26, 26 },
    { "unlock_png", Kind::png, 26, 26 },
    { "wrendlefold_icon_png", Kind::png, 256, 256 },

    { "kestrivanelogo_svg", Kind::svg },
    { "discord_svg", Kind::svg },
    { "instagram_svg", Kind::svg },
    { "twitter_svg", Kind::svg },
    { "facebook_svg", Kind::svg },
    { "youtube_svg", Kind::svg },
    { "settings_svg", Kind::svg },
    { "corner_svg", Kind::svg },
    { "locksolid_svg", Kind::svg },
    { "unlocksolid_svg", Kind::svg },
    { "download_svg", Kind::svg },
    { "face_svg", Kind::svg },
    { "newspaper_svg", Kind::svg },
    { "copy_svg", Kind::svg },
    { "paste_svg", Kind::svg },
    { "globe_svg", Kind::svg },
    { "info_svg", Kind::svg },

    { "OpenSansRegular_ttf", Kind::ttf },
    { "OpenSansBold_ttf", Kind::ttf },
};

juce::MemoryBlock named (const char* name)
{
    int size = 0;
    const char* data = BinaryData::getNamedResource (name, size);
    if (data == nullptr || size <= 0)
        return {};
    return { data, (size_t) size };
}

juce::Image decode (const juce::MemoryBlock& data)
{
    return juce::ImageFileFormat::loadFrom (data.getData(), data.getSize());
}

class EmbeddedResource : public ::testing::TestWithParam<Resource>
{
};

TEST_P (EmbeddedResource, IsFoundByNameAndLoadsAsItsKindWithTheTabledGeometry)
{
    const auto& resource = GetParam();
    const auto data = named (resource.name);
    ASSERT_GT (data.getSize(), 0u) << "no resource named " << resource.name;

    switch (resource.kind)
    {
        case Kind::png:
        {
            const auto image = decode (data);
            ASSERT_TRUE (image.isValid());
            EXPECT_EQ (image.getWidth(), resource.width);
            EXPECT_EQ (image.getHeight(), resource.frameHeight * resource.frames);
            break;
        }

        case Kind::svg:
        {
            auto drawable = juce::Drawable::createFromImageData (data.getData(), data.getSize());
            ASSERT_NE (drawable, nullptr);
            EXPECT_FALSE (drawable->getDrawableBounds().isEmpty());
            // The editor tints icons by replacing their black; an icon drawn in
            // any other colour would stay black on the dark menus.
            EXPECT_TRUE (drawable->replaceColour (juce::Colours::black, juce::Colours::red));
            break;
        }

        case Kind::ttf:
        {
            auto typeface = juce::Typeface::createSystemTypefaceFor (data.getData(), data.getSize());
            ASSERT_NE (typeface, nullptr);
            EXPECT_EQ (typeface->getName(), "Open Sans");
            EXPECT_EQ (typeface->getStyle(), juce::String (resource.name).contains ("Bold") ? "Bold" : "Regular");
            break;
        }
    }
}

INSTANTIATE_TEST_SUITE_P (AllResources, EmbeddedResource, ::testing::ValuesIn (resourceTable),
                          [] (const ::testing::TestParamInfo<Resource>& info)
                          { return std::string (info.param.name); });

TEST (EmbeddedResources, HoldExactlyTheTabledResourcesAndNothingElse)
{
    std::set<std::string> tabled;
    for (const auto& resource : resourceTable)
        tabled.insert (resource.name);

    std::set<std::string> embedded;
    for (int i = 0; i < BinaryData::namedResourceListSize; ++i)
        embedded.insert (BinaryData::namedResourceList[i]);

    EXPECT_EQ (embedded, tabled);
    EXPECT_EQ (tabled.size(), 44u);
}

TEST (EmbeddedResources, TheLockImageIsReachableByItsFileNameLockPng)
{
    const char* resourceName = nullptr;
    for (int i = 0; i < BinaryData::namedResourceListSize; ++i)
        if (std::strcmp (BinaryData::originalFilenames[i], "lock.png") == 0)
            resourceName = BinaryData::namedResourceList[i];

    ASSERT_NE (resourceName, nullptr);
    EXPECT_STREQ (resourceName, "lock_png");
    EXPECT_STREQ (BinaryData::getNamedResourceOriginalFilename ("lock_png"), "lock.png");
    int size = 0;
    EXPECT_EQ (BinaryData::getNamedResource (resourceName, size), BinaryData::lock_png);
    EXPECT_EQ (size, BinaryData::lock_pngSize);
}

TEST (SkinImages, TheBackgroundIsOpaqueEverywhere)
{
    const auto background = decode (named ("background_png"));
    ASSERT_TRUE (background.isValid());
    const juce::Image::BitmapData pixels (background, juce::Image::BitmapData::readOnly);

    for (int y = 0; y < background.getHeight(); ++y)
        for (int x = 0; x < background.getWidth(); ++x)
            ASSERT_EQ (pixels.getPixelColour (x, y).getAlpha(), 255) << "at " << x << ", " << y;
}

/** The bezel is drawn over the monitor: its window must let the monitor show
    through, its frame must not. */
TEST (SkinImages, TheMonitorBezelIsOpaqueAtItsRimAndClearOverTheMonitor)
{
    const auto box = decode (named ("box_png"));
    ASSERT_TRUE (box.isValid());
    const juce::Image::BitmapData pixels (box, juce::Image::BitmapData::readOnly);

    // The monitor covers (30, 26) to (206, 202) of the image, half size drawn.
    for (int y = 40; y < 190; y += 10)
        for (int x = 44; x < 192; x += 10)
            EXPECT_LT (pixels.getPixelColour (x, y).getAlpha(), 128) << "at " << x << ", " << y;

    for (int i = 12; i < 220; i += 10)
    {
        EXPECT_EQ (pixels.getPixelColour (i, 14).getAlpha(), 255) << "top rim at " << i;
        EXPECT_EQ (pixels.getPixelColour (i, 214).getAlpha(), 255) << "bottom rim at " << i;
    }
}

TEST (SkinImages, LitAndUnlitButtonImagesDiffer)
{
    const std::pair<const char*, const char*> pairs[] = {
        { "swap_on_png", "swap_off_png" },
        { "button_on_png", "button_off_png" },
        { "prev_on_2x_png", "prev_off_2x_png" },
        { "next_on_2x_png", "next_off_2x_png" },
        { "save_on_2x_png", "save_off_2x_png" },
        { "delete_on_2x_png", "delete_off_2x_png" },
        { "random_on_2x_png", "random_off_2x_png" },
        { "bell_on_2x_png", "bell_off_2x_png" },
        { "more_on_2x_png", "more_off_2x_png" },
        { "bypass_on_2x_png", "bypass_off_2x_png" },
    };

    for (const auto& [on, off] : pairs)
        EXPECT_NE (named (on), named (off)) << on << " equals " << off;
}
} // namespace
