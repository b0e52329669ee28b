// What the news fetcher does with an answer or its cache file: decode, hardened
// parse, at most one "new version" notice.
#include "FuzzParameters.h"
#include "news/PluginNotifications.h"
#include "state/UntrustedXml.h"

#include <cstdint>

using namespace wrendle_fuzz;
using orvel::PluginNotifications;

extern "C" int LLVMFuzzerTestOneInput (const uint8_t* data, size_t size)
{
    const auto content = PluginNotifications::readNoticeBytes (data, size);
    check (content.notices.size() <= 1);
    check (! content.raisesUnread || content.notices.size() == 1);

    if (content.notices.size() == 1)
    {
        const auto& notice = content.notices.getReference (0);
        check (notice.title.startsWith ("New Version Available: v."));
        check (PluginNotifications::isNewer (notice.title.fromFirstOccurrenceOf ("v.", false, false), "1.1.1"));
        check (content.raisesUnread == notice.kind.contains (PluginNotifications::unreadMarker));
    }

    // The version comparison never crashes on what the bytes hold either.
    if (const auto text = orvel::decodeUntrustedText (data, juce::jmin (size, (size_t) 256)))
    {
        PluginNotifications::isNewer (*text, "1.1.1");
        PluginNotifications::isNewer ("1.1.1", *text);
    }

    return 0;
}
