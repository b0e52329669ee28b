// The checking layer's plug-in record. Longer than the house's usual file on purpose: the
// entry points of the record and of every extension table live in one struct (Routes), in the
// order of the CLAP headers, each running its checks in the same tabled way before it calls the
// derived operation; kept together, a reader sees every route follow the one pattern, and a
// route that departs from it stands out.
#include "binding/clapcheck/CheckedPlugin.h"

#include <clap/ext/latency.h>
#include <clap/ext/timer-support.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <exception>

namespace clapcheck
{

/**
    The C entry points of the plug-in record and of every offered extension table. Each one
    resolves the object (record check), runs the checks in the tabled order and then calls the
    derived operation, unless a check stops the call.
*/
struct CheckedPlugin::Routes
{
    static CheckedPlugin& self (const clap_plugin_t* record) noexcept { return fromClapPlugin (record); }

    /** The common opening of an extension call: record check, init required, main-thread check. */
    static CheckedPlugin& enter (const clap_plugin_t* record, const char* checkName) noexcept
    {
        auto& plugin = self (record);
        plugin.checkInitRequired();
        plugin.checkMainThread (checkName);
        return plugin;
    }

    static bool nullArgument (const CheckedPlugin& plugin, const char* method, const char* argument) noexcept
    {
        plugin.report (Report::nullArgument, method, argument);
        return false;
    }

    //==============================================================================
    static bool CLAP_ABI init (const clap_plugin_t* record) noexcept
    {
        auto& plugin = self (record);

        if (plugin.initialised)
        {
            plugin.report (Report::initCalledTwice);
            return true;
        }

        plugin.initialised = true;
        plugin.hostInterfaces.fetch();
        plugin.checkMainThread ("clap_plugin.init");
        return plugin.init();
    }

    static void CLAP_ABI destroy (const clap_plugin_t* record) noexcept
    {
        auto& plugin = self (record);
        plugin.checkMainThread ("clap_plugin.destroy");
        plugin.beingDestroyed = true;

        if (plugin.guiCreated)
        {
            plugin.report (Report::destroyWithGuiCreated);
            plugin.checkMainThread ("clap_plugin_gui.destroy");
            plugin.destroyGuiNow();
        }

        if (plugin.active)
        {
            plugin.report (Report::destroyWhileActive);
            plugin.deactivateNow();
        }

        plugin.runCallbacksOnMainThread();
        delete &plugin;
    }

    static bool CLAP_ABI activate (const clap_plugin_t* record,
                                   double sampleRate,
                                   uint32_t minFrames,
                                   uint32_t maxFrames) noexcept
    {
        auto& plugin = self (record);
        plugin.checkInitRequired();
        plugin.checkBeforeInit ("activate");
        plugin.checkMainThread ("clap_plugin.activate");

        if (plugin.active)
        {
            plugin.report (Report::activatedTwice);

            if (plugin.sampleRate != sampleRate)
            {
                plugin.report (Report::activatedTwiceNewSampleRate, plugin.sampleRate, sampleRate);
                plugin.checkedDeactivate();
            }
        }

        // Written so that NaN and infinity are refused as well as zero and negative rates.
        if (! (sampleRate > 0.0 && std::isfinite (sampleRate)))
        {
            plugin.report (Report::activateInvalidSampleRate, sampleRate);
            return false;
        }

        if (minFrames == 0)
        {
            plugin.report (Report::activateInvalidMinFrames, minFrames);
            return false;
        }

        if (maxFrames > static_cast<uint32_t> (INT32_MAX))
        {
            plugin.report (Report::activateInvalidMaxFrames, maxFrames);
            return false;
        }

        if (minFrames > maxFrames)
        {
            plugin.report (Report::activateMinAboveMax, minFrames, maxFrames);
            return false;
        }

        plugin.activating = true;
        const auto activated = plugin.activate (sampleRate, minFrames, maxFrames);
        plugin.activating = false;

        if (! activated)
            return false;

        plugin.active = true;
        plugin.sampleRate = sampleRate;
        plugin.restartRequested = false;

        // A latency that changed while active, or during this activation, is reported now: CLAP
        // allows latency.changed() only here, and the host may ask for the new value at once.
        if (plugin.latencyReportPending.exchange (false))
            plugin.callHostLatencyChanged();

        return true;
    }

