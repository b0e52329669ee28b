#include "ProcessorStateFixture.h"
#include "state/PluginState.h"

#include <gtest/gtest.h>

#include <cmath>
#include <optional>

namespace
{

using namespace wrendle_test;

const juce::StringArray parameterAttributes { "FoldAmount", "Feedback", "FeedbackLP", "HighPass", "LowPass",
                                              "EnvelopeAttack", "EnvelopeRelease", "EnvelopeAmount", "Input",
                                              "Output", "Mix", "Oversampling", "PrePost", "SoftClip", "Bypass",
                                              "AutoGain" };

juce::StringArray attributeNames (const juce::XmlElement& element)
{
    juce::StringArray names;

    for (int i = 0; i < element.getNumAttributes(); ++i)
        names.add (element.getAttributeName (i));

    return names;
}

/** The text between the 8-byte header and the trailing zero. */
juce::String envelopeText (const juce::MemoryBlock& block)
{
    return juce::String::fromUTF8 (static_cast<const char*> (block.getData()) + 8, (int) block.getSize() - 9);
}

//==============================================================================
TEST_F (ProcessorStateTest, TheSettingsElementListsEveryParameterByIdentifierInOrderThenTheVersion)
{
    auto processor = makeProcessor();
    setDistinctiveState (*processor);

    const auto element = processor->createSettingsXml();
    ASSERT_NE (element, nullptr);
    EXPECT_EQ (element->getTagName(), "WrendleFold_SETTINGS");
    EXPECT_EQ (element->getNumChildElements(), 0);

    auto expected = parameterAttributes;
    expected.add ("Version");
    EXPECT_EQ (attributeNames (*element), expected);
    EXPECT_EQ (element->getStringAttribute ("Version"), "1.1.1");

    const auto& parameters = processor->getParameters();

    // Written as doubles; read back and narrowed they give the very same floats.
    for (int i = 0; i < parameters.size(); ++i)
        EXPECT_EQ ((float) element->getDoubleAttribute (parameterAttributes[i]), parameters[i]->getValue()) << parameterAttributes[i];
}

TEST_F (ProcessorStateTest, TheHostStateIsJucesBinaryEnvelopeAroundTheSettingsElementAndThreeStateAttributes)
{
    auto processor = makeProcessor();
    setDistinctiveState (*processor);
    processor->currentPresetPath = "/presets/Bass 2.kvp";
    processor->setLockedParameterNames ({ "Mix", "Bypass" });

    const auto block = saveState (*processor);
    ASSERT_GT (block.getSize(), 9u);

    const auto* bytes = static_cast<const juce::uint8*> (block.getData());
    EXPECT_EQ (juce::ByteOrder::littleEndianInt (bytes), 0x21324356u);
    EXPECT_EQ (juce::ByteOrder::littleEndianInt (bytes + 4), (juce::uint32) block.getSize() - 9);
    EXPECT_EQ (bytes[block.getSize() - 1], 0);

    const auto text = envelopeText (block);
    EXPECT_TRUE (text.startsWith ("<?xml version=\"1.0\" encoding=\"UTF-8\"?> <WrendleFold_SETTINGS ")) << text;
    EXPECT_FALSE (text.containsAnyOf ("\r\n"));
    EXPECT_TRUE (text.endsWith ("/>"));

    const auto element = juce::parseXML (text);
    ASSERT_NE (element, nullptr);
    auto expected = parameterAttributes;
    expected.addArray (juce::StringArray { "Version", "Preset", "Parameter", "ParameterLock" });
    EXPECT_EQ (attributeNames (*element), expected);
    EXPECT_EQ (element->getStringAttribute ("Preset"), "/presets/Bass 2.kvp");
    EXPECT_EQ (element->getStringAttribute ("Parameter"), "41");
    EXPECT_EQ (element->getStringAttribute ("ParameterLock"), "Mix|Bypass");

    // Identical to what JUCE's own envelope writer produces for the same element.
    juce::MemoryBlock reference;
    juce::AudioProcessor::copyXmlToBinary (*element, reference);
    EXPECT_EQ (reference, block);
}

TEST_F (ProcessorStateTest, TheCounterIsWrittenAsRestoredSoThatSavingTwiceGivesTheSameBytes)
{
    auto processor = makeProcessor();
    processor->saveCounter = 7;

    const auto counterIn = [] (const juce::MemoryBlock& block)
    { return orvel::readHostStateBinary (block.getData(), (int) block.getSize())->getStringAttribute ("Parameter"); };

    const auto first = saveState (*processor);
    EXPECT_EQ (counterIn (first), "7");
    EXPECT_EQ (saveState (*processor), first);

    auto restored = makeProcessor();
    restoreState (*restored, first);
    EXPECT_EQ (restored->saveCounter, 7);
    EXPECT_EQ (saveState (*restored), first);

    // A new instance writes 0.
    EXPECT_EQ (counterIn (saveState (*makeProcessor())), "0");
}

TEST_F (ProcessorStateTest, ARestoredStateReproducesEveryParameterThePresetPathAndTheLocksBitForBit)
{
    auto original = makeProcessor();
    setDistinctiveState (*original);
    original->setLockedParameterNames ({ "Mix", "Output", "Bypass" });

    const auto block = saveState (*original);

    auto restored = makeProcessor();
    restoreState (*restored, block);

    EXPECT_EQ (snapshotOf (*restored), snapshotOf (*original));
    EXPECT_EQ (restored->lockText, "Mix|Output|Bypass");

    // Saved again with the same counter, both write the same bytes.
    EXPECT_EQ (saveState (*restored), saveState (*original));
}

TEST_F (ProcessorStateTest, BlobsThatFailTheEnvelopeChecksOrDoNotParseChangeNothing)
{
    const auto valid = []
    { auto p = makeProcessor(); setDistinctiveState (*p); return saveState (*p); }();
    const auto validText = envelopeText (valid);

    juce::Random random (5);
    const auto randomBytes = [&random] (size_t numBytes)
    {
        juce::MemoryBlock bytes (numBytes);
        random.fillBitsRandomly (bytes.getData(), bytes.getSize());
        return bytes;
    };

    auto garbageWithMagic = randomBytes (10 * 1024 * 1024);
    juce::MemoryOutputStream header;
    header.writeInt (0x21324356);
    header.writeInt ((int) garbageWithMagic.getSize() - 9);
    garbageWithMagic.copyFrom (header.getData(), 0, header.getDataSize());

    juce::String entityBomb ("<?xml version=\"1.0\"?><!DOCTYPE s [<!ENTITY e0 \"0.9\">");
    for (int level = 1; level <= 9; ++level)
        entityBomb << "<!ENTITY e" << level << " \"" << juce::String::repeatedString ("&e" + juce::String (level - 1) + ";", 10) << "\">";
    entityBomb << "]><WrendleFold_SETTINGS Mix=\"&e9;\" Preset=\"bomb\"/>";

    const auto deep = "<WrendleFold_SETTINGS Mix=\"0.9\" Preset=\"deep\">" + juce::String::repeatedString ("<a>", 30000)
                      + juce::String::repeatedString ("</a>", 30000) + "</WrendleFold_SETTINGS>";

    const auto oversized = "<WrendleFold_SETTINGS Mix=\"0.9\" Preset=\"big\" Padding=\""
                           + juce::String::repeatedString ("x", 256 * 1024) + "\"/>";

    auto invalidUtf8 = makeEnvelope ("<WrendleFold_SETTINGS Mix=\"0.9\" Preset=\"abc\"/>");
    static_cast<char*> (invalidUtf8.getData())[8 + 40] = (char) 0xff; // inside the Preset value

    auto truncated = valid;
    truncated.setSize (valid.getSize() / 2);

    // Cut right after a complete attribute: JUCE's parser alone would return the
    // element with the attributes read so far.
    const auto cutBetweenAttributes = validText.upToFirstOccurrenceOf ("LowPass=", false, false);

    struct Case
    {
        const char* name;
        juce::MemoryBlock blob;
        bool nullPointer = false;
    };

    const Case cases[] = {
        { "null pointer", {}, true },
        { "empty", {} },
        { "8 bytes", juce::MemoryBlock (valid.getData(), 8) },
        { "wrong magic", makeEnvelope (validText, -1, 0x21324357) },
        { "zero length field", makeEnvelope (validText, 0) },
        { "negative length field", makeEnvelope (validText, 0x80000001) },
        { "length field cuts the text short", makeEnvelope (validText, 60) },
        { "truncated blob", truncated },
        { "text cut between two attributes", makeEnvelope (cutBetweenAttributes) },
        { "not XML", makeEnvelope ("Mix=0.9") },
        { "only a declaration", makeEnvelope ("<?xml version=\"1.0\"?>") },
        { "invalid UTF-8", invalidUtf8 },
        { "entity bomb", makeEnvelope (entityBomb) },
        { "deep nesting", makeEnvelope (deep) },
        { "10 MB of garbage", randomBytes (10 * 1024 * 1024) },
        { "10 MB of garbage behind a valid header", garbageWithMagic },
        { "well-formed but over 256 KB", makeEnvelope (oversized) },
    };

    auto processor = makeProcessor();

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.name);
        setDistinctiveState (*processor);
        const auto before = snapshotOf (*processor);
        processor->takeRestoreFadeRequest();

