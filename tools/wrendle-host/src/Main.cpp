/** wrendle-host: a command-line CLAP host.

    Loads any CLAP module through its `clap_entry`, exactly like a DAW does, and
    describes the plug-in (`info`), runs a WAV file through it offline
    (`render`), puts it through a host-conformance sequence (`check`) or shows its
    editor (`gui`). It links no plug-in code, so it checks what users actually
    get. `generate` writes a test signal to render.
*/

#include "Commands.h"
#include "HostError.h"
#include "SystemUtilities.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <iostream>
#include <memory>
#include <sstream>
#include <string>
#include <type_traits>
#include <vector>

namespace wrendlehost
{

namespace
{
    /** One command's part of the help: its synopsis (after "wrendle-host "; a line break
        continues it under the command's first argument), and what it does with every option
        it takes and an example. */
    struct CommandHelp
    {
        const char* name;
        const char* synopsis;
        const char* text;
        bool takesCommonOptions;
    };

    const CommandHelp commandHelp[] = {
        { "info", "info PATH [--json] [--rate HZ] [--block FRAMES]\n[--id PLUGIN_ID] [--verbose]",
          "info     Shows the plug-in's descriptor, the extensions it offers, its audio\n"
          "         and note ports, its parameters (id, name, range, default and the\n"
          "         plug-in's text for the default), and its latency and tail once\n"
          "         activated.\n"
          "           --json            print the same facts as JSON\n"
          "           --rate HZ         sample rate to activate at (default 48000)\n"
          "           --block FRAMES    largest block to activate for (default 512)\n"
          "         Example:\n"
          "           wrendle-host info /usr/lib/clap/WrendleFold.clap --json > facts.json\n",
          true },
        { "render",
          "render PATH IN.wav OUT.wav [--set NAME=VALUE]... [--rate HZ]\n"
          "[--block FRAMES] [--tail SECONDS] [--no-progress]\n"
          "[--id PLUGIN_ID] [--verbose]",
          "render   Runs IN.wav (mono or stereo) through the plug-in offline, block by\n"
          "         block, and writes OUT.wav (32-bit float) with the plug-in's output\n"
          "         channels. The parameters are set before the plug-in is activated, so\n"
          "         the latency it reports is the one they give; that latency (and the\n"
          "         new one after a restart the plug-in asks for) is compensated, so\n"
          "         OUT.wav lines up sample for sample with IN.wav; it is as long as\n"
          "         IN.wav plus the tail. Prints the levels in and out, the CPU time and\n"
          "         the latency. OUT.wav is replaced only when the render succeeds.\n"
          "           --set NAME=VALUE  set a parameter; NAME is the parameter's name\n"
          "                             (case and spaces do not matter) or its id. A\n"
          "                             plain number is the CLAP value and must lie in\n"
          "                             the range info shows; anything else (\"-6 dB\",\n"
          "                             \"50%\", \"4X\") is read by the plug-in itself.\n"
          "                             Repeatable; a later one wins.\n"
          "           --rate HZ         sample rate to run at (default: the file's;\n"
          "                             no resampling is done)\n"
          "           --block FRAMES    block size (default 512)\n"
          "           --tail SECONDS    audio to render after the input ends\n"
          "                             (default: the tail the plug-in reports)\n"
          "           --no-progress     never show the progress bar (it shows on a\n"
          "                             terminal once a render takes a second)\n"
          "         Example:\n"
          "           wrendle-host render /usr/lib/clap/WrendleFold.clap in.wav out.wav \\\n"
          "               --set \"Fold Amount=0.7\" --set Oversampling=4X --set Mix=50%\n",
          true },
        { "check", "check PATH [--rate HZ] [--other-rate HZ] [--block FRAMES]\n[--no-gui] [--id PLUGIN_ID] [--verbose]",
          "check    Plays a host that makes the mistakes real hosts make, between the\n"
          "         calls every plug-in must get right: init; activate twice; activate\n"
          "         at another rate while active; process before start_processing; a\n"
          "         state save and load round trip into a fresh instance; a parameter\n"
          "         flush while inactive; GUI create, size and destroy (only when a\n"
          "         display exists); destroy; destroy while still active. Prints what\n"
          "         the plug-in answered and every line it sent to the host's log.\n"
          "         Exits with 0 when the plug-in survived.\n"
          "           --rate HZ         first sample rate (default 48000)\n"
          "           --other-rate HZ   the rate of the second activation (default 44100)\n"
          "           --block FRAMES    largest block (default 512)\n"
          "           --no-gui          leave the GUI alone even with a display\n"
          "         Example:\n"
          "           wrendle-host check ~/.clap/WrendleFold.clap --no-gui\n",
          true },
        { "generate", "generate OUT.wav [--seconds SECONDS] [--rate HZ]",
          "generate Writes OUT.wav, a stereo test signal (32-bit float): a 110 Hz sine\n"
          "         left and a 165 Hz sine right under one slow swell from quiet to\n"
          "         loud and back, to hear an effect at every level in one render.\n"
          "           --seconds SECONDS length (default 4)\n"
          "           --rate HZ         sample rate (default 48000)\n"
          "         Example:\n"
          "           wrendle-host generate test.wav --seconds 10 --rate 44100\n",
          false },
        { "gui", "gui PATH [--seconds S] [--screenshot FILE.png] [--scale F]\n[--id PLUGIN_ID] [--verbose]",
          "gui      Opens the plug-in's editor in a window of its own (X11), driving it\n"
          "         only through the timers and file descriptors it registers with the\n"
          "         host, as inside a Linux DAW. Resizing the window resizes the editor\n"
          "         within the limits the plug-in sets. Needs a display.\n"
          "           --seconds S       close after S seconds (default: when the window\n"
          "                             is closed)\n"
          "           --screenshot FILE.png  save what the window shows as it closes\n"
          "           --scale F         ask the plug-in to scale its editor by F\n"
          "                             (1.5 or 150 both mean 150 %)\n"
          "         Example:\n"
          "           wrendle-host gui /usr/lib/clap/WrendleFold.clap --seconds 5 \\\n"
          "               --screenshot editor.png --scale 1.5\n",
          true },
    };