    static void CLAP_ABI deactivate (const clap_plugin_t* record) noexcept { self (record).checkedDeactivate(); }

    static bool CLAP_ABI startProcessing (const clap_plugin_t* record) noexcept
    {
        auto& plugin = self (record);
        plugin.checkInitRequired();
        plugin.checkBeforeInit ("start_processing");
        plugin.checkAudioThread ("clap_plugin.start_processing");

        if (! plugin.active)
        {
            plugin.report (Report::startProcessingDeactivated);
            return false;
        }

        if (plugin.processing)
        {
            plugin.report (Report::startProcessingTwice);
            return true;
        }

        plugin.processing = plugin.startProcessing();
        return plugin.processing;
    }

    static void CLAP_ABI stopProcessing (const clap_plugin_t* record) noexcept
    {
        auto& plugin = self (record);
        plugin.checkInitRequired();
        plugin.checkBeforeInit ("stop_processing");
        plugin.checkAudioThread ("clap_plugin.stop_processing");

        if (! plugin.active)
        {
            plugin.report (Report::stopProcessingDeactivated);
            return;
        }

        if (! plugin.processing)
        {
            plugin.report (Report::stopProcessingTwice);
            return;
        }

        plugin.stopProcessing();
        plugin.processing = false;
    }

    static void CLAP_ABI reset (const clap_plugin_t* record) noexcept
    {
        auto& plugin = self (record);
        plugin.checkInitRequired();
        plugin.checkBeforeInit ("reset");
        plugin.checkAudioThread ("clap_plugin.reset");

        if (! plugin.active)
        {
            plugin.report (Report::resetDeactivated);
            return;
        }

        plugin.reset();
    }

    static clap_process_status CLAP_ABI process (const clap_plugin_t* record, const clap_process_t* processData) noexcept
    {
        auto& plugin = self (record);
        plugin.checkInitRequired();
        plugin.checkBeforeInit ("process");
        plugin.checkAudioThread ("clap_plugin.process");

        if (! plugin.active)
        {
            plugin.report (Report::processDeactivated);
            return CLAP_PROCESS_ERROR;
        }

        if (! plugin.processing)
        {
            plugin.report (Report::processNotStarted);
            return CLAP_PROCESS_ERROR;
        }

        if (processData == nullptr)
        {
            nullArgument (plugin, "clap_plugin.process", "process");
            return CLAP_PROCESS_ERROR;
        }

        return plugin.process (processData);
    }

    static const void* CLAP_ABI getExtension (const clap_plugin_t* record, const char* id) noexcept
    {
        auto& plugin = self (record);
        plugin.checkInitRequired();
        plugin.checkBeforeInit ("extension");

        if (id == nullptr)
        {
            nullArgument (plugin, "clap_plugin.get_extension", "id");
            return nullptr;
        }

        return plugin.extensionFor (id);
    }

    static void CLAP_ABI onMainThread (const clap_plugin_t* record) noexcept
    {
        auto& plugin = self (record);
        plugin.checkInitRequired();
        plugin.checkBeforeInit ("on_maint_thread");
        plugin.checkMainThread ("clap_plugin.on_main_thread");
        plugin.runCallbacksOnMainThread();
        plugin.onMainThread();
    }

    //==============================================================================
    static bool CLAP_ABI stateSave (const clap_plugin_t* record, const clap_ostream_t* stream) noexcept
    {
        auto& plugin = enter (record, "clap_plugin_state.save");

        if (stream == nullptr)
            return nullArgument (plugin, "clap_plugin_state.save", "stream");

        return plugin.stateSave (stream);
    }

    static bool CLAP_ABI stateLoad (const clap_plugin_t* record, const clap_istream_t* stream) noexcept
    {
        auto& plugin = enter (record, "clap_plugin_state.load");

        if (stream == nullptr)
            return nullArgument (plugin, "clap_plugin_state.load", "stream");

        return plugin.stateLoad (stream);
    }

    //==============================================================================
    static bool CLAP_ABI renderHasHardRealtimeRequirement (const clap_plugin_t* record) noexcept
    {
        return enter (record, "clap_plugin_render.has_hard_realtime_requirement").renderHasHardRealtimeRequirement();
    }

