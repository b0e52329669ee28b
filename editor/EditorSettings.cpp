#include "editor/EditorSettings.h"

#include "plugin/WrendleFoldProcessor.h"
#include "state/OrvelSettings.h"

namespace orvel
{

UserSettingsCache& editorSettingsOf (OrvelProcessor& processor) noexcept
{
    return processor.getUserSettingsForEditor();
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
