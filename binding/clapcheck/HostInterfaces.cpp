#include "binding/clapcheck/HostInterfaces.h"

#include <iostream>

namespace clapcheck
{

namespace
{
    /** The host's requests that take no argument; a host may leave any of them out. */
    using HostRequest = void (CLAP_ABI*) (const clap_host_t*);

    bool callHost (const clap_host_t* host, HostRequest clap_host_t::*request) noexcept
    {
        if (host == nullptr || host->*request == nullptr)
            return false;

        (host->*request) (host);
        return true;
    }
} // namespace

const void* HostInterfaces::ask (const char* id) const noexcept
{
    if (host == nullptr || host->get_extension == nullptr)
        return nullptr;

    return host->get_extension (host, id);
}

const void* HostInterfaces::askWithDraft (const char* id, const char* draftId) const noexcept
{
    if (const auto* table = ask (id))
        return table;

    return ask (draftId);
}

void HostInterfaces::fetch() noexcept
{
    // The order is observable by hosts that log extension queries; keep it.
    hostLog = static_cast<const clap_host_log_t*> (ask (CLAP_EXT_LOG));
    threadCheck = static_cast<const clap_host_thread_check_t*> (ask (CLAP_EXT_THREAD_CHECK));
    threadPool = ask (hostExtensionIds::threadPool);
    audioPorts = static_cast<const clap_host_audio_ports_t*> (ask (CLAP_EXT_AUDIO_PORTS));
    audioPortsConfig = ask (hostExtensionIds::audioPortsConfig);
    notePorts = static_cast<const clap_host_note_ports_t*> (ask (CLAP_EXT_NOTE_PORTS));
    timerSupport = static_cast<const clap_host_timer_support_t*> (ask (CLAP_EXT_TIMER_SUPPORT));
    posixFdSupport = ask (hostExtensionIds::posixFdSupport);
    resourceDirectory = ask (hostExtensionIds::resourceDirectory);
    latency = static_cast<const clap_host_latency_t*> (ask (CLAP_EXT_LATENCY));
    gui = static_cast<const clap_host_gui_t*> (ask (CLAP_EXT_GUI));
    params = static_cast<const clap_host_params_t*> (ask (CLAP_EXT_PARAMS));
    trackInfo = static_cast<const clap_host_track_info_t*> (askWithDraft (CLAP_EXT_TRACK_INFO, CLAP_EXT_TRACK_INFO_COMPAT));
    state = static_cast<const clap_host_state_t*> (ask (CLAP_EXT_STATE));
    noteName = ask (hostExtensionIds::noteName);
    remoteControls = askWithDraft (hostExtensionIds::remoteControls, hostExtensionIds::remoteControlsDraft);
    voiceInfo = ask (hostExtensionIds::voiceInfo);
    contextMenu = static_cast<const clap_host_context_menu_t*> (
        askWithDraft (CLAP_EXT_CONTEXT_MENU, CLAP_EXT_CONTEXT_MENU_COMPAT));
    presetLoad = askWithDraft (hostExtensionIds::presetLoad, hostExtensionIds::presetLoadDraft);
}

//==============================================================================
void HostInterfaces::log (clap_log_severity severity, const char* text) const noexcept
{
    if (text == nullptr)
        text = "";

    if (hasLog())
    {
        hostLog->log (host, severity, text);
        return;
    }

    try
    {
        auto& stream = (severity == CLAP_LOG_ERROR || severity == CLAP_LOG_HOST_MISBEHAVING) ? std::cerr : std::clog;
        stream << text << '\n';
        stream.flush();
    }
    catch (...)
    {
    }
}

void HostInterfaces::emit (Report which, const char* text) const noexcept
{
    const auto& rule = ruleFor (which);

    if (rule.channel == Channel::reportRoutine)
    {
        log (rule.severity, text);
        return;
    }

    try
    {
        std::cerr << text << '\n';
        std::cerr.flush();
    }
    catch (...)
    {
    }
}

//==============================================================================
bool HostInterfaces::hasCompleteThreadCheck() const noexcept
{
    return threadCheck != nullptr && threadCheck->is_main_thread != nullptr && threadCheck->is_audio_thread != nullptr;
}

bool HostInterfaces::hasCompleteParams() const noexcept
{
    return params != nullptr && params->rescan != nullptr && params->clear != nullptr && params->request_flush != nullptr;
}

bool HostInterfaces::hasCompleteContextMenu() const noexcept
{
    return contextMenu != nullptr && contextMenu->populate != nullptr && contextMenu->perform != nullptr
           && contextMenu->can_popup != nullptr && contextMenu->popup != nullptr;
}

bool HostInterfaces::isKnownMainThread() const noexcept
{
    return hasCompleteThreadCheck() && threadCheck->is_main_thread (host);
}

bool HostInterfaces::isKnownOffMainThread() const noexcept
{
    return hasCompleteThreadCheck() && ! threadCheck->is_main_thread (host);
}

bool HostInterfaces::isKnownOffAudioThread() const noexcept
{
    return hasCompleteThreadCheck() && ! threadCheck->is_audio_thread (host);
}

//==============================================================================
void HostInterfaces::checkHostCallOnMainThread (const char* name) const noexcept
{
    if (isKnownOffMainThread())
        report (Report::pluginCallWrongThread, name);
}

bool HostInterfaces::latencyChanged() const noexcept
{
    checkHostCallOnMainThread ("latency.changed");

    if (! hasCompleteLatency())
        return false;

    latency->changed (host);
    return true;
}

bool HostInterfaces::paramsRescan (clap_param_rescan_flags flags) const noexcept
{
    checkHostCallOnMainThread ("params.rescan");

    if (params == nullptr || params->rescan == nullptr)
        return false;

    params->rescan (host, flags);
    return true;
}

bool HostInterfaces::stateMarkDirty() const noexcept
{
    checkHostCallOnMainThread ("state.mark_dirty");

    if (! hasCompleteState())
        return false;

    state->mark_dirty (host);
    return true;
}

bool HostInterfaces::guiRequestResize (uint32_t width, uint32_t height) const noexcept
{
    checkHostCallOnMainThread ("gui.request_resize");

    if (gui == nullptr || gui->request_resize == nullptr)
        return false;

    return gui->request_resize (host, width, height);
}

bool HostInterfaces::trackInfoGet (clap_track_info_t* info) const noexcept
{
    checkHostCallOnMainThread ("track_info.get");

    if (! hasCompleteTrackInfo() || info == nullptr)
        return false;

    return trackInfo->get (host, info);
}

bool HostInterfaces::contextMenuPopulate (const clap_context_menu_target_t* target,
                                          const clap_context_menu_builder_t* builder) const noexcept
{
    checkHostCallOnMainThread ("context_menu.populate");

    if (contextMenu == nullptr || contextMenu->populate == nullptr)
        return false;

    return contextMenu->populate (host, target, builder);
}

bool HostInterfaces::contextMenuCanPopup() const noexcept
{
    checkHostCallOnMainThread ("context_menu.can_popup");

    if (contextMenu == nullptr || contextMenu->can_popup == nullptr)
        return false;

    return contextMenu->can_popup (host);
}

bool HostInterfaces::contextMenuPopup (const clap_context_menu_target_t* target,
                                       int32_t screenIndex,
                                       int32_t x,
                                       int32_t y) const noexcept
{
    checkHostCallOnMainThread ("context_menu.popup");

    if (contextMenu == nullptr || contextMenu->popup == nullptr)
        return false;

    return contextMenu->popup (host, target, screenIndex, x, y);
}

bool HostInterfaces::contextMenuPerform (const clap_context_menu_target_t* target, clap_id actionId) const noexcept
{
    checkHostCallOnMainThread ("context_menu.perform");

    if (contextMenu == nullptr || contextMenu->perform == nullptr)
        return false;

    return contextMenu->perform (host, target, actionId);
}

bool HostInterfaces::paramsRequestFlush() const noexcept
{
    if (! hasCompleteParams())
        return false;

    params->request_flush (host);
    return true;
}

bool HostInterfaces::requestCallback() const noexcept
{
    return callHost (host, &clap_host_t::request_callback);
}

bool HostInterfaces::requestRestart() const noexcept
{
    return callHost (host, &clap_host_t::request_restart);
}

bool HostInterfaces::requestProcess() const noexcept
{
    return callHost (host, &clap_host_t::request_process);
}

} // namespace clapcheck
