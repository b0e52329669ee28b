#pragma once

/**
    Declarations of the CLAP 1.2 extensions that some distributions of the CLAP
    headers leave out (log, tail, render, track-info, audio-ports-activation,
    context-menu, posix-fd-support), plus the colour record that track-info
    needs. Declarations only, as the published interface has them: the plug-in,
    its checking layer, the tests and the command-line host all read this one
    header, and it links nothing.

    Each block first looks for the official header and includes it when the
    include path has one, so a fuller CLAP installation always wins and nothing
    is declared twice. Only when the official file is missing do the
    declarations below take over. They are guarded by the same include-guard
    macros that recent official headers use (CLAP_EXT_..._H), so including an
    official header after this one is harmless too.

    Pitfall: the official extension ids are constexpr character arrays, not
    macros, so "#ifdef CLAP_EXT_LOG" can never tell whether an id already
    exists; that is why the guards test the header-guard macros instead.
    __has_include is standard from C++17 on, which this header requires.
*/

#include <clap/id.h>
#include <clap/plugin.h>
#include <clap/string-sizes.h>

//==============================================================================
// Colour (used by track-info)
#if __has_include(<clap/color.h>)
#include <clap/color.h>
#elif ! defined(CLAP_COLOR_H)
#define CLAP_COLOR_H

#ifdef __cplusplus
extern "C"
{
#endif

    typedef struct clap_color
    {
        uint8_t alpha;
        uint8_t red;
        uint8_t green;
        uint8_t blue;
    } clap_color_t;

    static const CLAP_CONSTEXPR clap_color_t CLAP_COLOR_TRANSPARENT = { 0, 0, 0, 0 };

#ifdef __cplusplus
}
#endif
#endif

//==============================================================================
// Log
#if __has_include(<clap/ext/log.h>)
#include <clap/ext/log.h>
#elif ! defined(CLAP_EXT_LOG_H)
#define CLAP_EXT_LOG_H

static CLAP_CONSTEXPR const char CLAP_EXT_LOG[] = "clap.log";

#ifdef __cplusplus
extern "C"
{
#endif

    enum
    {
        CLAP_LOG_DEBUG = 0,
        CLAP_LOG_INFO = 1,
        CLAP_LOG_WARNING = 2,
        CLAP_LOG_ERROR = 3,
        CLAP_LOG_FATAL = 4,

        // Reserved for reporting misbehaviour; the plug-in one is meant for a layer
        // sitting between the plug-in and the host.
        CLAP_LOG_HOST_MISBEHAVING = 5,
        CLAP_LOG_PLUGIN_MISBEHAVING = 6,
    };
    typedef int32_t clap_log_severity;

    typedef struct clap_host_log
    {
        // [thread-safe]
        void (CLAP_ABI* log) (const clap_host_t* host, clap_log_severity severity, const char* msg);
    } clap_host_log_t;

#ifdef __cplusplus
}
#endif
#endif

//==============================================================================
// Tail
#if __has_include(<clap/ext/tail.h>)
#include <clap/ext/tail.h>
#elif ! defined(CLAP_EXT_TAIL_H)
#define CLAP_EXT_TAIL_H

static CLAP_CONSTEXPR const char CLAP_EXT_TAIL[] = "clap.tail";

#ifdef __cplusplus
extern "C"
{
#endif

    typedef struct clap_plugin_tail
    {
        // Tail length in samples; INT32_MAX or more means an infinite tail.
        // [main-thread, audio-thread]
        uint32_t (CLAP_ABI* get) (const clap_plugin_t* plugin);
    } clap_plugin_tail_t;

    typedef struct clap_host_tail
    {
        // [audio-thread]
        void (CLAP_ABI* changed) (const clap_host_t* host);
    } clap_host_tail_t;

#ifdef __cplusplus
}
#endif
#endif

//==============================================================================
// Render
#if __has_include(<clap/ext/render.h>)
#include <clap/ext/render.h>
#elif ! defined(CLAP_EXT_RENDER_H)
#define CLAP_EXT_RENDER_H

static CLAP_CONSTEXPR const char CLAP_EXT_RENDER[] = "clap.render";

#ifdef __cplusplus
extern "C"
{
#endif

    enum
    {
        CLAP_RENDER_REALTIME = 0,
        CLAP_RENDER_OFFLINE = 1,
    };
    typedef int32_t clap_plugin_render_mode;

    typedef struct clap_plugin_render
    {
        // [main-thread]
        bool (CLAP_ABI* has_hard_realtime_requirement) (const clap_plugin_t* plugin);

        // Returns true if the mode could be applied. [main-thread]
        bool (CLAP_ABI* set) (const clap_plugin_t* plugin, clap_plugin_render_mode mode);
    } clap_plugin_render_t;

#ifdef __cplusplus
}
#endif
#endif

