// The size of the plug-in module as it is installed.

#include <gtest/gtest.h>

#include <juce_core/juce_core.h>

TEST (PluginModule, IsAtMostEightMegabytes)
{
#if ! WRENDLE_MODULE_IS_RELEASE
    GTEST_SKIP() << "only a release build is the module users install";
#else
    const juce::File module (WRENDLE_MODULE_PATH);
    ASSERT_TRUE (module.existsAsFile()) << module.getFullPathName();
    EXPECT_LE (module.getSize(), (juce::int64) 8 * 1000 * 1000) << module.getFullPathName();
#endif
}
