// The shipped module as a host sees it: loaded with dlopen and reached through clap_entry alone.
// Where an answer depends on the product, the expectation comes from the same processor built
// in this process.

#include "ModuleFixture.h"
#include "binding/ClapIds.h"
#include "tests/support/AllocationCounter.h"

#include "plugin/WrendleFoldProcessor.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>
#include <thread>

namespace
{

TEST_F (Module, EntrySpeaksClap120AndHandsOutTheFactoryOnlyForItsExactId)
{
    const auto& entry = *module->entry();
    EXPECT_EQ (entry.clap_version.major, 1u);
    EXPECT_EQ (entry.clap_version.minor, 2u);
    EXPECT_EQ (entry.clap_version.revision, 0u);

    EXPECT_NE (entry.get_factory ("clap.plugin-factory"), nullptr);
    for (auto* other : { "clap.plugin-factor", "clap.plugin-factory2", "", "CLAP.PLUGIN-FACTORY", "clap.preset-discovery-factory/2" })
        EXPECT_EQ (entry.get_factory (other), nullptr) << other;
}

TEST_F (Module, FactoryOffersOnePluginWhoseDescriptorAnswersEveryIndex)
{
    EXPECT_EQ (factory().get_plugin_count (&factory()), 1u);

    const auto* d = factory().get_plugin_descriptor (&factory(), 0);
    ASSERT_NE (d, nullptr);
    EXPECT_EQ (factory().get_plugin_descriptor (&factory(), 5), d);

    EXPECT_STREQ (d->id, pluginId);
    EXPECT_STREQ (d->name, "Wrendle Fold");
    EXPECT_STREQ (d->vendor, "Kestrivane");
    EXPECT_STREQ (d->url, "");
    EXPECT_STREQ (d->version, "1.1.1");
    EXPECT_STREQ (d->description, "");
    EXPECT_STRNE (d->manual_url, "");
    EXPECT_STREQ (d->support_url, d->manual_url);
    ASSERT_NE (d->features, nullptr);
    EXPECT_STREQ (d->features[0], "audio-effect");
    EXPECT_EQ (d->features[1], nullptr);
    EXPECT_EQ (d->clap_version.minor, 2u);
}

TEST_F (Module, CreatingWithAnotherIdPrintsTheWarningAndReturnsNull)
{
    const clap_plugin* plugin = nullptr;
    const auto printed = captureStdout ([&]
                                        { plugin = create ("com.Kestrivane.Other"); });

    EXPECT_EQ (plugin, nullptr);
    EXPECT_EQ (printed, "Warning: CLAP asked for plugin_id 'com.Kestrivane.Other' and this plug-in's ID is 'com.Kestrivane.WrendleFold'\n");
}

TEST_F (Module, CreatedPluginReferencesTheDescriptorAndItsOwnBinding)
{
    const auto* plugin = create();
    ASSERT_NE (plugin, nullptr);
    EXPECT_EQ (plugin->desc, factory().get_plugin_descriptor (&factory(), 0));
    EXPECT_NE (plugin->plugin_data, nullptr);
    EXPECT_TRUE (plugin->init (plugin));
    plugin->destroy (plugin);
}

/** Runs a full lifecycle and returns the number of parameters the plug-in reports. */
uint32_t runLifecycle (const clap_plugin* plugin, TestHost& host)
{
    EXPECT_TRUE (plugin->activate (plugin, 48000.0, 1, 256));
    host.actAsAudioThread();
    EXPECT_TRUE (plugin->start_processing (plugin));
    StereoBlock block (256, true);

    for (size_t i = 0; i < block.inLeft.size(); ++i)
        block.inLeft[i] = block.inRight[i] = 0.25f * (float) std::sin (0.05 * (double) i);

    EXPECT_NE (block.run (plugin), CLAP_PROCESS_ERROR);

    float peak = 0.0f;

    for (const auto sample : block.inLeft)
    {
        EXPECT_TRUE (std::isfinite (sample));
        peak = std::max (peak, std::abs (sample));
    }

    EXPECT_GT (peak, 0.01f) << "the instance really processed the block";
    plugin->stop_processing (plugin);
    host.actAsMainThread();
    plugin->deactivate (plugin);

    const auto* params = extensionOf<clap_plugin_params> (plugin, CLAP_EXT_PARAMS);
    return params != nullptr ? params->count (plugin) : 0;
}

TEST_F (Module, TwoInstancesLiveSideBySideAndJuceOutlivesTheFirst)
{
    const auto* first = create();
    const auto* second = create();
    ASSERT_NE (first, nullptr);
    ASSERT_NE (second, nullptr);
    EXPECT_NE (first->plugin_data, second->plugin_data);
    ASSERT_TRUE (first->init (first));
    ASSERT_TRUE (second->init (second));

    EXPECT_EQ (runLifecycle (first, host), 16u);
    first->destroy (first);

    EXPECT_EQ (runLifecycle (second, host), 16u);
    second->destroy (second);

    // The last instance shut JUCE down; a new one brings it up again.
    const auto* third = create();
    ASSERT_NE (third, nullptr);
    ASSERT_TRUE (third->init (third));
    EXPECT_EQ (runLifecycle (third, host), 16u);
    third->destroy (third);

    EXPECT_TRUE (host.logTexts().empty());
}

TEST_F (ModuleInstance, ParameterIdsAreTheHashesOfTheIdentifiers)
{
    const char* identifiers[] = { "FoldAmount", "Feedback", "FeedbackLP", "HighPass", "LowPass", "EnvelopeAttack",
                                  "EnvelopeRelease", "EnvelopeAmount", "Input", "Output", "Mix", "Oversampling",
                                  "PrePost", "SoftClip", "Bypass", "AutoGain" };
    ASSERT_EQ (params().count (plugin), 16u);

    for (uint32_t i = 0; i < 16; ++i)
    {
        clap_param_info info {};
        ASSERT_TRUE (params().get_info (plugin, i, &info));
        EXPECT_EQ (info.id, clapbinding::parameterIdFromIdentifier (identifiers[i])) << identifiers[i];
    }
}

TEST_F (ModuleInstance, EachParameterIsDescribedAsItsKindRequires)
{
    const std::unique_ptr<juce::AudioProcessor> reference (createWrendleFoldProcessor());
    const auto& parameters = reference->getParameters();
    ASSERT_EQ (params().count (plugin), (uint32_t) parameters.size());

    for (uint32_t i = 0; i < params().count (plugin); ++i)
    {
        auto* parameter = parameters[(int) i];
        auto* ranged = dynamic_cast<juce::RangedAudioParameter*> (parameter);
        clap_param_info info {};
        ASSERT_TRUE (params().get_info (plugin, i, &info));
        const auto name = parameter->getName (256);

        EXPECT_EQ (juce::String (info.name), name);
        EXPECT_STREQ (info.module, "") << name;
        // Switches and choices are stepped; the rest are continuous.
        EXPECT_EQ (info.flags, 0x20u | (parameter->isBoolean() || parameter->isDiscrete() ? 0x1u : 0u)) << name;

        if (ranged != nullptr && parameter->isDiscrete())
        {
            EXPECT_DOUBLE_EQ (info.min_value, ranged->getNormalisableRange().start) << name;
            EXPECT_DOUBLE_EQ (info.max_value, ranged->getNormalisableRange().end) << name;
            EXPECT_NEAR (info.default_value, ranged->convertFrom0to1 (parameter->getDefaultValue()), 1.0e-6) << name;
        }
        else
        {
            EXPECT_EQ (info.min_value, 0.0) << name;
            EXPECT_EQ (info.max_value, 1.0) << name;
            EXPECT_NEAR (info.default_value, parameter->getDefaultValue(), 1.0e-6) << name;
        }

        char text[256] = {};
        ASSERT_TRUE (params().value_to_text (plugin, info.id, info.default_value, text, sizeof (text)));
        EXPECT_EQ (juce::String::fromUTF8 (text), parameter->getText (parameter->getDefaultValue(), 256)) << name;
    }
}

TEST_F (ModuleInstance, SwitchesChoicesAndContinuousParametersAreReportedWithTheirRanges)
{
    const auto infoOf = [this] (uint32_t index)
    {
        clap_param_info info {};
        EXPECT_TRUE (params().get_info (plugin, index, &info));
        return info;
    };

    const auto foldAmount = infoOf (0), oversampling = infoOf (11), bypass = infoOf (14);

    EXPECT_EQ (foldAmount.flags, 0x20u);
    EXPECT_EQ (foldAmount.max_value, 1.0);
    EXPECT_EQ (oversampling.flags, 0x21u) << "stepped, so that hosts automate it as the choice it is";
    EXPECT_EQ (oversampling.min_value, 0.0);
    EXPECT_EQ (oversampling.max_value, 4.0) << "five oversampling choices, plain indexes 0..4";
    EXPECT_EQ (bypass.flags, 0x21u);
    EXPECT_EQ (bypass.max_value, 1.0);
}

TEST_F (ModuleInstance, AudioPortsAreOneStereoInPlacePairAndThereAreNoNotePorts)
{
    const auto* ports = extensionOf<clap_plugin_audio_ports> (plugin, CLAP_EXT_AUDIO_PORTS);
    ASSERT_NE (ports, nullptr);
    ASSERT_EQ (ports->count (plugin, true), 1u);
    ASSERT_EQ (ports->count (plugin, false), 1u);

    clap_audio_port_info in {}, out {};
    ASSERT_TRUE (ports->get (plugin, 0, true, &in));
    ASSERT_TRUE (ports->get (plugin, 0, false, &out));
    EXPECT_EQ (in.id, 32768u);
    EXPECT_EQ (in.flags, (uint32_t) CLAP_AUDIO_PORT_IS_MAIN);
    EXPECT_EQ (in.channel_count, 2u);
    EXPECT_STREQ (in.port_type, CLAP_PORT_STEREO);
    EXPECT_EQ (in.in_place_pair, 1u);
    EXPECT_EQ (out.id, 1u);
    EXPECT_EQ (out.in_place_pair, 32768u);

    const auto* notes = extensionOf<clap_plugin_note_ports> (plugin, CLAP_EXT_NOTE_PORTS);
    ASSERT_NE (notes, nullptr);
    EXPECT_EQ (notes->count (plugin, true), 0u);
    EXPECT_EQ (notes->count (plugin, false), 0u);
}

TEST_F (ModuleInstance, TheExtensionsOfTheAnswerTableAreOffered)
{
    for (auto* id : { "clap.state", "clap.render", "clap.track-info/1", "clap.latency", "clap.audio-ports",
                      "clap.audio-ports-activation/2", "clap.params", "clap.note-ports", "clap.timer-support", "clap.gui",
                      "clap.tail" })
        EXPECT_NE (plugin->get_extension (plugin, id), nullptr) << id;

    for (auto* id : { "clap.preset-load/2", "clap.remote-controls/2", "clap.context-menu/1", "clap.posix-fd-support" })
        EXPECT_EQ (plugin->get_extension (plugin, id), nullptr) << id;

    const auto* activation = extensionOf<clap_plugin_audio_ports_activation_t> (plugin, "clap.audio-ports-activation/2");
    EXPECT_FALSE (activation->set_active (plugin, true, 0, false, 32));
}

TEST_F (ModuleInstance, TailIsZeroOnceActive)
{
    ASSERT_TRUE (plugin->activate (plugin, 48000.0, 1, 512));
    EXPECT_EQ (extensionOf<clap_plugin_tail_t> (plugin, CLAP_EXT_TAIL)->get (plugin), 0u);
    EXPECT_TRUE (host.logTexts().empty());
}

TEST_F (ModuleInstance, ASavedStateRestoresEveryParameterInAFreshInstance)
{
    // Values away from the defaults, set as a host would.
    InputEvents edits;
    edits.add (paramValueEvent (clapbinding::parameterIdFromIdentifier ("FoldAmount"), 0.3, 0));
    edits.add (paramValueEvent (clapbinding::parameterIdFromIdentifier ("Oversampling"), 2.0, 0));
    edits.add (paramValueEvent (clapbinding::parameterIdFromIdentifier ("SoftClip"), 1.0, 0));
    edits.add (paramValueEvent (clapbinding::parameterIdFromIdentifier ("Mix"), 0.65, 0));
    OutputEvents ignored;
    params().flush (plugin, edits.list(), ignored.list());
    const auto before = allValues();

    MemoryOutStream saved;
    ASSERT_TRUE (state().save (plugin, saved.stream()));

    if (saved.bytes.empty())
        GTEST_SKIP() << "the processor writes no state yet";

    recreate();
    ASSERT_NE (allValues(), before);

    MemoryInStream stream (saved.bytes);
    ASSERT_TRUE (state().load (plugin, stream.stream()));
    EXPECT_EQ (allValues(), before);
}

TEST_F (ModuleInstance, LoadingAnEmptyStateIsRefused)
{
    MemoryInStream empty ({});
    EXPECT_FALSE (state().load (plugin, empty.stream()));
}

TEST_F (ModuleInstance, DestroyingAnActiveInstanceWarnsAndDeactivatesIt)
{
    ASSERT_TRUE (plugin->activate (plugin, 44100.0, 1, 512));
    destroy();
    EXPECT_EQ (host.logTexts(), std::vector<std::string> { "host forgot to deactivate the plugin before destroying it" });
}

TEST_F (ModuleInstance, ProcessingWithParameterEventsAllocatesNothing)
{
    if (! allocation::isCountingAvailable())
        GTEST_SKIP() << "the sanitizers bring their own allocator";

    ASSERT_TRUE (plugin->activate (plugin, 48000.0, 1, 512));
    host.actAsAudioThread();
    ASSERT_TRUE (plugin->start_processing (plugin));

    StereoBlock block (512, false);
    block.fillInput();
    OutputEvents out;
    InputEvents events[2];

    for (int i = 0; i < 2; ++i)
    {
        events[i].add (paramValueEvent (clapbinding::parameterIdFromIdentifier ("FoldAmount"), 0.2 + 0.3 * i, 0));
        events[i].add (paramValueEvent (clapbinding::parameterIdFromIdentifier ("Mix"), 0.9 - 0.2 * i, 200));
        events[i].add (paramValueEvent (clapbinding::parameterIdFromIdentifier ("Output"), 0.4 + 0.1 * i, 700));
    }

    for (int round = 0; round < 4; ++round)
        block.run (plugin, events[round % 2].list(), out.list()); // warm-up

    for (int round = 0; round < 6; ++round)
    {
        std::size_t allocations = 0;
        {
            const allocation::ScopedCounter counter;
            block.run (plugin, events[round % 2].list(), out.list());
            allocations = counter.count();
        }
        EXPECT_EQ (allocations, 0u) << "round " << round;
    }

    plugin->stop_processing (plugin);
    host.actAsMainThread();
}

//==============================================================================
class ModuleGui : public ModuleInstance
{
protected:
    void SetUp() override
    {
        if (! displayIsAvailable())
            GTEST_SKIP() << "no display";

        ModuleInstance::SetUp();
    }

