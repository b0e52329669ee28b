#include "FactoryBank.h"

namespace wrendle
{

const FactoryCategory* FactoryBank::findCategory (const juce::String& name) const
{
    for (const auto& category : categories)
        if (category.name == name)
            return &category;

    return nullptr;
}

FactoryBankParse parseFactoryBank (const juce::String& text)
{
    FactoryBankParse result;
    auto& bank = result.bank;
    const auto lines = juce::StringArray::fromLines (text);

    // What "key = value" lines belong to: the last header.
    FactoryCategory* category = nullptr;
    FactoryPreset* preset = nullptr;

    const auto fail = [&result] (int lineNumber, const juce::String& message)
    {
        result.error = "line " + juce::String (lineNumber) + ": " + message;
        return result;
    };

    for (int i = 0; i < lines.size(); ++i)
    {
        const auto lineNumber = i + 1;
        const auto line = lines[i].trim();

        if (line.isEmpty() || line.startsWithChar ('#'))
            continue;

        if (line.startsWithChar ('['))
        {
            if (! line.endsWithChar (']'))
                return fail (lineNumber, "a header ends with ']'");

            const auto header = line.substring (1, line.length() - 1).trim();
            category = nullptr;
            preset = nullptr;

            if (! header.containsChar ('/'))
            {
                if (header.isEmpty() || juce::File::createLegalFileName (header) != header)
                    return fail (lineNumber, "'" + header + "' is no usable folder name");

                if (bank.findCategory (header) != nullptr)
                    return fail (lineNumber, "category '" + header + "' comes twice");

                bank.categories.push_back ({ header, {} });
                category = &bank.categories.back();
                continue;
            }

            FactoryPreset entry;
            entry.category = header.upToFirstOccurrenceOf ("/", false, false).trim();
            entry.name = header.fromFirstOccurrenceOf ("/", false, false).trim();
            entry.line = lineNumber;

            if (bank.findCategory (entry.category) == nullptr)
                return fail (lineNumber, "category '" + entry.category + "' is not declared above");

            if (entry.name.isEmpty() || juce::File::createLegalFileName (entry.name) != entry.name)
                return fail (lineNumber, "'" + entry.name + "' is no usable file name");

            for (const auto& other : bank.presets)
                if (other.name.equalsIgnoreCase (entry.name))
                    return fail (lineNumber, "preset '" + entry.name + "' comes twice (also in " + other.category + ")");

            bank.presets.push_back (entry);
            preset = &bank.presets.back();
            continue;
        }

        if (! line.containsChar ('='))
            return fail (lineNumber, "expected 'name = value'");

        const auto key = line.upToFirstOccurrenceOf ("=", false, false).trim();
        const auto value = line.fromFirstOccurrenceOf ("=", false, false).trim();

        if (key.isEmpty() || value.isEmpty())
            return fail (lineNumber, "expected 'name = value'");

        if (category != nullptr)
        {
            if (key != "signal")
                return fail (lineNumber, "a category knows only 'signal'");

            category->signal = value;
        }
        else if (preset != nullptr)
        {
            if (preset->parameterNames.contains (key))
                return fail (lineNumber, "'" + key + "' comes twice");

            preset->parameterNames.add (key);
            preset->valueTexts.add (value);
        }
        else
        {
            return fail (lineNumber, "a setting before any header");
        }
    }

    for (const auto& c : bank.categories)
    {
        if (c.signal.isEmpty())
        {
            result.error = "category '" + c.name + "' has no signal";
            return result;
        }
    }

    return result;
}

FactoryBankParse readFactoryBank (const juce::File& source)
{
    if (! source.existsAsFile())
    {
        FactoryBankParse result;
        result.error = "cannot read " + source.getFullPathName();
        return result;
    }

    return parseFactoryBank (source.loadFileAsString());
}

juce::String applyFactoryPreset (const juce::Array<juce::AudioProcessorParameter*>& parameters, const FactoryPreset& preset,
                                 const juce::AudioProcessorParameter* usersOnly)
{
    for (auto* parameter : parameters)
        parameter->setValue (parameter->getDefaultValue());

    for (int i = 0; i < preset.parameterNames.size(); ++i)
    {
        const auto& name = preset.parameterNames[i];
        const auto& text = preset.valueTexts[i];
        juce::AudioProcessorParameter* parameter = nullptr;

        for (auto* candidate : parameters)
            if (candidate->getName (50) == name)
                parameter = candidate;

        if (parameter == nullptr)
            return "no parameter is named '" + name + "'";

        if (parameter == usersOnly)
            return name + " belongs to the user, not to a preset";

        parameter->setValue (parameter->getValueForText (text));
        const auto shown = parameter->getText (parameter->getValue(), 50);

        if (shown != text)
            return "'" + name + " = " + text + "' would show as '" + shown + "'";
    }

    return {};
}

} // namespace wrendle
