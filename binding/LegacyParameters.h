#pragma once

// JUCE's own wrappers read a processor's parameters through this wrapper; it is a header in all
// but name (every member is defined in its class), so including it from more than one source
// file is safe.
#include <juce_audio_processors/juce_audio_processors.h>

#include <juce_audio_processors/format_types/juce_LegacyAudioParameter.cpp>
