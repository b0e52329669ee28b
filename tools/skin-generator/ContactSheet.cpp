#include "ContactSheet.h"

#include "SkinDrawing.h"
#include "SkinLayout.h"
#include "SkinPainters.h"

#include <juce_gui_basics/juce_gui_basics.h>

#include <cmath>
#include <map>

namespace skin
{
namespace
{
    using layout::px;

    constexpr int previewSizePx = 960;
    constexpr int sheetWidthPx = 2040;
    constexpr int marginPx = 40;
    const juce::Colour sheetColour { 0xff505356 };
    const juce::Colour captionColour { 0xffe6e6e6 };

    struct Fonts
    {
        juce::Typeface::Ptr regular, bold;

        juce::Font make (float height, bool isBold) const
        {
            const auto& face = isBold ? bold : regular;
            if (face != nullptr)
                return juce::Font (face).withHeight (height);
            return juce::Font (height, isBold ? juce::Font::bold : juce::Font::plain);
        }
    };

    juce::Typeface::Ptr loadTypeface (const juce::File& file)
    {
        juce::MemoryBlock data;
        if (! file.loadFileAsData (data) || data.isEmpty())
            return nullptr;
        return juce::Typeface::createSystemTypefaceFor (data.getData(), data.getSize());
    }

    /** The images by file name, rendered once. */
    class ImageSet
    {
    public:
        ImageSet()
        {
            for (auto& entry : skinImageTable())
            {
                images[entry.fileName] = entry.render();
                frames[entry.fileName] = entry.frames;
            }
        }

        const juce::Image& operator[] (const juce::String& name) const { return images.at (name); }
        int frameCount (const juce::String& name) const { return frames.at (name); }

        /** Frame `index` of a strip (the image itself for a single image). */
        juce::Image frame (const juce::String& name, int index) const
        {
            const auto& image = images.at (name);
            const int count = frames.at (name);
            const int height = image.getHeight() / count;
            return image.getClippedImage ({ 0, juce::jlimit (0, count - 1, index) * height, image.getWidth(), height });
        }

        /** A knob at a value (the editor paints knobs in code, so they are not skin images). */
        static juce::Image knobAt (const juce::String& name, float value)
        {
            static const std::map<juce::String, KnobStyle (*)()> styles {
                { "big_knob", bigKnobStyle },
                { "white_knob", whiteKnobStyle },
                { "white_knob_unipolar", whiteKnobUnipolarStyle },
                { "small_knob", smallKnobStyle },
                { "small_knob2", smallKnob2Style },
                { "tiny_knob", tinyKnobStyle },
            };
            return renderKnobFrame (styles.at (name)(), value);
        }

    private:
        std::map<juce::String, juce::Image> images;
        std::map<juce::String, int> frames;
    };

    std::unique_ptr<juce::Drawable> loadIcon (const juce::File& folder, const juce::String& fileName, juce::Colour colour)
    {
        if (folder == juce::File())
            return nullptr;
        auto drawable = juce::Drawable::createFromSVGFile (folder.getChildFile (fileName));
        if (drawable != nullptr)
            drawable->replaceColour (juce::Colours::black, colour);
        return drawable;
    }

    /** The window as the editor lays it out, at twice its logical size. Only the
        images come from the skin; panels, grid, labels and boxes are drawn the
        way the editor's components draw them, so the artwork is judged in place. */
    class WindowPreview
    {
    public:
        WindowPreview (const ImageSet& imageSet, const Fonts& fontSet, const juce::File& iconFolder)
            : images (imageSet), fonts (fontSet), icons (iconFolder)
        {
        }