    const clap_plugin_gui& gui() const { return *extensionOf<clap_plugin_gui> (plugin, CLAP_EXT_GUI); }

    std::pair<uint32_t, uint32_t> adjusted (uint32_t width, uint32_t height) const
    {
        EXPECT_TRUE (gui().adjust_size (plugin, &width, &height));
        return { width, height };
    }

    /** Opens the editor at 480 x 460 in the parent window, as a host does. */
    void openAt100Percent (const ParentWindow& parent)
    {
        ASSERT_TRUE (parent.isAvailable());
        const auto window = parent.clapWindow();
        ASSERT_TRUE (gui().create (plugin, CLAP_WINDOW_API_X11, false));
        ASSERT_TRUE (gui().set_size (plugin, 480, 460));
        ASSERT_TRUE (gui().set_parent (plugin, &window));
        ASSERT_TRUE (gui().show (plugin));
    }

    std::pair<uint32_t, uint32_t> currentSize() const
    {
        uint32_t width = 0, height = 0;
        EXPECT_TRUE (gui().get_size (plugin, &width, &height));
        return { width, height };
    }
};

using Size = std::pair<uint32_t, uint32_t>;

TEST_F (ModuleGui, TheEditorKeepsTheAspect480To460Within240x230And960x920)
{
    EXPECT_FALSE (gui().create (plugin, CLAP_WINDOW_API_X11, true));
    ASSERT_TRUE (gui().create (plugin, CLAP_WINDOW_API_X11, false));

    // The editor opens at the user's last window size, 480 x 460 scaled.
    uint32_t width = 0, height = 0;
    ASSERT_TRUE (gui().get_size (plugin, &width, &height));
    EXPECT_NEAR ((double) width / 480.0, (double) height / 460.0, 0.01) << width << " x " << height;
    EXPECT_GE (width, 240u);
    EXPECT_LE (width, 960u);
    EXPECT_TRUE (gui().can_resize (plugin));

    EXPECT_EQ (adjusted (10, 10), Size (240, 230));
    EXPECT_EQ (adjusted (5000, 5000), Size (960, 920));
    EXPECT_EQ (adjusted (100, 460), Size (480, 460));

    // At 150 % the limits grow with the scale: 360 x 345 at the least.
    ASSERT_TRUE (gui().set_scale (plugin, 150.0));
    EXPECT_EQ (adjusted (10, 10), Size (360, 345));

    gui().destroy (plugin);
    EXPECT_TRUE (host.logTexts().empty());
}

TEST_F (ModuleGui, TheHostsScaleMultipliesTheUsersWindowSizeAndIsNeverStoredAsIt)
{
    struct Case
    {
        double hostScale;
        Size atUserSize1, atUserSize075;
    };

    // 480 x 460 x user size x host scale.
    for (const auto& c : { Case { 1.0, { 480, 460 }, { 360, 345 } }, Case { 1.5, { 720, 690 }, { 540, 518 } },
                           Case { 2.0, { 960, 920 }, { 720, 690 } } })
    {
        SCOPED_TRACE (c.hostScale);
        ASSERT_TRUE (gui().create (plugin, CLAP_WINDOW_API_X11, false));
        ASSERT_TRUE (gui().set_size (plugin, 480, 460)); // the user's size: 100 %
        ASSERT_TRUE (gui().set_scale (plugin, c.hostScale));
        EXPECT_EQ (currentSize(), c.atUserSize1);
        EXPECT_EQ (host.resizeRequests.back(), c.atUserSize1) << "the host was not asked for the scaled size";

        // The user makes the window smaller at this scale: 75 % of the editor's own size.
        const auto smaller = adjusted (c.atUserSize075.first, c.atUserSize075.second);
        ASSERT_TRUE (gui().set_size (plugin, smaller.first, smaller.second));
        EXPECT_EQ (currentSize(), c.atUserSize075);
        gui().destroy (plugin);

        // What was stored is the user's 75 %, whatever the host's scale was.
        recreate();
        ASSERT_TRUE (gui().create (plugin, CLAP_WINDOW_API_X11, false));
        EXPECT_EQ (currentSize(), Size (360, 345));

        // And a host at scale 2 that opens it again gets twice that.
        ASSERT_TRUE (gui().set_scale (plugin, 2.0));
        EXPECT_EQ (currentSize(), Size (720, 690));
        ASSERT_TRUE (gui().set_scale (plugin, 1.0));
        ASSERT_TRUE (gui().set_size (plugin, 480, 460));
        gui().destroy (plugin);
        recreate();
    }

    EXPECT_TRUE (host.logTexts().empty());
}

TEST_F (ModuleGui, TheResizeHintsKeepTheAspect480To460AndAdjustSizeSnapsToItAtEveryScale)
{
    ASSERT_TRUE (gui().create (plugin, CLAP_WINDOW_API_X11, false));

    clap_gui_resize_hints hints {};
    ASSERT_TRUE (gui().get_resize_hints (plugin, &hints));
    EXPECT_TRUE (hints.can_resize_horizontally);
    EXPECT_TRUE (hints.can_resize_vertically);
    EXPECT_TRUE (hints.preserve_aspect_ratio);
    EXPECT_EQ ((uint64_t) hints.aspect_ratio_width * 460u, (uint64_t) hints.aspect_ratio_height * 480u)
        << hints.aspect_ratio_width << ":" << hints.aspect_ratio_height;

    struct Case
    {
        double hostScale;
        Size requested, expected;
    };

    for (const auto& c : { Case { 1.0, { 500, 500 }, { 522, 500 } }, Case { 1.0, { 4000, 100 }, { 240, 230 } },
                           Case { 2.0, { 10, 10 }, { 480, 460 } }, Case { 2.0, { 5000, 5000 }, { 1920, 1840 } },
                           Case { 2.0, { 1000, 700 }, { 730, 700 } }, Case { 1.5, { 800, 800 }, { 834, 800 } } })
    {
        SCOPED_TRACE (testing::Message() << c.hostScale << " " << c.requested.first << "x" << c.requested.second);
        ASSERT_TRUE (gui().set_scale (plugin, c.hostScale));
        const auto snapped = adjusted (c.requested.first, c.requested.second);
        EXPECT_EQ (snapped, c.expected);

        // A snapped size is one the editor takes as it is.
        EXPECT_EQ (adjusted (snapped.first, snapped.second), snapped);
    }

    ASSERT_TRUE (gui().set_scale (plugin, 1.0));
    gui().destroy (plugin);
    EXPECT_TRUE (host.logTexts().empty());
}

TEST_F (ModuleGui, TheEditorLivesInTheHostsWindowUntilTheGuiIsDestroyed)
{
    ParentWindow parent;
    ASSERT_TRUE (parent.isAvailable());
    ASSERT_TRUE (gui().create (plugin, CLAP_WINDOW_API_X11, false));

    const auto window = parent.clapWindow();
    ASSERT_TRUE (gui().set_parent (plugin, &window));
    EXPECT_TRUE (gui().show (plugin));
    EXPECT_EQ (parent.childCount(), 1);

    uint32_t openedWidth = 0, openedHeight = 0;
    ASSERT_TRUE (gui().get_size (plugin, &openedWidth, &openedHeight));

    ASSERT_TRUE (gui().set_size (plugin, 720, 690));
    uint32_t width = 0, height = 0;
    ASSERT_TRUE (gui().get_size (plugin, &width, &height));
    EXPECT_EQ (Size (width, height), Size (720, 690));

    // The editor remembers its size for the user; leave it (nearly) as it was.
    const auto opened = adjusted (openedWidth, openedHeight);
    ASSERT_TRUE (gui().set_size (plugin, opened.first, opened.second));
    gui().destroy (plugin);
    EXPECT_EQ (parent.childCount(), 0);
    EXPECT_EQ (host.logTexts(), std::vector<std::string>());
}

/** What a screenshot of the editor shows, in the few numbers that tell a painted skin apart
    from an empty, black or error-red window. */
struct ScreenStatistics
{
    explicit ScreenStatistics (const std::vector<uint32_t>& pixels)
    {
        std::vector<uint32_t> sorted (pixels);
        std::sort (sorted.begin(), sorted.end());
        distinctColours = (size_t) (std::unique (sorted.begin(), sorted.end()) - sorted.begin());

        for (const auto pixel : pixels)
        {
            const auto red = (int) (pixel >> 16) & 0xff, green = (int) (pixel >> 8) & 0xff, blue = (int) pixel & 0xff;
            blackShare += pixel == 0 ? 1.0 : 0.0;
            redShare += (red > 150 && green < 80 && blue < 80) ? 1.0 : 0.0;
            brightShare += (red + green + blue > 3 * 150) ? 1.0 : 0.0;
        }

        const auto count = std::max<double> (1.0, (double) pixels.size());
        blackShare /= count;
        redShare /= count;
        brightShare /= count;
    }

