#pragma once

#include "binding/clapcheck/ClapExtensions.h"

#include <cstddef>
#include <initializer_list>
#include <sstream>
#include <string>

namespace clapcheck
{

/** Every misbehaviour the checking layer (and the binding on top of it) can report. */
enum class Report
{
    // Fatal record checks, written straight to standard error.
    nullPluginRecord,
    nullPluginData,

    // Lifecycle
    initRequired,
    calledBeforeInit,
    initCalledTwice,
    wrongThreadMain,
    wrongThreadAudio,
    pluginCallWrongThread,
    runCallbacksWrongThread,
    destroyWithGuiCreated,
    destroyWhileActive,
    activatedTwice,
    activatedTwiceNewSampleRate,
    activateInvalidSampleRate,
    activateInvalidMinFrames,
    activateInvalidMaxFrames,
    activateMinAboveMax,
    deactivatedTwice,
    startProcessingDeactivated,
    startProcessingTwice,
    stopProcessingDeactivated,
    stopProcessingTwice,
    resetDeactivated,
    processDeactivated,
    processNotStarted,
    nullArgument,

    // Plug-in extensions
    renderUnknownMode,
    hostTrackInfoPartial,
    trackInfoChangedWithoutHostTable,
    latencyQueriedInactive,
    tailQueriedInactive,
    audioPortsInfoOutOfBounds,
    audioPortsActivationWhileActive,
    paramsInfoOutOfBounds,
    paramsValueInvalidId,
    paramsValueToTextInvalidId,
    paramsValueToTextNullDisplay,
    paramsValueToTextEmptyBuffer,
    paramsTextToValueInvalidId,
    paramsTextToValueNullDisplay,
    paramsTextToValueNullValue,
    notePortsInfoOutOfBounds,
    timerInvalidId,
    guiCreateTwice,
    guiCreateNullApi,
    guiDestroyNotCreated,
    guiCallWithoutCreate,
    guiSetSizeNotResizable,
    guiSetSizeNotAdjusted,
    guiSetParentNotCreated,
    guiSetParentFloating,
    guiSetTransientNotCreated,
    guiSetTransientNotFloating,
    guiSuggestTitleNotFloating,
    guiSuggestTitleNull,

    // Incomplete host tables met by the binding's notifications
    hostLatencyPartial,
    hostParamsPartial,
    hostStatePartial,
    hostContextMenuPartial,

    count
};

/** Where a report goes. */
enum class Channel
{
    /** The report routine: the host's log when it has one, otherwise the standard streams. */
    reportRoutine,
    /** Always standard error, whatever the host offers (also used before the host tables exist). */
    standardError
};

/** What happens to the call that met the violation. */
enum class Outcome
{
    /** Only reported: the call still reaches the derived plug-in. */
    carriesOn,
    /** The call stops here and answers false, 0 or nothing (init and start_processing called twice
        answer true). A host notification is skipped. */
    stops,
    /** The process ends (std::terminate). */
    terminates
};

struct ReportRule
{
    Report report;
    Channel channel;
    clap_log_severity severity;
    Outcome outcome;
    /** Fixed text; every "{}" is replaced by the next argument, formatted like a default std::ostream. */
    const char* text;
};

/** The rule of one report; the whole table lives in CheckReports.cpp. */
const ReportRule& ruleFor (Report report) noexcept;

/** Fills the "{}" places of a rule's text with already formatted arguments; surplus places stay empty. */
std::string composeReport (Report report, std::initializer_list<std::string> arguments);

/** Formats one argument as a default-configured std::ostringstream would (doubles with up to six
    significant digits, integers in decimal). */
template <typename Value>
std::string toReportText (const Value& value)
{
    std::ostringstream stream;
    stream << value;
    return stream.str();
}

inline std::string toReportText (const char* value)
{
    return value != nullptr ? std::string (value) : std::string ("(null)");
}
inline std::string toReportText (const std::string& value)
{
    return value;
}
inline std::string toReportText (bool value)
{
    return value ? "true" : "false";
}

template <typename... Args>
std::string composeReportText (Report report, const Args&... arguments)
{
    return composeReport (report, { toReportText (arguments)... });
}

} // namespace clapcheck
