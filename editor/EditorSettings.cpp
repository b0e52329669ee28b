#include "EditorSettings.h"

#include "engine/WrendleFoldProcessor.h"
#include "state/OrvelSettings.h"

namespace orvel
{

UserSettingsCache& editorSettingsOf (OrvelProcessor& processor) noexcept
{
    // The processor publishes the cache read-only to everything else; the
    // editor is the one component allowed to change it.
    return const_cast<UserSettingsCache&> (processor.getUserSettings());
}

bool saveEditorSettings (WrendleFoldProcessor& processor)
{
    const auto& cache = processor.getUserSettings();

    UserSettings settings;
    settings.windowSize = cache.windowSize;
    settings.brightness = cache.brightness;
    settings.contrast = cache.contrast;
    settings.leftHandedMouse = cache.leftHandedMouse;
    settings.accelerateGui = cache.accelerateGui;
    settings.envelopeLinear = processor.isEnvelopeLinear();

    OrvelSettings store;
    return store.saveEditorSettings (settings);
}

} // namespace orvel
