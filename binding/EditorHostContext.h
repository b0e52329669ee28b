#pragma once

#include "binding/clapcheck/ContextMenuBuilder.h"
#include "binding/clapcheck/HostInterfaces.h"

#include <juce_audio_processors/juce_audio_processors.h>

#include <unordered_map>
#include <vector>

namespace clapbinding
{

/**
    Builds a juce::PopupMenu from the items a host's context-menu populate() adds.

    Every entry's action asks the host to perform the entry's action id for the menu's target.
    The actions keep their own copy of the target, because JUCE may run a menu action after the
    object that built the menu has gone.

    Pitfall: a host may nest sub-menus; each end closes the innermost open one (a stack of
    labels, not a single slot), and an end without a matching begin is ignored.
*/
class MenuBuilder : public clapcheck::ContextMenuBuilder
{
public:
    MenuBuilder (const clapcheck::HostInterfaces& host, const clap_context_menu_target_t& target);

    /** Forgets every item, ready for another populate(). */
    void clear();

    /** The menu built so far; sub-menus still open are closed into it. */
    juce::PopupMenu getResult() const;

protected:
    bool addItem (clap_context_menu_item_kind_t kind, const void* itemData) noexcept override;
    bool supports (clap_context_menu_item_kind_t) noexcept override { return true; }

private:
    struct OpenSubMenu
    {
        juce::PopupMenu menu;
        juce::String label;
        bool enabled = true;
    };

    void addEntry (const char* label, bool enabled, bool checked, clap_id actionId);

    const clapcheck::HostInterfaces& host;
    const clap_context_menu_target_t* target;
    int itemCounter = 0;
    juce::PopupMenu rootMenu;
    std::vector<OpenSubMenu> openSubMenus;
};

/** The host's menu for one target (the whole plug-in or one parameter), offered to the editor. */
class EditorContextMenu : public juce::HostProvidedContextMenu
{
public:
    EditorContextMenu (const clapcheck::HostInterfaces& host, clap_context_menu_target_t target);

    /** Asks the host to populate the menu and returns what it added. */
    juce::PopupMenu getEquivalentPopupMenu() const override;

    /** Asks the host to show its own menu at the position, when it can. */
    void showNativeMenu (juce::Point<int> position) const override;

    const clap_context_menu_target_t& getTarget() const noexcept { return target; }

private:
    const clapcheck::HostInterfaces& host;
    clap_context_menu_target_t target;
    mutable MenuBuilder builder;
};

/** What the editor reaches through getHostContext(): the host's context menus, when the host
    offers a complete context-menu interface. */
class EditorHostContext : public juce::AudioProcessorEditorHostContext
{
public:
    EditorHostContext (const clapcheck::HostInterfaces& host,
                       const std::unordered_map<juce::AudioProcessorParameter*, clap_id>& parameterIds);

    /** A menu for the parameter, or for the whole plug-in when the parameter is null; null when
        the host has no complete context-menu interface (an incomplete one is reported). */
    std::unique_ptr<juce::HostProvidedContextMenu>
    getContextMenuForParameter (const juce::AudioProcessorParameter* parameter) const override;

private:
    const clapcheck::HostInterfaces& host;
    const std::unordered_map<juce::AudioProcessorParameter*, clap_id>& parameterIds;
};

} // namespace clapbinding
