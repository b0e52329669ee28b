#include "ProcessorStateFixture.h"
#include "state/PresetFile.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

namespace
{

using namespace wrendle_test;

class PresetTest : public ProcessorStateTest
{
protected:
    juce::File initPreset() const { return presetsFolder().getChildFile ("Init.kvp"); }

    /** A preset saved by a processor whose named parameters are set as given. */
    juce::File savePresetWith (const juce::String& relativePath,
                               std::initializer_list<std::pair<const char*, float>> values) const
    {
        auto writer = makeProcessor();

        for (const auto& [name, value] : values)
            parameterNamed (*writer, name).setValueNotifyingHost (value);

        const auto file = presetsFolder().getChildFile (relativePath);
        EXPECT_EQ (writer->savePreset (file.getFullPathName()), "");
        return file;
    }
};

//==============================================================================
TEST_F (PresetTest, ASavedPresetIsTheBareSettingsElementInJucesDefaultTextFormat)
{
    auto processor = makeProcessor();
    setDistinctiveState (*processor);

    const auto file = presetsFolder().getChildFile ("New Folder/Deeper/Lead.kvp");
    ASSERT_EQ (processor->savePreset (file.getFullPathName()), "");

    const auto text = file.loadFileAsString();
    EXPECT_TRUE (text.startsWith ("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n\r\n<WrendleFold_SETTINGS "));
    EXPECT_TRUE (text.endsWith ("/>\r\n"));
    EXPECT_FALSE (text.replace ("\r\n", "").containsChar ('\n'));

    for (const auto* stateOnly : { "Preset=", "Parameter=", "ParameterLock=" })
        EXPECT_FALSE (text.contains (stateOnly)) << stateOnly;

    // Long attribute lists are wrapped onto indented lines.
    EXPECT_TRUE (text.contains ("\r\n    "));

    const auto bytes = file.loadFileAsString().toStdString();
    EXPECT_TRUE (orvel::hasPresetSignature (bytes.data(), bytes.size()));

    // Loading it into another processor reproduces every value except Bypass.
    auto loader = makeProcessor();
    loader->loadPreset (file.getFullPathName());
    const auto& saved = processor->getParameters();
    const auto& loaded = loader->getParameters();

    for (int i = 0; i < saved.size(); ++i)
    {
        if (saved[i]->getName (50) == "Bypass")
            EXPECT_EQ (loaded[i]->getValue(), loaded[i]->getDefaultValue());
        else
            EXPECT_EQ (loaded[i]->getValue(), saved[i]->getValue()) << saved[i]->getName (50);
    }

    EXPECT_EQ (loader->currentPresetPath, file.getFullPathName());
}

TEST_F (PresetTest, LoadingAPresetLeavesBypassAndLockedParametersAlone)
{
    const auto preset = savePresetWith ("P.kvp", { { "Mix", 0.2f }, { "Output", 0.7f }, { "Bypass", 0.0f } });
    const auto other = savePresetWith ("Q.kvp", { { "Mix", 0.4f }, { "Output", 0.1f }, { "Bypass", 0.0f } });

    auto processor = makeProcessor();

    struct Step
    {
        juce::StringArray locks;
        juce::File file;
        float mix;
        float output;
    };

    const Step steps[] = {
        { {}, preset, 0.2f, 0.7f },                  // nothing locked: both follow the preset
        { { "Mix" }, other, 0.2f, 0.1f },            // Mix locked stays
        { { "Mix", "Output" }, preset, 0.2f, 0.1f }, // both locked
        { {}, other, 0.4f, 0.1f },                   // unlocked again: Mix follows
    };

    for (const auto& step : steps)
    {
        SCOPED_TRACE (step.locks.joinIntoString ("|") + " " + step.file.getFileName());
        processor->setLockedParameterNames (step.locks);
        processor->loadPreset (step.file.getFullPathName());

        EXPECT_FLOAT_EQ (parameterNamed (*processor, "Mix").getValue(), step.mix);
        EXPECT_FLOAT_EQ (parameterNamed (*processor, "Output").getValue(), step.output);
        EXPECT_EQ (parameterNamed (*processor, "Bypass").getValue(), 1.0f);
        EXPECT_EQ (processor->lockedParameterNames, step.locks); // presets never touch the lock list
    }
}

TEST_F (PresetTest, FilesThatAreNotPresetsChangeNothingButTheirPathIsRemembered)
{
    const auto valid = savePresetWith ("Valid.kvp", { { "Mix", 0.2f } });
    const auto validText = valid.loadFileAsString();

    const auto empty = presetsFolder().getChildFile ("Empty.kvp");
    writeText (empty, "");

    // Well-formed, but without the signature bytes (the tag differs in case).
    const auto unsigned_ = presetsFolder().getChildFile ("Unsigned.kvp");
    writeText (unsigned_, validText.replace ("WrendleFold_SETTINGS", "WRENDLEFOLD_SETTINGS"));

    const auto binary = presetsFolder().getChildFile ("Binary.kvp");
    juce::MemoryBlock noise (8192);
    juce::Random (3).fillBitsRandomly (noise.getData(), noise.getSize());
    writeBytes (binary, noise);

    // The signature lies beyond the first 4096 bytes.
    const auto late = presetsFolder().getChildFile ("Late.kvp");
    writeText (late, "<!-- " + juce::String::repeatedString ("x", 5000) + " -->" + validText.fromFirstOccurrenceOf ("?>", false, false));

    const auto folder = presetsFolder().getChildFile ("Folder.kvp");
    folder.createDirectory();

    // Opened for reading, a FIFO would block until another process writes into it.
    const auto fifo = presetsFolder().getChildFile ("Fifo.kvp");
    ASSERT_EQ (::mkfifo (fifo.getFullPathName().toRawUTF8(), 0600), 0);

    const juce::String paths[] = {
        fifo.getFullPathName(),
        presetsFolder().getChildFile ("Missing.kvp").getFullPathName(),
        empty.getFullPathName(),
        unsigned_.getFullPathName(),
        binary.getFullPathName(),
        late.getFullPathName(),
        folder.getFullPathName(),
        "Valid.kvp", // relative: never resolved against the host's working folder
        "",
    };

    auto processor = makeProcessor();
    setDistinctiveState (*processor);
    const auto values = snapshotOf (*processor).values;

    for (const auto& path : paths)
    {
        SCOPED_TRACE (path);
        processor->takeRestoreFadeRequest();
        processor->loadPreset (path);

        EXPECT_EQ (snapshotOf (*processor).values, values);
        EXPECT_EQ (processor->currentPresetPath, path);
        EXPECT_FALSE (processor->takeRestoreFadeRequest());
    }
}

TEST_F (PresetTest, SignedFilesThatAreNoSettingsDocumentOnlyFadeTheOutput)
{
    const auto valid = savePresetWith ("Valid.kvp", { { "Mix", 0.2f } });
    const auto validText = valid.loadFileAsString();

    struct Case
    {
        const char* name;
        juce::String text;
    };

    const Case cases[] = {
        { "truncated", validText.substring (0, validText.length() / 2) },
        { "other root carrying the signature", "<Other Note=\"WrendleFold_SETTINGS\" Mix=\"0.9\"/>" },
        { "DTD", "<!DOCTYPE x [<!ENTITY e \"0.9\">]><WrendleFold_SETTINGS Mix=\"&e;\"/>" },
        { "over the size limit", validText.replace ("/>", " Padding=\"" + juce::String::repeatedString ("x", 300 * 1024) + "\"/>") },
    };

    auto processor = makeProcessor();
    setDistinctiveState (*processor);
    const auto values = snapshotOf (*processor).values;

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.name);
        const auto file = presetsFolder().getChildFile ("Broken.kvp");
        writeText (file, c.text);
        processor->takeRestoreFadeRequest();