    static bool CLAP_ABI renderSet (const clap_plugin_t* record, clap_plugin_render_mode mode) noexcept
    {
        auto& plugin = enter (record, "clap_plugin_render.set_mode");

        if (mode != CLAP_RENDER_REALTIME && mode != CLAP_RENDER_OFFLINE)
        {
            plugin.report (Report::renderUnknownMode, mode);
            return false;
        }

        if (mode == CLAP_RENDER_OFFLINE && plugin.renderHasHardRealtimeRequirement())
            return false;

        return plugin.renderSetMode (mode);
    }

    //==============================================================================
    static void CLAP_ABI trackInfoChanged (const clap_plugin_t* record) noexcept
    {
        auto& plugin = enter (record, "clap_plugin_track_info.changed");
        const auto& host = plugin.hostInterfaces;

        if (! host.hasCompleteTrackInfo())
        {
            if (host.trackInfo != nullptr)
                plugin.report (Report::hostTrackInfoPartial);

            plugin.report (Report::trackInfoChangedWithoutHostTable);
            return;
        }

        plugin.trackInfoChanged();
    }

    //==============================================================================
    static uint32_t CLAP_ABI latencyGet (const clap_plugin_t* record) noexcept
    {
        auto& plugin = enter (record, "clap_plugin_latency.get");

        if (! plugin.active)
            plugin.report (Report::latencyQueriedInactive);

        return plugin.latencyGet();
    }

    // Tail may be asked on the main or the audio thread, so no thread check.
    static uint32_t CLAP_ABI tailGet (const clap_plugin_t* record) noexcept
    {
        auto& plugin = self (record);
        plugin.checkInitRequired();

        if (! plugin.active)
            plugin.report (Report::tailQueriedInactive);

        return plugin.tailGet();
    }

    //==============================================================================
    static uint32_t CLAP_ABI audioPortsCount (const clap_plugin_t* record, bool isInput) noexcept
    {
        return enter (record, "clap_plugin_audio_ports.count").audioPortsCount (isInput);
    }

    static bool CLAP_ABI audioPortsGet (const clap_plugin_t* record,
                                        uint32_t index,
                                        bool isInput,
                                        clap_audio_port_info_t* info) noexcept
    {
        auto& plugin = enter (record, "clap_plugin_audio_ports.info");
        const auto count = audioPortsCount (record, isInput);

        if (index >= count)
        {
            plugin.report (Report::audioPortsInfoOutOfBounds, index, count);
            return false;
        }

        if (info == nullptr)
            return nullArgument (plugin, "clap_plugin_audio_ports.info", "info");

        return plugin.audioPortsGet (index, isInput, info);
    }

    //==============================================================================
    static bool CLAP_ABI canActivateWhileProcessing (const clap_plugin_t* record) noexcept
    {
        return enter (record, "clap_plugin_audio_ports_activation.can_activate_while_processing")
            .audioPortsActivationCanActivateWhileProcessing();
    }

    static bool CLAP_ABI setActive (const clap_plugin_t* record,
                                    bool isInput,
                                    uint32_t portIndex,
                                    bool isActive,
                                    uint32_t sampleSize) noexcept
    {
        auto& plugin = self (record);
        plugin.checkInitRequired();

        // A plug-in that allows port changes while processing receives them on the audio thread;
        // otherwise they may only come on the main thread while the plug-in is inactive.
        const auto allowedWhileProcessing = plugin.audioPortsActivationCanActivateWhileProcessing();
        constexpr const char* checkName = "clap_plugin_audio_ports_activation.set_active";

        if (plugin.active && allowedWhileProcessing)
            plugin.checkAudioThread (checkName);
        else
            plugin.checkMainThread (checkName);

        if (plugin.active && ! allowedWhileProcessing)
            plugin.report (Report::audioPortsActivationWhileActive);

        return plugin.audioPortsActivationSetActive (isInput, portIndex, isActive, sampleSize);
    }

    //==============================================================================
    static uint32_t CLAP_ABI paramsCount (const clap_plugin_t* record) noexcept
    {
        return enter (record, "clap_plugin_params.count").paramsCount();
    }

    static bool CLAP_ABI paramsGetInfo (const clap_plugin_t* record, uint32_t index, clap_param_info_t* info) noexcept
    {
        auto& plugin = enter (record, "clap_plugin_params.info");
        const auto count = paramsCount (record);

        if (index >= count)
        {
            plugin.report (Report::paramsInfoOutOfBounds, index, count);
            return false;
        }

        if (info == nullptr)
            return nullArgument (plugin, "clap_plugin_params.info", "info");

        return plugin.paramsGetInfo (index, info);
    }

