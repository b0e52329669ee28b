#include "AudioFileOutput.h"

#include "HostError.h"
#include "SystemUtilities.h"

#include <chrono>
#include <system_error>

namespace fs = std::filesystem;

namespace wrendlehost
{

TemporaryOutput::TemporaryOutput (const std::string& targetPath)
    : target (targetPath), temporary (targetPath + ".partial-" + uniqueSuffix())
{
}

TemporaryOutput::~TemporaryOutput()
{
    if (! committed)
    {
        file.reset();
        std::error_code ec;
        fs::remove (temporary, ec);
    }
}

SNDFILE* TemporaryOutput::open (int channels, int sampleRateHz)
{
    SF_INFO format {};
    format.channels = channels;
    format.samplerate = sampleRateHz;
    format.format = SF_FORMAT_WAV | SF_FORMAT_FLOAT;

    file.reset (sf_open (temporary.string().c_str(), SFM_WRITE, &format));

    if (file == nullptr)
        throw failure ("cannot write '" + target.string() + "': " + sf_strerror (nullptr));

    return file.get();
}

void TemporaryOutput::commit()
{
    file.reset(); // closing writes the final header

    std::error_code ec;
    fs::rename (temporary, target, ec);

    if (ec)
        throw failure ("cannot replace '" + target.string() + "': " + ec.message());

    committed = true;
}

std::string TemporaryOutput::uniqueSuffix()
{
    const auto ticks = std::chrono::steady_clock::now().time_since_epoch().count();
    return std::to_string (currentProcessId()) + "-" + std::to_string (ticks & 0xffffff);
}

} // namespace wrendlehost
