// The standalone application's entry point. JUCE's standalone holder opens a
// window and an audio device; "--help" and "--check" answer without either,
// so a package check or a headless test can start the program.

#include "plugin/WrendleFoldProcessor.h"

#include <juce_audio_plugin_client/juce_audio_plugin_client.h>
#include <juce_audio_utils/juce_audio_utils.h>

#include <juce_audio_plugin_client/Standalone/juce_StandaloneFilterWindow.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>

juce::JUCEApplicationBase* juce_CreateApplication();

namespace
{
/** JUCE's standalone window, which also says in its title bar when no audio
    device is open (none there, or none that would open): the effect is then
    silent, and the Options menu is where one is chosen. A click on the notice
    opens that dialog. */
class StandaloneWindow final : public juce::StandaloneFilterWindow,
                               private juce::Timer
{
public:
    StandaloneWindow (const juce::String& title, juce::PropertySet* settings)
        : juce::StandaloneFilterWindow (title, juce::LookAndFeel::getDefaultLookAndFeel().findColour (juce::ResizableWindow::backgroundColourId),
                                        settings, false)
    {
        noDeviceNotice.setColour (juce::TextButton::buttonColourId, juce::Colour (0xffb3261e));
        noDeviceNotice.setColour (juce::TextButton::textColourOffId, juce::Colours::white);
        noDeviceNotice.onClick = [this]
        { getPluginHolder()->showAudioSettingsDialog(); };
        juce::Component::addChildComponent (noDeviceNotice);
        showDeviceState();
        // A device can come and go (the settings dialog, a JACK server stopping).
        startTimer (1000);
    }

    void resized() override
    {
        juce::StandaloneFilterWindow::resized();
        const auto height = getTitleBarHeight() - 8;
        noDeviceNotice.setBounds (76, 6, juce::jmin (340, getWidth() - 150), height);
    }

private:
    void timerCallback() override { showDeviceState(); }

    void showDeviceState()
    {
        noDeviceNotice.setVisible (getDeviceManager().getCurrentAudioDevice() == nullptr);
    }

    juce::TextButton noDeviceNotice { "No audio device: choose one in Options" };
};

/** JUCE's standalone application with the window above. */
class StandaloneApplication final : public juce::JUCEApplication
{
public:
    StandaloneApplication()
    {
        juce::PropertiesFile::Options options;
        options.applicationName = getApplicationName();
        options.filenameSuffix = ".settings";
        options.osxLibrarySubFolder = "Application Support";
#if JUCE_LINUX || JUCE_BSD
        options.folderName = "~/.config";
#endif
        properties.setStorageParameters (options);
    }

    const juce::String getApplicationName() override
    {
        return JucePlugin_Name;
    }
    const juce::String getApplicationVersion() override
    {
        return JucePlugin_VersionString;
    }
    bool moreThanOneInstanceAllowed() override
    {
        return true;
    }
    void anotherInstanceStarted (const juce::String&) override {}

    void initialise (const juce::String&) override
    {
        window = std::make_unique<StandaloneWindow> (getApplicationName(), properties.getUserSettings());
        window->setVisible (true);
    }

    void shutdown() override
    {
        window = nullptr;
        properties.saveIfNeeded();
    }

    void systemRequestedQuit() override
    {
        if (window != nullptr)
            window->pluginHolder->savePluginState();
        quit();
    }

private:
    juce::ApplicationProperties properties;
    std::unique_ptr<StandaloneWindow> window;
};

void printUsage()
{
    std::printf ("Usage: wrendle-fold [--check | --help]\n"
                 "Plays live input through " JucePlugin_Name " " JucePlugin_VersionString " by " JucePlugin_Manufacturer
                 ", a stereo sine-wave folder.\n"
                 "\n"
                 "Without options the application opens its window: the effect's editor under\n"
                 "an Options button of its own, whose Audio/MIDI Settings choose the audio device\n"
                 "(ALSA, or JACK when a JACK server runs), its sample rate and buffer size, and\n"
                 "whether the input is muted to keep a microphone from feeding back.\n"
                 "\n"
                 "  --check  fold one second of a 440 Hz test tone without audio device or\n"
                 "           window, print the output's peak and exit with 0 when the output\n"
                 "           is sound (finite and not silent), 1 otherwise\n"
                 "  --help   show this text (also -h)\n"
                 "\n"
                 "Examples:\n"
                 "  wrendle-fold           open the window and play\n"
                 "  wrendle-fold --check   check the effect on a machine without sound or display\n"
                 "\n"
                 "Settings and presets are those of the plug-ins (on Linux in\n"
                 "~/.local/share/" JucePlugin_Manufacturer "/); the manual page wrendle-fold(1) tells more.\n");
}

/** Folds a 440 Hz tone for one second at 48 kHz; 0 when the output is finite and not silent. */
int runCheck()
{
    const juce::ScopedJuceInitialiser_GUI juceInitialiser;
    std::unique_ptr<juce::AudioProcessor> processor (createWrendleFoldProcessor());
    constexpr double sampleRate = 48000.0;
    constexpr int blockSize = 512;
    processor->setPlayConfigDetails (2, 2, sampleRate, blockSize);
    processor->prepareToPlay (sampleRate, blockSize);

    juce::AudioBuffer<float> buffer (2, blockSize);
    juce::MidiBuffer midi;
    double peak = 0.0;
    bool finite = true;
    int sample = 0;
    for (int block = 0; block < static_cast<int> (sampleRate) / blockSize; ++block)
    {
        for (int i = 0; i < blockSize; ++i, ++sample)
        {
            const auto value = static_cast<float> (0.5 * std::sin (juce::MathConstants<double>::twoPi * 440.0 * sample / sampleRate));
            buffer.setSample (0, i, value);
            buffer.setSample (1, i, value);
        }
        processor->processBlock (buffer, midi);
        for (int channel = 0; channel < 2; ++channel)
            for (int i = 0; i < blockSize; ++i)
            {
                const double value = buffer.getSample (channel, i);
                finite = finite && std::isfinite (value);
                peak = std::max (peak, std::abs (value));
            }
    }
    processor->releaseResources();

    const bool sound = finite && peak > 1.0e-3;
    std::printf ("%s: peak %.4f, %s\n", sound ? "ok" : "failed", peak, finite ? "finite" : "not finite");
    return sound ? 0 : 1;
}
} // namespace

int main (int argc, char* argv[])
{
    for (int i = 1; i < argc; ++i)
    {
        if (std::strcmp (argv[i], "--help") == 0 || std::strcmp (argv[i], "-h") == 0)
        {
            printUsage();
            return 0;
        }
        if (std::strcmp (argv[i], "--check") == 0)
            return runCheck();
    }

    juce::JUCEApplicationBase::createInstance = &juce_CreateApplication;
    return juce::JUCEApplicationBase::main (argc, const_cast<const char**> (argv));
}

juce::JUCEApplicationBase* juce_CreateApplication()
{
    return new StandaloneApplication();
}
