#pragma once

#include <clap/entry.h>
#include <clap/plugin-factory.h>

#include <string>
#include <vector>

namespace wrendlehost
{

/** One loaded CLAP module: the shared library, its `clap_entry` (initialised)
    and its plug-in factory.

    The library is deliberately never unloaded. Plug-ins built on large
    frameworks often leave helper threads or atexit handlers behind that still
    point into their code; unloading the library before the process ends would
    turn those into crashes at exit. The entry's deinit is still called.
*/
class Module
{
public:
    /** Loads the module at the path (a file, or a macOS bundle folder), finds
        `clap_entry`, checks its CLAP version, calls init and fetches the plug-in
        factory. Throws HostError (exit code 2) with a one-line reason.
    */
    explicit Module (const std::string& pathToLoad);
    ~Module();

    Module (const Module&) = delete;
    Module& operator= (const Module&) = delete;

    const std::string& getPath() const noexcept { return path; }
    const clap_plugin_entry_t& getEntry() const noexcept { return *entry; }
    const clap_plugin_factory_t& getFactory() const noexcept { return *factory; }

    /** Every descriptor the factory offers, in factory order; null ones skipped. */
    std::vector<const clap_plugin_descriptor_t*> getDescriptors() const;

    /** The descriptor with the id, or the first one when the id is empty.
        Throws HostError (exit code 2) when there is none.
    */
    const clap_plugin_descriptor_t& chooseDescriptor (const std::string& pluginId) const;

private:
    std::string path;
    void* library = nullptr;
    const clap_plugin_entry_t* entry = nullptr;
    const clap_plugin_factory_t* factory = nullptr;
    bool entryInitialised = false;
};

} // namespace wrendlehost
