#include "AudioFileOutput.h"
#include "Commands.h"
#include "HostError.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

namespace wrendlehost
{

namespace
{
    constexpr double pi = 3.14159265358979323846;
    constexpr double leftHz = 110.0;
    constexpr double rightHz = 165.0;
    constexpr double quietestLevel = 0.05;
    constexpr double loudestLevel = 0.8;
    constexpr size_t framesPerWrite = 4096;

    /** The signal at one frame: two sines a fifth apart under one slow raised-cosine swell,
        so a level-dependent effect is heard at every strength in one pass. */
    void frameAt (size_t frame, size_t totalFrames, double sampleRateHz, float* stereo) noexcept
    {
        const double t = static_cast<double> (frame) / sampleRateHz;
        const double position = totalFrames > 1 ? static_cast<double> (frame) / static_cast<double> (totalFrames - 1) : 0.0;
        const double swell = quietestLevel + (loudestLevel - quietestLevel) * (0.5 - 0.5 * std::cos (2.0 * pi * position));
        stereo[0] = static_cast<float> (swell * std::sin (2.0 * pi * leftHz * t));
        stereo[1] = static_cast<float> (swell * std::sin (2.0 * pi * rightHz * t));
    }
} // namespace

int runGenerate (const GenerateOptions& options, std::ostream& out)
{
    const auto rateHz = static_cast<int> (std::lround (options.sampleRateHz));
    const auto totalFrames = static_cast<size_t> (std::llround (options.seconds * rateHz));

    TemporaryOutput output (options.outputPath);
    auto* file = output.open (2, rateHz);

    std::vector<float> block (framesPerWrite * 2);
    float peak = 0.0f;

    for (size_t start = 0; start < totalFrames; start += framesPerWrite)
    {
        const auto frames = std::min (framesPerWrite, totalFrames - start);

        for (size_t i = 0; i < frames; ++i)
        {
            frameAt (start + i, totalFrames, options.sampleRateHz, block.data() + 2 * i);
            peak = std::max ({ peak, std::abs (block[2 * i]), std::abs (block[2 * i + 1]) });
        }

        if (sf_writef_float (file, block.data(), static_cast<sf_count_t> (frames)) != static_cast<sf_count_t> (frames))
            throw failure ("cannot write '" + options.outputPath + "': " + sf_strerror (file));
    }

    output.commit();

    char summary[512];
    std::snprintf (summary, sizeof (summary),
                   "Wrote '%s': %.3f s of stereo test signal at %d Hz (%g Hz left, %g Hz right, swelling from %.2f to %.2f; "
                   "peak %.2f dBFS)",
                   options.outputPath.c_str(), static_cast<double> (totalFrames) / rateHz, rateHz, leftHz, rightHz,
                   quietestLevel, loudestLevel, peak > 0.0f ? 20.0 * std::log10 (peak) : -INFINITY);
    out << summary << "\n";
    return exitOk;
}

} // namespace wrendlehost
