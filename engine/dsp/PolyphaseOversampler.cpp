#include "engine/dsp/PolyphaseOversampler.h"
#include "engine/dsp/HotLoop.h"

#include <juce_dsp/juce_dsp.h>

#include <cmath>
#include <stdexcept>
#include <type_traits>

namespace orvel
{
namespace
{
    // The product's stages: transition width and stop-band attenuation on the
    // way up, then on the way down.
    constexpr float transitionWidthUp = 0.05f;
    constexpr float stopBandDbUp = -90.0f;
    constexpr float transitionWidthDown = 0.05f;
    constexpr float stopBandDbDown = -80.0f;

    using Design = juce::dsp::FilterDesign<float>;

    // Polynomial::getOrder() is not const, hence the non-const locals below.
    /** The single high-order filter equivalent to a polyphase allpass
        structure, formed exactly as juce::dsp::Oversampling forms it to
        measure its latency, so the measured latency is bit for bit the same. */
    juce::dsp::IIR::Coefficients<float> equivalentFilter (const Design::IIRPolyphaseAllpassStructure& structure)
    {
        using Poly = juce::dsp::Polynomial<float>;
        constexpr auto one = 1.0f;

        const auto multiplyOut = [] (const auto& path, Poly& numerator, Poly& denominator)
        {
            for (auto* section : path)
            {
                const auto* c = section->getRawCoefficients();

                if (section->getFilterOrder() == 1)
                {
                    numerator = numerator.getProductWith (Poly ({ c[0], c[1] }));
                    denominator = denominator.getProductWith (Poly ({ one, c[2] }));
                }
                else
                {
                    numerator = numerator.getProductWith (Poly ({ c[0], c[1], c[2] }));
                    denominator = denominator.getProductWith (Poly ({ one, c[3], c[4] }));
                }
            }
        };

        Poly numerator1 ({ one }), denominator1 ({ one }), numerator2 ({ one }), denominator2 ({ one });
        multiplyOut (structure.directPath, numerator1, denominator1);
        multiplyOut (structure.delayedPath, numerator2, denominator2);

        auto numerator = numerator1.getProductWith (denominator2).getSumWith (numerator2.getProductWith (denominator1));
        auto denominator = denominator1.getProductWith (denominator2);

        juce::dsp::IIR::Coefficients<float> result;
        result.coefficients.clear();
        const auto inversion = one / denominator[0];

        for (int i = 0; i <= numerator.getOrder(); ++i)
            result.coefficients.add (numerator[i] * inversion);

        for (int i = 1; i <= denominator.getOrder(); ++i)
            result.coefficients.add (denominator[i] * inversion);

        return result;
    }

    /** Group delay at (almost) DC in samples of the doubled rate. */
    double groupDelayAtDc (const Design::IIRPolyphaseAllpassStructure& structure)
    {
        constexpr double frequency = 0.0001;
        return -(equivalentFilter (structure).getPhaseForFrequency (frequency, 1.0)) / (frequency * juce::MathConstants<double>::twoPi);
    }

    /** The allpass coefficients of one path: the structure's delayed path
        starts with a pure one-sample delay, which the polyphase form gets for
        free and which is skipped here. */
    std::vector<float> pathCoefficients (const juce::ReferenceCountedArray<juce::dsp::IIR::Coefficients<float>>& path, int first)
    {
        std::vector<float> alphas;
        for (int i = first; i < path.size(); ++i)
            alphas.push_back (path.getObjectPointer (i)->coefficients[0]);
        return alphas;
    }

    /** Calls fn (std::integral_constant<int, count>) for a count of 0..max. */
    template <int max, int n = 0, typename Fn>
    void withConstant (int count, Fn&& fn)
    {
        if constexpr (n <= max)
        {
            if (count == n)
                fn (std::integral_constant<int, n> {});
            else
                withConstant<max, n + 1> (count, fn);
        }
    }

    /** The cascade of first-order allpasses (in z², at the doubled rate) of
        one path, held in local copies so the memories stay in registers for
        a whole block. Per section: y = alpha × x + s; s = x − alpha × y. */
    template <int sections, typename Path>
    struct Cascade
    {
        std::array<Float4, (size_t) sections> alphas, memories;