        processor->setStateInformation (c.nullPointer ? nullptr : c.blob.getData(), (int) c.blob.getSize());

        EXPECT_EQ (snapshotOf (*processor), before);
        EXPECT_FALSE (processor->takeRestoreFadeRequest());
        EXPECT_FALSE (processor->isSuspended());
    }
}

TEST_F (ProcessorStateTest, UnusualButValidBlobsApplyAsTheirTextSays)
{
    const auto text = juce::String ("<?xml version=\"1.0\" encoding=\"UTF-8\"?> <WrendleFold_SETTINGS Mix=\"0.25\" ")
                      + "Preset=\"/p/a.kvp\" Parameter=\"3\" ParameterLock=\"Mix\"/>";

    const auto padded = "<WrendleFold_SETTINGS Mix=\"0.25\" Preset=\"/p/a.kvp\" Parameter=\"3\" ParameterLock=\"Mix\" Padding=\""
                        + juce::String::repeatedString ("x", 200 * 1024) + "\"/>";

    struct Case
    {
        const char* name;
        juce::MemoryBlock blob;
    };

    const Case cases[] = {
        { "as written", makeEnvelope (text) },
        { "length field counts the terminator", makeEnvelope (text, text.getNumBytesAsUTF8() + 1) },
        { "length field far beyond the blob", makeEnvelope (text, 0x7fffffff) },
        { "200 KB state", makeEnvelope (padded) },
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.name);
        auto processor = makeProcessor();
        setDistinctiveState (*processor);
        processor->takeRestoreFadeRequest();

        restoreState (*processor, c.blob);

        EXPECT_FLOAT_EQ (parameterNamed (*processor, "Mix").getValue(), 0.25f);
        EXPECT_EQ (parameterNamed (*processor, "Bypass").getValue(), 1.0f); // missing: its default
        EXPECT_EQ (processor->currentPresetPath, "/p/a.kvp");
        EXPECT_EQ (processor->saveCounter, 3);
        EXPECT_EQ (processor->lockText, "Mix");
        EXPECT_TRUE (processor->takeRestoreFadeRequest());
    }
}

