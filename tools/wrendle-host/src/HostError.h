#pragma once

#include <stdexcept>
#include <string>

namespace wrendlehost
{

/** Process exit codes of the tool. */
enum ExitCode
{
    exitOk = 0,
    exitUsage = 1,
    exitFailure = 2,
};

/** A failure that ends the command: main() prints the message as one line on
    stderr and exits with the code. Never thrown through a CLAP callback: the
    plug-in calls into the host through C function pointers, and an exception
    crossing that boundary is undefined behaviour.
*/
class HostError : public std::runtime_error
{
public:
    HostError (int exitCodeToUse, const std::string& message)
        : std::runtime_error (message), exitCode (exitCodeToUse)
    {
    }

    int exitCode;
};

inline HostError usageError (const std::string& message)
{
    return HostError (exitUsage, message);
}
inline HostError failure (const std::string& message)
{
    return HostError (exitFailure, message);
}

} // namespace wrendlehost