    static bool CLAP_ABI paramsGetValue (const clap_plugin_t* record, clap_id paramId, double* value) noexcept
    {
        auto& plugin = enter (record, "clap_plugin_params.value");

        if (! plugin.isValidParameterId (paramId))
        {
            plugin.report (Report::paramsValueInvalidId, paramId);
            return false;
        }

        if (value == nullptr)
            return nullArgument (plugin, "clap_plugin_params.value", "value");

        return plugin.paramsGetValue (paramId, value);
    }

    static bool CLAP_ABI paramsValueToText (const clap_plugin_t* record,
                                            clap_id paramId,
                                            double value,
                                            char* display,
                                            uint32_t size) noexcept
    {
        auto& plugin = enter (record, "clap_plugin_params.value_to_text");

        if (! plugin.isValidParameterId (paramId))
        {
            plugin.report (Report::paramsValueToTextInvalidId, paramId);
            return false;
        }

        if (display == nullptr)
        {
            plugin.report (Report::paramsValueToTextNullDisplay);
            return false;
        }

        // One byte only holds the terminator: no room for a single character.
        if (size <= 1)
        {
            plugin.report (Report::paramsValueToTextEmptyBuffer);
            return false;
        }

        return plugin.paramsValueToText (paramId, value, display, size);
    }

    static bool CLAP_ABI paramsTextToValue (const clap_plugin_t* record,
                                            clap_id paramId,
                                            const char* display,
                                            double* value) noexcept
    {
        auto& plugin = enter (record, "clap_plugin_params.text_to_value");

        if (! plugin.isValidParameterId (paramId))
        {
            plugin.report (Report::paramsTextToValueInvalidId, paramId);
            return false;
        }

        if (display == nullptr)
        {
            plugin.report (Report::paramsTextToValueNullDisplay);
            return false;
        }

        if (value == nullptr)
        {
            plugin.report (Report::paramsTextToValueNullValue);
            return false;
        }

        return plugin.paramsTextToValue (paramId, display, value);
    }

    static void CLAP_ABI paramsFlush (const clap_plugin_t* record,
                                      const clap_input_events_t* in,
                                      const clap_output_events_t* out) noexcept
    {
        auto& plugin = self (record);
        plugin.checkInitRequired();

        // While active the host flushes from its audio thread; otherwise from the main thread.
        if (plugin.active)
            plugin.checkAudioThread ("clap_plugin_params.flush");
        else
            plugin.checkMainThread ("clap_plugin_params.flush");

        if (in == nullptr || out == nullptr)
        {
            nullArgument (plugin, "clap_plugin_params.flush", in == nullptr ? "in" : "out");
            return;
        }

        plugin.paramsFlush (in, out);
    }

    //==============================================================================
    static uint32_t CLAP_ABI notePortsCount (const clap_plugin_t* record, bool isInput) noexcept
    {
        return enter (record, "clap_plugin_note_port.count").notePortsCount (isInput);
    }

    static bool CLAP_ABI notePortsGet (const clap_plugin_t* record,
                                       uint32_t index,
                                       bool isInput,
                                       clap_note_port_info_t* info) noexcept
    {
        auto& plugin = enter (record, "clap_plugin_note_ports.info");
        const auto count = notePortsCount (record, isInput);

        if (index >= count)
        {
            plugin.report (Report::notePortsInfoOutOfBounds, index, count);
            return false;
        }

        if (info == nullptr)
            return nullArgument (plugin, "clap_plugin_note_ports.info", "info");

        return plugin.notePortsGet (index, isInput, info);
    }

    //==============================================================================
    static void CLAP_ABI onTimer (const clap_plugin_t* record, clap_id timerId) noexcept
    {
        auto& plugin = enter (record, "clap_plugin_timer_support.on_timer");

        if (timerId == CLAP_INVALID_ID)
        {
            plugin.report (Report::timerInvalidId);
            return;
        }

        plugin.onTimer (timerId);
    }

    //==============================================================================
    /** The shared "was called without a prior call to clap_plugin_gui.create()" check. */
    static bool guiMissing (const CheckedPlugin& plugin, const char* method) noexcept
    {
        if (plugin.guiCreated)
            return false;

        plugin.report (Report::guiCallWithoutCreate, method);
        return true;
    }