    size_t distinctColours = 0;
    double blackShare = 0.0, redShare = 0.0, brightShare = 0.0;
};

/** Keeps what the test saw next to its HOME, for a person to look at. */
void saveScreenshot (const std::vector<uint32_t>& pixels, int width, int height, const char* name)
{
    juce::Image image (juce::Image::RGB, width, height, false);

    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            image.setPixelAt (x, y, juce::Colour ((juce::uint32) (0xff000000u | pixels[(size_t) (y * width + x)])));

    const auto file = juce::File::getSpecialLocation (juce::File::userHomeDirectory).getChildFile (name);
    file.deleteFile();
    juce::FileOutputStream stream (file);

    if (stream.openedOk())
        juce::PNGImageFormat().writeImageToStream (image, stream);
}

TEST_F (ModuleGui, InsideTheHostsWindowTheEditorPaintsItsSkinThroughTheHostsTimerAndFollowsItsSize)
{
    ParentWindow parent;
    ASSERT_TRUE (parent.isAvailable());
    ASSERT_TRUE (gui().create (plugin, CLAP_WINDOW_API_X11, false));
    ASSERT_TRUE (gui().set_size (plugin, 480, 460));

    const auto window = parent.clapWindow();
    ASSERT_TRUE (gui().set_parent (plugin, &window));
    ASSERT_TRUE (gui().show (plugin));

    // Nothing but the host's timer turns the editor's event loop here.
    ASSERT_EQ (host.timers.size(), 1u);
    EXPECT_LE (host.timers.front().periodMs, 20u);
    host.runMainLoop (plugin, 1000);

    const auto shown = parent.capture (480, 460);
    ASSERT_EQ (shown.size(), (size_t) (480 * 460));
    saveScreenshot (shown, 480, 460, "editor-in-host.png");
    const ScreenStatistics skin (shown);
    EXPECT_LT (skin.blackShare, 0.05) << "the window stayed (partly) empty";
    EXPECT_LT (skin.redShare, 0.05) << "the holder shows its error colour";
    EXPECT_GT (skin.distinctColours, 500u) << "a flat fill, not the skin and its knobs";
    EXPECT_GT (skin.brightShare, 0.002) << "no light text or knob markings";

    // Grown by the host, the editor fills the larger window too.
    ASSERT_TRUE (gui().set_size (plugin, 720, 690));
    host.runMainLoop (plugin, 400);
    const auto grown = parent.capture (720, 690);
    ASSERT_EQ (grown.size(), (size_t) (720 * 690));
    std::vector<uint32_t> lowerRight;

    for (int y = 460; y < 690; ++y)
        for (int x = 480; x < 720; ++x)
            lowerRight.push_back (grown[(size_t) (y * 720 + x)]);

    EXPECT_LT (ScreenStatistics (lowerRight).blackShare, 0.05);

    ASSERT_TRUE (gui().set_size (plugin, 480, 460));
    gui().destroy (plugin);
    EXPECT_TRUE (host.timers.empty()) << "the GUI timer outlived the GUI";
    EXPECT_EQ (parent.childCount(), 0);
    EXPECT_EQ (host.logTexts(), std::vector<std::string>());
}

/** How many pixels of the upper left width x height differ between two captures of one stride,
    by more than the rounding of a repaint clipped to part of the window (a few steps). */
int differingPixels (const std::vector<uint32_t>& a, const std::vector<uint32_t>& b, int stride, int width, int height)
{
    const auto channelsDiffer = [] (uint32_t p, uint32_t q)
    {
        for (int shift = 0; shift < 24; shift += 8)
            if (std::abs ((int) ((p >> shift) & 0xff) - (int) ((q >> shift) & 0xff)) > 8)
                return true;

        return false;
    };

    int count = 0;

    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            count += channelsDiffer (a[(size_t) (y * stride + x)], b[(size_t) (y * stride + x)]) ? 1 : 0;

    return count;
}

TEST_F (ModuleGui, WhereAClosedWindowCoveredTheEditorItIsRepaintedWithinOneTimerTick)
{
    ParentWindow parent;
    ASSERT_NO_FATAL_FAILURE (openAt100Percent (parent));
    host.runMainLoop (plugin, 1000);
    const auto alone = parent.capture (480, 460);
    ASSERT_EQ (alone.size(), (size_t) (480 * 460));

    // A window of the same process over the editor's upper left quarter, as the preset save
    // dialog is: here a second instance's editor at half size.
    TestHost otherHost;
    const auto* other = factory().create_plugin (&factory(), otherHost.clapHost(), pluginId);
    ASSERT_NE (other, nullptr);
    ASSERT_TRUE (other->init (other));
    const auto& otherGui = *extensionOf<clap_plugin_gui> (other, CLAP_EXT_GUI);
    ASSERT_TRUE (otherGui.create (other, CLAP_WINDOW_API_X11, false));
    ASSERT_TRUE (otherGui.set_size (other, 240, 230));
    const auto window = parent.clapWindow();
    ASSERT_TRUE (otherGui.set_parent (other, &window));
    ASSERT_TRUE (otherGui.show (other));
    otherHost.runMainLoop (other, 1000);
    ASSERT_GT (differingPixels (alone, parent.capture (480, 460), 480, 240, 230), 10000) << "nothing covered the editor";

    // Closing it waits for the server with a round trip, which reads the editor's expose event
    // into Xlib's own queue: from then on the connection's descriptor no longer shows it.
    otherGui.destroy (other);
    other->destroy (other);

    // One tick, once JUCE's repaint timer has come due.
    std::this_thread::sleep_for (std::chrono::milliseconds (30));
    ASSERT_EQ (host.timers.size(), 1u);
    extensionOf<clap_plugin_timer_support> (plugin, CLAP_EXT_TIMER_SUPPORT)->on_timer (plugin, host.timers.front().id);

    const auto after = parent.capture (480, 460);
    saveScreenshot (after, 480, 460, "editor-after-closed-window.png");
    EXPECT_EQ (differingPixels (alone, after, 480, 240, 230), 0) << "the closed window's pixels are still shown";

    gui().destroy (plugin);
    EXPECT_EQ (host.logTexts(), std::vector<std::string>());
}

TEST_F (ModuleGui, TheFirstFrameIsOnScreenWhenShowReturnsBeforeAnyTimerTick)
{
    ParentWindow parent;
    ASSERT_NO_FATAL_FAILURE (openAt100Percent (parent));

    // No tick of the host's timer yet: the parent is black wherever the editor has not painted.
    const ScreenStatistics shown (parent.capture (480, 460));
    EXPECT_LT (shown.blackShare, 0.1);
    EXPECT_LT (shown.redShare, 0.05) << "the holder shows its error colour";

    gui().destroy (plugin);
    EXPECT_EQ (host.logTexts(), std::vector<std::string>());
}

TEST_F (ModuleGui, OpeningAndClosingTheEditorFiftyTimesLeavesTheProcessorRunning)
{
    ASSERT_TRUE (plugin->activate (plugin, 48000.0, 1, 512));
    ParentWindow parent;
    ASSERT_TRUE (parent.isAvailable());
    const auto window = parent.clapWindow();

    for (int round = 0; round < 50; ++round)
    {
        ASSERT_TRUE (gui().create (plugin, CLAP_WINDOW_API_X11, false)) << "round " << round;
        ASSERT_TRUE (gui().set_parent (plugin, &window));
        ASSERT_TRUE (gui().show (plugin));
        host.runMainLoop (plugin, 20);
        gui().destroy (plugin);
        ASSERT_TRUE (host.timers.empty()) << "round " << round;
    }

    EXPECT_EQ (parent.childCount(), 0);

    host.actAsAudioThread();
    ASSERT_TRUE (plugin->start_processing (plugin));
    StereoBlock block (512, false);

    for (size_t i = 0; i < block.inLeft.size(); ++i)
        block.inLeft[i] = block.inRight[i] = 0.5f * std::sin (0.05f * (float) i);

    float peak = 0.0f;

    for (int round = 0; round < 8; ++round)
    {
        EXPECT_NE (block.run (plugin), CLAP_PROCESS_ERROR);

        for (int channel = 0; channel < 2; ++channel)
            for (size_t i = 0; i < 512; ++i)
                peak = std::max (peak, std::abs (block.outputChannel (channel)[i]));
    }

    plugin->stop_processing (plugin);
    host.actAsMainThread();
    plugin->deactivate (plugin);

    EXPECT_GT (peak, 0.01f);
    EXPECT_EQ (host.logTexts(), std::vector<std::string>());
}

TEST_F (ModuleGui, DestroyingWithTheGuiOpenAndActiveWarnsAboutTheGuiFirstThenTheActivation)
{
    ParentWindow parent;
    ASSERT_TRUE (parent.isAvailable());
    ASSERT_TRUE (gui().create (plugin, CLAP_WINDOW_API_X11, false));
    const auto window = parent.clapWindow();
    ASSERT_TRUE (gui().set_parent (plugin, &window));
    ASSERT_TRUE (plugin->activate (plugin, 48000.0, 1, 512));

    destroy();

    EXPECT_EQ (host.logTexts(), (std::vector<std::string> { "host forgot to destroy the gui",
                                                            "host forgot to deactivate the plugin before destroying it" }));
    EXPECT_EQ (parent.childCount(), 0);
}

} // namespace