    const char* const introText =
        "Loads a CLAP plug-in module (PATH, e.g. ~/.clap/WrendleFold.clap or\n"
        "/usr/lib/clap/WrendleFold.clap) through its clap_entry, as a DAW does; it links\n"
        "no plug-in code, so it sees what a host sees. An option takes its value as the\n"
        "next argument or after '=' (--rate 44100 or --rate=44100).\n";

    const char* const commonOptionsText =
        "All but generate:\n"
        "           --id PLUGIN_ID    pick a plug-in of a module that holds several\n"
        "                             (info lists them; default: the first)\n"
        "           --verbose, -v     also show the plug-in's debug messages\n";

    const char* const exitStatusText =
        "Exit status: 0 success, 1 usage error, 2 the module, the plug-in or a file\n"
        "failed (the reason is printed on one line).\n";

    const CommandHelp* findCommandHelp (const std::string& name)
    {
        for (const auto& help : commandHelp)
            if (name == help.name)
                return &help;

        return nullptr;
    }

    std::string synopsisLines (const CommandHelp& help)
    {
        const std::string prefix = "  wrendle-host ";
        const std::string indent (prefix.size() + std::strlen (help.name) + 1, ' ');
        std::string text = prefix;

        for (const auto* c = help.synopsis; *c != 0; ++c)
            text += *c == '\n' ? "\n" + indent : std::string (1, *c);

        return text + "\n";
    }

    std::string usageText()
    {
        std::string text = "Usage:\n";

        for (const auto& help : commandHelp)
            text += synopsisLines (help);

        return text + "  wrendle-host help [COMMAND] | COMMAND --help | --version\n";
    }