        juce::Image render() const
        {
            auto preview = makeCanvas (previewSizePx, px (layout::windowHeight));
            juce::Graphics g (preview);
            g.setImageResamplingQuality (juce::Graphics::highResamplingQuality);

            g.drawImageAt (images["background.png"], 0, 0);
            paintMonitor (g);
            place (g, "box.png", layout::monitorFrameArea);

            knob (g, "big_knob", 163, 59, 0.35f);
            knob (g, "white_knob", 333, 76, 0.72f);
            knob (g, "tiny_knob", 318, 158, 0.2f);
            knob (g, "tiny_knob", 368, 158, 0.5f);

            paintKnobRowPanel (g, layout::knobRowPanel);
            knob (g, "small_knob2", 76, 256, 0.12f);
            knob (g, "small_knob2", 162, 256, 0.86f);
            knob (g, "small_knob", 248, 256, 0.5f);
            knob (g, "small_knob2", 334, 256, 0.5f);
            paintLinkGlyph (g, { 315.0f, 328.0f, 22.0f, 24.0f });
            button (g, "swap_off.png", 225, 239);

            knob (g, "white_knob", 78, 364, 0.5f);
            knob (g, "white_knob_unipolar", 164, 371, 1.0f);
            knob (g, "white_knob", 250, 364, 0.62f);
            button (g, "button_off.png", 354, 357);
            button (g, "button_on.png", 354, 408);

            // One locked knob, to judge the lock indicator.
            g.drawImage (images["lock.png"], px (juce::Rectangle<float> (250.0f, 258.0f, 13.0f, 13.0f)));

            paintTopBar (g);
            paintLabels (g);

            if (auto corner = loadIcon (icons, "corner.svg", juce::Colour (0xffd3d3d3).withAlpha (0.3f)))
                corner->drawWithin (g, px (juce::Rectangle<float> (466.0f, 446.0f, 14.0f, 14.0f)).reduced (4.0f),
                                    juce::RectanglePlacement::stretchToFit, 1.0f);
            return preview;
        }

    private:
        void place (juce::Graphics& g, const juce::String& name, juce::Rectangle<float> logicalArea) const
        {
            g.drawImageWithin (images[name], px (logicalArea).getSmallestIntegerContainer().getX(),
                               px (logicalArea).getSmallestIntegerContainer().getY(), (int) px (logicalArea.getWidth()),
                               (int) px (logicalArea.getHeight()), juce::RectanglePlacement::centred);
        }

        void knob (juce::Graphics& g, const juce::String& name, int x, int y, float value) const
        {
            g.drawImageAt (ImageSet::knobAt (name, value), px (x), px (y));
        }

        void button (juce::Graphics& g, const juce::String& name, int x, int y) const
        {
            g.drawImageAt (images[name], px (x), px (y));
        }

        static void paintMonitor (juce::Graphics& g)
        {
            const auto area = px (layout::monitorArea);
            const float w = area.getWidth(), h = area.getHeight();
            const float unit = layout::pixelsPerUnit;

            juce::Graphics::ScopedSaveState state (g);
            g.reduceClipRegion (area.toNearestInt());
            g.setOrigin (area.getTopLeft().toInt());

            {
                // The grid, with the editor's alpha of 0.75 over the panel.
                auto grid = makeCanvas ((int) w, (int) h);
                juce::Graphics gg (grid);
                gg.fillAll (juce::Colour (0xff1e1f1f).darker (0.4f));
                gg.setColour (juce::Colour (0xffcccccc).withAlpha (0.6f));
                gg.drawLine (w * 0.5f, 0.0f, w * 0.5f, h, unit);
                gg.drawLine (0.0f, h * 0.5f, w, h * 0.5f, unit);
                gg.setColour (juce::Colour (0xffcccccc).withAlpha (0.35f));
                for (int i = 1; i < 20; ++i)
                {
                    const float t = (float) i * w / 20.0f;
                    gg.drawLine (t, h * 0.5f - 3.0f * unit, t, h * 0.5f + 3.0f * unit, unit);
                    gg.drawLine (w * 0.5f - 3.0f * unit, t, w * 0.5f + 3.0f * unit, t, unit);
                }
                gg.setColour (juce::Colour (0xffcccccc).withAlpha (0.2f));
                for (int k = 1; k < 10; ++k)
                {
                    const float t = (float) k * w / 10.0f;
                    gg.drawLine (t, 0.0f, t, h, unit);
                    gg.drawLine (0.0f, t, w, t, unit);
                }
                g.setOpacity (0.75f);
                g.drawImageAt (grid, 0, 0);
                g.setOpacity (1.0f);
            }

            juce::Path curve;
            bool first = true;
            const float drive = 4.5f;
            for (double x = -1.0; x <= 1.05; x += 1.0 / 88.0 + 0.00001)
            {
                const float s = (float) std::sin (juce::MathConstants<double>::pi * (x + 1.0));
                const float y = 0.9f * std::sin (drive * s);
                const juce::Point<float> p ((float) (x + 1.0) * w * 0.5f, h - (y + 1.0f) * h * 0.5f);
                if (first)
                    curve.startNewSubPath (p);
                else
                    curve.lineTo (p);
                first = false;
            }
            g.setColour (juce::Colour (0xffd0d0d0));
            g.strokePath (curve, juce::PathStrokeType (2.1f * unit));
        }

