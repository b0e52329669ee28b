#pragma once

#include <juce_graphics/juce_graphics.h>

/** Every colour of the skin artwork, in one place so the look can be retuned
    without touching the drawing code.

    The panel is a dark, slightly cool grey; light greys carry text and glyphs
    (they match the editor's 0xffd2d2d2 controls and 0xffb5b5b5 labels); a warm
    amber marks everything that is "on": value arcs, lit buttons, the lock. */
namespace skin::palette
{
// Panel
inline const juce::Colour panelTop { 0xff34373a };
inline const juce::Colour panelBottom { 0xff27292b };
inline const juce::Colour topBarTop { 0xff1e1f21 };
inline const juce::Colour topBarBottom { 0xff18191a };
inline const juce::Colour engraveShadow { 0xff131415 };
inline const juce::Colour engraveHighlight { 0xff4a4d51 };
inline const juce::Colour screenBlack { 0xff121313 };

// Metal (screws, bezels, knob skirts)
inline const juce::Colour metalLight { 0xff5a5e63 };
inline const juce::Colour metalMid { 0xff3a3d41 };
inline const juce::Colour metalDark { 0xff1c1d1f };
inline const juce::Colour metalEdge { 0xff0b0c0d };

// Dark knob caps
inline const juce::Colour capDarkTop { 0xff3b3e42 };
inline const juce::Colour capDarkBottom { 0xff202224 };

// Light ("white") knob caps
inline const juce::Colour capLightTop { 0xfff2f2f0 };
inline const juce::Colour capLightBottom { 0xffb9bab9 };
inline const juce::Colour skirtLightTop { 0xffd9dad8 };
inline const juce::Colour skirtLightBottom { 0xff8e8f8f };

// Knob scales and indicators
inline const juce::Colour arcTrack { 0xff111213 };
inline const juce::Colour scaleTick { 0xff8d9196 };
inline const juce::Colour pointerLight { 0xfff1f1ef };
inline const juce::Colour pointerDark { 0xff1f2022 };

// Accents
inline const juce::Colour amber { 0xfff2a93b };
inline const juce::Colour amberDim { 0xff4a3518 };
inline const juce::Colour ice { 0xff8cc8e6 };

// Glyphs (top bar, buttons)
inline const juce::Colour glyphOff { 0xff8f9398 };
inline const juce::Colour glyphOn { 0xfff2a93b };
inline const juce::Colour glyphOutline { 0xff0d0e0f };
} // namespace skin::palette
