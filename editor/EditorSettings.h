#pragma once

#include "engine/OrvelProcessor.h"

class WrendleFoldProcessor;

namespace orvel
{

/** The processor's user-settings cache (window size, brightness, contrast,
    left-handed mouse, accelerated drawing) as the editor reads and changes it.
    The editor is the cache's only writer, always on the message thread; the
    cache lives in the processor so that it outlives any editor. */
UserSettingsCache& editorSettingsOf (OrvelProcessor& processor) noexcept;

/** Writes the window size, brightness, contrast and envelope law to the
    product's settings file (reloading it first, so values another instance
    wrote meanwhile under other keys survive). False when the write failed. */
bool saveEditorSettings (WrendleFoldProcessor& processor);

} // namespace orvel