    std::string helpText()
    {
        std::string text = usageText() + "\n" + introText;

        for (const auto& help : commandHelp)
            text += std::string ("\n") + help.text;

        return text + "\n" + commonOptionsText + "\n" + exitStatusText;
    }

    std::string commandHelpText (const CommandHelp& help)
    {
        std::string text = "Usage:\n" + synopsisLines (help) + "\n" + help.text;

        if (help.takesCommonOptions)
            text += std::string ("\n") + commonOptionsText;

        return text + "\n" + exitStatusText;
    }

    constexpr uint32_t maxBlockFrames = 1u << 20;
    constexpr double maxTailSeconds = 24.0 * 3600.0;
    constexpr double maxSampleRateHz = 10.0e6;

    [[noreturn]] void badArguments (const std::string& message)
    {
        throw usageError (message);
    }

    double parseNumber (const std::string& option, const std::string& text)
    {
        char* end = nullptr;
        const double value = std::strtod (text.c_str(), &end);

        if (text.empty() || end != text.c_str() + text.size() || ! std::isfinite (value))
            badArguments (option + " needs a number, not '" + text + "'");

        return value;
    }

    double parseSampleRate (const std::string& text)
    {
        const auto rate = parseNumber ("--rate", text);

        if (rate < 1.0 || rate > maxSampleRateHz)
            badArguments ("--rate must lie between 1 and 10000000 Hz");

        return rate;
    }

    uint32_t parseBlock (const std::string& text)
    {
        const auto frames = parseNumber ("--block", text);

        if (frames < 1.0 || frames > maxBlockFrames || frames != std::floor (frames))
            badArguments ("--block must be a whole number of frames from 1 to " + std::to_string (maxBlockFrames));

        return static_cast<uint32_t> (frames);
    }

    /** Splits "--name=value" and takes "--name value" from the next argument. */
    class ArgumentReader
    {
    public:
        ArgumentReader (int argc, char** argv)
            : args (argv + 2, argv + argc) {}

        bool next()
        {
            if (position >= args.size())
                return false;

            current = args[position++];
            inlineValue.clear();
            hasInlineValue = false;

            if (current.rfind ("--", 0) == 0)
            {
                if (const auto equals = current.find ('='); equals != std::string::npos)
                {
                    inlineValue = current.substr (equals + 1);
                    current = current.substr (0, equals);
                    hasInlineValue = true;
                }
            }

            return true;
        }

        const std::string& argument() const { return current; }
        bool isOption() const { return current.size() > 1 && current[0] == '-'; }

        std::string value()
        {
            if (hasInlineValue)
                return inlineValue;

            if (position >= args.size())
                badArguments (current + " needs a value");

            return args[position++];
        }

    private:
        std::vector<std::string> args;
        size_t position = 0;
        std::string current, inlineValue;
        bool hasInlineValue = false;
    };

    bool readCommonOption (ArgumentReader& reader, CommonOptions& options)
    {
        const auto& name = reader.argument();

        if (name == "--id")
        {
            options.pluginId = reader.value();
            return true;
        }

        if (name == "--verbose" || name == "-v")
        {
            options.showDebugLogs = true;
            return true;
        }

        return false;
    }

    /** Reads one command's arguments: the options every command shares, then the
        command's own through `readOwnOption` (false: not one of its options), and
        returns the positional arguments in order. */
    template <typename Options, typename OwnOptionReader>
    std::vector<std::string> readArguments (int argc, char** argv, const std::string& command, Options& options,
                                            OwnOptionReader&& readOwnOption)
    {
        std::vector<std::string> positional;
        ArgumentReader reader (argc, argv);

        while (reader.next())
        {
            const auto& name = reader.argument();

            if (! reader.isOption())
            {
                positional.push_back (name);
                continue;
            }

            if constexpr (std::is_base_of_v<CommonOptions, Options>)
                if (readCommonOption (reader, options))
                    continue;

            if (! readOwnOption (name, reader))
                badArguments ("unknown option '" + name + "' for " + command);
        }

        return positional;
    }

