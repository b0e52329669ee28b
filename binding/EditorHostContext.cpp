#include "binding/EditorHostContext.h"

namespace clapbinding
{

namespace
{
    juce::String textOf (const char* utf8)
    {
        return utf8 != nullptr ? juce::String::fromUTF8 (utf8) : juce::String();
    }
} // namespace

//==============================================================================
MenuBuilder::MenuBuilder (const clapcheck::HostInterfaces& hostToUse, const clap_context_menu_target_t& targetToUse)
    : host (hostToUse), target (&targetToUse)
{
}

void MenuBuilder::clear()
{
    itemCounter = 0;
    rootMenu = juce::PopupMenu();
    openSubMenus.clear();
}

juce::PopupMenu MenuBuilder::getResult() const
{
    // A host that forgot an end-of-sub-menu still gets every item it added.
    auto result = rootMenu;
    auto stillOpen = openSubMenus;

    while (! stillOpen.empty())
    {
        auto closing = std::move (stillOpen.back());
        stillOpen.pop_back();
        auto& parent = stillOpen.empty() ? result : stillOpen.back().menu;
        parent.addSubMenu (closing.label, closing.menu, closing.enabled);
    }

    return result;
}

void MenuBuilder::addEntry (const char* label, bool enabled, bool checked, clap_id actionId)
{
    juce::PopupMenu::Item item (textOf (label));
    item.itemID = ++itemCounter;
    item.isEnabled = enabled;
    item.isTicked = checked;

    // The action owns a copy of the target: JUCE may run it after this builder is gone.
    item.action = [hostInterfaces = &host, menuTarget = *target, actionId]
    { hostInterfaces->contextMenuPerform (&menuTarget, actionId); };

    auto& top = openSubMenus.empty() ? rootMenu : openSubMenus.back().menu;
    top.addItem (std::move (item));
}

bool MenuBuilder::addItem (clap_context_menu_item_kind_t kind, const void* itemData) noexcept
{
    try
    {
        auto& top = openSubMenus.empty() ? rootMenu : openSubMenus.back().menu;

        switch (kind)
        {
            case CLAP_CONTEXT_MENU_ITEM_ENTRY:
                if (const auto* entry = static_cast<const clap_context_menu_entry_t*> (itemData))
                    addEntry (entry->label, entry->is_enabled, false, entry->action_id);
                break;

            case CLAP_CONTEXT_MENU_ITEM_CHECK_ENTRY:
                if (const auto* entry = static_cast<const clap_context_menu_check_entry_t*> (itemData))
                    addEntry (entry->label, entry->is_enabled, entry->is_checked, entry->action_id);
                break;

            case CLAP_CONTEXT_MENU_ITEM_SEPARATOR:
                top.addSeparator();
                break;

            case CLAP_CONTEXT_MENU_ITEM_BEGIN_SUBMENU:
            {
                OpenSubMenu subMenu;

                if (const auto* begin = static_cast<const clap_context_menu_submenu_t*> (itemData))
                {
                    subMenu.label = textOf (begin->label);
                    subMenu.enabled = begin->is_enabled;
                }

                openSubMenus.push_back (std::move (subMenu));
                break;
            }

            case CLAP_CONTEXT_MENU_ITEM_END_SUBMENU:
            {
                if (openSubMenus.empty())
                    break;

                auto closing = std::move (openSubMenus.back());
                openSubMenus.pop_back();
                auto& parent = openSubMenus.empty() ? rootMenu : openSubMenus.back().menu;
                parent.addSubMenu (closing.label, closing.menu, closing.enabled);
                break;
            }

            case CLAP_CONTEXT_MENU_ITEM_TITLE:
                if (const auto* title = static_cast<const clap_context_menu_item_title_t*> (itemData))
                    top.addSectionHeader (textOf (title->title));
                break;

            default:
                break;
        }
    }
    catch (...)
    {
        // Out of memory: the item is lost, the menu stays usable.
    }

    return true;
}

//==============================================================================
EditorContextMenu::EditorContextMenu (const clapcheck::HostInterfaces& hostToUse, clap_context_menu_target_t targetToUse)
    : host (hostToUse), target (targetToUse), builder (hostToUse, target)
{
}

juce::PopupMenu EditorContextMenu::getEquivalentPopupMenu() const
{
    // Each call asks the host afresh, so asking twice never doubles the items.
    builder.clear();
    host.contextMenuPopulate (&target, builder.getBuilder());
    return builder.getResult();
}

void EditorContextMenu::showNativeMenu (juce::Point<int> position) const
{
    if (host.contextMenuCanPopup())
        host.contextMenuPopup (&target, 0, position.x, position.y);
}

//==============================================================================
EditorHostContext::EditorHostContext (const clapcheck::HostInterfaces& hostToUse,
                                      const std::unordered_map<juce::AudioProcessorParameter*, clap_id>& ids)
    : host (hostToUse), parameterIds (ids)
{
}

std::unique_ptr<juce::HostProvidedContextMenu>
EditorHostContext::getContextMenuForParameter (const juce::AudioProcessorParameter* parameter) const
{
    if (host.contextMenu == nullptr)
        return nullptr;

    if (! host.hasCompleteContextMenu())
    {
        host.report (clapcheck::Report::hostContextMenuPartial);
        return nullptr;
    }

    clap_context_menu_target_t target { CLAP_CONTEXT_MENU_TARGET_KIND_GLOBAL, 0 };

    if (parameter != nullptr)
    {
        const auto found = parameterIds.find (const_cast<juce::AudioProcessorParameter*> (parameter));
        target.kind = CLAP_CONTEXT_MENU_TARGET_KIND_PARAM;
        target.id = found != parameterIds.end() ? found->second : 0;
    }

    return std::make_unique<EditorContextMenu> (host, target);
}

} // namespace clapbinding
