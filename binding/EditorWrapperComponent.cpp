#include "binding/EditorWrapperComponent.h"

#include "binding/ClapBinding.h"
#include "binding/GuiSizing.h"

namespace clapbinding
{

EditorWrapperComponent::EditorWrapperComponent (const clapcheck::HostInterfaces& hostToUse,
                                                ClapBinding& owner,
                                                const std::unordered_map<juce::AudioProcessorParameter*, clap_id>& ids)
    : host (hostToUse), binding (owner), parameterIds (ids)
{
    setOpaque (true);
}

EditorWrapperComponent::~EditorWrapperComponent()
{
    // The editor goes first: it may still refer to its host context while it is torn down.
    editor.reset();
    hostContext.reset();
}

void EditorWrapperComponent::setEditor (juce::AudioProcessorEditor* newEditor, float scale)
{
    if (newEditor != editor.get())
    {
        editor.reset();
        editor.reset (newEditor);
    }

    if (editor == nullptr)
        return;

    // The editor switches to the new context before the old one is deleted.
    auto newContext = std::make_unique<EditorHostContext> (host, parameterIds);
    editor->setHostContext (newContext.get());
    hostContext = std::move (newContext);

    hostScale = scale;
    editor->setScaleFactor (scale);
    addAndMakeVisible (*editor);
    editor->setTopLeftPosition (0, 0);

    const auto bounds = getEditorBoundsInHolder();
    storeLastKnownSize (bounds);

    const juce::ScopedValueSetter<bool> fromHost (sizingFromHost, true);
    setSize (bounds.getWidth(), bounds.getHeight());
}

juce::Rectangle<int> EditorWrapperComponent::getEditorBoundsInHolder() const
{
    if (editor == nullptr)
        return {};

    const auto size = toHostPixels ({ editor->getWidth(), editor->getHeight() }, hostScale);
    return { editor->getX(), editor->getY(), size.x, size.y };
}

void EditorWrapperComponent::storeLastKnownSize (juce::Rectangle<int> bounds) noexcept
{
    lastWidth = bounds.getWidth();
    lastHeight = bounds.getHeight();
}

void EditorWrapperComponent::paint (juce::Graphics& g)
{
    // Never visible while the editor covers the holder; red makes a gap obvious when it doesn't.
    g.fillAll (juce::Colour (0xffff0000));
}

void EditorWrapperComponent::resized()
{
    if (editor == nullptr || sizingFromHost)
        return;

    const auto holderBounds = getLocalBounds();
    {
        const juce::ScopedValueSetter<bool> resizing (resizingEditor, true);
        const auto size = toEditorUnits ({ holderBounds.getWidth(), holderBounds.getHeight() }, hostScale);
        editor->setBounds (0, 0, size.x, size.y);
    }
    storeLastKnownSize (holderBounds);
}

void EditorWrapperComponent::childBoundsChanged (juce::Component* child)
{
    if (resizingEditor || editor == nullptr || child != editor.get())
        return;

    const auto bounds = getEditorBoundsInHolder();

    if (bounds.getWidth() == lastWidth && bounds.getHeight() == lastHeight)
        return;

    requestResize (bounds.getWidth(), bounds.getHeight());
    repaint();
    storeLastKnownSize (bounds);
}

void EditorWrapperComponent::requestResize (int width, int height)
{
    const juce::ScopedValueSetter<bool> fromHost (sizingFromHost, true);
    host.guiRequestResize ((uint32_t) juce::jmax (0, width), (uint32_t) juce::jmax (0, height));
    setSize (width, height);
}

void EditorWrapperComponent::rescale (float scale)
{
    if (editor == nullptr)
        return;

    // The editor's own size is the user's window size; the host's scale only multiplies it.
    // Fitting the editor into the holder's old pixels instead would store the scale's inverse
    // as the user's size.
    {
        const juce::ScopedValueSetter<bool> resizing (resizingEditor, true);
        hostScale = scale;
        editor->setScaleFactor (scale);
    }

    const auto bounds = getEditorBoundsInHolder();
    storeLastKnownSize (bounds);
    requestResize (bounds.getWidth(), bounds.getHeight());
    repaint();
}

} // namespace clapbinding