    double parseSeconds (const std::string& text)
    {
        const auto seconds = parseNumber ("--seconds", text);

        if (seconds <= 0.0 || seconds > maxTailSeconds)
            badArguments ("--seconds must lie above 0 and up to 86400");

        return seconds;
    }

    InfoOptions parseInfo (int argc, char** argv)
    {
        InfoOptions options;
        const auto positional = readArguments (argc, argv, "info", options, [&] (const std::string& name, ArgumentReader& reader)
                                               {
            if (name == "--json")
                options.json = true;
            else if (name == "--rate")
                options.sampleRateHz = parseSampleRate (reader.value());
            else if (name == "--block")
                options.maxBlockFrames = parseBlock (reader.value());
            else
                return false;

            return true; });

        if (positional.size() != 1)
            badArguments ("info needs exactly one PATH");

        options.modulePath = positional[0];
        return options;
    }

    RenderOptions parseRender (int argc, char** argv)
    {
        RenderOptions options;
        const auto positional = readArguments (argc, argv, "render", options, [&] (const std::string& name, ArgumentReader& reader)
                                               {
            if (name == "--set")
            {
                const auto assignment = reader.value();
                const auto equals = assignment.find ('=');

                if (equals == std::string::npos || equals == 0)
                    badArguments ("--set needs NAME=VALUE, not '" + assignment + "'");

                options.parameterSettings.emplace_back (assignment.substr (0, equals), assignment.substr (equals + 1));
            }
            else if (name == "--rate")
            {
                options.sampleRateHz = parseSampleRate (reader.value());
            }
            else if (name == "--block")
            {
                options.blockFrames = parseBlock (reader.value());
            }
            else if (name == "--tail")
            {
                const auto seconds = parseNumber ("--tail", reader.value());

                if (seconds < 0.0 || seconds > maxTailSeconds)
                    badArguments ("--tail must lie between 0 and 86400 seconds");

                options.tailSeconds = seconds;
            }
            else if (name == "--no-progress")
            {
                options.allowProgress = false;
            }
            else
            {
                return false;
            }

            return true; });

        if (positional.size() != 3)
            badArguments ("render needs PATH, IN.wav and OUT.wav");

        options.modulePath = positional[0];
        options.inputPath = positional[1];
        options.outputPath = positional[2];
        return options;
    }

    CheckOptions parseCheck (int argc, char** argv)
    {
        CheckOptions options;
        const auto positional = readArguments (argc, argv, "check", options, [&] (const std::string& name, ArgumentReader& reader)
                                               {
            if (name == "--rate")
                options.sampleRateHz = parseSampleRate (reader.value());
            else if (name == "--other-rate")
                options.otherSampleRateHz = parseSampleRate (reader.value());
            else if (name == "--block")
                options.maxBlockFrames = parseBlock (reader.value());
            else if (name == "--no-gui")
                options.allowGui = false;
            else
                return false;

            return true; });

        if (positional.size() != 1)
            badArguments ("check needs exactly one PATH");

        options.modulePath = positional[0];
        return options;
    }

    GenerateOptions parseGenerate (int argc, char** argv)
    {
        GenerateOptions options;
        const auto positional = readArguments (argc, argv, "generate", options, [&] (const std::string& name, ArgumentReader& reader)
                                               {
            if (name == "--seconds")
                options.seconds = parseSeconds (reader.value());
            else if (name == "--rate")
                options.sampleRateHz = parseSampleRate (reader.value());
            else
                return false;

            return true; });

        if (positional.size() != 1)
            badArguments ("generate needs exactly one OUT.wav");

        options.outputPath = positional[0];
        return options;
    }