        processor->loadPreset (file.getFullPathName());

        EXPECT_EQ (snapshotOf (*processor).values, values);
        EXPECT_TRUE (processor->takeRestoreFadeRequest());
    }
}

//==============================================================================
TEST_F (PresetTest, WithoutAnInitPresetEveryParameterStartsAtItsBuiltInDefault)
{
    auto processor = makeProcessor();

    for (auto* parameter : processor->getParameters())
        EXPECT_EQ (parameter->getValue(), parameter->getDefaultValue()) << parameter->getName (50);

    EXPECT_FLOAT_EQ (parameterNamed (*processor, "Feedback").getDefaultValue(), 0.5f);
    EXPECT_EQ (processor->currentPresetPath, "Init");
}

TEST_F (PresetTest, AnInitPresetGivesTheStartValuesAndBecomesEveryDefault)
{
    // Everything but Bypass away from the built-in defaults; Oversampling on "8X".
    const auto written = [this]
    {
        auto writer = makeProcessor();
        setDistinctiveState (*writer);
        parameterNamed (*writer, "Oversampling").setValueNotifyingHost (0.75f);
        EXPECT_EQ (writer->savePreset (initPreset().getFullPathName()), "");
        return snapshotOf (*writer).values;
    }();

    auto processor = makeProcessor();
    EXPECT_EQ (processor->currentPresetPath, initPreset().getFullPathName());

    const auto& parameters = processor->getParameters();

    for (int i = 0; i < parameters.size(); ++i)
    {
        auto* parameter = parameters[i];
        SCOPED_TRACE (parameter->getName (50));

        if (parameter->getName (50) == "Bypass")
        {
            EXPECT_EQ (parameter->getValue(), 1.0f);
            EXPECT_EQ (parameter->getDefaultValue(), 1.0f);
            continue;
        }

        EXPECT_FLOAT_EQ (parameter->getValue(), written[(size_t) i]);
        EXPECT_FLOAT_EQ (parameter->getDefaultValue(), written[(size_t) i]);
    }

    // A later preset or state without an attribute falls back to the Init value.
    const auto sparse = presetsFolder().getChildFile ("Sparse.kvp");
    writeText (sparse, "<WrendleFold_SETTINGS Mix=\"0.1\"/>");
    parameterNamed (*processor, "Envelope Attack").setValueNotifyingHost (0.99f);
    processor->loadPreset (sparse.getFullPathName());
    EXPECT_FLOAT_EQ (parameterNamed (*processor, "Envelope Attack").getValue(), written[5]);
    EXPECT_FLOAT_EQ (parameterNamed (*processor, "Mix").getValue(), 0.1f);

    parameterNamed (*processor, "Fold Amount").setValueNotifyingHost (0.99f);
    restoreState (*processor, makeEnvelope ("<WrendleFold_SETTINGS/>"));
    EXPECT_FLOAT_EQ (parameterNamed (*processor, "Fold Amount").getValue(), written[0]);
}

