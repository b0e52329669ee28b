#pragma once

#include "binding/clapcheck/ClapExtensions.h"

namespace clapcheck
{

/**
    Owns a CLAP context-menu builder record whose two functions call back into this object, so
    a host's populate() can fill a menu of the plug-in's own making.

    The record points at this object: hand out getBuilder() only while the object lives, and never
    copy or move it (both are deleted for that reason).
*/
class ContextMenuBuilder
{
public:
    ContextMenuBuilder() noexcept;
    virtual ~ContextMenuBuilder() = default;

    ContextMenuBuilder (const ContextMenuBuilder&) = delete;
    ContextMenuBuilder& operator= (const ContextMenuBuilder&) = delete;

    /** The record to pass to the host's clap_host_context_menu.populate(). */
    const clap_context_menu_builder_t* getBuilder() const noexcept { return &builder; }

protected:
    /** One item from the host; itemData's type depends on kind (see clap_context_menu_item_kind_t).
        Return true when the item was taken. */
    virtual bool addItem (clap_context_menu_item_kind_t kind, const void* itemData) noexcept = 0;

    /** Whether items of this kind are understood. */
    virtual bool supports (clap_context_menu_item_kind_t kind) noexcept = 0;

private:
    static bool CLAP_ABI addItemCallback (const clap_context_menu_builder_t* record,
                                          clap_context_menu_item_kind_t kind,
                                          const void* itemData);
    static bool CLAP_ABI supportsCallback (const clap_context_menu_builder_t* record,
                                           clap_context_menu_item_kind_t kind);

    clap_context_menu_builder_t builder {};
};

} // namespace clapcheck