    GuiOptions parseGui (int argc, char** argv)
    {
        GuiOptions options;
        const auto positional = readArguments (argc, argv, "gui", options, [&] (const std::string& name, ArgumentReader& reader)
                                               {
            if (name == "--seconds")
            {
                options.seconds = parseSeconds (reader.value());
            }
            else if (name == "--screenshot")
            {
                options.screenshotPath = reader.value();

                if (options.screenshotPath.empty())
                    badArguments ("--screenshot needs a file name");
            }
            else if (name == "--scale")
            {
                const auto scale = parseNumber ("--scale", reader.value());

                if (scale <= 0.0 || scale > 400.0)
                    badArguments ("--scale must lie above 0 and up to 400");

                options.scale = scale;
            }
            else
            {
                return false;
            }

            return true; });

        if (positional.size() != 1)
            badArguments ("gui needs exactly one PATH");

        options.modulePath = positional[0];
        return options;
    }

    void printError (const std::string& message)
    {
        std::cout.flush();
        std::fprintf (stderr, "wrendle-host: error: %s\n", message.c_str());
        std::fflush (stderr);
    }

    int run (int argc, char** argv)
    {
        if (argc < 2)
        {
            std::fputs (usageText().c_str(), stderr);
            return exitUsage;
        }

        const std::string command (argv[1]);

        // Help: "help [COMMAND]" (or --help, -h) and "COMMAND ... --help".
        const bool helpCommand = command == "help" || command == "--help" || command == "-h";
        const auto* commandAsked = findCommandHelp (helpCommand && argc > 2 ? argv[2] : command);
        const auto isHelpOption = [] (const char* argument)
        { return std::strcmp (argument, "--help") == 0 || std::strcmp (argument, "-h") == 0; };

        if (helpCommand && argc > 2 && commandAsked == nullptr)
        {
            printError (std::string ("there is no command '") + argv[2] + "'");
            std::fputs (usageText().c_str(), stderr);
            return exitUsage;
        }

        if (helpCommand || (commandAsked != nullptr && std::any_of (argv + 2, argv + argc, isHelpOption)))
        {
            std::cout << "wrendle-host " << WRENDLE_HOST_VERSION << ": a command-line CLAP host\n\n"
                      << (commandAsked != nullptr ? commandHelpText (*commandAsked) : helpText());
            return exitOk;
        }

        if (command == "--version")
        {
            std::cout << "wrendle-host " << WRENDLE_HOST_VERSION << "\n";
            return exitOk;
        }

        // Argument mistakes get the usage text; everything after parsing fails
        // with its own message only.
        InfoOptions infoOptions;
        RenderOptions renderOptions;
        CheckOptions checkOptions;
        GenerateOptions generateOptions;
        GuiOptions guiOptions;

        try
        {
            if (command == "info")
                infoOptions = parseInfo (argc, argv);
            else if (command == "render")
                renderOptions = parseRender (argc, argv);
            else if (command == "check")
                checkOptions = parseCheck (argc, argv);
            else if (command == "generate")
                generateOptions = parseGenerate (argc, argv);
            else if (command == "gui")
                guiOptions = parseGui (argc, argv);
            else
                badArguments ("unknown command '" + command + "'");
        }
        catch (const HostError& error)
        {
            printError (error.what());
            std::fputs (usageText().c_str(), stderr);
            return exitUsage;
        }

        std::ostringstream result;
        auto diversion = std::make_unique<StdoutDiversion>();
        const auto finish = [&]
        {
            diversion.reset();
            std::cout << result.str();
            std::cout.flush();
        };

        try
        {
            const auto code = command == "info"     ? runInfo (infoOptions, result)
                              : command == "render" ? runRender (renderOptions, result)
                              : command == "check"  ? runCheck (checkOptions, result)
                              : command == "gui"    ? runGui (guiOptions, result)
                                                    : runGenerate (generateOptions, result);
            finish();
            return code;
        }
        catch (const HostError& error)
        {
            finish();
            printError (error.what());
            return error.exitCode;
        }
        catch (const std::exception& error)
        {
            finish();
            printError (std::string ("unexpected failure: ") + error.what());
            return exitFailure;
        }
    }
} // namespace

} // namespace wrendlehost

int main (int argc, char** argv)
{
    return wrendlehost::run (argc, argv);
}
