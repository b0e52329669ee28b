#include "binding/clapcheck/CheckReports.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace clapcheck
{
namespace
{

    TEST (ClapcheckReports, NumbersAreWrittenWithDefaultStreamFormatting)
    {
        EXPECT_EQ (composeReportText (Report::activatedTwiceNewSampleRate, 48000.0, 44100.5),
                   "The plugin was activated twice and with different sample rates: 48000 and 44100.5. The host must "
                   "deactivate the plugin first.\nSimulating deactivation.");

        // Six significant digits: large rates switch to scientific notation, as a default stream does.
        EXPECT_EQ (composeReportText (Report::activateInvalidSampleRate, -1234567.0),
                   "The plugin was activated with an invalid sample rates: -1.23457e+06");

        EXPECT_EQ (composeReportText (Report::guiSetSizeNotAdjusted, uint32_t { 600 }, uint32_t { 400 }, uint32_t { 480 },
                                      uint32_t { 460 }),
                   "clap_plugin_gui.set_size() was called with a size which was not adjusted by "
                   "clap_plugin_gui.adjust_size(): 600x400 vs 480x460");
    }

    TEST (ClapcheckReports, MissingArgumentsLeaveTheirPlacesEmpty)
    {
        EXPECT_EQ (composeReportText (Report::activateMinAboveMax, 512),
                   "The plugin was activated with an invalid minmum and maximum frame count: min > max: 512 > ");
    }

    TEST (ClapcheckReports, EveryRuleHasTextAndOnlyTheRecordChecksTerminate)
    {
        for (int i = 0; i < static_cast<int> (Report::count); ++i)
        {
            const auto report = static_cast<Report> (i);
            const auto& rule = ruleFor (report);

            EXPECT_NE (std::string (rule.text), "") << i;
            EXPECT_EQ (rule.outcome == Outcome::terminates,
                       report == Report::nullPluginRecord || report == Report::nullPluginData)
                << rule.text;
            EXPECT_TRUE (rule.severity == CLAP_LOG_HOST_MISBEHAVING || rule.severity == CLAP_LOG_PLUGIN_MISBEHAVING)
                << rule.text;
        }
    }

} // namespace
} // namespace clapcheck