        explicit Cascade (const Path& path) noexcept
        {
            for (size_t j = 0; j < (size_t) sections; ++j)
            {
                alphas[j] = path.coefficients[j];
                memories[j] = path.memories[j];
            }
        }

        void storeInto (Path& path) const noexcept
        {
            for (size_t j = 0; j < (size_t) sections; ++j)
                path.memories[j] = memories[j];
        }

        Float4 section (size_t j, Float4 x) noexcept
        {
            const auto y = alphas[j] * x + memories[j];
            memories[j] = x - alphas[j] * y;
            return y;
        }

        Float4 operator() (Float4 x) noexcept
        {
            for (size_t j = 0; j < (size_t) sections; ++j)
                x = section (j, x);
            return x;
        }

        /** The two-channel form: the delayed path (lanes 2 and 3) skips the
            last section when it is one section shorter than the direct one. */
        template <bool delayedShorter>
        Float4 combined (Float4 x, Float4 directLanes) noexcept
        {
            if constexpr (! delayedShorter || sections == 0)
                return (*this) (x);
            else
            {
                for (size_t j = 0; j + 1 < (size_t) sections; ++j)
                    x = section (j, x);
                return select (directLanes, section ((size_t) sections - 1, x), x);
            }
        }
    };

    /** Calls fn (directSections, delayedSections) with both counts as
        std::integral_constant, so each kernel is compiled for its cascade
        and keeps the filter memories in registers for a whole block. The
        delayed path has as many sections as the direct one, or one fewer. */
    template <typename Filter, typename Fn>
    void withSectionCounts (const Filter& filter, Fn&& fn)
    {
        const bool delayedShorter = filter.delayed.numSections < filter.direct.numSections;

        withConstant<PolyphaseOversampler<2>::maxSections> (filter.direct.numSections, [&] (auto direct)
                                                            {
            constexpr int count = decltype (direct)::value;
            if (delayedShorter)
                fn (direct, std::integral_constant<int, count == 0 ? 0 : count - 1>{});
            else
                fn (direct, direct); });
    }

