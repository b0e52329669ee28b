#pragma once

#include "tests/support/NewsAddresses.h"

#include <juce_core/juce_core.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>

namespace wrendle_test
{

/** Points HOME at a fresh folder of its own for one test, so a test never sees the
    user's folders, another test's files or a parallel run of the same test. The
    per-user base folder follows HOME on Linux only; elsewhere the tests skip.

    The folder is created with mkdtemp: a name merely checked for absence could be
    taken by a parallel run between the check and the creation, and two runs sharing
    one HOME would rewrite each other's files.
*/
class TemporaryHomeTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
#if ! (JUCE_LINUX || JUCE_BSD)
        GTEST_SKIP() << "the base folder follows HOME only on Linux";
#else
        auto pattern = std::filesystem::temp_directory_path().string() + "/wrendle-home-XXXXXX";

        if (::mkdtemp (pattern.data()) == nullptr)
            FAIL() << "cannot create a temporary home";

        home = juce::File (juce::String (pattern));

        if (const auto* previous = std::getenv ("HOME"))
            previousHome = previous;

        ::setenv ("HOME", home.getFullPathName().toRawUTF8(), 1);
#endif
    }

    void TearDown() override
    {
#if JUCE_LINUX || JUCE_BSD
        if (previousHome.has_value())
            ::setenv ("HOME", previousHome->c_str(), 1);
        else
            ::unsetenv ("HOME");

        if (home != juce::File())
            home.deleteRecursively();
#endif
    }

    juce::File base() const
    {
        return home.getChildFile (".local/share/Kestrivane");
    }
    juce::File productSettingsFile() const
    {
        return base().getChildFile ("Settings/WrendleFold.kvs");
    }
    juce::File makerSettingsFile() const
    {
        return base().getChildFile ("Settings/Kestrivane.kvs");
    }
    juce::File presetsFolder() const
    {
        return base().getChildFile ("Presets/WrendleFold");
    }

    static void writeText (const juce::File& file, const juce::String& text)
    {
        ASSERT_TRUE (file.getParentDirectory().createDirectory());
        ASSERT_TRUE (file.replaceWithText (text));
    }

    static void writeBytes (const juce::File& file, const juce::MemoryBlock& bytes)
    {
        ASSERT_TRUE (file.getParentDirectory().createDirectory());
        ASSERT_TRUE (file.replaceWithData (bytes.getData(), bytes.getSize()));
    }

    /** Turns the news fetch off for every store (and processor) of this HOME. */
    void switchNewsOff() const
    {
        writeText (makerSettingsFile(), "<KESTRIVANE_GLOBAL_SETTINGS KV-pn1=\"0\"/>");
    }

    juce::File home;
    std::optional<std::string> previousHome;
};

} // namespace wrendle_test
