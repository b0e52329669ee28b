#include "editor/NotificationWindow.h"

#include "editor/EmbeddedResources.h"
#include "editor/OrvelLookAndFeel.h"

namespace orvel
{

namespace
{
    const juce::Colour noticeInk { 0xff202020 };

    const char* iconResourceName (NotificationList::Icon icon) noexcept
    {
        switch (icon)
        {
            case NotificationList::Icon::download:
                return "download_svg";
            case NotificationList::Icon::face:
                return "face_svg";
            case NotificationList::Icon::newspaper:
                break;
        }

        return "newspaper_svg";
    }
} // namespace

//==============================================================================
NotificationList::Icon NotificationList::iconForKind (const juce::String& kind)
{
    const auto words = juce::StringArray::fromTokens (kind, false);

    if (words.contains (updateKind, true))
        return Icon::download;

    if (words.contains (greetingKind, true))
        return Icon::face;

    return Icon::newspaper;
}

bool NotificationList::isOpenableLink (const juce::String& link)
{
    return link.startsWithIgnoreCase ("https://") || link.startsWithIgnoreCase ("http://");
}

//==============================================================================
NotificationList::NotificationEntry::NotificationEntry (const LinkOpener& opener)
    : openLink (opener)
{
}

NotificationList::NotificationEntry::~NotificationEntry() = default;

void NotificationList::NotificationEntry::fill (const juce::String& title, const juce::String& bodyText,
                                                const juce::String& newLink, const juce::String& kind)
{
    text.clear();
    text.setJustification (juce::Justification::left);
    text.setWordWrap (juce::AttributedString::byWord);
    text.append (title + "\n", OrvelLookAndFeel::boldFont (14.0f), noticeInk);
    text.append (bodyText + "\n", OrvelLookAndFeel::regularFont (14.0f), noticeInk);

    link = newLink;
    setMouseCursor (isOpenableLink (link) ? juce::MouseCursor::PointingHandCursor
                                          : juce::MouseCursor::NormalCursor);

    iconKind = iconForKind (kind);
    icon = resources::loadDrawable (iconResourceName (iconKind));

    if (icon != nullptr)
    {
        addAndMakeVisible (*icon);
        icon->setTransformToFit ({ 5.0f, 5.0f, 15.0f, 15.0f }, juce::RectanglePlacement::centred);
        icon->replaceColour (juce::Colours::black, noticeInk);
    }

    repaint();
}

void NotificationList::NotificationEntry::setLastEntry (bool shouldBeLast)
{
    if (isLast != shouldBeLast)
    {
        isLast = shouldBeLast;
        repaint();
    }
}

void NotificationList::NotificationEntry::paint (juce::Graphics& g)
{
    const auto w = (float) getWidth(), h = (float) getHeight();

    if (hovered)
    {
        g.setColour (findColour (juce::PopupMenu::highlightedBackgroundColourId).brighter (0.08f).withAlpha (0.95f));
        g.fillRoundedRectangle (0.0f, 0.0f, w, h - 6.0f, 7.0f);
    }

    text.draw (g, { 26.0f, 4.0f, w - 30.0f, h - 6.0f });

    if (! isLast)
    {
        g.setColour (noticeInk);
        g.drawLine (0.0f, h - 3.0f, w, h - 3.0f, 1.0f);
    }
}

void NotificationList::NotificationEntry::mouseEnter (const juce::MouseEvent&)
{
    hovered = true;
    repaint();
}

void NotificationList::NotificationEntry::mouseExit (const juce::MouseEvent&)
{
    hovered = false;
    repaint();
}

void NotificationList::NotificationEntry::mouseDown (const juce::MouseEvent&)
{
    if (isOpenableLink (link) && openLink != nullptr)
        openLink (juce::URL (link));
}

//==============================================================================
NotificationList::NotificationList()
    : linkOpener ([] (const juce::URL& url)
                  { url.launchInDefaultBrowser(); })
{
    // Only the rows take clicks; the gaps belong to the window, which closes.
    setInterceptsMouseClicks (false, true);
}

NotificationList::~NotificationList()
{
    clearEntries();
}

void NotificationList::addEntry (const juce::String& title, const juce::String& text, const juce::String& link,
                                 const juce::String& kind)
{
    if (auto* previous = entries.getLast())
        previous->setLastEntry (false);

    auto* entry = entries.add (std::make_unique<NotificationEntry> (linkOpener));
    const auto n = entries.size();
    entry->setBounds (0, entryHeight * (n - 1), getWidth(), entryHeight);
    addAndMakeVisible (entry);
    entry->fill (title, text, link, kind);

    setSize (getWidth(), entryHeight * n);
}

void NotificationList::clearEntries()
{
    for (int i = entries.size(); --i >= 0;)
    {
        removeChildComponent (entries[i]);
        entries.remove (i);
    }

    setSize (getWidth(), 0);
}

void NotificationList::resized()
{
    for (auto* entry : entries)
        entry->setSize (getWidth(), entryHeight);
}

//==============================================================================
NotificationWindow::NotificationWindow (int width)
    : panelWidth (width)
{
    list.setSize (panelWidth - 18, 0);
    viewport.setScrollBarsShown (false, false);
    viewport.setScrollBarThickness (12);
}

NotificationWindow::~NotificationWindow()
{
    animator.cancelAllAnimations (false);
    viewport.setViewedComponent (nullptr, false);
}

void NotificationWindow::setAnchor (int x, int y)
{
    anchorX = x;
    anchorY = y;
    layout();
}

void NotificationWindow::clearNotices()
{
    list.clearEntries();
}

void NotificationWindow::addNotice (const juce::String& title, const juce::String& text, const juce::String& link,
                                    const juce::String& kind)
{
    list.addEntry (title, text, link, kind);
}

void NotificationWindow::setLinkOpener (NotificationList::LinkOpener opener)
{
    list.linkOpener = std::move (opener);
}

void NotificationWindow::showNotices (int newClicksToClose)
{
    const auto n = list.getNumEntries();
    widthAdjustment = n < 3 ? -10 : 0;
    panelHeight = n < 2 ? 66 : 130;
    viewport.setScrollBarsShown (n > 2, false);

    layout();
    // A fresh list starts at its first notice, not where the last one was scrolled.
    viewport.setViewPosition (0, 0);
    repaint();
    animator.fadeIn (this, fadeMs);

    clickCount = 0;
    clicksToClose = newClicksToClose;
}

void NotificationWindow::layout()
{
    panelX = anchorX - panelWidth;
    panelY = anchorY + 24;

    addAndMakeVisible (viewport);
    viewport.setBounds (panelX + 4, panelY + 4, panelWidth - 6, panelHeight - 8);
    viewport.setScrollBarThickness (12);

    // Only the size is ours to set: the viewport places its viewed component
    // itself, and moving the list to panel coordinates would scroll it out of view.
    list.setSize (panelWidth - 18, NotificationList::entryHeight * list.getNumEntries());
    viewport.setViewedComponent (&list, false);

    // Clicks between and beside the rows fall through to the window, which closes.
    viewport.setInterceptsMouseClicks (false, true);

    if (auto* holder = list.getParentComponent())
        holder->setInterceptsMouseClicks (false, true);
}

void NotificationWindow::resized()
{
    layout();
}

void NotificationWindow::paint (juce::Graphics& g)
{
    g.fillAll (juce::Colours::black.withAlpha (0.45f));

    const juce::Rectangle<float> panel ((float) panelX + 0.5f, (float) panelY + 0.5f,
                                        (float) (panelWidth + widthAdjustment) - 1.0f, (float) panelHeight - 1.0f);
    g.setColour (juce::Colour (0xffd2d2d2).withAlpha (0.95f));
    g.fillRoundedRectangle (panel, 7.0f);
    g.setColour (juce::Colour (0xffd2d2d2).darker (0.4f).withAlpha (0.45f));
    g.drawRoundedRectangle (panel, 7.0f, 1.0f);
}

void NotificationWindow::mouseDown (const juce::MouseEvent&)
{
    if (++clickCount >= clicksToClose && isVisible())
        animator.fadeOut (this, fadeMs);
}

} // namespace orvel
