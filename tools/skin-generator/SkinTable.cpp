#include "SkinPainters.h"

namespace skin
{
namespace
{
    SkinImage single (const char* fileName, int widthPx, int heightPx, std::function<juce::Image()> render)
    {
        return { fileName, widthPx, heightPx, 1, std::move (render) };
    }

    SkinImage topBar (const char* fileName, TopBarGlyph glyph, bool lit, int widthPx, int heightPx)
    {
        return single (fileName, widthPx, heightPx, [=]
                       { return renderTopBarButton (glyph, lit, widthPx, heightPx); });
    }
} // namespace

std::vector<SkinImage> skinImageTable()
{
    using G = TopBarGlyph;

    return {
        single ("background.png", 960, 920, renderBackground),
        single ("swap_off.png", 60, 44, []
                { return renderSwapButton (false); }),
        single ("swap_on.png", 60, 44, []
                { return renderSwapButton (true); }),
        single ("button_on.png", 52, 52, []
                { return renderRoundButton (true); }),
        single ("button_off.png", 52, 52, []
                { return renderRoundButton (false); }),
        single ("box.png", 232, 232, renderMonitorBox),

        topBar ("prev_on_2x.png", G::previous, true, 42, 24),
        topBar ("prev_off_2x.png", G::previous, false, 42, 24),
        topBar ("next_on_2x.png", G::next, true, 42, 24),
        topBar ("next_off_2x.png", G::next, false, 42, 24),
        topBar ("save_on_2x.png", G::save, true, 50, 50),
        topBar ("save_off_2x.png", G::save, false, 50, 50),
        topBar ("delete_on_2x.png", G::remove, true, 50, 50),
        topBar ("delete_off_2x.png", G::remove, false, 50, 50),
        topBar ("random_on_2x.png", G::random, true, 50, 50),
        topBar ("random_off_2x.png", G::random, false, 50, 50),
        topBar ("bell_on_2x.png", G::bell, true, 40, 40),
        topBar ("bell_off_2x.png", G::bell, false, 40, 40),
        topBar ("more_on_2x.png", G::more, true, 40, 40),
        topBar ("more_off_2x.png", G::more, false, 40, 40),
        topBar ("bypass_on_2x.png", G::bypass, true, 40, 40),
        topBar ("bypass_off_2x.png", G::bypass, false, 40, 40),

        // The lock indicator is shown in a 13 x 13 box; drawn at twice that.
        single ("lock.png", 26, 26, []
                { return renderPadlock (true, 26); }),
        single ("unlock.png", 26, 26, []
                { return renderPadlock (false, 26); }),
        single ("wrendlefold_icon.png", 256, 256, []
                { return renderProductIcon (256); }),
    };
}
} // namespace skin
