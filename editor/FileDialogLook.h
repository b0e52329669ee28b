#pragma once

#include "editor/OrvelLookAndFeel.h"

#include <memory>

namespace orvel
{

/** The editor's look for JUCE's own file chooser window, which opens when the desktop offers
    no file dialog of its own (the usual case on Linux without zenity or kdialog): the editor's
    dark panel and label grey, light buttons and menus with dark text as in the editor's menus,
    Open Sans, and a visible path box. The dialog is a desktop window of its own, so it does not
    inherit the editor's look: dressFileDialog() hands it this one, which must outlive it. */
std::unique_ptr<OrvelLookAndFeel> makeFileDialogLook();

/** Gives `component` the look when it is JUCE's file chooser window; otherwise (a native dialog
    opened, or none) does nothing. Returns whether it did. */
bool dressFileDialog (juce::Component* component, OrvelLookAndFeel& look);

} // namespace orvel