    static bool CLAP_ABI guiIsApiSupported (const clap_plugin_t* record, const char* api, bool isFloating) noexcept
    {
        auto& plugin = enter (record, "clap_plugin_gui.is_api_supported");

        if (api == nullptr)
            return nullArgument (plugin, "clap_plugin_gui.is_api_supported", "api");

        return plugin.guiIsApiSupported (api, isFloating);
    }

    static bool CLAP_ABI guiGetPreferredApi (const clap_plugin_t* record, const char** api, bool* isFloating) noexcept
    {
        auto& plugin = enter (record, "clap_plugin_gui.get_preferred_api");

        if (api == nullptr || isFloating == nullptr)
            return nullArgument (plugin, "clap_plugin_gui.get_preferred_api", api == nullptr ? "api" : "is_floating");

        return plugin.guiGetPreferredApi (api, isFloating);
    }

    static bool CLAP_ABI guiCreate (const clap_plugin_t* record, const char* api, bool isFloating) noexcept
    {
        auto& plugin = enter (record, "clap_plugin_gui.create");

        if (plugin.guiCreated)
        {
            plugin.report (Report::guiCreateTwice);
            return false;
        }

        if (api == nullptr && ! isFloating)
        {
            plugin.report (Report::guiCreateNullApi);
            return false;
        }

        try
        {
            plugin.guiApi = api != nullptr ? api : "";
        }
        catch (...)
        {
            plugin.guiApi.clear();
        }

        plugin.guiFloating = isFloating;
        plugin.guiParented = false;

        if (! plugin.guiCreate (api, isFloating))
            return false;

        plugin.guiCreated = true;
        return true;
    }

    static void CLAP_ABI guiDestroy (const clap_plugin_t* record) noexcept
    {
        auto& plugin = enter (record, "clap_plugin_gui.destroy");

        if (! plugin.guiCreated)
        {
            plugin.report (Report::guiDestroyNotCreated);
            return;
        }

        plugin.destroyGuiNow();
    }

    static bool CLAP_ABI guiSetScale (const clap_plugin_t* record, double scale) noexcept
    {
        auto& plugin = enter (record, "clap_plugin_gui.set_scale");
        return ! guiMissing (plugin, "set_scale") && plugin.guiSetScale (scale);
    }

    static bool CLAP_ABI guiGetSize (const clap_plugin_t* record, uint32_t* width, uint32_t* height) noexcept
    {
        auto& plugin = enter (record, "clap_plugin_gui.size");

        if (guiMissing (plugin, "size"))
            return false;

        if (width == nullptr || height == nullptr)
            return nullArgument (plugin, "clap_plugin_gui.get_size", width == nullptr ? "width" : "height");

        return plugin.guiGetSize (width, height);
    }

    static bool CLAP_ABI guiCanResize (const clap_plugin_t* record) noexcept
    {
        auto& plugin = enter (record, "clap_plugin_gui.can_resize");
        return ! guiMissing (plugin, "can_resize") && plugin.guiCanResize();
    }

    static bool CLAP_ABI guiGetResizeHints (const clap_plugin_t* record, clap_gui_resize_hints_t* hints) noexcept
    {
        auto& plugin = enter (record, "clap_plugin_gui.get_resize_hints");

        if (guiMissing (plugin, "get_resize_hints"))
            return false;

        if (hints == nullptr)
            return nullArgument (plugin, "clap_plugin_gui.get_resize_hints", "hints");

        return plugin.guiGetResizeHints (hints);
    }

    static bool CLAP_ABI guiAdjustSize (const clap_plugin_t* record, uint32_t* width, uint32_t* height) noexcept
    {
        auto& plugin = enter (record, "clap_plugin_gui.adjust_size");

        if (guiMissing (plugin, "adjust_size"))
            return false;

        if (width == nullptr || height == nullptr)
            return nullArgument (plugin, "clap_plugin_gui.adjust_size", width == nullptr ? "width" : "height");

        return plugin.guiAdjustSize (width, height);
    }

