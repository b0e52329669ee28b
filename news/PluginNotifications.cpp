#include "news/PluginNotifications.h"

#include "state/UntrustedXml.h"

namespace orvel
{

PluginNotifications::PluginNotifications (const juce::String& productIdentifierToUse,
                                          const juce::String& serverAddressToUse,
                                          Clock clockToUse)
    : juce::Thread ("KestrivanePN"),
      productIdentifier (productIdentifierToUse),
      serverAddress (serverAddressToUse),
      clock (clockToUse != nullptr ? std::move (clockToUse) : Clock (&juce::Time::getCurrentTime)),
      published (std::make_shared<const Snapshot>())
{
}

PluginNotifications::~PluginNotifications()
{
    signalThreadShouldExit();

    {
        const std::lock_guard<std::mutex> lock (connectingLock);

        if (connectingStream != nullptr)
            connectingStream->cancel();
    }

    stopThread (stopTimeoutMs);
}

//==============================================================================
void PluginNotifications::checkForNews()
{
    // One fetch per instance; a second check could also race the running thread
    // for the settings store.
    if (checkDone)
        return;

    checkDone = true;

    auto emptied = std::make_shared<Snapshot>();
    emptied->lastKind = snapshot()->lastKind;
    publish (std::move (emptied));

    settings.loadMakerSettings (true);
    settings.loadProductSettings (true);

    if (! settings.getMakerBool (OrvelSettings::newsNotificationsKey, true))
        return;

    const auto newsFile = settings.getNewsFile();

    if (newsFile.exists())
    {
        const auto ageMs = (clock() - newsFile.getLastModificationTime()).inMilliseconds();
        const auto ageHours = (double) ageMs / 1000.0 / 3600.0;

        if (ageHours <= maxCacheAgeHours)
            applyNoticeDocument (readUntrustedXmlFile (newsFile).get());
    }
    else
    {
        newsFile.create();
    }

    startThread();
}

//==============================================================================
void PluginNotifications::run()
{
    // Claimed before the request, so a fetch that fails also waits its day; the lock
    // behind the claim may keep this thread up to two seconds, well inside stopTimeoutMs.
    if (! settings.claimNewsCheck (clock(), juce::RelativeTime::hours (hoursBetweenFetches)))
        return;

    const auto answer = fetchAnswer();

    if (threadShouldExit() || ! answer.has_value() || answer->contains ("error"))
        return;

    // Only a notice document may replace the cache: anything else (an error page,
    // a captive portal's login page) would wipe a good notice for the next 36 hours.
    const auto document = parseUntrustedXml (*answer);

    if (document == nullptr || ! document->hasTagName (noticeRootTag))
        return;

    settings.getNewsFile().replaceWithText (*answer, false, false, "\r\n");
    applyNoticeDocument (document.get());
}

std::optional<juce::String> PluginNotifications::fetchAnswer()
{
    // The request carries its (absent) parameters as post data: a POST with an empty body.
    auto stream = std::make_unique<juce::WebInputStream> (getRequestAddress(), true);
    stream->withConnectionTimeout (connectionTimeoutMs).withNumRedirectsToFollow (5);

    {
        const std::lock_guard<std::mutex> lock (connectingLock);

        if (threadShouldExit())
            return std::nullopt;

        connectingStream = stream.get();
    }

    const auto connected = stream->connect (nullptr);

    {
        const std::lock_guard<std::mutex> lock (connectingLock);
        connectingStream = nullptr;
    }

    if (threadShouldExit() || ! connected)
        return std::nullopt;

    const auto statusCode = stream->getStatusCode();

    if (statusCode < 200 || statusCode > 299)
        return std::nullopt;

    // Small reads keep each blocking step short, so a stop request is seen quickly.
    juce::MemoryBlock body;
    char buffer[256];

    for (;;)
    {
        if (threadShouldExit())
            return std::nullopt;

        const auto numRead = stream->read (buffer, (int) sizeof (buffer));

        if (numRead <= 0)
            break;

        body.append (buffer, (size_t) numRead);

        if (body.getSize() > maxUntrustedXmlBytes)
            return std::nullopt;
    }

    // A connection that broke off mid-answer is not an answer.
    if (stream->isError())
        return std::nullopt;

    return decodeUntrustedText (body.getData(), body.getSize());
}

PluginNotifications::NoticeDocumentContent PluginNotifications::readNoticeDocument (const juce::XmlElement* document)
{
    NoticeDocumentContent content;

    if (document == nullptr || ! document->hasTagName (noticeRootTag))
        return content;

    const auto latest = document->getStringAttribute (latestVersionAttribute);
    const auto kind = document->getStringAttribute (kindAttribute);

    if (isNewer (latest, currentVersion))
    {
        content.notices.add ({ "New Version Available: v." + latest,
                               "Log in to your account to download the new version.",
                               accountPageAddress,
                               kind });

        content.raisesUnread = kind.contains (unreadMarker);
    }

    return content;
}

PluginNotifications::NoticeDocumentContent PluginNotifications::readNoticeBytes (const void* data, size_t numBytes)
{
    if (const auto text = decodeUntrustedText (data, numBytes))
    {
        const auto document = parseUntrustedXml (*text);
        return readNoticeDocument (document.get());
    }

    return {};
}

void PluginNotifications::applyNoticeDocument (const juce::XmlElement* document)
{
    auto content = readNoticeDocument (document);

    auto next = std::make_shared<Snapshot>();
    next->lastKind = snapshot()->lastKind;
    next->notices = std::move (content.notices);

    if (content.raisesUnread)
        next->lastKind = next->notices.getReference (0).kind;

    // The list goes out before the flag, so a reader that sees the flag also sees the notice.
    publish (std::move (next));

    if (content.raisesUnread)
        unread.store (1);
}

//==============================================================================
std::shared_ptr<const PluginNotifications::Snapshot> PluginNotifications::snapshot() const
{
    return std::atomic_load (&published);
}

void PluginNotifications::publish (std::shared_ptr<const Snapshot> next)
{
    std::atomic_store (&published, std::move (next));
}

int PluginNotifications::getNumNotices() const
{
    return snapshot()->notices.size();
}

Notice PluginNotifications::getNotice (int index) const
{
    return snapshot()->notices[index];
}

juce::String PluginNotifications::getLastKind() const
{
    return snapshot()->lastKind;
}

juce::URL PluginNotifications::getRequestAddress() const
{
    return juce::URL (serverAddress + productIdentifier + ".kvn");
}

//==============================================================================
bool PluginNotifications::isNewer (const juce::String& latest, const juce::String& current)
{
    auto latestParts = juce::StringArray::fromTokens (latest, ".", "");
    auto currentParts = juce::StringArray::fromTokens (current, ".", "");

    while (latestParts.size() < currentParts.size())
        latestParts.add ("0");

    while (currentParts.size() < latestParts.size())
        currentParts.add ("0");

    for (int i = 0; i < latestParts.size(); ++i)
    {
        const auto latestPart = parseSaturatingInt (latestParts[i]);
        const auto currentPart = parseSaturatingInt (currentParts[i]);

        if (latestPart != currentPart)
            return latestPart > currentPart;
    }

    return false;
}

} // namespace orvel
