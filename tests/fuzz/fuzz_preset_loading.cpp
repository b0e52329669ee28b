// What loadPreset does with a file's bytes: the signature test, the hardened parse
// and the preset-mode apply, with Mix locked.
#include "FuzzParameters.h"
#include "state/PresetFile.h"

#include <cstdint>

using namespace wrendle_fuzz;

extern "C" int LLVMFuzzerTestOneInput (const uint8_t* data, size_t size)
{
    const auto preset = orvel::readPresetBytes (data, size);
    check (preset.isPreset == orvel::hasPresetSignature (data, size));

    if (! preset.isPreset)
        return 0;

    FuzzParameters parameters;
    const auto applied = orvel::applySettingsElement (parameters, preset.element.get(), "WrendleFold_SETTINGS", true, { "Mix" });

    // Bypass and locked parameters are never touched by a preset; all others are
    // set exactly when the preset is a settings document.
    for (int i = 0; i < parameters.getNumParameters(); ++i)
    {
        const auto name = parameters.getParameterName (i);
        const auto skipped = name == "Bypass" || name == "Mix";
        check ((applied && ! skipped) == (parameters.values[(size_t) i] != FuzzParameters::untouched));
    }

    return 0;
}
