#pragma once

#include <juce_graphics/juce_graphics.h>

/** A review picture of the whole skin, for people judging the artwork; it is
    not part of the build's output. */
namespace skin
{
struct ContactSheetOptions
{
    juce::File target;
    juce::File iconFolder; ///< the SVG icons; shown when set
    juce::File fontFolder; ///< holds OpenSans-Regular.ttf and OpenSans-Bold.ttf; JUCE's default font otherwise
};

/** Left: the window at twice its logical size, arranged as the editor places
    the images (labels, panels and grid drawn the editor's way). Right: every
    image on its own, film strips as a row of sample frames, and the icons. */
juce::Image renderContactSheet (const ContactSheetOptions& options);

/** Only the window part of the contact sheet, at twice the logical size. */
juce::Image renderWindowPreview (const ContactSheetOptions& options);
} // namespace skin