    static bool CLAP_ABI guiSetSize (const clap_plugin_t* record, uint32_t width, uint32_t height) noexcept
    {
        auto& plugin = enter (record, "clap_plugin_gui.set_size");

        if (guiMissing (plugin, "set_size"))
            return false;

        if (! plugin.guiCanResize())
        {
            plugin.report (Report::guiSetSizeNotResizable);
            return false;
        }

        auto adjustedWidth = width;
        auto adjustedHeight = height;

        if (plugin.guiAdjustSize (&adjustedWidth, &adjustedHeight)
            && (adjustedWidth != width || adjustedHeight != height))
            plugin.report (Report::guiSetSizeNotAdjusted, width, height, adjustedWidth, adjustedHeight);

        return plugin.guiSetSize (width, height);
    }

    static bool CLAP_ABI guiSetParent (const clap_plugin_t* record, const clap_window_t* window) noexcept
    {
        auto& plugin = enter (record, "clap_plugin_gui.set_parent");

        if (! plugin.guiCreated)
        {
            plugin.report (Report::guiSetParentNotCreated);
            return false;
        }

        if (plugin.guiFloating)
        {
            plugin.report (Report::guiSetParentFloating);
            return false;
        }

        if (window == nullptr)
            return nullArgument (plugin, "clap_plugin_gui.set_parent", "window");

        if (! plugin.guiSetParent (window))
            return false;

        plugin.guiParented = true;
        return true;
    }

    static bool CLAP_ABI guiSetTransient (const clap_plugin_t* record, const clap_window_t* window) noexcept
    {
        auto& plugin = enter (record, "clap_plugin_gui.set_transient");

        if (! plugin.guiCreated)
        {
            plugin.report (Report::guiSetTransientNotCreated);
            return false;
        }

        if (! plugin.guiFloating)
        {
            plugin.report (Report::guiSetTransientNotFloating);
            return false;
        }

        if (window == nullptr)
            return nullArgument (plugin, "clap_plugin_gui.set_transient", "window");

        return plugin.guiSetTransient (window);
    }

    static void CLAP_ABI guiSuggestTitle (const clap_plugin_t* record, const char* title) noexcept
    {
        auto& plugin = enter (record, "clap_plugin_gui.suggest_title");

        if (guiMissing (plugin, "suggest_title"))
            return;

        if (! plugin.guiFloating)
        {
            plugin.report (Report::guiSuggestTitleNotFloating);
            return;
        }

        if (title == nullptr)
        {
            plugin.report (Report::guiSuggestTitleNull);
            return;
        }

        plugin.guiSuggestTitle (title);
    }

    static bool CLAP_ABI guiShow (const clap_plugin_t* record) noexcept
    {
        auto& plugin = enter (record, "clap_plugin_gui.show");
        return ! guiMissing (plugin, "show") && plugin.guiShow();
    }

    static bool CLAP_ABI guiHide (const clap_plugin_t* record) noexcept
    {
        auto& plugin = enter (record, "clap_plugin_gui.hide");
        return ! guiMissing (plugin, "hide") && plugin.guiHide();
    }