//==============================================================================
// Track info (final id plus the draft id that older hosts still answer to)
#if __has_include(<clap/ext/track-info.h>)
#include <clap/ext/track-info.h>
#elif ! defined(CLAP_EXT_TRACK_INFO_H)
#define CLAP_EXT_TRACK_INFO_H

static CLAP_CONSTEXPR const char CLAP_EXT_TRACK_INFO[] = "clap.track-info/1";
static CLAP_CONSTEXPR const char CLAP_EXT_TRACK_INFO_COMPAT[] = "clap.track-info.draft/1";

#ifdef __cplusplus
extern "C"
{
#endif

    enum
    {
        CLAP_TRACK_INFO_HAS_TRACK_NAME = (1 << 0),
        CLAP_TRACK_INFO_HAS_TRACK_COLOR = (1 << 1),
        CLAP_TRACK_INFO_HAS_AUDIO_CHANNEL = (1 << 2),
        CLAP_TRACK_INFO_IS_FOR_RETURN_TRACK = (1 << 3),
        CLAP_TRACK_INFO_IS_FOR_BUS = (1 << 4),
        CLAP_TRACK_INFO_IS_FOR_MASTER = (1 << 5),
    };

    typedef struct clap_track_info
    {
        uint64_t flags;
        char name[CLAP_NAME_SIZE];
        clap_color_t color;
        int32_t audio_channel_count;
        const char* audio_port_type;
    } clap_track_info_t;

    typedef struct clap_plugin_track_info
    {
        // [main-thread]
        void (CLAP_ABI* changed) (const clap_plugin_t* plugin);
    } clap_plugin_track_info_t;

    typedef struct clap_host_track_info
    {
        // Returns true on success and fills info. [main-thread]
        bool (CLAP_ABI* get) (const clap_host_t* host, clap_track_info_t* info);
    } clap_host_track_info_t;

#ifdef __cplusplus
}
#endif
#endif

//==============================================================================
// Audio ports activation (final id plus the draft id)
#if __has_include(<clap/ext/audio-ports-activation.h>)
#include <clap/ext/audio-ports-activation.h>
#elif ! defined(CLAP_EXT_AUDIO_PORTS_ACTIVATION_H)
#define CLAP_EXT_AUDIO_PORTS_ACTIVATION_H

static CLAP_CONSTEXPR const char CLAP_EXT_AUDIO_PORTS_ACTIVATION[] = "clap.audio-ports-activation/2";
static CLAP_CONSTEXPR const char CLAP_EXT_AUDIO_PORTS_ACTIVATION_COMPAT[] = "clap.audio-ports-activation/draft-2";

#ifdef __cplusplus
extern "C"
{
#endif

    typedef struct clap_plugin_audio_ports_activation
    {
        // [main-thread]
        bool (CLAP_ABI* can_activate_while_processing) (const clap_plugin_t* plugin);

        // sample_size is 32, 64 or 0 when unspecified.
        // [active ? audio-thread : main-thread]
        bool (CLAP_ABI* set_active) (const clap_plugin_t* plugin,
                                     bool is_input,
                                     uint32_t port_index,
                                     bool is_active,
                                     uint32_t sample_size);
    } clap_plugin_audio_ports_activation_t;

#ifdef __cplusplus
}
#endif
#endif

//==============================================================================
// Context menu (final id plus the draft id)
#if __has_include(<clap/ext/context-menu.h>)
#include <clap/ext/context-menu.h>
#elif ! defined(CLAP_EXT_CONTEXT_MENU_H)
#define CLAP_EXT_CONTEXT_MENU_H

static CLAP_CONSTEXPR const char CLAP_EXT_CONTEXT_MENU[] = "clap.context-menu/1";
static CLAP_CONSTEXPR const char CLAP_EXT_CONTEXT_MENU_COMPAT[] = "clap.context-menu.draft/0";