TEST_F (ProcessorStateTest, AnElementWithAnotherTagReplacesPathCounterAndLocksButNoParameter)
{
    auto processor = makeProcessor();
    setDistinctiveState (*processor);
    const auto before = snapshotOf (*processor);
    processor->takeRestoreFadeRequest();

    restoreState (*processor, makeEnvelope ("<SomethingElse Mix=\"0.9\" Bypass=\"0\" Preset=\"/x/y.kvp\" "
                                            "Parameter=\"12abc\" ParameterLock=\"Mix||Fold Amount|Mix|Nothing\"/>"));

    EXPECT_EQ (snapshotOf (*processor).values, before.values);
    EXPECT_EQ (processor->currentPresetPath, "/x/y.kvp");
    EXPECT_EQ (processor->saveCounter, 12);
    // Only names of parameters are kept, each once.
    EXPECT_EQ (processor->lockText, "Mix|Fold Amount");
    EXPECT_EQ (processor->lockedParameterNames, (juce::StringArray { "Mix", "Fold Amount" }));
    EXPECT_TRUE (processor->takeRestoreFadeRequest()); // faded back in all the same

    // A state without the three attributes empties them.
    restoreState (*processor, makeEnvelope ("<WrendleFold_SETTINGS/>"));
    EXPECT_EQ (processor->currentPresetPath, "");
    EXPECT_EQ (processor->saveCounter, 0);
    EXPECT_TRUE (processor->lockedParameterNames.isEmpty());
}