    const Float4 half = Float4::broadcast (0.5f);
} // namespace

//==============================================================================
template <int channelCount>
PolyphaseOversampler<channelCount>::PolyphaseOversampler (int numStages)
{
    numStages = juce::jlimit (0, maxStages, numStages);
    stages.resize ((size_t) numStages);

    const auto fillPath = [] (auto& path, const std::vector<float>& alphas)
    {
        if (alphas.size() > (size_t) maxSections)
            throw std::length_error ("allpass path longer than PolyphaseOversampler::maxSections");

        path.numSections = (int) alphas.size();
        for (size_t j = 0; j < alphas.size(); ++j)
            path.coefficients[j] = Float4::broadcast (alphas[j]);
    };

    const auto design = [&] (Filter& filter, float transitionWidth, float stopBandDb)
    {
        const auto structure = Design::designIIRLowpassHalfBandPolyphaseAllpassMethod (transitionWidth, stopBandDb);
        const auto direct = pathCoefficients (structure.directPath, 0);
        const auto delayed = pathCoefficients (structure.delayedPath, 1);
        fillPath (filter.direct, direct);
        fillPath (filter.delayed, delayed);

        // Two channels: direct coefficients in lanes 0 and 1, delayed in 2 and 3.
        filter.combined.numSections = filter.direct.numSections;
        for (size_t j = 0; j < direct.size(); ++j)
        {
            const auto alpha = j < delayed.size() ? delayed[j] : 0.0f;
            filter.combined.coefficients[j] = Float4::lanes (direct[j], direct[j], alpha, alpha);
        }

        return groupDelayAtDc (structure);
    };

    // The latency as juce::dsp::Oversampling adds it up, in the same float steps.
    float uncompensated = 0.0f;
    float order = 1.0f;

    for (auto& stage : stages)
    {
        auto stageLatency = (float) design (stage.up, transitionWidthUp, stopBandDbUp);
        stageLatency += (float) design (stage.down, transitionWidthDown, stopBandDbDown);
        order *= 2.0f;
        uncompensated += stageLatency / order;
    }

    fractionalDelay = 1.0f - (uncompensated - std::floor (uncompensated));
    if (fractionalDelay == 1.0f)
        fractionalDelay = 0.0f;
    else if (fractionalDelay < 0.618f)
        fractionalDelay += 1.0f;

    latencySamples = uncompensated + fractionalDelay;

    // juce::dsp::DelayLine's Thiran set-up for this delay: the whole part goes
    // into the fraction whenever that keeps the fraction at 0.618 or more.
    auto delayWhole = (int) std::floor (fractionalDelay);
    auto delayFraction = fractionalDelay - (float) delayWhole;
    if (delayFraction < 0.618f && delayWhole >= 1)
        delayFraction += 1.0f;
    thiranAlpha = Float4::broadcast ((1.0f - delayFraction) / (1.0f + delayFraction));
}

template <int channelCount>
void PolyphaseOversampler<channelCount>::prepare (int maximumBlockFrames)
{
    maximumFrames = juce::jmax (1, maximumBlockFrames);
    baseFrames.assign ((size_t) (maximumFrames * numChannels), 0.0f);

    size_t frames = (size_t) maximumFrames;
    for (auto& stage : stages)
    {
        frames *= 2;
        stage.frames.assign (frames * numChannels, 0.0f);
    }

    reset();
}

template <int channelCount>
void PolyphaseOversampler<channelCount>::reset() noexcept
{
    for (auto& stage : stages)
        for (auto* filter : { &stage.up, &stage.down })
        {
            for (auto* path : { &filter->direct, &filter->delayed, &filter->combined })
                path->memories.fill (Float4());
            filter->delayedOutput = Float4();
        }

    thiranInput = thiranOutput = Float4();
}

template <int channelCount>
float* PolyphaseOversampler<channelCount>::processUp (const float* const* channels, int numFrames) noexcept
{
    return upsample (channels, numFrames);
}

template <int channelCount>
void PolyphaseOversampler<channelCount>::processDown (float* const* channels, int numFrames) noexcept
{
    downsample (channels, numFrames);
}

// The stereo round trip is the one the fold chain runs: its entry points get
// the second body of HotLoop.h. A member of a class template cannot carry one,
// so the two-channel entry points are explicit specialisations, which can.
template <>
ORVEL_HOT_LOOP float* PolyphaseOversampler<2>::processUp (const float* const* channels, int numFrames) noexcept
{
    return upsample (channels, numFrames);
}

template <>
ORVEL_HOT_LOOP void PolyphaseOversampler<2>::processDown (float* const* channels, int numFrames) noexcept
{
    downsample (channels, numFrames);
}

template <int channelCount>
float* PolyphaseOversampler<channelCount>::upsample (const float* const* channels, int numFrames) noexcept
{
    if (maximumFrames == 0)
        return nullptr;

    numFrames = juce::jlimit (0, maximumFrames, numFrames);

    for (int i = 0; i < numFrames; ++i)
        for (int c = 0; c < numChannels; ++c)
            baseFrames[(size_t) (i * numChannels + c)] = channels[c][i];

    const float* input = baseFrames.data();
    int frames = numFrames;

    for (auto& stage : stages)
    {
        runUp (stage, input, frames);
        input = stage.frames.data();
        frames *= 2;
    }

    return getOversampledFrames();
}

template <int channelCount>
void PolyphaseOversampler<channelCount>::downsample (float* const* channels, int numFrames) noexcept
{
    if (maximumFrames == 0)
        return;

    numFrames = juce::jlimit (0, maximumFrames, numFrames);

    for (int s = (int) stages.size() - 1; s >= 0; --s)
    {
        auto* output = s > 0 ? stages[(size_t) s - 1].frames.data() : baseFrames.data();
        runDown (stages[(size_t) s], output, numFrames << s);
    }

    const auto* frames = baseFrames.data();

    if (fractionalDelay <= 0.0f)
    {
        for (int i = 0; i < numFrames; ++i)
            for (int c = 0; c < numChannels; ++c)
                channels[c][i] = frames[i * numChannels + c];
        return;
    }

    auto input = thiranInput;
    auto output = thiranOutput;

    for (int i = 0; i < numFrames; ++i)
    {
        const auto x = numChannels == 4 ? Float4::load (frames + 4 * i) : Float4::loadPairTwice (frames + 2 * i);
        output = input + thiranAlpha * (x - output);
        input = x;

        for (int c = 0; c < numChannels; ++c)
            channels[c][i] = output.lane (c);
    }

    thiranInput = input;
    thiranOutput = output;
}

template <int channelCount>
void PolyphaseOversampler<channelCount>::runUp (Stage& stage, const float* input, int inputFrames) noexcept
{
    auto& filter = stage.up;
    float* output = stage.frames.data();

    withSectionCounts (filter, [&] (auto directSections, auto delayedSections)
                       {
        if constexpr (numChannels == 2)
        {
            constexpr bool delayedShorter = delayedSections.value < directSections.value;
            const auto directLanes = Float4::lanes (1.0f, 1.0f, 0.0f, 0.0f) > Float4();
            Cascade<directSections.value, Path> cascade (filter.combined);

            // One input frame, duplicated, gives output frames 2i (direct) and 2i + 1 (delayed).
            for (int i = 0; i < inputFrames; ++i)
                cascade.template combined<delayedShorter> (Float4::loadPairTwice (input + 2 * i), directLanes).store (output + 4 * i);

            cascade.storeInto (filter.combined);
        }
        else
        {
            Cascade<directSections.value, Path> direct (filter.direct);
            Cascade<delayedSections.value, Path> delayed (filter.delayed);

            for (int i = 0; i < inputFrames; ++i)
            {
                const auto x = Float4::load (input + 4 * i);
                direct (x).store (output + 8 * i);
                delayed (x).store (output + 8 * i + 4);
            }

            direct.storeInto (filter.direct);
            delayed.storeInto (filter.delayed);
        } });

    snapMemoriesToZero (filter);
}

template <int channelCount>
void PolyphaseOversampler<channelCount>::runDown (Stage& stage, float* output, int outputFrames) noexcept
{
    auto& filter = stage.down;
    const float* input = stage.frames.data();

    withSectionCounts (filter, [&] (auto directSections, auto delayedSections)
                       {
        auto previous = filter.delayedOutput;

        if constexpr (numChannels == 2)
        {
            constexpr bool delayedShorter = delayedSections.value < directSections.value;
            const auto directLanes = Float4::lanes (1.0f, 1.0f, 0.0f, 0.0f) > Float4();
            Cascade<directSections.value, Path> cascade (filter.combined);

            // Frames 2i and 2i + 1 in one vector: even samples through the
            // direct path (lanes 0, 1), odd ones through the delayed path (2, 3).
            for (int i = 0; i < outputFrames; ++i)
            {
                const auto paths = cascade.template combined<delayedShorter> (Float4::load (input + 4 * i), directLanes);
                ((Float4::highHalfTwice (previous) + paths) * half).storeLowPair (output + 2 * i);
                previous = paths;
            }

            cascade.storeInto (filter.combined);
        }
        else
        {
            Cascade<directSections.value, Path> direct (filter.direct);
            Cascade<delayedSections.value, Path> delayed (filter.delayed);

            for (int i = 0; i < outputFrames; ++i)
            {
                const auto directOut = direct (Float4::load (input + 8 * i));
                ((previous + directOut) * half).store (output + 4 * i);
                previous = delayed (Float4::load (input + 8 * i + 4));
            }

            direct.storeInto (filter.direct);
            delayed.storeInto (filter.delayed);
        }

        filter.delayedOutput = previous; });

    snapMemoriesToZero (filter);
}

template <int channelCount>
void PolyphaseOversampler<channelCount>::snapMemoriesToZero (Filter& filter) noexcept
{
    // JUCE flushes the allpass memories to zero after every block (on Intel,
    // with JUCE_DSP_ENABLE_SNAP_TO_ZERO); doing the same keeps the outputs equal.
    for (auto* path : { &filter.direct, &filter.delayed, &filter.combined })
        for (auto& memory : path->memories)
        {
            alignas (16) float values[4];
            memory.store (values);
            for (auto& value : values)
                juce::dsp::util::snapToZero (value);
            memory = Float4::load (values);
        }
}

template class PolyphaseOversampler<2>;
template class PolyphaseOversampler<4>;

} // namespace orvel