    //==============================================================================
    static const clap_plugin_state_t stateTable;
    static const clap_plugin_render_t renderTable;
    static const clap_plugin_track_info_t trackInfoTable;
    static const clap_plugin_latency_t latencyTable;
    static const clap_plugin_tail_t tailTable;
    static const clap_plugin_audio_ports_t audioPortsTable;
    static const clap_plugin_audio_ports_activation_t audioPortsActivationTable;
    static const clap_plugin_params_t paramsTable;
    static const clap_plugin_note_ports_t notePortsTable;
    static const clap_plugin_timer_support_t timerSupportTable;
    static const clap_plugin_gui_t guiTable;
};

const clap_plugin_state_t CheckedPlugin::Routes::stateTable { &stateSave, &stateLoad };
const clap_plugin_render_t CheckedPlugin::Routes::renderTable { &renderHasHardRealtimeRequirement, &renderSet };
const clap_plugin_track_info_t CheckedPlugin::Routes::trackInfoTable { &trackInfoChanged };
const clap_plugin_latency_t CheckedPlugin::Routes::latencyTable { &latencyGet };
const clap_plugin_tail_t CheckedPlugin::Routes::tailTable { &tailGet };
const clap_plugin_audio_ports_t CheckedPlugin::Routes::audioPortsTable { &audioPortsCount, &audioPortsGet };
const clap_plugin_audio_ports_activation_t CheckedPlugin::Routes::audioPortsActivationTable { &canActivateWhileProcessing,
                                                                                              &setActive };
const clap_plugin_params_t CheckedPlugin::Routes::paramsTable {
    &paramsCount, &paramsGetInfo, &paramsGetValue, &paramsValueToText, &paramsTextToValue, &paramsFlush
};
const clap_plugin_note_ports_t CheckedPlugin::Routes::notePortsTable { &notePortsCount, &notePortsGet };
const clap_plugin_timer_support_t CheckedPlugin::Routes::timerSupportTable { &onTimer };
const clap_plugin_gui_t CheckedPlugin::Routes::guiTable {
    &guiIsApiSupported, &guiGetPreferredApi, &guiCreate, &guiDestroy, &guiSetScale,
    &guiGetSize, &guiCanResize, &guiGetResizeHints, &guiAdjustSize, &guiSetSize,
    &guiSetParent, &guiSetTransient, &guiSuggestTitle, &guiShow, &guiHide
};

//==============================================================================
CheckedPlugin::CheckedPlugin (const clap_plugin_descriptor_t* descriptor, const clap_host_t* host) noexcept
    : hostInterfaces (host)
{
    plugin.desc = descriptor;
    plugin.plugin_data = this;
    plugin.init = &Routes::init;
    plugin.destroy = &Routes::destroy;
    plugin.activate = &Routes::activate;
    plugin.deactivate = &Routes::deactivate;
    plugin.start_processing = &Routes::startProcessing;
    plugin.stop_processing = &Routes::stopProcessing;
    plugin.reset = &Routes::reset;
    plugin.process = &Routes::process;
    plugin.get_extension = &Routes::getExtension;
    plugin.on_main_thread = &Routes::onMainThread;
}

CheckedPlugin::~CheckedPlugin() = default;

CheckedPlugin& CheckedPlugin::fromClapPlugin (const clap_plugin_t* record) noexcept
{
    // No instance means no host tables: these go straight to standard error.
    if (record == nullptr)
    {
        HostInterfaces().report (Report::nullPluginRecord);
        std::terminate();
    }

    if (record->plugin_data == nullptr)
    {
        HostInterfaces().report (Report::nullPluginData);
        std::terminate();
    }

    return *static_cast<CheckedPlugin*> (record->plugin_data);
}

//==============================================================================
void CheckedPlugin::log (clap_log_severity severity, const std::string& text) const noexcept
{
    hostInterfaces.log (severity, text.c_str());
}

bool CheckedPlugin::checkInitRequired() const noexcept
{
    if (initialised)
        return true;

    report (Report::initRequired);
    return false;
}

void CheckedPlugin::checkBeforeInit (const char* method) const noexcept
{
    if (! initialised)
        report (Report::calledBeforeInit, method);
}

void CheckedPlugin::checkMainThread (const char* name) const noexcept
{
    if (hostInterfaces.isKnownOffMainThread())
        report (Report::wrongThreadMain, name);
}

void CheckedPlugin::checkAudioThread (const char* name) const noexcept
{
    if (hostInterfaces.isKnownOffAudioThread())
        report (Report::wrongThreadAudio, name);
}

void CheckedPlugin::checkedDeactivate() noexcept
{
    checkInitRequired();
    checkBeforeInit ("deactivate");
    checkMainThread ("clap_plugin.deactivate");

    if (! active)
    {
        report (Report::deactivatedTwice);
        return;
    }

    deactivateNow();
}

void CheckedPlugin::deactivateNow() noexcept
{
    deactivate();
    active = false;
    sampleRate = 0.0;
}

void CheckedPlugin::destroyGuiNow() noexcept
{
    guiDestroy();
    guiCreated = false;
    guiFloating = false;
    guiParented = false;
}

const void* CheckedPlugin::extensionFor (const char* id) const noexcept
{
    const auto is = [id] (const char* candidate)
    { return std::strcmp (id, candidate) == 0; };

    if (is (CLAP_EXT_STATE))
        return implementsState() ? &Routes::stateTable : nullptr;

    if (is (CLAP_EXT_RENDER))
        return implementsRender() ? &Routes::renderTable : nullptr;

    if (is (CLAP_EXT_TRACK_INFO) || is (CLAP_EXT_TRACK_INFO_COMPAT))
        return implementsTrackInfo() ? &Routes::trackInfoTable : nullptr;

    if (is (CLAP_EXT_LATENCY))
        return implementsLatency() ? &Routes::latencyTable : nullptr;

    if (is (CLAP_EXT_AUDIO_PORTS))
        return implementsAudioPorts() ? &Routes::audioPortsTable : nullptr;

    if (is (CLAP_EXT_AUDIO_PORTS_ACTIVATION) || is (CLAP_EXT_AUDIO_PORTS_ACTIVATION_COMPAT))
        return implementsAudioPortsActivation() ? &Routes::audioPortsActivationTable : nullptr;

    if (is (CLAP_EXT_PARAMS))
        return implementsParams() ? &Routes::paramsTable : nullptr;

    if (is (CLAP_EXT_NOTE_PORTS))
        return implementsNotePorts() ? &Routes::notePortsTable : nullptr;

    if (is (CLAP_EXT_TIMER_SUPPORT))
        return implementsTimerSupport() ? &Routes::timerSupportTable : nullptr;

    if (is (CLAP_EXT_GUI))
        return implementsGui() ? &Routes::guiTable : nullptr;

    if (is (CLAP_EXT_TAIL))
        return implementsTail() ? &Routes::tailTable : nullptr;

    return nullptr;
}

//==============================================================================
bool CheckedPlugin::scheduleOnMainThread (std::function<void()> task) noexcept
{
    if (! task)
        return false;

    if (hostInterfaces.isKnownMainThread())
    {
        try
        {
            task();
        }
        catch (...)
        {
        }

        return true;
    }

    try
    {
        const std::lock_guard<std::mutex> lock (taskMutex);
        tasks.push_back (std::move (task));
    }
    catch (...)
    {
        return false;
    }

    hostInterfaces.requestCallback();
    return true;
}

void CheckedPlugin::runCallbacksOnMainThread() noexcept
{
    if (hostInterfaces.isKnownOffMainThread())
    {
        report (Report::runCallbacksWrongThread);
        return;
    }

    for (;;)
    {
        std::function<void()> task;

        {
            const std::lock_guard<std::mutex> lock (taskMutex);

            if (tasks.empty())
                return;

            task = std::move (tasks.front());
            tasks.pop_front();
        }

        try
        {
            task();
        }
        catch (...)
        {
        }
    }
}

//==============================================================================
void CheckedPlugin::callHostLatencyChanged() const noexcept
{
    const auto& host = hostInterfaces;

    if (beingDestroyed || host.latency == nullptr)
        return;

    if (! host.hasCompleteLatency())
        report (Report::hostLatencyPartial);
    else
        host.latencyChanged();
}

void CheckedPlugin::callHostParamsRescan (clap_param_rescan_flags flags) const noexcept
{
    const auto& host = hostInterfaces;

    if (beingDestroyed || host.params == nullptr)
        return;

    if (! host.hasCompleteParams())
        report (Report::hostParamsPartial);
    else
        host.paramsRescan (flags);
}

void CheckedPlugin::callHostStateDirty() const noexcept
{
    const auto& host = hostInterfaces;

    if (beingDestroyed || host.state == nullptr)
        return;

    if (! host.hasCompleteState())
        report (Report::hostStatePartial);
    else
        host.stateMarkDirty();
}

void CheckedPlugin::notifyHostLatencyChanged() noexcept
{
    // Only the main thread changes the activation flags, and never while the audio thread
    // processes, so reading them here is safe from either thread.
    if (activating || active)
    {
        latencyReportPending = true;

        if (! activating && ! restartRequested.exchange (true))
            hostInterfaces.requestRestart();

        return;
    }

    scheduleOnMainThread ([this]
                          { callHostLatencyChanged(); });
}

void CheckedPlugin::notifyHostParamsRescan (clap_param_rescan_flags flags) noexcept
{
    scheduleOnMainThread ([this, flags]
                          { callHostParamsRescan (flags); });
}

void CheckedPlugin::notifyHostStateDirty() noexcept
{
    scheduleOnMainThread ([this]
                          { callHostStateDirty(); });
}

void CheckedPlugin::requestHostParamsFlush() noexcept
{
    if (hostInterfaces.params == nullptr)
        return;

    if (! hostInterfaces.hasCompleteParams())
        report (Report::hostParamsPartial);
    else
        hostInterfaces.paramsRequestFlush();
}

} // namespace clapcheck
