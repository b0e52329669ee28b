#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

#include <array>
#include <atomic>
#include <functional>
#include <memory>
#include <thread>

namespace orvel
{

/**
    The process-wide store of skin images, shared by every instance and alive as
    long as any instance holds it, plus the thread that rebuilds the images after
    a brightness or contrast change.

    The images are decoded from the embedded PNGs on first use, already adjusted
    to the brightness and contrast set by then (a host scanning plug-ins creates
    instances that never open a window). The knobs are not images: each style is
    painted in code, its body once per process, and getKnobPainter() hands out
    painters that adjust their frames as the images are adjusted. run() decodes
    the images afresh (and paints the knob bodies when none are yet), adjusts
    all but the swap images when brightness or contrast is not zero, swaps them in
    and then runs the completion action with the message thread's rights: on the
    rebuild thread it holds the message-manager lock while the action runs, so
    the action may touch components.

    Pitfall: the message thread may stop a rebuild (a newer one, or the store's
    end) while the rebuild waits for that lock; waiting there gives up at once
    and the action is posted to the message thread instead, so neither side
    waits for the other and no requester is left waiting. getImage() may be
    called from any thread; it hands out the current images, never one that is
    being rewritten.
*/
class SharedData
{
public:
    enum ImageId
    {
        background = 0,
        swapOff,
        swapOn,
        buttonOn,
        buttonOff,
        box,
        numImages
    };

    /** The knobs are painted in code, not decoded: one painter per style. */
    enum KnobArt
    {
        bigKnob = 0,
        smallKnob,
        smallKnob2,
        tinyKnob,
        whiteKnob,         ///< bipolar: its arc grows from 12 o'clock
        whiteKnobUnipolar, ///< its arc grows from the minimum
        numKnobArts
    };

    /** Paints a knob at a value 0..1 in its own pixel size, already adjusted to
        the brightness and contrast the images carry. */
    using KnobFramePainter = std::function<juce::Image (float value)>;

    /** Decodes one image by its resource name; a null image when it has none. */
    using ImageLoader = std::function<juce::Image (const char* resourceName)>;

    /** A store that reads the embedded artwork. */
    SharedData();
    /** A store that reads its images through the given loader (tests use this). */
    explicit SharedData (ImageLoader loader);
    ~SharedData();

    /** The name the rebuild thread carries (debuggers and profilers show it). */
    static constexpr const char* threadName = "Wrendle FoldGraphicUpdate";

    /** The live store, or a new one when no instance holds it any more. */
    static std::shared_ptr<SharedData> acquire();

    /** "background_png", "box_png"... */
    static const char* getResourceName (ImageId id) noexcept;

    /** True once images have been decoded (by a first getImage() or a run). Any thread. */
    bool isLoaded() const;

    /** The current image (null when the artwork lacks it). Any thread. */
    juce::Image getImage (ImageId id) const;

    /** A painter for one knob style, tied to the adjustment of the current
        images (a rebuild hands out new ones). The style's body is painted once
        per process, on first use. Message thread. */
    KnobFramePainter getKnobPainter (KnobArt art) const;

    /** The pixel size of a knob style's frames (twice its logical size). */
    static int getKnobFramePx (KnobArt art) noexcept;

    /** Brightness and contrast of the next run, each clamped to -0.5..0.5. */
    void setAdjustment (float newBrightness, float newContrast) noexcept;
    float getBrightness() const noexcept { return brightness.load(); }
    float getContrast() const noexcept { return contrast.load(); }

    /** The action the next completed run performs. Setting one while another
        is still pending keeps both, in order, so that no requester is left
        waiting when two windows ask for a rebuild at once. Message thread. */
    void setCompletionAction (std::function<void()> action);

    /** Starts the rebuild thread; a rebuild still running is stopped first and
        its pending action carried over to the new run. Message thread. */
    void startRebuild();

    /** True while a rebuild thread has been started and not yet joined. Message thread. */
    bool isRebuildRunning() const noexcept { return rebuilding.load(); }

    /** The rebuild itself: decode, adjust, swap in, complete. Runs on the rebuild
        thread, or on the caller's thread when called directly. */
    void run();

    //==============================================================================
    /** (C + 255) × 259 / ((259 − C) × 255) with C = contrast × 100. */
    static float contrastFactor (float contrast) noexcept;

    /** Moves every colour channel v of every pixel to (v − 128) × F + 128 + B
        with B = brightness × 128, clamped to 0..255 and truncated, on the
        non-premultiplied colour; alpha is kept. Stops early (leaving the image
        partly adjusted) when the given flag is raised. */
    static void adjustImage (juce::Image& image, float brightness, float contrast,
                             const std::atomic<bool>* cancelled = nullptr);

private:
    using ImageSet = std::array<juce::Image, numImages>;

    ImageSet decodeAll() const;
    /** Decodes and adjusts; false when cancelled meanwhile. */
    bool buildImages (ImageSet& result, float b, float c, const std::atomic<bool>* cancelled) const;
    void ensureLoaded() const;
    void stopRebuild();
    void complete (std::function<void()> action);

    ImageLoader loader;
    std::atomic<float> brightness { 0.0f };
    std::atomic<float> contrast { 0.0f };

    mutable juce::CriticalSection imageLock;
    mutable ImageSet images;
    mutable bool loaded = false;
    mutable float imagesBrightness = 0.0f, imagesContrast = 0.0f; // what `images` were adjusted to

    juce::CriticalSection actionLock;
    std::function<void()> completionAction;

    // A plain std::thread joined by its owner: the join orders everything the
    // rebuild did before whatever the owner does next, destruction included.
    std::thread rebuildThread;
    std::atomic<bool> cancelRebuild { false };
    juce::MessageManager::Lock messageLock; // aborted by stopRebuild()
    std::atomic<bool> rebuilding { false };

    SharedData (const SharedData&) = delete;
    SharedData& operator= (const SharedData&) = delete;
};

} // namespace orvel