TEST_F (ProcessorStateTest, StoredValuesThatAreNotUsableNumbersGiveTheDefaultOrAreClamped)
{
    struct Case
    {
        const char* stored; // nullptr: attribute missing
        float feedback;     // a float parameter whose default is 0.5
        float bypass;       // a switch whose default is 1
    };

    const Case cases[] = {
        { "nan", 0.5f, 1.0f },
        { "inf", 0.5f, 1.0f },
        { "-inf", 0.5f, 1.0f },
        { "1e300", 1.0f, 1.0f },
        { "-1e300", 0.0f, 0.0f },
        { "1.5", 1.0f, 1.0f },
        { "-3", 0.0f, 0.0f },
        { "1e30", 1.0f, 1.0f },
        { "abc", 0.0f, 0.0f },
        { nullptr, 0.5f, 1.0f },
        { "0.25", 0.25f, 0.25f },
        { " 0.75", 0.75f, 0.75f },
    };

    auto processor = makeProcessor();

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.stored == nullptr ? "missing" : c.stored);
        setDistinctiveState (*processor);

        const auto attributes = c.stored == nullptr ? juce::String()
                                                    : juce::String ("Feedback=\"") + c.stored + "\" Bypass=\"" + c.stored + "\"";
        restoreState (*processor, makeEnvelope ("<WrendleFold_SETTINGS " + attributes + "/>"));

        EXPECT_FLOAT_EQ (parameterNamed (*processor, "Feedback").getValue(), c.feedback);
        EXPECT_FLOAT_EQ (parameterNamed (*processor, "Bypass").getValue(), c.bypass);
    }
}

TEST_F (ProcessorStateTest, LockedParametersComeBackWithTheStateAndAreThenShieldedFromPresets)
{
    auto source = makeProcessor();
    parameterNamed (*source, "Mix").setValueNotifyingHost (0.3f);
    parameterNamed (*source, "Output").setValueNotifyingHost (0.2f);
    source->setLockedParameterNames ({ "Output", "Mix" });
    const auto state = saveState (*source);

    parameterNamed (*source, "Mix").setValueNotifyingHost (0.8f);
    parameterNamed (*source, "Output").setValueNotifyingHost (0.9f);
    parameterNamed (*source, "Fold Amount").setValueNotifyingHost (0.6f);
    const auto preset = presetsFolder().getChildFile ("Other.kvp");
    ASSERT_EQ (source->savePreset (preset.getFullPathName()), "");

    auto processor = makeProcessor();
    restoreState (*processor, state);
    EXPECT_FLOAT_EQ (parameterNamed (*processor, "Mix").getValue(), 0.3f);
    EXPECT_FLOAT_EQ (parameterNamed (*processor, "Output").getValue(), 0.2f);
    EXPECT_EQ (processor->lockedParameterNames, (juce::StringArray { "Output", "Mix" }));

    processor->loadPreset (preset.getFullPathName());
    EXPECT_FLOAT_EQ (parameterNamed (*processor, "Mix").getValue(), 0.3f);
    EXPECT_FLOAT_EQ (parameterNamed (*processor, "Output").getValue(), 0.2f);
    EXPECT_FLOAT_EQ (parameterNamed (*processor, "Fold Amount").getValue(), 0.6f);
}

//==============================================================================
/** RMS of one channel over a window whose length is a whole number of periods of the
    test tone, so the value does not depend on where the window starts. */
float rms (const juce::AudioBuffer<float>& buffer, int start, int length)
{
    double sum = 0.0;

    for (int i = start; i < start + length; ++i)
        sum += (double) buffer.getSample (0, i) * buffer.getSample (0, i);

    return (float) std::sqrt (sum / length);
}

