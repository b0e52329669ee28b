#include "editor/WrendleFoldEditor.h"

#include "editor/EditorSettings.h"
#include "editor/OrvelLookAndFeel.h"
#include "editor/WrendleFoldPluginWindow.h"
#include "plugin/WrendleFoldProcessor.h"

WrendleFoldEditor::WrendleFoldEditor (WrendleFoldProcessor& p)
    : juce::AudioProcessorEditor (p), processor (&p)
{
    setLookAndFeel (&p.getLookAndFeel());

    setResizable (true, true);
    setResizeLimits (minimumWidth, minimumHeight, maximumWidth, maximumHeight);
    if (auto* constrainer = getConstrainer())
        constrainer->setFixedAspectRatio ((double) logicalWidth / (double) logicalHeight);

    const auto scale = orvel::editorSettingsOf (p).windowSize;
    setSize ((int) (logicalWidth * scale), (int) (logicalHeight * scale));
    setOpaque (true);

    mainWindow = std::make_unique<WrendleFoldPluginWindow> (p, this);
    addAndMakeVisible (*mainWindow);
    resized();

    // The editor sees every press in the window and on the resizer.
    if (resizableCorner != nullptr)
        resizableCorner->addMouseListener (this, true);
    mainWindow->addMouseListener (this, true);
}

WrendleFoldEditor::~WrendleFoldEditor()
{
    stopTimer();

    if (resizableCorner != nullptr)
        resizableCorner->removeMouseListener (this);

    mainWindow.reset();
    orvel::saveEditorSettings (*processor);
    setLookAndFeel (nullptr);
}

void WrendleFoldEditor::paint (juce::Graphics& g)
{
    // Only visible while the host's frame is larger than the scaled window.
    g.fillAll (juce::Colour (0xff2c2c2d));
}

void WrendleFoldEditor::resized()
{
    if (mainWindow == nullptr)
        return;

    const auto scale = juce::jlimit (0.5, 2.0, (double) getWidth() / (double) logicalWidth);
    orvel::editorSettingsOf (*processor).windowSize = scale;

    mainWindow->setTransform (juce::AffineTransform::scale ((float) scale));
    mainWindow->setTopLeftPosition (0, 0);

    if (! isTimerRunning())
        startTimer (saveDelayMs);
}

void WrendleFoldEditor::mouseDown (const juce::MouseEvent& e)
{
    if (e.getNumberOfClicks() > 1 && resizableCorner != nullptr && e.eventComponent == resizableCorner.get())
        startTimer (resetDelayMs);
}

void WrendleFoldEditor::timerCallback()
{
    if (getTimerInterval() == resetDelayMs)
    {
        orvel::editorSettingsOf (*processor).windowSize = 1.0;
        setSize (logicalWidth, logicalHeight);
        resized();
        repaint();

        if (mainWindow != nullptr)
            mainWindow->repaint();
    }

    orvel::saveEditorSettings (*processor);
    stopTimer();
}
