#include "editor/SharedData.h"

#include "editor/EmbeddedResources.h"
#include "editor/OrvelLookAndFeel.h"

#include "tools/skin-generator/SkinPainters.h"

namespace orvel
{
namespace
{
    constexpr const char* resourceNames[SharedData::numImages] = {
        "background_png",
        "swap_off_png",
        "swap_on_png",
        "button_on_png",
        "button_off_png",
        "box_png",
    };

    // The swap images keep their colours: they are the only artwork whose look
    // must not drift with the skin settings.
    constexpr SharedData::ImageId adjustedImages[] = {
        SharedData::background,
        SharedData::box,
        SharedData::buttonOn,
        SharedData::buttonOff,
    };

    skin::KnobStyle knobStyle (SharedData::KnobArt art)
    {
        switch (art)
        {
            case SharedData::bigKnob:
                return skin::bigKnobStyle();
            case SharedData::smallKnob:
                return skin::smallKnobStyle();
            case SharedData::smallKnob2:
                return skin::smallKnob2Style();
            case SharedData::tinyKnob:
                return skin::tinyKnobStyle();
            case SharedData::whiteKnob:
                return skin::whiteKnobStyle();
            case SharedData::whiteKnobUnipolar:
            case SharedData::numKnobArts:
                break;
        }

        return skin::whiteKnobUnipolarStyle();
    }

    /** The knob bodies, painted once per process on first use and kept: together
        they are well under a megabyte, and a scan that never opens a window never
        paints them. */
    std::shared_ptr<const skin::KnobFrames> knobFrames (SharedData::KnobArt art)
    {
        static juce::CriticalSection lock;
        static std::array<std::shared_ptr<const skin::KnobFrames>, SharedData::numKnobArts> painted;

        const juce::ScopedLock scope (lock);
        auto& frames = painted[(size_t) art];

        if (frames == nullptr)
            frames = std::make_shared<const skin::KnobFrames> (knobStyle (art));

        return frames;
    }