TEST_F (ProcessorStateTest, ApplyingSettingsSilencesTheOutputAtOnceAndFadesItBackInOver150Ms)
{
    constexpr double sampleRate = 44100.0;
    constexpr int blockSize = 441;
    constexpr int period = 63; // 700 Hz: seven periods per block

    auto processor = makeProcessor();
    juce::AudioProcessor::BusesLayout stereo;
    stereo.inputBuses.add (juce::AudioChannelSet::stereo());
    stereo.outputBuses.add (juce::AudioChannelSet::stereo());
    ASSERT_TRUE (processor->setBusesLayout (stereo));

    // As a host does: applying settings re-prepares with these recorded values.
    processor->setRateAndBufferSizeDetails (sampleRate, blockSize);
    processor->prepareToPlay (sampleRate, blockSize);

    juce::AudioBuffer<float> block (2, blockSize);
    juce::MidiBuffer midi;
    juce::int64 position = 0;

    const auto processNextBlock = [&]
    {
        for (int i = 0; i < blockSize; ++i)
            for (int ch = 0; ch < 2; ++ch)
                block.setSample (ch, i, 0.25f * (float) std::sin (juce::MathConstants<double>::twoPi * (double) (position + i) / period));

        position += blockSize;
        processor->processBlock (block, midi);
    };

    for (int i = 0; i < 50; ++i) // half a second to settle
        processNextBlock();

    const auto settled = rms (block, blockSize - 4 * period, 4 * period);
    ASSERT_GT (settled, 0.01f);

    processor->applySettingsXml (processor->createSettingsXml().get(), false);
    EXPECT_FALSE (processor->isSuspended());

    processNextBlock();
    EXPECT_LT (rms (block, 0, period), 0.1f * settled);

    for (int i = 0; i < 15; ++i) // ~150 ms
        processNextBlock();

    EXPECT_NEAR (rms (block, blockSize - 4 * period, 4 * period), settled, 0.05f * settled);
}

//==============================================================================
TEST_F (ProcessorStateTest, APasteSetsBypassAndLockedParametersWhileTheSameTextAsAPresetDoesNot)
{
    auto source = makeProcessor();
    parameterNamed (*source, "Mix").setValueNotifyingHost (0.3f);
    parameterNamed (*source, "Bypass").setValueNotifyingHost (0.0f);
    const auto text = source->createSettingsText();

    EXPECT_TRUE (text.startsWith ("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n\r\n<WrendleFold_SETTINGS"));

    const auto presetFile = presetsFolder().getChildFile ("FromClipboard.kvp");
    writeText (presetFile, text);

    for (const bool asPaste : { true, false })
    {
        SCOPED_TRACE (asPaste ? "paste" : "preset");
        auto processor = makeProcessor();
        processor->setLockedParameterNames ({ "Mix" });

        if (asPaste)
            processor->applySettingsText (text);
        else
            processor->loadPreset (presetFile.getFullPathName());

        EXPECT_FLOAT_EQ (parameterNamed (*processor, "Mix").getValue(), asPaste ? 0.3f : 1.0f);
        EXPECT_EQ (parameterNamed (*processor, "Bypass").getValue(), asPaste ? 0.0f : 1.0f);
    }
}

TEST_F (ProcessorStateTest, PastedTextThatIsNotASettingsDocumentOnlyFadesTheOutput)
{
    const juce::String cases[] = { "", "Mix=0.3", "<WrendleFold_SETTINGS Mix=\"0.3\"", "<Other Mix=\"0.3\"/>",
                                   "<!DOCTYPE x [<!ENTITY e \"0.3\">]><WrendleFold_SETTINGS Mix=\"&e;\"/>" };

    auto processor = makeProcessor();
    setDistinctiveState (*processor);
    const auto before = snapshotOf (*processor);

    for (const auto& text : cases)
    {
        SCOPED_TRACE (text);
        processor->takeRestoreFadeRequest();
        processor->applySettingsText (text);

        EXPECT_EQ (snapshotOf (*processor), before);
        EXPECT_TRUE (processor->takeRestoreFadeRequest());
    }
}

TEST_F (ProcessorStateTest, CopyAndPasteGoThroughTheSystemClipboard)
{
#if JUCE_LINUX || JUCE_BSD
    if (std::getenv ("DISPLAY") == nullptr)
        GTEST_SKIP() << "the X11 clipboard needs a display (tools/test-all.sh provides one)";
#endif

    auto source = makeProcessor();
    setDistinctiveState (*source);
    source->copySettingsToClipboard();
    EXPECT_EQ (juce::SystemClipboard::getTextFromClipboard(), source->createSettingsText());

    auto target = makeProcessor();
    target->pasteSettingsFromClipboard();
    EXPECT_EQ (snapshotOf (*target).values, snapshotOf (*source).values);
}

} // namespace
