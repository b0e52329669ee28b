#include "editor/EmbeddedResources.h"

// The artwork and fonts are compiled into the module as the BinaryData namespace
// (the resource library); a name it does not hold answers "missing", and the
// editor draws its plain fallbacks.
#include "BinaryData.h"

namespace orvel::resources
{

const char* find (const char* resourceName, int& sizeInBytes) noexcept
{
    sizeInBytes = 0;

    if (resourceName == nullptr)
        return nullptr;

    if (auto* data = BinaryData::getNamedResource (resourceName, sizeInBytes); data != nullptr && sizeInBytes > 0)
        return data;

    sizeInBytes = 0;
    return nullptr;
}

juce::Image loadImage (const char* resourceName)
{
    int size = 0;

    if (auto* data = find (resourceName, size))
        return juce::ImageFileFormat::loadFrom (data, (size_t) size);

    return {};
}

juce::Image loadCachedImage (const char* resourceName)
{
    int size = 0;

    if (auto* data = find (resourceName, size))
        return juce::ImageCache::getFromMemory (data, size);

    return {};
}

std::unique_ptr<juce::Drawable> loadDrawable (const char* resourceName)
{
    int size = 0;

    if (auto* data = find (resourceName, size))
        return juce::Drawable::createFromImageData (data, (size_t) size);

    return {};
}

} // namespace orvel::resources