TEST_F (PresetTest, AnInitFileWithoutTheSignatureLeavesTheBuiltInDefaults)
{
    writeText (initPreset(), "<wrendlefold_settings Mix=\"0.1\"/>");

    auto processor = makeProcessor();

    for (auto* parameter : processor->getParameters())
        EXPECT_EQ (parameter->getValue(), parameter->getDefaultValue()) << parameter->getName (50);

    EXPECT_FLOAT_EQ (parameterNamed (*processor, "Mix").getDefaultValue(), 1.0f);
}

//==============================================================================
TEST_F (PresetTest, ASaveThatFailsReturnsAMessageAndLeavesNothingBehind)
{
    const auto aFile = presetsFolder().getChildFile ("plain.kvp");
    writeText (aFile, "keep me");

    const juce::String paths[] = {
        aFile.getChildFile ("under a file.kvp").getFullPathName(), // parent is a file
        presetsFolder().getFullPathName(),                         // a folder
        "relative.kvp",
        "",
    };

    auto processor = makeProcessor();

    for (const auto& path : paths)
    {
        SCOPED_TRACE (path);
        const auto message = processor->savePreset (path);
        EXPECT_TRUE (message.isNotEmpty());
        EXPECT_TRUE (message.contains (path));
    }

    EXPECT_EQ (aFile.loadFileAsString(), "keep me");
    EXPECT_EQ (presetsFolder().findChildFiles (juce::File::findFiles, true).size(), 1);
}

TEST_F (PresetTest, SavingOverAPresetReplacesItWhole)
{
    const auto file = presetsFolder().getChildFile ("Over.kvp");
    writeText (file, juce::String::repeatedString ("<!-- old, much longer content -->\r\n", 200));

    auto processor = makeProcessor();
    parameterNamed (*processor, "Mix").setValueNotifyingHost (0.4f);
    ASSERT_EQ (processor->savePreset (file.getFullPathName()), "");

    EXPECT_FALSE (file.loadFileAsString().contains ("much longer content"));

    auto loader = makeProcessor();
    loader->loadPreset (file.getFullPathName());
    EXPECT_FLOAT_EQ (parameterNamed (*loader, "Mix").getValue(), 0.4f);
}

