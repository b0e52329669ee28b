#pragma once

#include "binding/EditorHostContext.h"

#include "binding/clapcheck/HostInterfaces.h"

#include <juce_audio_processors/juce_audio_processors.h>

#include <memory>
#include <unordered_map>

namespace clapbinding
{

class ClapBinding;

/**
    The opaque component the binding places in the host's window; it owns the processor's editor
    and keeps the two sizes in step.

    Sizes are kept in holder coordinates (host pixels). The editor carries the host's GUI scale as
    a transform, so its own bounds are converted both ways (rounded, see toHostPixels()). Two guards stop the
    resize ping-pong: while the holder resizes the editor (`resizingEditor`) it ignores the
    editor's bounds changes, and while the holder's own size is set from outside
    (`sizingFromHost`) it does not push that size back into the editor.

    Main thread only.
*/
class EditorWrapperComponent : public juce::Component
{
public:
    EditorWrapperComponent (const clapcheck::HostInterfaces& host,
                            ClapBinding& binding,
                            const std::unordered_map<juce::AudioProcessorParameter*, clap_id>& parameterIds);
    ~EditorWrapperComponent() override;

    /** Takes the editor (replacing and deleting any previous one, unless it is the same), gives it
        a fresh host context and the host's scale, shows it at the origin and sizes the holder to
        it. */
    void setEditor (juce::AudioProcessorEditor* newEditor, float scale = 1.0f);

    juce::AudioProcessorEditor* getEditor() const noexcept { return editor.get(); }
    EditorHostContext* getHostContext() const noexcept { return hostContext.get(); }

    /** Applies a new scale to the editor, which keeps its own size (the user's choice), and asks
        the host to resize to what the editor then occupies: twice the pixels at scale 2. */
    void rescale (float scale);

    /** Asks the host for the size and takes it, without pushing it back into the editor. */
    void requestResize (int width, int height);

    juce::Rectangle<int> getEditorBoundsInHolder() const;
    int getLastKnownWidth() const noexcept { return lastWidth; }
    int getLastKnownHeight() const noexcept { return lastHeight; }

    void paint (juce::Graphics& g) override;
    void resized() override;
    void childBoundsChanged (juce::Component* child) override;

private:
    void storeLastKnownSize (juce::Rectangle<int> bounds) noexcept;

    const clapcheck::HostInterfaces& host;
    ClapBinding& binding;
    const std::unordered_map<juce::AudioProcessorParameter*, clap_id>& parameterIds;
    std::unique_ptr<juce::AudioProcessorEditor> editor;
    std::unique_ptr<EditorHostContext> hostContext;
    float hostScale = 1.0f;
    int lastWidth = 0;
    int lastHeight = 0;
    bool resizingEditor = false;
    bool sizingFromHost = false;

    JUCE_DECLARE_NON_COPYABLE (EditorWrapperComponent)
};

} // namespace clapbinding
