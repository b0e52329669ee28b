#pragma once

#include <juce_graphics/juce_graphics.h>

#include <functional>
#include <memory>
#include <vector>

/** The painters of the skin images, one function per image family.

    All artwork is drawn at twice the editor's logical resolution (the editor
    shows every skin image at half its pixel size), directly in pixels. */
namespace skin
{
/** How one family of knobs looks. Lengths are fractions of the frame size, so
    a style reads the same whatever strip size it is rendered at. */
struct KnobStyle
{
    int framePx = 0;

    bool lightCap = false;     ///< white cap with a dark pointer instead of a dark cap
    bool bipolar = false;      ///< the value arc grows from 12 o'clock instead of from the minimum
    bool spunMetal = false;    ///< concentric machined finish on the cap
    bool knurledSkirt = false; ///< ribbed edge between the cap and the shadow
    int scaleTicks = 0;        ///< ticks outside the arc (0: none)
    float knurlPitchPx = 7.0f; ///< rib spacing; fine ribs cost a lot of PNG bytes on big strips

    float arcRadius = 0.40f;
    float arcThickness = 0.035f;
    float skirtRadius = 0.32f;
    float capRadius = 0.27f;
    float tickInner = 0.455f;
    float tickOuter = 0.485f;
    float pointerInner = 0.08f; ///< pointer start, distance from the centre
    float pointerOuter = 0.25f; ///< pointer end
    float pointerWidth = 0.03f;

    juce::Colour valueColour;
};

KnobStyle bigKnobStyle();
KnobStyle whiteKnobStyle();
KnobStyle smallKnobStyle();
KnobStyle smallKnob2Style();
KnobStyle tinyKnobStyle();

/** The main panel, 960 x 920. */
juce::Image renderBackground();

/** The white knob of a unipolar control: its value arc starts at the minimum. */
KnobStyle whiteKnobUnipolarStyle();

/** Paints one knob style at any value, in style.framePx square pixels. What
    does not move with the value (scale, groove, body, cap) is painted once, when
    this is made; each frame then adds only the value arc and the pointer, so a
    frame costs a fraction of the first. */
class KnobFrames
{
public:
    explicit KnobFrames (const KnobStyle& style);
    ~KnobFrames();

    /** The knob at a value 0..1 (clamped). */
    juce::Image render (float value) const;

    int getFramePx() const noexcept { return framePx; }

private:
    struct Painter;
    std::unique_ptr<Painter> painter;
    int framePx;

    KnobFrames (const KnobFrames&) = delete;
    KnobFrames& operator= (const KnobFrames&) = delete;
};

/** One frame of a knob (value 0..1). */
juce::Image renderKnobFrame (const KnobStyle& style, float value);

/** The pre/post swap key, 60 x 44. */
juce::Image renderSwapButton (bool lit);

/** The round push button with its LED (AutoGain, Soft Clip), 52 x 52. */
juce::Image renderRoundButton (bool lit);

enum class TopBarGlyph
{
    previous,
    next,
    save,
    remove,
    random,
    bell,
    more,
    bypass
};

/** A top-bar button glyph on a transparent ground; lit = pressed or on. */
juce::Image renderTopBarButton (TopBarGlyph glyph, bool lit, int widthPx, int heightPx);

/** The bezel drawn over the monitor, 232 x 232, with a transparent window. */
juce::Image renderMonitorBox();

/** The padlock shown over a locked widget (closed) and its open twin. */
juce::Image renderPadlock (bool locked, int sizePx);

/** A square product icon: the fold knob on a piece of panel. */
juce::Image renderProductIcon (int sizePx);

/** One image the generator writes: its file name, the size of one frame, the
    number of frames stacked vertically, and how to draw it. */
struct SkinImage
{
    juce::String fileName;
    int widthPx = 0;
    int frameHeightPx = 0;
    int frames = 1;
    std::function<juce::Image()> render;
};

/** All the skin images the editor embeds, in a fixed order. */
std::vector<SkinImage> skinImageTable();
} // namespace skin
