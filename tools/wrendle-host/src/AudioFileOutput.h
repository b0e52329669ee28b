#pragma once

#include <sndfile.h>

#include <filesystem>
#include <memory>
#include <string>

namespace wrendlehost
{

struct SndFileCloser
{
    void operator() (SNDFILE* file) const { sf_close (file); }
};

using SndFilePtr = std::unique_ptr<SNDFILE, SndFileCloser>;

/** A 32-bit float WAV written under a temporary name next to the target and
    renamed over it only when complete, so an interrupted or failed command
    never leaves a truncated file where the user expects a result (and never
    destroys a previous good one).
*/
class TemporaryOutput
{
public:
    explicit TemporaryOutput (const std::string& targetPath);
    ~TemporaryOutput();

    TemporaryOutput (const TemporaryOutput&) = delete;
    TemporaryOutput& operator= (const TemporaryOutput&) = delete;

    /** Throws HostError (exit code 2) when the file cannot be created. */
    SNDFILE* open (int channels, int sampleRateHz);

    /** Closes the file and puts it in place. Throws HostError (exit code 2). */
    void commit();

private:
    static std::string uniqueSuffix();

    std::filesystem::path target, temporary;
    SndFilePtr file;
    bool committed = false;
};

} // namespace wrendlehost