#ifdef __cplusplus
extern "C"
{
#endif

    enum
    {
        CLAP_CONTEXT_MENU_TARGET_KIND_GLOBAL = 0,
        CLAP_CONTEXT_MENU_TARGET_KIND_PARAM = 1,
    };

    typedef struct clap_context_menu_target
    {
        uint32_t kind;
        clap_id id;
    } clap_context_menu_target_t;

    enum
    {
        CLAP_CONTEXT_MENU_ITEM_ENTRY,         // data: const clap_context_menu_entry_t*
        CLAP_CONTEXT_MENU_ITEM_CHECK_ENTRY,   // data: const clap_context_menu_check_entry_t*
        CLAP_CONTEXT_MENU_ITEM_SEPARATOR,     // data: NULL
        CLAP_CONTEXT_MENU_ITEM_BEGIN_SUBMENU, // data: const clap_context_menu_submenu_t*
        CLAP_CONTEXT_MENU_ITEM_END_SUBMENU,   // data: NULL
        CLAP_CONTEXT_MENU_ITEM_TITLE,         // data: const clap_context_menu_item_title_t*
    };
    typedef uint32_t clap_context_menu_item_kind_t;

    typedef struct clap_context_menu_entry
    {
        const char* label;
        bool is_enabled;
        clap_id action_id;
    } clap_context_menu_entry_t;

    typedef struct clap_context_menu_check_entry
    {
        const char* label;
        bool is_enabled;
        bool is_checked;
        clap_id action_id;
    } clap_context_menu_check_entry_t;

    typedef struct clap_context_menu_item_title
    {
        const char* title;
        bool is_enabled;
    } clap_context_menu_item_title_t;

    typedef struct clap_context_menu_submenu
    {
        const char* label;
        bool is_enabled;
    } clap_context_menu_submenu_t;

    // Not thread-safe: use it only on the thread it was handed to.
    typedef struct clap_context_menu_builder
    {
        void* ctx;

        bool (CLAP_ABI* add_item) (const struct clap_context_menu_builder* builder,
                                   clap_context_menu_item_kind_t item_kind,
                                   const void* item_data);

        bool (CLAP_ABI* supports) (const struct clap_context_menu_builder* builder,
                                   clap_context_menu_item_kind_t item_kind);
    } clap_context_menu_builder_t;

    typedef struct clap_plugin_context_menu
    {
        // [main-thread]
        bool (CLAP_ABI* populate) (const clap_plugin_t* plugin,
                                   const clap_context_menu_target_t* target,
                                   const clap_context_menu_builder_t* builder);

        // [main-thread]
        bool (CLAP_ABI* perform) (const clap_plugin_t* plugin,
                                  const clap_context_menu_target_t* target,
                                  clap_id action_id);
    } clap_plugin_context_menu_t;

    typedef struct clap_host_context_menu
    {
        // [main-thread]
        bool (CLAP_ABI* populate) (const clap_host_t* host,
                                   const clap_context_menu_target_t* target,
                                   const clap_context_menu_builder_t* builder);

        // [main-thread]
        bool (CLAP_ABI* perform) (const clap_host_t* host,
                                  const clap_context_menu_target_t* target,
                                  clap_id action_id);

        // [main-thread]
        bool (CLAP_ABI* can_popup) (const clap_host_t* host);

        // x and y are relative to the plug-in window for embedded GUIs. [main-thread]
        bool (CLAP_ABI* popup) (const clap_host_t* host,
                                const clap_context_menu_target_t* target,
                                int32_t screen_index,
                                int32_t x,
                                int32_t y);
    } clap_host_context_menu_t;

#ifdef __cplusplus
}
#endif
#endif

//==============================================================================
// POSIX file descriptors (lets a plug-in have the host watch its sockets, such
// as the X11 connection of its editor, on the main thread)
#if __has_include(<clap/ext/posix-fd-support.h>)
#include <clap/ext/posix-fd-support.h>
#elif ! defined(CLAP_EXT_POSIX_FD_SUPPORT_H)
#define CLAP_EXT_POSIX_FD_SUPPORT_H

static CLAP_CONSTEXPR const char CLAP_EXT_POSIX_FD_SUPPORT[] = "clap.posix-fd-support";

#ifdef __cplusplus
extern "C"
{
#endif

    enum
    {
        CLAP_POSIX_FD_READ = 1 << 0,
        CLAP_POSIX_FD_WRITE = 1 << 1,
        CLAP_POSIX_FD_ERROR = 1 << 2,
    };
    typedef uint32_t clap_posix_fd_flags_t;

    typedef struct clap_plugin_posix_fd_support
    {
        // A registered descriptor is ready. [main-thread]
        void (CLAP_ABI* on_fd) (const clap_plugin_t* plugin, int fd, clap_posix_fd_flags_t flags);
    } clap_plugin_posix_fd_support_t;

    typedef struct clap_host_posix_fd_support
    {
        // [main-thread]
        bool (CLAP_ABI* register_fd) (const clap_host_t* host, int fd, clap_posix_fd_flags_t flags);

        // [main-thread]
        bool (CLAP_ABI* modify_fd) (const clap_host_t* host, int fd, clap_posix_fd_flags_t flags);

        // [main-thread]
        bool (CLAP_ABI* unregister_fd) (const clap_host_t* host, int fd);
    } clap_host_posix_fd_support_t;

#ifdef __cplusplus
}
#endif
#endif
