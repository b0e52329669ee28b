#include "binding/clapcheck/ContextMenuBuilder.h"

namespace clapcheck
{

ContextMenuBuilder::ContextMenuBuilder() noexcept
{
    builder.ctx = this;
    builder.add_item = &ContextMenuBuilder::addItemCallback;
    builder.supports = &ContextMenuBuilder::supportsCallback;
}

bool CLAP_ABI ContextMenuBuilder::addItemCallback (const clap_context_menu_builder_t* record,
                                                   clap_context_menu_item_kind_t kind,
                                                   const void* itemData)
{
    if (record == nullptr || record->ctx == nullptr)
        return false;

    return static_cast<ContextMenuBuilder*> (record->ctx)->addItem (kind, itemData);
}

bool CLAP_ABI ContextMenuBuilder::supportsCallback (const clap_context_menu_builder_t* record,
                                                    clap_context_menu_item_kind_t kind)
{
    if (record == nullptr || record->ctx == nullptr)
        return false;

    return static_cast<ContextMenuBuilder*> (record->ctx)->supports (kind);
}

} // namespace clapcheck
