// The transfer-curve monitor and the static decorations drawn in code.

#include "EditorTestSupport.h"

#include "editor/MonitorComponents.h"

#include <cmath>
#include <vector>

namespace
{
std::vector<juce::Point<float>> pointsOf (const juce::Path& path)
{
    std::vector<juce::Point<float>> points;

    for (juce::Path::Iterator it (path); it.next();)
    {
        // One connected line: a single start, then line segments only.
        EXPECT_EQ (it.elementType, points.empty() ? juce::Path::Iterator::startNewSubPath : juce::Path::Iterator::lineTo);
        points.emplace_back (it.x1, it.y1);
    }

    return points;
}

/** Turning points of the curve inside the square (the tail past x = 88 is left out). */
int countTurns (const std::vector<juce::Point<float>>& points)
{
    int turns = 0;

    for (size_t i = 1; i + 1 < points.size() && points[i + 1].x <= 88.0f; ++i)
    {
        const auto before = points[i].y - points[i - 1].y;
        const auto after = points[i + 1].y - points[i].y;
        if (before * after < 0.0f)
            ++turns;
    }

    return turns;
}

int countPaintedPixels (const juce::Image& image)
{
    int painted = 0;
    for (int y = 0; y < image.getHeight(); ++y)
        for (int x = 0; x < image.getWidth(); ++x)
            painted += image.getPixelAt (x, y).getAlpha() > 64 ? 1 : 0;
    return painted;
}

struct MonitorTest : ::testing::Test
{
    void SetUp() override { monitor.setBounds (0, 0, 88, 88); }
    WaveShaperMonitor monitor;
};
} // namespace

TEST_F (MonitorTest, DriveOneDrawsOneUnfoldedSineCyclePeakingAtSinOneOfTheHalfHeight)
{
    EXPECT_NEAR (monitor.getStep(), 1.0 / 88.0 + 0.00001, 1.0e-7);

    monitor.updateCurve (true, 1.0f, 1.0f, 1.0f);
    const auto points = pointsOf (monitor.getCurve());

    ASSERT_EQ (points.size(), 181u);
    EXPECT_FLOAT_EQ (points.front().x, 0.0f);
    EXPECT_NEAR (points.front().y, 44.0f, 1.0e-4f);
    EXPECT_GT (points.back().x, 88.0f) << "the curve runs a little past the right edge";

    const auto peak = 0.9f * std::sin (1.0f) * 44.0f;
    const auto bounds = monitor.getCurve().getBounds();
    EXPECT_NEAR (bounds.getY(), 44.0f - peak, 0.05f);
    EXPECT_NEAR (bounds.getBottom(), 44.0f + peak, 0.05f);
    EXPECT_EQ (countTurns (points), 2);
}

TEST_F (MonitorTest, DriveFifteenFoldsTheCurveSeveralTimesAndPaintsMoreOfTheSquare)
{
    monitor.updateCurve (true, 1.0f, 1.0f, 1.0f);
    const auto unfoldedPixels = countPaintedPixels (editortest::paintToImage (monitor));

    monitor.updateCurve (true, 15.0f, 1.0f, 1.0f);
    const auto points = pointsOf (monitor.getCurve());

    // sin (15 s) has five turning points while s rises from 0 to 1, five more
    // while it falls back, plus the turn at s = 1: in each half cycle.
    EXPECT_GE (countTurns (points), 16);
    EXPECT_NEAR (monitor.getCurve().getBounds().getY(), 44.0f - 0.9f * 44.0f, 0.5f);
    EXPECT_GT (countPaintedPixels (editortest::paintToImage (monitor)), 3 * unfoldedPixels);
}

TEST_F (MonitorTest, OutputAndInputGainsScaleTheCurve)
{
    monitor.updateCurve (true, 1.0f, 1.0f, 0.063f);
    EXPECT_LT (monitor.getCurve().getBounds().getHeight(), 2.0f * 0.063f * 0.9f * 44.0f + 0.01f);

    // Louder outputs leave the square; the component clips them.
    monitor.updateCurve (true, 1.0f, 1.0f, 2.0f);
    EXPECT_LT (monitor.getCurve().getBounds().getY(), 0.0f);

    // The input gain multiplies the drive.
    monitor.updateCurve (true, 5.0f, 3.0f, 1.0f);
    const auto viaInput = monitor.getCurve().getBounds();
    monitor.updateCurve (true, 15.0f, 1.0f, 1.0f);
    EXPECT_EQ (viaInput, monitor.getCurve().getBounds());
}

TEST_F (MonitorTest, IdenticalValuesDoNotRebuildTheCurveButForcedOnesDo)
{
    monitor.updateCurve (true, 2.0f, 1.0f, 1.0f);
    const auto before = monitor.getCurve().getBounds();

    monitor.setBounds (0, 0, 44, 44); // a rebuild now would shrink the curve
    monitor.updateCurve (false, 2.0f, 1.0f, 1.0f);
    EXPECT_EQ (monitor.getCurve().getBounds(), before);

    monitor.updateCurve (false, 2.0f, 1.0f, 0.5f);
    EXPECT_LT (monitor.getCurve().getBounds().getRight(), 50.0f);
}

TEST_F (MonitorTest, ABypassedMonitorDimsItsCurve)
{
    monitor.updateCurve (true, 1.0f, 1.0f, 1.0f);
    const auto active = editortest::paintToImage (monitor);
    EXPECT_EQ (active.getPixelAt (80, 10).getAlpha(), 0) << "off the curve nothing is drawn";

    monitor.setActive (false);
    const auto dimmed = editortest::paintToImage (monitor);
    EXPECT_NEAR (dimmed.getPixelAt (80, 10).getAlpha(), 0.45f * 255.0f, 1.0f);
    EXPECT_LT (editortest::luma (dimmed, 22, 11), editortest::luma (active, 22, 11));
}

TEST (MonitorGridTest, TheCentreAxesAreBrighterThanTheGridAndTheGridBrighterThanTheGround)
{
    MonitorGrid grid;
    grid.setBounds (0, 0, 88, 88);
    const auto image = editortest::paintToImage (grid);

    // Along row 2 (away from the horizontal axis and its ticks).
    const auto axis = editortest::luma (image, 44, 2);
    const auto gridLine = editortest::luma (image, 9, 2); // k = 1: x = 8.8
    const auto ground = editortest::luma (image, 4, 2);

    EXPECT_GT (axis, gridLine);
    EXPECT_GT (gridLine, ground);
    EXPECT_EQ (image.getPixelAt (4, 2), juce::Colour (0xff1e1f1f).darker (0.4f));

    // Ticks: 3 units either side of the horizontal axis, every 4.4 units.
    EXPECT_GT (editortest::luma (image, 4, 42), ground);
    EXPECT_EQ (editortest::luma (image, 4, 38), ground);
}

TEST (KnobRowPanelTest, BlackBoxDrawsARoundedPanelWithACentreDivider)
{
    BlackBox panel;
    panel.setBounds (0, 0, 358, 124);
    const auto image = editortest::paintToImage (panel);

    EXPECT_EQ (image.getPixelAt (2, 60).getAlpha(), 0) << "6 units of margin";
    EXPECT_NEAR (image.getPixelAt (20, 60).getAlpha(), 0.92f * 255.0f, 1.0f);
    EXPECT_GT (editortest::luma (image, 179, 60), editortest::luma (image, 175, 60) + 60.0f);
    EXPECT_LT (editortest::luma (image, 179, 30), editortest::luma (image, 179, 60)) << "the divider starts at y = 44";
}
