#pragma once

/** Declarations of the few CLAP extensions that the CLAP header subset we build
    against does not ship. They follow the published CLAP 1.x interface
    byte for byte, so a plug-in built against the full headers sees exactly the
    tables it expects. Kept local so that the host depends on nothing but the
    public CLAP headers.
*/

#include <clap/plugin.h>

#ifdef __cplusplus
extern "C" {
#endif

//==============================================================================
static const char WRENDLE_HOST_EXT_LOG[] = "clap.log";

enum
{
    WRENDLE_HOST_LOG_DEBUG = 0,
    WRENDLE_HOST_LOG_INFO = 1,
    WRENDLE_HOST_LOG_WARNING = 2,
    WRENDLE_HOST_LOG_ERROR = 3,
    WRENDLE_HOST_LOG_FATAL = 4,
    WRENDLE_HOST_LOG_HOST_MISBEHAVING = 5,
    WRENDLE_HOST_LOG_PLUGIN_MISBEHAVING = 6,
};

typedef int32_t wrendle_host_log_severity;

typedef struct wrendle_host_log
{
    void (CLAP_ABI* log) (const clap_host_t* host, wrendle_host_log_severity severity, const char* msg);
} wrendle_host_log_t;

//==============================================================================
static const char WRENDLE_HOST_EXT_TAIL[] = "clap.tail";

typedef struct wrendle_plugin_tail
{
    /** Tail length in samples; UINT32_MAX means "infinite". */
    uint32_t (CLAP_ABI* get) (const clap_plugin_t* plugin);
} wrendle_plugin_tail_t;

typedef struct wrendle_host_tail
{
    void (CLAP_ABI* changed) (const clap_host_t* host);
} wrendle_host_tail_t;

//==============================================================================
static const char WRENDLE_HOST_EXT_RENDER[] = "clap.render";

enum
{
    WRENDLE_HOST_RENDER_REALTIME = 0,
    WRENDLE_HOST_RENDER_OFFLINE = 1,
};

typedef int32_t wrendle_host_render_mode;

typedef struct wrendle_plugin_render
{
    bool (CLAP_ABI* has_hard_realtime_requirement) (const clap_plugin_t* plugin);
    bool (CLAP_ABI* set_mode) (const clap_plugin_t* plugin, wrendle_host_render_mode mode);
} wrendle_plugin_render_t;

//==============================================================================
static const char WRENDLE_HOST_EXT_POSIX_FD_SUPPORT[] = "clap.posix-fd-support";

enum
{
    WRENDLE_HOST_POSIX_FD_READ = 1 << 0,
    WRENDLE_HOST_POSIX_FD_WRITE = 1 << 1,
    WRENDLE_HOST_POSIX_FD_ERROR = 1 << 2,
};

typedef uint32_t wrendle_host_posix_fd_flags;

typedef struct wrendle_plugin_posix_fd_support
{
    /** A registered descriptor is ready; main thread. */
    void (CLAP_ABI* on_fd) (const clap_plugin_t* plugin, int fd, wrendle_host_posix_fd_flags flags);
} wrendle_plugin_posix_fd_support_t;

typedef struct wrendle_host_posix_fd_support
{
    bool (CLAP_ABI* register_fd) (const clap_host_t* host, int fd, wrendle_host_posix_fd_flags flags);
    bool (CLAP_ABI* modify_fd) (const clap_host_t* host, int fd, wrendle_host_posix_fd_flags flags);
    bool (CLAP_ABI* unregister_fd) (const clap_host_t* host, int fd);
} wrendle_host_posix_fd_support_t;

#ifdef __cplusplus
}
#endif