        static void paintKnobRowPanel (juce::Graphics& g, juce::Rectangle<float> logical)
        {
            const auto area = px (logical);
            const float unit = layout::pixelsPerUnit;
            const auto inner = area.reduced (6.0f * unit);
            g.setColour (juce::Colour (0xff1d1f20).withAlpha (0.92f));
            g.fillRoundedRectangle (inner, 7.0f * unit);
            g.setColour (juce::Colour (0xffb3b3b3).withAlpha (0.9f));
            g.drawRoundedRectangle (inner, 7.0f * unit, unit);
            const float divider = area.getX() + (float) (int) (logical.getWidth() / 2.0f) * unit;
            g.drawLine (divider, area.getY() + 44.0f * unit, divider, area.getBottom() - 20.0f * unit, unit);
        }

        static void paintLinkGlyph (juce::Graphics& g, juce::Rectangle<float> logical)
        {
            const auto area = px (logical);
            const float unit = layout::pixelsPerUnit;
            g.setColour (juce::Colour (0xffd2d2d2));
            g.drawLine (area.getX() + area.getWidth() - 2.0f * unit, area.getY() + 4.0f * unit, area.getX() + 4.0f * unit,
                        area.getY() + 4.0f * unit, 1.25f * unit);
            g.fillEllipse (area.getX() + 2.0f * unit, area.getY() + 2.0f * unit, 4.0f * unit, 4.0f * unit);
        }

        static void paintTopBox (juce::Graphics& g, juce::Rectangle<float> logical)
        {
            const auto area = px (logical);
            const float unit = layout::pixelsPerUnit;
            const float corner = 3.0f * unit;
            const auto body = juce::Rectangle<float> (area.getX() + unit, area.getY() + unit, area.getWidth() - 2.0f * unit,
                                                      area.getHeight() - 3.0f * unit);
            g.setColour (juce::Colour (0xff232323));
            g.fillRoundedRectangle (body, corner);
            g.setColour (juce::Colour (0xff333535).withAlpha (0.7f));
            g.drawRoundedRectangle (body.withHeight (area.getHeight() - 2.0f * unit), corner, unit);
            g.setColour (juce::Colour (0xff0a0a0b));
            g.drawRoundedRectangle (body, corner, unit);
        }

