#pragma once

#include "ProductIdentity.h"
#include "state/OrvelSettings.h"

#include <juce_core/juce_core.h>

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>

namespace orvel
{

/** One entry of the news list. */
struct Notice
{
    juce::String title;
    juce::String text;
    juce::String link;
    juce::String kind;
};

//==============================================================================
/**
    Tells the user that a newer version of the product exists.

    Once per instance, checkForNews() shows the notice cached by an earlier check (if
    that check is at most 36 hours old) and starts the thread "KestrivanePN". The
    thread fetches only when no instance of this user, in any process, has fetched or
    tried to within a day (OrvelSettings::claimNewsCheck keeps the time of the last
    attempt under the settings lock), so a project that loads 50 instances makes one
    request, and a failed fetch waits a day like a successful one. The fetch POSTs an
    empty body to <server address><product identifier>.kvn, caches a usable answer in
    the news folder (OrvelSettings) and turns it into at most one "new version" notice
    plus an unread flag. The maker-wide switch "KV-pn1" (the options menu's "Check for
    news") turns all of this off: nothing is then read, fetched or shown.

    Notice file (the server's answer and the cache hold the same document):

        <?xml version="1.0" encoding="UTF-8"?>
        <KESTRIVANE_NEWS latestVersion="1.2.0" kind="update notify"/>

    - root tag      KESTRIVANE_NEWS; any other root gives no notice
    - latestVersion dotted version compared with isNewer() against this build's version
    - kind          free text handed to the news window; when it contains "notify" the
                    notice also raises the unread flag (the bell lights up)

    An answer containing the text "error" is ignored, as is any answer that is not a
    2xx response holding a notice document: a proxy's error page or a captive portal
    must not replace a good cache.

    Threads: checkForNews(), the getters and clearUnread() belong to the message
    thread. The fetch thread publishes a complete, immutable notice list with one
    atomic shared-pointer store and then raises the atomic unread flag; readers take
    an atomic snapshot. Nothing waits on the message loop, so the list appears even
    when no JUCE messages are dispatched.

    Destruction never blocks the host for long. While the request is connecting
    (name lookup, connect, redirects, waiting for the response headers) the
    destructor cancels it, which ends the wait within about a second. After that,
    every wait is bounded by connectionTimeoutMs (the stream gives up when fewer
    than 100 bytes/s arrive for that long) and the thread checks threadShouldExit()
    between small reads. The destructor waits at most stopTimeoutMs in any case.
*/
class PluginNotifications : public juce::Thread
{
public:
    //==============================================================================
    /** Placeholder for the maker's news service; tests pass their own address. */
    static constexpr const char* defaultServerAddress = wrendle::identity::newsAddress;
    static constexpr const char* accountPageAddress = wrendle::identity::accountPage;

    static constexpr const char* noticeRootTag = "KESTRIVANE_NEWS";
    static constexpr const char* latestVersionAttribute = "latestVersion";
    static constexpr const char* kindAttribute = "kind";
    static constexpr const char* unreadMarker = "notify";

    /** The version of this build, compared against the server's latest version. */
    static constexpr const char* currentVersion = wrendle::identity::version;

    /** A cache at most this old is shown before the network answers. */
    static constexpr double maxCacheAgeHours = 36.0;

    /** The user's instances fetch at most once in this time, between them. */
    static constexpr double hoursBetweenFetches = 24.0;

    /** What the fetcher takes for now: the system clock, or a test's. Called on the
        message thread and on the fetch thread. */
    using Clock = std::function<juce::Time()>;

    /** Bound of each network wait. curl counts in whole seconds. */
    static constexpr int connectionTimeoutMs = 3000;

    /** How long the destructor waits for a running fetch: the network bound plus the
        time a read step needs to notice the request to stop, with room to spare.
        Reaching it would make JUCE kill the thread, which the bounds above prevent.
    */
    static constexpr int stopTimeoutMs = connectionTimeoutMs + 3000;

    //==============================================================================
    /** @param productIdentifier  names the file requested from the server
        @param serverAddress      address and path the identifier is appended to
        @param clock              now, for the cache's age and the day between fetches
                                  (null: the system clock)

        Nothing is read, fetched or started here.
    */
    explicit PluginNotifications (const juce::String& productIdentifier,
                                  const juce::String& serverAddress = defaultServerAddress,
                                  Clock clock = nullptr);

    /** Stops a running fetch, waiting at most stopTimeoutMs. */
    ~PluginNotifications() override;

    /** Empties the list, then (unless the news switch is off) shows a fresh cached
        notice at once and starts the thread, which fetches when the day's fetch is
        still to be made. Call once, on the message thread, after the owner is
        constructed; later calls do nothing.
    */
    void checkForNews();

    //==============================================================================
    int getNumNotices() const;

    /** The notice at index, or an empty one when index is out of range. */
    Notice getNotice (int index) const;

    /** 1 when a notice asked to be noticed and the user has not looked yet, else 0. */
    int unreadFlag() const noexcept { return unread.load(); }
    void clearUnread() noexcept { unread.store (0); }

    /** The kind text of the last notice that raised the unread flag. */
    juce::String getLastKind() const;

    /** The address a fetch requests. */
    juce::URL getRequestAddress() const;

    /** True when the dotted version latest is above current, part by part as integers
        (missing parts count as 0; "1.10" is above "1.9").
    */
    static bool isNewer (const juce::String& latest, const juce::String& current);

    /** What a notice document says: at most one notice, and whether it raises the
        unread flag. */
    struct NoticeDocumentContent
    {
        juce::Array<Notice> notices;
        bool raisesUnread = false;
    };

    /** Reads a parsed notice document; null or a foreign root gives no notice. */
    static NoticeDocumentContent readNoticeDocument (const juce::XmlElement* document);

    /** Decodes and parses the bytes of a news file or answer with the limits of
        UntrustedXml.h, then reads it as above. */
    static NoticeDocumentContent readNoticeBytes (const void* data, size_t numBytes);

private:
    //==============================================================================
    struct Snapshot
    {
        juce::Array<Notice> notices;
        juce::String lastKind;
    };

    void run() override;

    /** Reads the answer of the server, or nothing when the request failed, was
        refused, was too large or the thread was asked to stop.
    */
    std::optional<juce::String> fetchAnswer();

    /** Rebuilds the notice list from a notice document; null or a foreign document
        gives an empty list.
    */
    void applyNoticeDocument (const juce::XmlElement* document);

    std::shared_ptr<const Snapshot> snapshot() const;
    void publish (std::shared_ptr<const Snapshot> next);

    //==============================================================================
    const juce::String productIdentifier;
    const juce::String serverAddress;
    const Clock clock;
    std::atomic<int> unread { 0 };

    /** Used by checkForNews() before the thread starts and by the thread afterwards;
        never by both at once.
    */
    OrvelSettings settings;

    /** Only touched through std::atomic_load / std::atomic_store. */
    std::shared_ptr<const Snapshot> published;

    /** The stream while it connects, so that the destructor can cancel it. Cancelling
        is limited to this phase: inside connect() the stream guards its state with
        its own lock, while its later calls read that state without one.
    */
    std::mutex connectingLock;
    juce::WebInputStream* connectingStream = nullptr;

    bool checkDone = false;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (PluginNotifications)
};

} // namespace orvel
