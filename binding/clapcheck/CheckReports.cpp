#include "binding/clapcheck/CheckReports.h"

#include <array>

namespace clapcheck
{
namespace
{
    constexpr clap_log_severity host = CLAP_LOG_HOST_MISBEHAVING;
    constexpr clap_log_severity plugin = CLAP_LOG_PLUGIN_MISBEHAVING;

    constexpr Channel routine = Channel::reportRoutine;
    constexpr Channel stderrOnly = Channel::standardError;

    constexpr Outcome carriesOn = Outcome::carriesOn;
    constexpr Outcome stops = Outcome::stops;
    constexpr Outcome terminates = Outcome::terminates;

    // One line per report: the texts are part of the product's observable behaviour (hosts and users
    // read them), so keep them verbatim, including their spelling slips.
    constexpr std::array<ReportRule, static_cast<std::size_t> (Report::count)> rules { {
        { Report::nullPluginRecord, stderrOnly, host, terminates, "called with a null clap_plugin pointer!" },
        { Report::nullPluginData, stderrOnly, host, terminates,
          "called with a null clap_plugin->plugin_data pointer! The host must never change this pointer!" },

        { Report::initRequired, routine, host, carriesOn, "Host is required to call clap_plugin.init() first" },
        { Report::calledBeforeInit, stderrOnly, host, carriesOn, "clap_plugin.{}() was called before clap_plugin.init()" },
        { Report::initCalledTwice, stderrOnly, host, stops, "clap_plugin.init() has been called twice" },
        { Report::wrongThreadMain, routine, host, carriesOn,
          "Host called the method {}() on wrong thread! It must be called on main thread!" },
        { Report::wrongThreadAudio, routine, host, carriesOn,
          "Host called the method {}() on wrong thread! It must be called on audio thread!" },
        { Report::pluginCallWrongThread, routine, plugin, carriesOn,
          "Plugin called the method clap_host_{}() on wrong thread! It must be called on main thread!" },
        { Report::runCallbacksWrongThread, routine, plugin, stops,
          "plugin called runCallbacksOnMainThread(), but not on the main thread!" },
        { Report::destroyWithGuiCreated, routine, host, carriesOn, "host forgot to destroy the gui" },
        { Report::destroyWhileActive, routine, host, carriesOn, "host forgot to deactivate the plugin before destroying it" },
        { Report::activatedTwice, routine, host, carriesOn, "Plugin was activated twice" },
        { Report::activatedTwiceNewSampleRate, routine, host, carriesOn,
          "The plugin was activated twice and with different sample rates: {} and {}. The host must deactivate the plugin "
          "first.\nSimulating deactivation." },
        { Report::activateInvalidSampleRate, routine, host, stops, "The plugin was activated with an invalid sample rates: {}" },
        { Report::activateInvalidMinFrames, routine, host, stops,
          "The plugin was activated with an invalid minimum frame count: {}" },
        { Report::activateInvalidMaxFrames, routine, host, stops,
          "The plugin was activated with an invalid maximum frame count: {}" },
        { Report::activateMinAboveMax, routine, host, stops,
          "The plugin was activated with an invalid minmum and maximum frame count: min > max: {} > {}" },
        { Report::deactivatedTwice, routine, host, stops, "The plugin was deactivated twice." },
        { Report::startProcessingDeactivated, routine, host, stops,
          "Host called clap_plugin.start_processing() on a deactivated plugin" },
        { Report::startProcessingTwice, routine, host, stops, "Host called clap_plugin.start_processing() twice" },
        { Report::stopProcessingDeactivated, routine, host, stops,
          "Host called clap_plugin.stop_processing() on a deactivated plugin" },
        { Report::stopProcessingTwice, routine, host, stops, "Host called clap_plugin.stop_processing() twice" },
        { Report::resetDeactivated, routine, host, stops, "Host called clap_plugin.reset() on a deactivated plugin" },
        { Report::processDeactivated, routine, host, stops, "Host called clap_plugin.process() on a deactivated plugin" },
        { Report::processNotStarted, routine, host, stops,
          "Host called clap_plugin.process() without calling clap_plugin.start_processing()" },
        { Report::nullArgument, routine, host, stops, "Host called {}() with a null {} pointer" },

        { Report::renderUnknownMode, routine, host, stops, "host called clap_plugin_render.set_mode with an unknown mode : {}" },
        { Report::hostTrackInfoPartial, routine, host, stops, "clap_host_track_info is partially implemented" },
        { Report::trackInfoChangedWithoutHostTable, routine, host, stops,
          "host called clap_plugin_track_info.changed() but does not provide a complete clap_host_track_info interface" },
        { Report::latencyQueriedInactive, routine, host, carriesOn,
          "It is wrong to query the latency before the plugin is activated, because if the plugin dosen't know the sample "
          "rate, it can't know the number of samples of latency." },
        { Report::tailQueriedInactive, routine, host, carriesOn,
          "It is wrong to query the tail before the plugin is activated, because if the plugin dosen't know the sample "
          "rate, it can't know the tail length in samples." },
        { Report::audioPortsInfoOutOfBounds, routine, host, stops,
          "Host called clap_plugin_audio_ports.info() with an index out of bounds: {} >= {}" },
        { Report::audioPortsActivationWhileActive, routine, host, carriesOn,
          "it is illegal to call clap_audio_ports_activation.set_active() if the plugin is active if "
          "clap_plugin_audio_ports_activation.can_activate_while_processing() returns false" },
        { Report::paramsInfoOutOfBounds, routine, host, stops,
          "called clap_plugin_params.info with an index out of bounds: {} >= {}" },
        { Report::paramsValueInvalidId, routine, host, stops, "clap_plugin_params.value called with invalid param_id: {}" },
        { Report::paramsValueToTextInvalidId, routine, host, stops,
          "clap_plugin_params.value_to_text called with invalid param_id: {}" },
        { Report::paramsValueToTextNullDisplay, routine, host, stops,
          "clap_plugin_params.value_to_text called with a null display pointer" },
        { Report::paramsValueToTextEmptyBuffer, routine, host, stops,
          "clap_plugin_params.value_to_text called with a empty buffer (less than one character)" },
        { Report::paramsTextToValueInvalidId, routine, host, stops,
          "clap_plugin_params.text_to_value called with invalid param_id: {}" },
        { Report::paramsTextToValueNullDisplay, routine, host, stops,
          "clap_plugin_params.text_to_value called with a null display pointer" },
        { Report::paramsTextToValueNullValue, routine, host, stops,
          "clap_plugin_params.text_to_value called with a null value pointer" },
        { Report::notePortsInfoOutOfBounds, routine, host, stops,
          "Host called clap_plugin_note_ports.info() with an index out of bounds: {} >= {}" },
        { Report::timerInvalidId, routine, host, stops,
          "Host called clap_plugin_timer_support.on_timer with an invalid timer_id" },
        { Report::guiCreateTwice, routine, host, stops,
          "clap_plugin_gui.create() was called while the plugin gui was already created" },
        { Report::guiCreateNullApi, routine, host, stops,
          "clap_plugin_gui.create() was called with a null api and a non floating window" },
        { Report::guiDestroyNotCreated, routine, host, stops,
          "clap_plugin_gui.destroy() was called while the plugin gui not created" },
        { Report::guiCallWithoutCreate, routine, host, stops,
          "clap_plugin_gui.{}() was called without a prior call to clap_plugin_gui.create()" },
        { Report::guiSetSizeNotResizable, routine, host, stops,
          "clap_plugin_gui.set_size() was called but the gui is not resizable" },
        { Report::guiSetSizeNotAdjusted, routine, host, carriesOn,
          "clap_plugin_gui.set_size() was called with a size which was not adjusted by clap_plugin_gui.adjust_size(): "
          "{}x{} vs {}x{}" },
        { Report::guiSetParentNotCreated, routine, host, stops,
          "clap_plugin_gui.set_parent() was called while the plugin gui was not created" },
        { Report::guiSetParentFloating, routine, host, stops,
          "clap_plugin_gui.set_parent() was called while the plugin gui is a floating window, use set_transient() "
          "instead" },
        { Report::guiSetTransientNotCreated, routine, host, stops,
          "clap_plugin_gui.set_transient() was called while the plugin gui was not created" },
        { Report::guiSetTransientNotFloating, routine, host, stops,
          "clap_plugin_gui.set_transient() was called while the plugin gui isn't a floating window, use set_parent() "
          "instead" },
        { Report::guiSuggestTitleNotFloating, routine, host, stops,
          "clap_plugin_gui.suggest_title() but the gui was not created as a floating window" },
        { Report::guiSuggestTitleNull, routine, host, stops, "clap_plugin_gui.suggest_title() was called with a null title" },

        { Report::hostLatencyPartial, routine, host, stops, "clap_host_latency is partially implemented" },
        { Report::hostParamsPartial, routine, host, stops, "clap_host_params is partially implemented" },
        { Report::hostStatePartial, routine, host, stops, "clap_host_state is partially implemented" },
        { Report::hostContextMenuPartial, routine, host, stops, "clap_host_context_menu is partially implemented" },
    } };

    constexpr bool tableIsInEnumOrder()
    {
        for (std::size_t i = 0; i < rules.size(); ++i)
            if (static_cast<std::size_t> (rules[i].report) != i)
                return false;

        return true;
    }

    static_assert (tableIsInEnumOrder(), "the report table must list every Report once, in declaration order");
} // namespace

const ReportRule& ruleFor (Report report) noexcept
{
    const auto index = static_cast<std::size_t> (report);
    return rules[index < rules.size() ? index : 0];
}

std::string composeReport (Report report, std::initializer_list<std::string> arguments)
{
    const std::string text (ruleFor (report).text);
    std::string result;
    result.reserve (text.size() + 32);

    auto argument = arguments.begin();
    std::size_t position = 0;

    for (;;)
    {
        const auto place = text.find ("{}", position);

        if (place == std::string::npos)
        {
            result.append (text, position, std::string::npos);
            break;
        }

        result.append (text, position, place - position);

        if (argument != arguments.end())
            result += *argument++;

        position = place + 2;
    }

    return result;
}

} // namespace clapcheck
