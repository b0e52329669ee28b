#pragma once

#include <cmath>
#include <complex>
#include <vector>

namespace orvel::test
{

/** H (e^jw) of a finite impulse response at one frequency, summed in double. */
inline std::complex<double> responseAt (const std::vector<float>& impulseResponse, double frequencyHz, double sampleRate)
{
    const double w = 2.0 * 3.141592653589793238462643383279 * frequencyHz / sampleRate;
    double re = 0.0;
    double im = 0.0;

    for (size_t n = 0; n < impulseResponse.size(); ++n)
    {
        re += (double) impulseResponse[n] * std::cos (w * (double) n);
        im -= (double) impulseResponse[n] * std::sin (w * (double) n);
    }

    return { re, im };
}

/** |H (e^jw)| of a finite impulse response at one frequency. */
inline double magnitudeAt (const std::vector<float>& impulseResponse, double frequencyHz, double sampleRate)
{
    return std::abs (responseAt (impulseResponse, frequencyHz, sampleRate));
}

/** arg H (e^jw) in radians (−π..π) of a finite impulse response at one frequency. */
inline double phaseAt (const std::vector<float>& impulseResponse, double frequencyHz, double sampleRate)
{
    return std::arg (responseAt (impulseResponse, frequencyHz, sampleRate));
}

/** The impulse response of one channel of a per-sample processor. */
template <typename Process>
std::vector<float> impulseResponse (int length, Process&& process)
{
    std::vector<float> response ((size_t) length);

    for (int n = 0; n < length; ++n)
        response[(size_t) n] = process (n == 0 ? 1.0f : 0.0f);

    return response;
}

} // namespace orvel::test