        void paintTopBar (juce::Graphics& g) const
        {
            const auto light = juce::Colour (0xffd2d2d2);
            if (auto logo = loadIcon (icons, "kestrivanelogo.svg", light))
                logo->drawWithin (g, px (juce::Rectangle<float> (5.0f, 5.0f, 35.0f, 35.0f)), juce::RectanglePlacement::centred, 1.0f);

            g.setColour (light);
            g.setFont (fonts.make (px (27.0f), true).withExtraKerningFactor (0.01f));
            g.drawText ("FOLD", px (juce::Rectangle<float> (39.0f, -1.0f, 150.0f, 46.0f)), juce::Justification::centredLeft);

            paintTopBox (g, { 119.0f, 9.0f, 258.0f, 29.0f });
            button (g, "prev_off_2x.png", 121, 10);
            button (g, "next_on_2x.png", 121, 24);
            g.setColour (light);
            g.setFont (fonts.make (px (14.0f), false).withExtraKerningFactor (0.01f));
            g.drawText ("Init", px (juce::Rectangle<float> (143.0f, 11.0f, 138.0f, 23.0f)), juce::Justification::centredLeft);
            button (g, "save_off_2x.png", 281, 10);
            button (g, "delete_off_2x.png", 313, 10);
            button (g, "random_on_2x.png", 345, 10);

            paintTopBox (g, { 379.0f, 9.0f, 92.0f, 29.0f });
            button (g, "bell_off_2x.png", 384, 13);
            button (g, "more_off_2x.png", 414, 13);
            button (g, "bypass_on_2x.png", 444, 13);
        }

        void paintLabels (juce::Graphics& g) const
        {
            struct Label
            {
                const char* text;
                juce::Rectangle<float> bounds;
            };

            const Label labels[] = {
                { "MONITOR", { 51, 194, 116, 24 } },
                { "PRE", { 76, 238, 154, 24 } },
                { "POST", { 248, 238, 154, 24 } },
                { "HIGHPASS", { 66, 320, 88, 24 } },
                { "LOWPASS", { 152, 320, 88, 24 } },
                { "FEEDBACK", { 238, 320, 88, 24 } },
                { "LOWPASS", { 324, 320, 88, 24 } },
                { "FOLD", { 153, 202, 173, 24 } },
                { "ENVELOPE", { 323, 134, 82, 24 } },
                { "ATK", { 308, 197, 63, 24 } },
                { "REL", { 358, 197, 63, 24 } },
                { "INPUT", { 68, 422, 82, 24 } },
                { "MIX", { 154, 429, 82, 24 } },
                { "OUTPUT", { 240, 422, 82, 24 } },
                { "AUTOGAIN", { 324, 380, 86, 24 } },
                { "SOFTCLIP", { 324, 431, 86, 24 } },
            };

            g.setColour (juce::Colour (0xffb5b5b5));
            g.setFont (fonts.make (px (13.5f), true).withHorizontalScale (0.95f));
            for (const auto& label : labels)
                g.drawText (label.text, px (label.bounds), juce::Justification::centred);
        }

        const ImageSet& images;
        const Fonts& fonts;
        juce::File icons;
    };

    /** Places boxes left to right, wrapping into new rows. */
    class Shelf
    {
    public:
        Shelf (int leftPx, int topPx, int rightPx)
            : left (leftPx), right (rightPx), x (leftPx), y (topPx) {}

        juce::Point<int> place (int width, int height)
        {
            if (x + width > right && x > left)
                newRow();
            const juce::Point<int> at (x, y);
            x += width + 24;
            rowHeight = juce::jmax (rowHeight, height);
            return at;
        }

        void newRow()
        {
            x = left;
            y += rowHeight + 24;
            rowHeight = 0;
        }

        int bottom() const noexcept { return y + rowHeight; }

    private:
        int left, right, x, y, rowHeight = 0;
    };

    void caption (juce::Graphics& g, const Fonts& fonts, const juce::String& text, juce::Point<int> at, int width)
    {
        g.setColour (captionColour);
        g.setFont (fonts.make (14.0f, false));
        g.drawFittedText (text, at.x, at.y, juce::jmax (width, 60), 18, juce::Justification::centredLeft, 1, 1.0f);
    }

