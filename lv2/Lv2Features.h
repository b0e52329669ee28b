#pragma once

#include <lv2/core/lv2.h>

#include <cstring>

namespace lv2binding
{

/** The data of the host's feature with this URI, or null when the host offers none. */
inline const void* findFeature (const LV2_Feature* const* features, const char* uri) noexcept
{
    if (features == nullptr)
        return nullptr;

    for (auto* const* feature = features; *feature != nullptr; ++feature)
        if ((*feature)->URI != nullptr && std::strcmp ((*feature)->URI, uri) == 0)
            return (*feature)->data;

    return nullptr;
}

} // namespace lv2binding
