#include "Module.h"

#include "HostError.h"

#include <cstring>
#include <filesystem>
#include <system_error>

#if defined(_WIN32)
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#else
#include <dlfcn.h>
#endif

namespace fs = std::filesystem;

namespace wrendlehost
{

namespace
{
    /** A macOS plug-in is a bundle folder; the loadable binary sits in
        Contents/MacOS, normally named like the bundle. Anything else is loaded
        as given.
    */
    fs::path findBinary (const fs::path& given)
    {
        std::error_code ec;

        if (! fs::is_directory (given, ec))
            return given;

        const auto macOsFolder = given / "Contents" / "MacOS";
        const auto sameName = macOsFolder / given.stem();

        if (fs::is_regular_file (sameName, ec))
            return sameName;

        if (fs::is_directory (macOsFolder, ec))
            for (const auto& item : fs::directory_iterator (macOsFolder, ec))
                if (item.is_regular_file (ec))
                    return item.path();

        throw failure ("'" + given.string() + "' is a folder, not a CLAP module");
    }

#if defined(_WIN32)
    std::string lastSystemError()
    {
        char text[512] = {};
        FormatMessageA (FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                        nullptr, GetLastError(), 0, text, sizeof (text), nullptr);
        std::string message (text);

        while (! message.empty() && (message.back() == '\n' || message.back() == '\r' || message.back() == '.'))
            message.pop_back();

        return message;
    }

    void* openLibrary (const fs::path& binary)
    {
        auto* handle = LoadLibraryW (binary.wstring().c_str());

        if (handle == nullptr)
            throw failure ("cannot load '" + binary.string() + "': " + lastSystemError());

        return reinterpret_cast<void*> (handle);
    }

    void* findSymbol (void* library, const char* name)
    {
        return reinterpret_cast<void*> (GetProcAddress (reinterpret_cast<HMODULE> (library), name));
    }
#else
    void* openLibrary (const fs::path& binary)
    {
        // RTLD_LOCAL keeps the plug-in's symbols out of the global namespace, as
        // every DAW does; two plug-ins built on the same framework must not
        // resolve each other's code.
        auto* handle = dlopen (binary.c_str(), RTLD_NOW | RTLD_LOCAL);

        if (handle == nullptr)
        {
            const char* reason = dlerror();
            throw failure ("cannot load '" + binary.string() + "': " + (reason != nullptr ? reason : "unknown error"));
        }

        return handle;
    }

    void* findSymbol (void* library, const char* name)
    {
        dlerror();
        return dlsym (library, name);
    }
#endif

    std::string versionText (const clap_version_t& v)
    {
        return std::to_string (v.major) + "." + std::to_string (v.minor) + "." + std::to_string (v.revision);
    }
} // namespace

Module::Module (const std::string& pathToLoad)
    : path (pathToLoad)
{
    std::error_code ec;
    const fs::path given (pathToLoad);

    if (! fs::exists (given, ec))
        throw failure ("no such file: '" + pathToLoad + "'");

    const auto binary = findBinary (given);
    library = openLibrary (binary);

    entry = static_cast<const clap_plugin_entry_t*> (findSymbol (library, "clap_entry"));

    if (entry == nullptr)
        throw failure ("'" + pathToLoad + "' is not a CLAP module: it exports no clap_entry");

    if (! clap_version_is_compatible (entry->clap_version))
        throw failure ("'" + pathToLoad + "' uses an incompatible CLAP version " + versionText (entry->clap_version));

    if (entry->init == nullptr || entry->get_factory == nullptr)
        throw failure ("the clap_entry of '" + pathToLoad + "' is incomplete (no init or get_factory)");

    // CLAP wants the module's own path here: the file on Linux and Windows, the
    // bundle on macOS. Plug-ins use it to find resources next to themselves.
    const auto absolutePath = fs::absolute (given, ec);
    const auto pathForEntry = ec ? pathToLoad : absolutePath.string();

    if (! entry->init (pathForEntry.c_str()))
        throw failure ("the module '" + pathToLoad + "' refused to initialise (clap_entry.init returned false)");

    entryInitialised = true;
    factory = static_cast<const clap_plugin_factory_t*> (entry->get_factory (CLAP_PLUGIN_FACTORY_ID));

    if (factory == nullptr || factory->get_plugin_count == nullptr || factory->get_plugin_descriptor == nullptr
        || factory->create_plugin == nullptr)
    {
        throw failure ("the module '" + pathToLoad + "' offers no plug-in factory");
    }
}

Module::~Module()
{
    if (entryInitialised && entry->deinit != nullptr)
        entry->deinit();
}

std::vector<const clap_plugin_descriptor_t*> Module::getDescriptors() const
{
    std::vector<const clap_plugin_descriptor_t*> result;
    const auto count = factory->get_plugin_count (factory);

    for (uint32_t i = 0; i < count; ++i)
        if (const auto* descriptor = factory->get_plugin_descriptor (factory, i);
            descriptor != nullptr && descriptor->id != nullptr)
            result.push_back (descriptor);

    return result;
}

const clap_plugin_descriptor_t& Module::chooseDescriptor (const std::string& pluginId) const
{
    const auto descriptors = getDescriptors();

    if (descriptors.empty())
        throw failure ("the module '" + path + "' offers no plug-in");

    if (pluginId.empty())
        return *descriptors.front();

    for (const auto* descriptor : descriptors)
        if (pluginId == descriptor->id)
            return *descriptor;

    std::string known;

    for (const auto* descriptor : descriptors)
        known += (known.empty() ? "" : ", ") + std::string (descriptor->id);

    throw failure ("the module offers no plug-in with id '" + pluginId + "' (it offers: " + known + ")");
}

} // namespace wrendlehost
