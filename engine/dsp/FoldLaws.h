#pragma once

namespace orvel
{

/** The fold chain's fixed numbers, each with the formula it belongs to, for
    the core and for the parameters' texts alike. */
namespace foldlaws
{
    /** Fold Amount (0..1) sets the folder's drive from 1 to 15, in a straight
        line; the parameter's text shows this drive. */
    constexpr float minimumDrive = 1.0f;
    constexpr float driveSpan = 14.0f;
    constexpr float driveForFoldAmount (float amount) noexcept
    {
        return amount * driveSpan + minimumDrive;
    }
    constexpr float foldAmountForDrive (float drive) noexcept
    {
        return (drive - minimumDrive) / driveSpan;
    }

    /** The envelope pushes the drive toward envelopeDriveCeiling (envelope
        above 0) or back toward minimumDrive (below 0), by the envelope's share
        (envelope × amount, limited to ±1). The ceiling lies above the drive
        Fold Amount can set, so the envelope can fold harder than the knob. */
    constexpr float envelopeDriveCeiling = 20.0f;

    /** The envelope hears the sum of the two channels times this: a signal at
        −14 dBFS on both channels (sum 0.4) already gives it its full share. */
    constexpr float envelopeInputGain = 2.5f;

    /** Feedback u (0..1) sets the feedback weight u³ × this: the cube gives the
        knob's lower half a fine touch; the loop-gain limit of the core bends the
        top of the range further. */
    constexpr float feedbackWeightScale = 0.94f;
    constexpr float feedbackWeightFor (float feedback) noexcept
    {
        return feedback * feedback * feedback * feedbackWeightScale;
    }

    /** The folder's input (with the feedback memory added) and the Inverted
        output are held within ±this, so a loop driven to its limit stays
        bounded: sin folds any value, but the memory added to it must not grow. */
    constexpr float foldInputLimit = 6.0f;

    /** The DC blocker after the folder: a high-pass at 1 / (2π × 10 ms). */
    constexpr float dcBlockerHz = 15.9f;

    /** The High Pass starts at its parameter's lowest setting, out of the way. */
    constexpr float highPassStartHz = 20.0f;
} // namespace foldlaws

} // namespace orvel
