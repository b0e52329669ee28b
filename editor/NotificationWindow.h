#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

#include <functional>
#include <memory>

namespace orvel
{

/**
    The rows of the news window: one NotificationEntry per notice, 64 units high,
    stacked in display order. The list paints nothing itself; it is as wide as
    its owner makes it and exactly as high as its rows.
*/
class NotificationList : public juce::Component
{
public:
    static constexpr int entryHeight = 64;

    /** Kind words that choose an entry's icon. A notice's kind is free text (the
        news service sends e.g. "update notify"); its space-separated words are
        compared with these, case-insensitively. Any other kind gets the newspaper. */
    static constexpr const char* updateKind = "update";  ///< download icon
    static constexpr const char* greetingKind = "hello"; ///< face icon

    enum class Icon
    {
        download,
        face,
        newspaper
    };

    static Icon iconForKind (const juce::String& kind);

    /** True for links a click may hand to the browser: web addresses only. Empty,
        "#" and anything that is not http or https (a local file, a custom scheme
        from a tampered answer) are shown as plain text and never opened. */
    static bool isOpenableLink (const juce::String& link);

    /** Hands a link to the system; tests replace it so no browser starts. */
    using LinkOpener = std::function<void (const juce::URL&)>;

    //==============================================================================
    class NotificationEntry : public juce::Component
    {
    public:
        /** The opener is the owning list's and must outlive the entry. */
        explicit NotificationEntry (const LinkOpener& opener);
        ~NotificationEntry() override;

        /** Sets the text, the link (with its cursor) and the icon for the kind. */
        void fill (const juce::String& title, const juce::String& text, const juce::String& link,
                   const juce::String& kind);

        const juce::AttributedString& getText() const noexcept { return text; }
        const juce::String& getLink() const noexcept { return link; }
        Icon getIconKind() const noexcept { return iconKind; }
        const juce::Drawable* getIcon() const noexcept { return icon.get(); }
        bool isHovered() const noexcept { return hovered; }
        bool isLastEntry() const noexcept { return isLast; }
        void setLastEntry (bool shouldBeLast);

        void paint (juce::Graphics& g) override;
        void mouseEnter (const juce::MouseEvent& e) override;
        void mouseExit (const juce::MouseEvent& e) override;
        void mouseDown (const juce::MouseEvent& e) override;

    private:
        const LinkOpener& openLink;
        juce::AttributedString text;
        std::unique_ptr<juce::Drawable> icon;
        Icon iconKind = Icon::newspaper;
        juce::String link;
        bool hovered = false;
        bool isLast = true;

        JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (NotificationEntry)
    };

    //==============================================================================
    NotificationList();
    ~NotificationList() override;

    /** Appends a row below the others and grows the list to fit it. */
    void addEntry (const juce::String& title, const juce::String& text, const juce::String& link,
                   const juce::String& kind);

    /** Removes and deletes every row, last first. */
    void clearEntries();

    int getNumEntries() const noexcept { return entries.size(); }
    NotificationEntry* getEntry (int index) const noexcept { return entries[index]; }

    /** Keeps the rows as wide as the list. */
    void resized() override;

    /** Defaults to the system's web browser. */
    LinkOpener linkOpener;

private:
    juce::OwnedArray<NotificationEntry> entries;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (NotificationList)
};

//==============================================================================
/**
    The news pop-over under the bell: it covers the whole main window, dims it,
    and draws a light rounded panel whose top-right corner hangs off the anchor
    point. One or two notices fit; more scroll.

    The owner sizes it to the whole window, adds it hidden, sets the anchor,
    then for each opening calls clearNotices(), addNotice() per notice and
    showNotices(). A click on a notice opens its link and leaves the window
    open; a click anywhere else (the dimmed area, the panel's rim) closes it.

    Pitfall: JUCE's fade-in leaves the window visible at alpha 0 for its first
    frame; a visible window counts as showing, so an early closing click still
    closes it.
*/
class NotificationWindow : public juce::Component
{
public:
    static constexpr int fadeMs = 35;

    explicit NotificationWindow (int panelWidth);
    ~NotificationWindow() override;

    /** The point the panel hangs from: its right edge is at x and its top 24 units
        below y. Lays the window out again. */
    void setAnchor (int x, int y);

    void clearNotices();
    void addNotice (const juce::String& title, const juce::String& text, const juce::String& link,
                    const juce::String& kind);

    /** Sizes the panel for the notices held (one row, or two with a scroll bar
        from three notices on), fades the window in and restarts the click count. */
    void showNotices (int clicksToClose = 1);

    /** Replaces how links are opened (tests pass a recorder). */
    void setLinkOpener (NotificationList::LinkOpener opener);

    int getNumNotices() const noexcept { return list.getNumEntries(); }
    NotificationList& getList() noexcept { return list; }
    juce::Viewport& getViewport() noexcept { return viewport; }

    /** The drawn panel, in this component's coordinates. */
    juce::Rectangle<int> getPanelBounds() const noexcept
    {
        return { panelX, panelY, panelWidth + widthAdjustment, panelHeight };
    }

    void paint (juce::Graphics& g) override;
    void resized() override;
    void mouseDown (const juce::MouseEvent& e) override;

private:
    void layout();

    juce::ComponentAnimator animator;
    juce::Viewport viewport;
    NotificationList list;
    const int panelWidth;
    int panelHeight = 72;
    int widthAdjustment = 0;
    int panelX = 0, panelY = 0;
    int clickCount = 0;
    int clicksToClose = 1;
    int anchorX = 0, anchorY = 0;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (NotificationWindow)
};

} // namespace orvel
