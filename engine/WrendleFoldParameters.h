#pragma once

#include "engine/parameters/OrvelParameters.h"

namespace wrendle
{

/** Indexes of the sixteen parameters: the order in which they are created, which
    the host binding, the state format and the editor all rely on. */
enum ParameterIndex
{
    foldAmountIndex = 0,
    feedbackIndex,
    feedbackLowPassIndex,
    highPassIndex,
    lowPassIndex,
    envelopeAttackIndex,
    envelopeReleaseIndex,
    envelopeAmountIndex,
    inputIndex,
    outputIndex,
    mixIndex,
    oversamplingIndex,
    prePostIndex,
    softClipIndex,
    bypassIndex,
    autoGainIndex,
    numParameters
};

/** Non-owning handles to the parameters; juce::AudioProcessor owns them. */
struct WrendleFoldParameters
{
    orvel::OrvelParameterFloat* foldAmount = nullptr;
    orvel::OrvelParameterFloat* feedback = nullptr;
    orvel::OrvelParameterFloat* feedbackLowPass = nullptr;
    orvel::OrvelParameterFloat* highPass = nullptr;
    orvel::OrvelParameterFloat* lowPass = nullptr;
    orvel::OrvelParameterFloat* envelopeAttack = nullptr;
    orvel::OrvelParameterFloat* envelopeRelease = nullptr;
    orvel::OrvelParameterFloat* envelopeAmount = nullptr;
    orvel::OrvelParameterFloat* input = nullptr;
    orvel::OrvelParameterFloat* output = nullptr;
    orvel::OrvelParameterFloat* mix = nullptr;
    orvel::OrvelParameterChoice* oversampling = nullptr;
    orvel::OrvelParameterBool* prePost = nullptr;
    orvel::OrvelParameterBool* softClip = nullptr;
    orvel::OrvelParameterBool* bypass = nullptr;
    orvel::OrvelParameterBool* autoGain = nullptr;

    /** Creates the sixteen parameters in index order and adds them to the processor. */
    void createAndAdd (juce::AudioProcessor& processor, const orvel::ParameterChangeCallback& onChange);

    /** Every float parameter, in index order. */
    std::array<orvel::OrvelParameterFloat*, 11> floats() const noexcept;
    /** Every switch, in index order. */
    std::array<orvel::OrvelParameterBool*, 4> switches() const noexcept;
};

/** The limits of the Input and Output gains: -24 dB and +24 dB as linear gain. */
constexpr float minimumGain = 0.06309600174427032f;
constexpr float maximumGain = 15.848932266235352f;

} // namespace wrendle
