#include "binding/ClapBinding.h"

#include "binding/EditorWrapperComponent.h"
#include "binding/GuiSizing.h"
#include "binding/QueuedWindowEvents.h"

#include <climits>
#include <cstring>

#if JUCE_MAC
#include <objc/message.h>
#include <objc/runtime.h>
#endif

// The gui extension: the editor embedded in the host's window, its size and scale.

namespace clapbinding
{

namespace
{
    /** The host's native window as JUCE wants it, or null when the handle is not of this platform. */
    void* nativeHandleFor (const clap_window* window) noexcept
    {
        if (window == nullptr || window->api == nullptr)
            return nullptr;

#if JUCE_LINUX || JUCE_BSD
        if (std::strcmp (window->api, CLAP_WINDOW_API_X11) == 0)
            return reinterpret_cast<void*> (static_cast<juce::pointer_sized_uint> (window->x11));
#elif JUCE_MAC
        if (std::strcmp (window->api, CLAP_WINDOW_API_COCOA) == 0)
            return window->cocoa;
#elif JUCE_WINDOWS
        if (std::strcmp (window->api, CLAP_WINDOW_API_WIN32) == 0)
            return window->win32;
#endif
        return nullptr;
    }

#if JUCE_MAC
    /** JUCE 7 editors have no say in layer-backed views; they all render through Core Graphics. */
    bool editorWantsLayerBackedView (const juce::AudioProcessorEditor&) noexcept
    {
        return false;
    }

    /** Hosts' windows often ignore mouse moves, which hover effects in the editor need. */
    void acceptMouseMovedEvents (void* nsView) noexcept
    {
        using SendId = id (*) (id, SEL);
        using SendBool = void (*) (id, SEL, BOOL);
        const auto window = reinterpret_cast<SendId> (objc_msgSend) (static_cast<id> (nsView), sel_registerName ("window"));

        if (window != nullptr)
            reinterpret_cast<SendBool> (objc_msgSend) (window, sel_registerName ("setAcceptsMouseMovedEvents:"), YES);
    }
#endif
} // namespace

//==============================================================================
bool ClapBinding::implementsGui() const noexcept
{
    return processor->hasEditor();
}

bool ClapBinding::hasEditor() const noexcept
{
    return editorWrapper != nullptr && editorWrapper->getEditor() != nullptr;
}

bool ClapBinding::guiIsApiSupported (const char* api, bool isFloating) noexcept
{
    if (isFloating)
        return false;

    return std::strcmp (api, CLAP_WINDOW_API_WIN32) == 0 || std::strcmp (api, CLAP_WINDOW_API_COCOA) == 0
           || std::strcmp (api, CLAP_WINDOW_API_X11) == 0;
}

bool ClapBinding::guiCreate (const char*, bool isFloating) noexcept
{
    if (isFloating)
        return false;

    try
    {
        const juce::MessageManagerLock messageManagerLock;

        if (editorWrapper == nullptr)
            editorWrapper = std::make_unique<EditorWrapperComponent> (getHostInterfaces(), *this, idsByParameter);

        // A host that set its scale before this editor existed still gets it applied.
        editorWrapper->setEditor (processor->createEditorIfNeeded(), guiScale);
        return hasEditor();
    }
    catch (...)
    {
        return false;
    }
}

void ClapBinding::guiDestroy() noexcept
{
    // An open menu would otherwise outlive the window it belongs to.
    juce::PopupMenu::dismissAllActiveMenus();

    if (guiEventLoop != nullptr && parentAttached)
        guiEventLoop->guiDetached (getHostInterfaces());

    editorWrapper.reset();
    parentAttached = false;
}

bool ClapBinding::guiSetScale (double scale) noexcept
{
    // A zero, negative or non-finite scale would give the editor a transform it cannot invert.
    if (! (std::isfinite (scale) && scale > 0.0))
        return false;

    // Some hosts give percentages.
    guiScale = (float) (scale > 50.0 ? scale * 0.01 : scale);

    if (editorWrapper != nullptr)
        editorWrapper->rescale (guiScale);

    return true;
}

bool ClapBinding::guiGetSize (uint32_t* width, uint32_t* height) noexcept
{
    const juce::MessageManagerLock messageManagerLock;

    if (! hasEditor())
    {
        *width = 1000;
        *height = 800;
        return false;
    }

    *width = (uint32_t) juce::jmax (0, editorWrapper->getWidth());
    *height = (uint32_t) juce::jmax (0, editorWrapper->getHeight());
    return true;
}

bool ClapBinding::guiCanResize() noexcept
{
    return hasEditor() ? editorWrapper->getEditor()->isResizable() : true;
}

bool ClapBinding::guiGetResizeHints (clap_gui_resize_hints* hints) noexcept
{
    if (! hasEditor())
        return false;

    *hints = resizeHintsOf (*editorWrapper->getEditor());
    return true;
}

bool ClapBinding::guiAdjustSize (uint32_t* width, uint32_t* height) noexcept
{
    if (! hasEditor() || ! editorWrapper->getEditor()->isResizable())
        return false;

    const auto* constrainer = editorWrapper->getEditor()->getConstrainer();

    if (constrainer == nullptr)
        return true;

    const auto adjusted = adjustedHostSize (*constrainer, { (int64_t) *width, (int64_t) *height }, guiScale);
    *width = (uint32_t) juce::jmax (0, adjusted.x);
    *height = (uint32_t) juce::jmax (0, adjusted.y);
    return true;
}

bool ClapBinding::guiSetSize (uint32_t width, uint32_t height) noexcept
{
    if (! hasEditor() || ! editorWrapper->getEditor()->isResizable())
        return false;

    editorWrapper->setSize ((int) std::min<uint32_t> (width, INT_MAX), (int) std::min<uint32_t> (height, INT_MAX));
    return true;
}

bool ClapBinding::guiSetParent (const clap_window* window) noexcept
{
    // A handle of another platform's window system must never reach this one's.
    auto* nativeParent = nativeHandleFor (window);

    if (nativeParent == nullptr || editorWrapper == nullptr)
        return false;

    try
    {
        const juce::MessageManagerLock messageManagerLock;

        // A host may move the GUI to another window; the event loop hears of it as a new attachment.
        if (guiEventLoop != nullptr && parentAttached)
            guiEventLoop->guiDetached (getHostInterfaces());

        parentAttached = true;

        int styleFlags = juce::ComponentPeer::windowIgnoresKeyPresses;

#if JUCE_MAC
        if (auto* editor = editorWrapper->getEditor(); editor == nullptr || ! editorWantsLayerBackedView (*editor))
            styleFlags |= juce::ComponentPeer::windowRequiresSynchronousCoreGraphicsRendering;
#endif

        editorWrapper->addToDesktop (styleFlags, nativeParent);
        editorWrapper->setVisible (true);
        editorWrapper->toFront (false);

#if JUCE_MAC
        acceptMouseMovedEvents (nativeParent);
#endif

        if (guiEventLoop != nullptr)
            guiEventLoop->guiAttached (getHostInterfaces());

        return true;
    }
    catch (...)
    {
        return false;
    }
}

bool ClapBinding::guiShow() noexcept
{
    // Visibility is the host's business: its window shows and hides the holder with it.
    if (! hasEditor() || ! parentAttached)
        return false;

    // The first frame goes out now rather than at the next timer tick of the host's loop.
    if (auto* peer = editorWrapper->getPeer())
    {
        peer->performAnyPendingRepaintsNow();
        flushWindowSystem();
    }

    return true;
}

} // namespace clapbinding