    Fonts loadFonts (const ContactSheetOptions& options)
    {
        Fonts fonts;
        if (options.fontFolder != juce::File())
        {
            fonts.regular = loadTypeface (options.fontFolder.getChildFile ("OpenSans-Regular.ttf"));
            fonts.bold = loadTypeface (options.fontFolder.getChildFile ("OpenSans-Bold.ttf"));
        }
        return fonts;
    }
} // namespace

juce::Image renderWindowPreview (const ContactSheetOptions& options)
{
    const juce::ScopedJuceInitialiser_GUI framework;
    const auto fonts = loadFonts (options);
    const ImageSet images;
    return WindowPreview (images, fonts, options.iconFolder).render();
}

juce::Image renderContactSheet (const ContactSheetOptions& options)
{
    // Drawables are components; give them the framework they expect.
    const juce::ScopedJuceInitialiser_GUI framework;
    const auto fonts = loadFonts (options);

    const ImageSet images;
    const auto preview = WindowPreview (images, fonts, options.iconFolder).render();

    auto sheet = makeCanvas (sheetWidthPx, 2200);
    juce::Graphics g (sheet);
    g.fillAll (sheetColour);
    g.drawImageAt (preview, marginPx, marginPx);
    caption (g, fonts, "window, as arranged by the editor (2x)", { marginPx, marginPx + preview.getHeight() + 6 }, 400);

    const int columnLeft = marginPx * 2 + previewSizePx;
    Shelf shelf (columnLeft, marginPx, sheetWidthPx - marginPx);

    for (const auto& entry : skinImageTable())
    {
        const int frames = images.frameCount (entry.fileName);

        if (frames > 1)
        {
            // Sample frames from minimum to maximum, as many as fit in a row.
            const int rowWidth = sheetWidthPx - marginPx - columnLeft;
            const int shown = juce::jlimit (2, 5, (rowWidth + 4) / (entry.widthPx + 4));
            const int width = shown * entry.widthPx + (shown - 1) * 4;
            const auto at = shelf.place (width, entry.frameHeightPx + 22);
            for (int i = 0; i < shown; ++i)
                g.drawImageAt (images.frame (entry.fileName, i * (frames - 1) / (shown - 1)), at.x + i * (entry.widthPx + 4), at.y);
            caption (g, fonts, entry.fileName + " (" + juce::String (frames) + " frames)", at.translated (0, entry.frameHeightPx + 2), width);
            continue;
        }

        const auto& image = images[entry.fileName];
        if (entry.fileName == "background.png")
            continue; // shown whole on the left
        const int width = juce::jmax (image.getWidth(), 96);
        const auto at = shelf.place (width, image.getHeight() + 22);
        g.drawImageAt (image, at.x, at.y);
        caption (g, fonts, entry.fileName, at.translated (0, image.getHeight() + 2), width);
    }

    if (options.iconFolder != juce::File())
    {
        shelf.newRow();
        const auto files = options.iconFolder.findChildFiles (juce::File::findFiles, false, "*.svg");
        auto sorted = files;
        sorted.sort();

        // Each icon twice: light on the panel, and dark on a menu-coloured tile
        // at menu size, as the editor recolours them.
        for (const auto& file : sorted)
        {
            const auto at = shelf.place (110, 86);
            if (auto light = loadIcon (options.iconFolder, file.getFileName(), juce::Colour (0xffd2d2d2)))
                light->drawWithin (g, juce::Rectangle<float> ((float) at.x, (float) at.y, 56.0f, 56.0f), juce::RectanglePlacement::centred, 1.0f);
            g.setColour (juce::Colour (0xffd2d2d2));
            g.fillRoundedRectangle ((float) at.x + 62.0f, (float) at.y + 16.0f, 40.0f, 40.0f, 6.0f);
            if (auto dark = loadIcon (options.iconFolder, file.getFileName(), juce::Colour (0xff202020)))
                dark->drawWithin (g, juce::Rectangle<float> ((float) at.x + 70.0f, (float) at.y + 24.0f, 24.0f, 24.0f), juce::RectanglePlacement::centred, 1.0f);
            caption (g, fonts, file.getFileName(), at.translated (0, 62), 110);
        }
    }

    const int height = juce::jmax (shelf.bottom(), marginPx + preview.getHeight() + 30) + marginPx;
    return sheet.getClippedImage ({ 0, 0, sheetWidthPx, height }).createCopy();
}
} // namespace skin