//==============================================================================
TEST_F (PresetTest, SavingOverALinkedPresetWritesItsTargetAndKeepsTheLinkAndPermissions)
{
    const auto elsewhere = home.getChildFile ("Shared Presets");
    const auto target = elsewhere.getChildFile ("Growl.kvp");
    writeText (target, "old");
    ASSERT_EQ (::chmod (target.getFullPathName().toRawUTF8(), 0640), 0);

    const auto link = [] (const juce::String& targetText, const juce::File& at)
    { return ::symlink (targetText.toRawUTF8(), at.getFullPathName().toRawUTF8()) == 0; };

    const auto direct = presetsFolder().getChildFile ("Direct.kvp");
    const auto chained = presetsFolder().getChildFile ("Chained.kvp");
    const auto dangling = presetsFolder().getChildFile ("Dangling.kvp");
    ASSERT_TRUE (presetsFolder().createDirectory());
    ASSERT_TRUE (link (target.getFullPathName(), direct));
    ASSERT_TRUE (link ("Direct.kvp", chained)); // relative, through the first link
    ASSERT_TRUE (link ("../../../../../Shared Presets/New.kvp", dangling));

    struct Case
    {
        juce::File saved;
        juce::File written;
        float mix;
    };

    const Case cases[] = {
        { direct, target, 0.3f },
        { chained, target, 0.6f },
        { dangling, elsewhere.getChildFile ("New.kvp"), 0.7f },
    };

    auto processor = makeProcessor();

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.saved.getFileName());
        parameterNamed (*processor, "Mix").setValueNotifyingHost (c.mix);
        ASSERT_EQ (processor->savePreset (c.saved.getFullPathName()), "");

        EXPECT_TRUE (c.saved.isSymbolicLink());
        EXPECT_TRUE (c.written.existsAsFile());

        auto loader = makeProcessor();
        loader->loadPreset (c.written.getFullPathName());
        EXPECT_FLOAT_EQ (parameterNamed (*loader, "Mix").getValue(), c.mix);
    }

    struct stat info;
    ASSERT_EQ (::stat (target.getFullPathName().toRawUTF8(), &info), 0);
    EXPECT_EQ (info.st_mode & 07777, 0640u);
    EXPECT_EQ (elsewhere.findChildFiles (juce::File::findFiles, false).size(), 2) << "no temporary file is left";
}

TEST_F (PresetTest, ReadOnlyPresetsAndSpecialFilesAreRefusedWithTheSaveFailureMessage)
{
    const auto readOnly = presetsFolder().getChildFile ("Read Only.kvp");
    writeText (readOnly, "keep me");
    ASSERT_EQ (::chmod (readOnly.getFullPathName().toRawUTF8(), 0444), 0);

    const auto linkedReadOnly = presetsFolder().getChildFile ("Linked Read Only.kvp");
    ASSERT_TRUE (readOnly.createSymbolicLink (linkedReadOnly, false));

    const auto fifo = presetsFolder().getChildFile ("Fifo.kvp");
    ASSERT_EQ (::mkfifo (fifo.getFullPathName().toRawUTF8(), 0600), 0);

    auto processor = makeProcessor();

    for (const auto& file : { readOnly, linkedReadOnly, fifo })
    {
        SCOPED_TRACE (file.getFileName());
        const auto message = processor->savePreset (file.getFullPathName());
        EXPECT_TRUE (message.contains (file.getFullPathName())) << message;
    }

    // Even root, who may write anything, leaves a read-only preset alone.
    EXPECT_EQ (readOnly.loadFileAsString(), "keep me");
    EXPECT_TRUE (linkedReadOnly.isSymbolicLink());

    struct stat info;
    ASSERT_EQ (::stat (fifo.getFullPathName().toRawUTF8(), &info), 0);
    EXPECT_TRUE (S_ISFIFO (info.st_mode));

    ::chmod (readOnly.getFullPathName().toRawUTF8(), 0644);
}

} // namespace
