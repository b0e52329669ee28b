#pragma once

#include <cstdint>
#include <optional>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

namespace wrendlehost
{

/** Options every sub-command shares. */
struct CommonOptions
{
    std::string modulePath;
    std::string pluginId; ///< empty: the module's first plug-in
    bool showDebugLogs = false;
};

struct InfoOptions : CommonOptions
{
    bool json = false;
    double sampleRateHz = 48000.0;
    uint32_t maxBlockFrames = 512;
};

struct RenderOptions : CommonOptions
{
    std::string inputPath;
    std::string outputPath;

    /** NAME=VALUE assignments in command-line order (later ones win). */
    std::vector<std::pair<std::string, std::string>> parameterSettings;

    std::optional<double> sampleRateHz; ///< default: the input file's rate
    uint32_t blockFrames = 512;
    std::optional<double> tailSeconds; ///< default: the tail the plug-in reports
    bool allowProgress = true;
};

struct CheckOptions : CommonOptions
{
    double sampleRateHz = 48000.0;
    double otherSampleRateHz = 44100.0;
    uint32_t maxBlockFrames = 512;
    bool allowGui = true;
};

struct GuiOptions : CommonOptions
{
    std::optional<double> seconds; ///< none: until the window is closed
    std::string screenshotPath;    ///< empty: none
    std::optional<double> scale;   ///< none: leave the plug-in's own
};

struct GenerateOptions
{
    std::string outputPath;
    double seconds = 4.0;
    double sampleRateHz = 48000.0;
};

/** Each writes its result to `out` and returns the process exit code;
    failures throw HostError (after writing whatever result there is).
*/
int runInfo (const InfoOptions& options, std::ostream& out);
int runRender (const RenderOptions& options, std::ostream& out);
int runCheck (const CheckOptions& options, std::ostream& out);
int runGenerate (const GenerateOptions& options, std::ostream& out);
int runGui (const GuiOptions& options, std::ostream& out);

} // namespace wrendlehost