    template <typename Pixel>
    bool adjustRows (juce::Image::BitmapData& data, const juce::uint8 (&table)[256], const std::atomic<bool>* cancelled)
    {
        for (int y = 0; y < data.height; ++y)
        {
            if (cancelled != nullptr && cancelled->load())
                return false;

            for (int x = 0; x < data.width; ++x)
            {
                auto* pixel = reinterpret_cast<Pixel*> (data.getPixelPointer (x, y));
                auto colour = *pixel;
                colour.unpremultiply();
                colour.setARGB (colour.getAlpha(), table[colour.getRed()], table[colour.getGreen()], table[colour.getBlue()]);
                colour.premultiply();
                *pixel = colour;
            }
        }

        return true;
    }
} // namespace

//==============================================================================
SharedData::SharedData()
    : SharedData (ImageLoader {}) {}

SharedData::SharedData (ImageLoader imageLoader)
    : loader (imageLoader != nullptr ? std::move (imageLoader) : ImageLoader (resources::loadImage))
{
}

SharedData::~SharedData()
{
    stopRebuild();
}

void SharedData::stopRebuild()
{
    // The run checks the flag between rows, so it ends promptly; a run waiting
    // for the message-manager lock is woken to see it.
    cancelRebuild = true;
    messageLock.abort();

    if (rebuildThread.joinable())
        rebuildThread.join();

    cancelRebuild = false;
    rebuilding = false;
}

std::shared_ptr<SharedData> SharedData::acquire()
{
    static juce::SpinLock lock;
    static std::weak_ptr<SharedData> current;

    const juce::SpinLock::ScopedLockType scope (lock);

    if (auto live = current.lock())
        return live;

    auto created = std::make_shared<SharedData>();
    current = created;
    return created;
}

const char* SharedData::getResourceName (ImageId id) noexcept
{
    return id >= 0 && id < numImages ? resourceNames[id] : "";
}

//==============================================================================
SharedData::ImageSet SharedData::decodeAll() const
{
    ImageSet decoded;

    for (int i = 0; i < numImages; ++i)
        decoded[(size_t) i] = loader (resourceNames[i]);

    return decoded;
}

bool SharedData::buildImages (ImageSet& result, float b, float c, const std::atomic<bool>* cancelled) const
{
    result = decodeAll();

    if (b == 0.0f && c == 0.0f)
        return true;

    for (auto id : adjustedImages)
    {
        if (cancelled != nullptr && cancelled->load())
            return false;

        auto& image = result[(size_t) id];

        if (image.isValid())
        {
            image.duplicateIfShared();
            adjustImage (image, b, c, cancelled);
        }
    }

    return cancelled == nullptr || ! cancelled->load();
}

void SharedData::ensureLoaded() const
{
    const juce::ScopedLock scope (imageLock);

    // The first reader gets the images as the current settings want them, even
    // when a rebuild that was started for them has not finished yet.
    if (! loaded)
    {
        imagesBrightness = brightness.load();
        imagesContrast = contrast.load();
        buildImages (images, imagesBrightness, imagesContrast, nullptr);
        loaded = true;
    }
}

bool SharedData::isLoaded() const
{
    const juce::ScopedLock scope (imageLock);
    return loaded;
}

juce::Image SharedData::getImage (ImageId id) const
{
    if (id < 0 || id >= numImages)
        return {};

    ensureLoaded();
    const juce::ScopedLock scope (imageLock);
    return images[(size_t) id];
}

SharedData::KnobFramePainter SharedData::getKnobPainter (KnobArt art) const
{
    if (art < 0 || art >= numKnobArts)
        return {};

    ensureLoaded();

    float b = 0.0f, c = 0.0f;
    {
        const juce::ScopedLock scope (imageLock);
        b = imagesBrightness;
        c = imagesContrast;
    }

    return [frames = knobFrames (art), b, c] (float value)
    {
        auto frame = frames->render (value);

        if (b != 0.0f || c != 0.0f)
            adjustImage (frame, b, c);

        return frame;
    };
}

int SharedData::getKnobFramePx (KnobArt art) noexcept
{
    return art >= 0 && art < numKnobArts ? knobStyle (art).framePx : 0;
}

void SharedData::setAdjustment (float newBrightness, float newContrast) noexcept
{
    brightness.store (juce::jlimit (-0.5f, 0.5f, newBrightness));
    contrast.store (juce::jlimit (-0.5f, 0.5f, newContrast));
}

void SharedData::setCompletionAction (std::function<void()> action)
{
    const juce::ScopedLock scope (actionLock);

    if (completionAction == nullptr || action == nullptr)
    {
        completionAction = std::move (action);
        return;
    }

    completionAction = [first = std::move (completionAction), second = std::move (action)]
    {
        first();
        second();
    };
}

void SharedData::startRebuild()
{
    // A run in progress is abandoned (its pending action stays queued); the new
    // run starts from the untouched artwork with the latest values anyway.
    stopRebuild();
    rebuilding = true;

    rebuildThread = std::thread ([this]
                                 {
        juce::Thread::setCurrentThreadName (threadName);
        run();
        rebuilding = false; });
}

void SharedData::run()
{
    // Before the images: the first window draws no text until the typefaces exist.
    OrvelLookAndFeel::prepareTypefaces();

    ImageSet fresh;
    const auto b = brightness.load();
    const auto c = contrast.load();

    if (! buildImages (fresh, b, c, &cancelRebuild))
        return;

    // The knob bodies are painted here too on a first run, so that no window
    // paints them on the message thread.
    for (int art = 0; art < numKnobArts && ! cancelRebuild.load(); ++art)
        knobFrames ((KnobArt) art);

    {
        const juce::ScopedLock scope (imageLock);
        images = std::move (fresh);
        imagesBrightness = b;
        imagesContrast = c;
        loaded = true;
    }

    std::function<void()> action;
    {
        const juce::ScopedLock scope (actionLock);
        std::swap (action, completionAction);
    }

    if (action != nullptr)
        complete (std::move (action));
}

void SharedData::complete (std::function<void()> action)
{
    if (juce::MessageManager::existsAndIsLockedByCurrentThread())
    {
        action();
        return;
    }

    // tryEnter() also returns false when aborted (or spuriously): only a stop ends the wait.
    while (! cancelRebuild.load())
    {
        if (messageLock.tryEnter())
        {
            struct Release
            {
                const juce::MessageManager::Lock& lock;
                ~Release() { lock.exit(); }
            } release { messageLock };

            action();
            return;
        }
    }

    juce::MessageManager::callAsync (std::move (action));
}

//==============================================================================
float SharedData::contrastFactor (float contrastAmount) noexcept
{
    const auto c = contrastAmount * 100.0f;
    return (c + 255.0f) * 259.0f / ((259.0f - c) * 255.0f);
}

void SharedData::adjustImage (juce::Image& image, float brightnessAmount, float contrastAmount, const std::atomic<bool>* cancelled)
{
    if (! image.isValid() || image.getFormat() == juce::Image::SingleChannel)
        return;

    const auto factor = contrastFactor (contrastAmount);
    const auto offset = brightnessAmount * 128.0f;

    juce::uint8 table[256];
    for (int v = 0; v < 256; ++v)
        table[v] = (juce::uint8) juce::jlimit (0.0f, 255.0f, ((float) v - 128.0f) * factor + 128.0f + offset);

    juce::Image::BitmapData data (image, juce::Image::BitmapData::readWrite);

    if (image.getFormat() == juce::Image::ARGB)
        adjustRows<juce::PixelARGB> (data, table, cancelled);
    else
        adjustRows<juce::PixelRGB> (data, table, cancelled);
}

} // namespace orvel
