#pragma once

#include "editor/OrvelLookAndFeel.h"

namespace orvel
{

/**
    The editor's look for JUCE's own file chooser window, which opens when the desktop offers no
    file dialog of its own (the usual case on Linux without zenity or kdialog): the editor's dark
    panel and label grey, light buttons and menus with dark text as in the editor's menus, the
    Open Sans faces, and a visible path box (the editor's own combo box draws no box).

    The dialog is a desktop window of its own, so it does not inherit the editor's look and
    feel: dress() hands it this one. Keep the object alive for as long as the dialog is.
*/
class FileDialogLookAndFeel : public OrvelLookAndFeel
{
public:
    FileDialogLookAndFeel();

    /** The editor's colours: panel 0xff2c2c2d, top-bar boxes 0xff232323, label grey. */
    static juce::LookAndFeel_V4::ColourScheme editorColourScheme();

    /** Gives `component` this look when it is JUCE's file chooser window; otherwise (a native
        dialog opened, or none) does nothing. Returns whether it did. */
    bool dress (juce::Component* component);

    void drawComboBox (juce::Graphics&, int width, int height, bool isButtonDown, int buttonX, int buttonY,
                       int buttonW, int buttonH, juce::ComboBox&) override;

    void drawFileBrowserRow (juce::Graphics&, int width, int height, const juce::File&, const juce::String& filename,
                             juce::Image* icon, const juce::String& fileSizeDescription,
                             const juce::String& fileTimeDescription, bool isDirectory, bool isItemSelected,
                             int itemIndex, juce::DirectoryContentsDisplayComponent&) override;
};

} // namespace orvel
