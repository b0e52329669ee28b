// What the preset menu costs: one full scan of a folder tree, and the check a
// choice or a step makes before it would scan again. The trees are made in a
// temporary folder: an ordinary library (8 folders of 30 presets), the link loop
// that once took seconds per scan (a0 -> b, a1 -> b, b -> .), and a link to /usr.
// Run: build/bench/preset_menu_bench

#include "state/PresetMenuModel.h"

#include <benchmark/benchmark.h>

#include <unistd.h>

namespace
{
/** A temporary presets folder holding one of the trees. */
struct Tree
{
    explicit Tree (int kind)
    {
        root.createDirectory();

        const auto link = [this] (const char* target, const char* name)
        { return ::symlink (target, root.getChildFile (name).getFullPathName().toRawUTF8()) == 0; };

        if (kind == library)
        {
            for (int folder = 0; folder < 8; ++folder)
                for (int preset = 0; preset < 30; ++preset)
                    root.getChildFile ("Folder " + juce::String (folder)).getChildFile ("Preset " + juce::String (preset) + ".kvp").create();
        }
        else if (kind == linkLoop)
        {
            root.getChildFile ("only.kvp").create();
            ok = link ("b", "a0") && link ("b", "a1") && link (".", "b");
        }
        else
        {
            ok = link ("/usr", "System");
        }

        // Settled, as a library nobody is editing. (Not found by a recursive search,
        // which would follow the links.)
        const auto anHourAgo = juce::Time::getCurrentTime() - juce::RelativeTime::hours (1);

        for (int folder = 0; folder < 8; ++folder)
            root.getChildFile ("Folder " + juce::String (folder)).setLastModificationTime (anHourAgo);

        root.setLastModificationTime (anHourAgo);
    }

    ~Tree() { root.deleteRecursively(); }

    enum
    {
        library,
        linkLoop,
        linkToUsr
    };

    const juce::File root = juce::File::createTempFile ("presets");
    bool ok = true;
};

const char* const treeNames[] = { "library", "link loop", "link to /usr" };

void fullScan (benchmark::State& state)
{
    const Tree tree ((int) state.range (0));
    orvel::PresetMenuModel model (juce::Array<juce::File> { tree.root });

    for (auto _ : state)
        model.rebuild();

    const auto label = juce::String (treeNames[state.range (0)]) + ", " + juce::String (model.getPresetPaths().size()) + " presets listed";
    state.SetLabel (label.toRawUTF8());

    if (! tree.ok)
        state.SkipWithError ("cannot make the links");
}

void checkBeforeAStep (benchmark::State& state)
{
    const Tree tree ((int) state.range (0));
    orvel::PresetMenuModel model (juce::Array<juce::File> { tree.root });
    model.rebuild();
    const auto scans = model.getNumScans();

    for (auto _ : state)
        benchmark::DoNotOptimize (model.rebuildIfChanged());

    const auto label = juce::String (treeNames[state.range (0)]) + ", rescans: " + juce::String (model.getNumScans() - scans);
    state.SetLabel (label.toRawUTF8());
}
} // namespace

BENCHMARK (fullScan)->DenseRange (0, 2)->Unit (benchmark::kMillisecond);
BENCHMARK (checkBeforeAStep)->DenseRange (0, 2)->Unit (benchmark::kMicrosecond);
BENCHMARK_MAIN();
