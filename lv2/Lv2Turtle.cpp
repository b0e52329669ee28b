#include "lv2/Lv2Turtle.h"

#include "lv2/Lv2Plugin.h"
#include "lv2/Lv2Ports.h"
#include "lv2/Lv2Uris.h"

#include <cmath>
#include <cstdio>

namespace lv2binding
{

namespace
{
    constexpr const char* prefixes = "@prefix atom:  <http://lv2plug.in/ns/ext/atom#> .\n"
                                     "@prefix bufsz: <http://lv2plug.in/ns/ext/buf-size#> .\n"
                                     "@prefix doap:  <http://usefulinc.com/ns/doap#> .\n"
                                     "@prefix foaf:  <http://xmlns.com/foaf/0.1/> .\n"
                                     "@prefix lv2:   <http://lv2plug.in/ns/lv2core#> .\n"
                                     "@prefix opts:  <http://lv2plug.in/ns/ext/options#> .\n"
                                     "@prefix pprop: <http://lv2plug.in/ns/ext/port-props#> .\n"
                                     "@prefix pset:  <http://lv2plug.in/ns/ext/presets#> .\n"
                                     "@prefix rdf:   <http://www.w3.org/1999/02/22-rdf-syntax-ns#> .\n"
                                     "@prefix rdfs:  <http://www.w3.org/2000/01/rdf-schema#> .\n"
                                     "@prefix state: <http://lv2plug.in/ns/ext/state#> .\n"
                                     "@prefix ui:    <http://lv2plug.in/ns/extensions/ui#> .\n"
                                     "@prefix units: <http://lv2plug.in/ns/extensions/units#> .\n"
                                     "@prefix urid:  <http://lv2plug.in/ns/ext/urid#> .\n\n";

    /** A float as Turtle reads it back to the same float. */
    juce::String number (float value)
    {
        char text[32];
        std::snprintf (text, sizeof (text), "%.9g", (double) value);
        juce::String result (text);
        // A bare integer would be read as xsd:integer, which is fine; "inf" or "nan" never is.
        return std::isfinite (value) ? result : juce::String ("0");
    }

    juce::String quoted (const juce::String& text)
    {
        juce::String result ("\"");

        for (auto character : text)
        {
            switch (character)
            {
                case '\\':
                    result << "\\\\";
                    break;
                case '"':
                    result << "\\\"";
                    break;
                case '\n':
                    result << "\\n";
                    break;
                case '\r':
                    result << "\\r";
                    break;
                case '\t':
                    result << "\\t";
                    break;
                default:
                    result << juce::String::charToString (character);
                    break;
            }
        }

        return result + "\"";
    }

    juce::String uri (const juce::String& text)
    {
        return "<" + text + ">";
    }

    juce::String presetUri (const BundleDescription& bundle, const PresetDescription& preset)
    {
        auto path = toUriSegment (preset.label);
        if (preset.bank.isNotEmpty())
            path = toUriSegment (preset.bank) + "/" + path;
        return bundle.pluginUri + ":preset/" + path;
    }

    juce::String bankUri (const BundleDescription& bundle, const juce::String& bank)
    {
        return bundle.pluginUri + ":bank/" + toUriSegment (bank);
    }

    juce::String identifierOf (const juce::AudioProcessorParameter& parameter)
    {
        if (const auto* withId = dynamic_cast<const juce::AudioProcessorParameterWithID*> (&parameter))
            return withId->getParameterID();

        return juce::String (parameter.getParameterIndex());
    }

    bool isOnOffSwitch (const juce::AudioProcessorParameter& parameter)
    {
        const auto off = parameter.getText (0.0f, 64).trim().toLowerCase();
        const auto on = parameter.getText (1.0f, 64).trim().toLowerCase();
        return off == "off" && on == "on";
    }
} // namespace

juce::String toSymbol (const juce::String& identifier)
{
    juce::String symbol;

    for (auto character : identifier)
        symbol << (juce::CharacterFunctions::isLetterOrDigit (character) && character < 128 ? juce::String::charToString (character)
                                                                                            : juce::String ("_"));

    if (symbol.isEmpty() || juce::CharacterFunctions::isDigit (symbol[0]))
        symbol = "_" + symbol;

    return symbol;
}

juce::String toUriSegment (const juce::String& label)
{
    // Letters and digits, every other run of characters one '-': hosts that take a preset's
    // URI on a command line (jalv) accept no escapes.
    juce::String segment;

    for (auto character : label)
    {
        if (juce::CharacterFunctions::isLetterOrDigit (character) && character < 128)
            segment << juce::String::charToString (character);
        else if (segment.isNotEmpty() && ! segment.endsWithChar ('-'))
            segment << "-";
    }

    return segment.trimCharactersAtEnd ("-");
}

ParameterPort describeParameterPort (const juce::AudioProcessorParameter& parameter)
{
    ParameterPort port;
    port.symbol = toSymbol (identifierOf (parameter));
    port.name = parameter.getName (256);
    port.defaultValue = Lv2Plugin::toPlain (parameter, parameter.getDefaultValue());
    port.minimum = Lv2Plugin::toPlain (parameter, 0.0f);
    port.maximum = Lv2Plugin::toPlain (parameter, 1.0f);

    if (parameter.isBoolean() && isOnOffSwitch (parameter))
    {
        port.toggled = true;
    }
    else if (parameter.isDiscrete() || parameter.isBoolean())
    {
        port.enumeration = true;
        const auto steps = parameter.isBoolean() ? 2 : juce::jmax (2, parameter.getNumSteps());

        for (int step = 0; step < steps; ++step)
        {
            const auto normalised = (float) step / (float) (steps - 1);
            port.scalePoints.emplace_back (Lv2Plugin::toPlain (parameter, normalised), parameter.getText (normalised, 64));
        }
    }
    else
    {
        // A range whose middle is the geometric mean of its ends is a logarithmic one.
        const auto middle = Lv2Plugin::toPlain (parameter, 0.5f);
        const auto geometricMean = port.minimum > 0.0f ? std::sqrt (port.minimum * port.maximum) : -1.0f;
        port.logarithmic = geometricMean > 0.0f && std::abs (middle - geometricMean) <= 1.0e-3f * geometricMean;
        port.inHertz = parameter.getText (parameter.getDefaultValue(), 64).trim().endsWith ("Hz");
    }

    return port;
}

//==============================================================================
juce::String writeManifestTurtle (const BundleDescription& bundle, const std::vector<PresetDescription>& presets)
{
    const PluginUris uris (bundle.pluginUri);
    juce::String ttl (prefixes);

    ttl << uri (bundle.pluginUri) << "\n"
        << "    a lv2:Plugin ;\n"
        << "    lv2:binary " << uri (bundle.binaryName) << " ;\n"
        << "    rdfs:seeAlso " << uri (pluginTurtleName) << " .\n\n";

    if (bundle.hasUi)
    {
        ttl << uri (uris.ui) << "\n"
            << "    a ui:X11UI ;\n"
            << "    lv2:binary " << uri (bundle.binaryName) << " ;\n"
            << "    lv2:requiredFeature ui:idleInterface , ui:parent , <http://lv2plug.in/ns/ext/instance-access> ;\n"
            << "    lv2:optionalFeature ui:resize ;\n"
            << "    lv2:extensionData ui:idleInterface , ui:resize .\n\n";
    }

    for (const auto& preset : presets)
    {
        ttl << uri (presetUri (bundle, preset)) << "\n"
            << "    a pset:Preset ;\n"
            << "    lv2:appliesTo " << uri (bundle.pluginUri) << " ;\n"
            << "    rdfs:label " << quoted (preset.label) << " ;\n"
            << "    rdfs:seeAlso " << uri (presetsTurtleName) << " .\n\n";
    }

    return ttl;
}

juce::String writePluginTurtle (const BundleDescription& bundle, juce::AudioProcessor& processor)
{
    const PluginUris uris (bundle.pluginUri);
    juce::String ttl (prefixes);

    ttl << uri (bundle.pluginUri) << "\n"
        << "    a lv2:Plugin , doap:Project" << (bundle.pluginClass != "lv2:Plugin" ? " , " + bundle.pluginClass : juce::String()) << " ;\n"
        << "    doap:name " << quoted (bundle.name) << " ;\n";

    if (bundle.description.isNotEmpty())
        ttl << "    rdfs:comment " << quoted (bundle.description) << " ;\n";

    ttl << "    doap:maintainer [\n"
        << "        foaf:name " << quoted (bundle.vendor) << " ;\n";
    if (bundle.vendorSite.isNotEmpty())
        ttl << "        foaf:homepage " << uri (bundle.vendorSite) << " ;\n";
    ttl << "    ] ;\n"
        << "    lv2:minorVersion " << bundle.minorVersion << " ;\n"
        << "    lv2:microVersion " << bundle.microVersion << " ;\n"
        << "    lv2:optionalFeature lv2:hardRTCapable , urid:map , opts:options , bufsz:boundedBlockLength ;\n"
        << "    opts:supportedOption bufsz:maxBlockLength , bufsz:nominalBlockLength ;\n"
        << "    lv2:extensionData state:interface ;\n";

    if (bundle.hasUi)
        ttl << "    ui:ui " << uri (uris.ui) << " ;\n";

    // The first nine ports keep the indexes and symbols they have always had (Lv2Ports.h).
    ttl << "    lv2:port [\n"
           "        a lv2:InputPort , lv2:AudioPort ;\n"
           "        lv2:index 0 ;\n"
           "        lv2:symbol \"audio_in_1\" ;\n"
           "        lv2:name \"Audio In 1\" ;\n"
           "    ] , [\n"
           "        a lv2:InputPort , lv2:AudioPort ;\n"
           "        lv2:index 1 ;\n"
           "        lv2:symbol \"audio_in_2\" ;\n"
           "        lv2:name \"Audio In 2\" ;\n"
           "    ] , [\n"
           "        a lv2:OutputPort , lv2:AudioPort ;\n"
           "        lv2:index 2 ;\n"
           "        lv2:symbol \"audio_out_1\" ;\n"
           "        lv2:name \"Audio Out 1\" ;\n"
           "    ] , [\n"
           "        a lv2:OutputPort , lv2:AudioPort ;\n"
           "        lv2:index 3 ;\n"
           "        lv2:symbol \"audio_out_2\" ;\n"
           "        lv2:name \"Audio Out 2\" ;\n"
           "    ] , [\n"
           "        a lv2:InputPort , atom:AtomPort ;\n"
           "        atom:bufferType atom:Sequence ;\n"
           "        lv2:index 4 ;\n"
           "        lv2:symbol \"in\" ;\n"
           "        lv2:name \"In\" ;\n"
           "        lv2:portProperty lv2:connectionOptional ;\n"
           "    ] , [\n"
           "        a lv2:OutputPort , atom:AtomPort ;\n"
           "        atom:bufferType atom:Sequence ;\n"
           "        atom:supports atom:Object ;\n"
           "        lv2:index 5 ;\n"
           "        lv2:symbol \"out\" ;\n"
           "        lv2:name \"Out\" ;\n"
           "        lv2:portProperty lv2:connectionOptional ;\n"
           "    ] , [\n"
           "        a lv2:OutputPort , lv2:ControlPort ;\n"
           "        lv2:designation lv2:latency ;\n"
           "        lv2:index 6 ;\n"
           "        lv2:symbol \"latency\" ;\n"
           "        lv2:name \"Latency\" ;\n"
           "        lv2:portProperty lv2:reportsLatency , lv2:integer , lv2:connectionOptional , pprop:notOnGUI ;\n"
           "        units:unit units:frame ;\n"
           "    ] , [\n"
           "        a lv2:InputPort , lv2:ControlPort ;\n"
           "        lv2:designation lv2:freeWheeling ;\n"
           "        lv2:index 7 ;\n"
           "        lv2:symbol \"freeWheeling\" ;\n"
           "        lv2:name \"Free Wheeling\" ;\n"
           "        lv2:default 0 ;\n"
           "        lv2:minimum 0 ;\n"
           "        lv2:maximum 1 ;\n"
           "        lv2:portProperty lv2:toggled , lv2:connectionOptional , pprop:notOnGUI ;\n"
           "    ] , [\n"
           "        a lv2:InputPort , lv2:ControlPort ;\n"
           "        lv2:designation lv2:enabled ;\n"
           "        lv2:index 8 ;\n"
           "        lv2:symbol \"enabled\" ;\n"
           "        lv2:name \"Enabled\" ;\n"
           "        lv2:default 1 ;\n"
           "        lv2:minimum 0 ;\n"
           "        lv2:maximum 1 ;\n"
           "        lv2:portProperty lv2:toggled , lv2:connectionOptional , pprop:notOnGUI ;\n"
           "    ]";

    // Then one control port per parameter, in the processor's order: a parameter appended to
    // the list gets the next index, and no port that hosts already know ever moves.
    const auto& parameters = processor.getParameters();

    for (int i = 0; i < parameters.size(); ++i)
    {
        const auto port = describeParameterPort (*parameters[i]);

        ttl << " , [\n"
            << "        a lv2:InputPort , lv2:ControlPort ;\n"
            << "        lv2:index " << (int) portForParameter (i) << " ;\n"
            << "        lv2:symbol " << quoted (port.symbol) << " ;\n"
            << "        lv2:name " << quoted (port.name) << " ;\n"
            << "        lv2:default " << number (port.defaultValue) << " ;\n"
            << "        lv2:minimum " << number (port.minimum) << " ;\n"
            << "        lv2:maximum " << number (port.maximum) << " ;\n";

        if (port.toggled)
            ttl << "        lv2:portProperty lv2:toggled ;\n";

        if (port.enumeration)
        {
            ttl << "        lv2:portProperty lv2:integer , lv2:enumeration ;\n"
                << "        lv2:scalePoint";

            for (size_t point = 0; point < port.scalePoints.size(); ++point)
                ttl << (point == 0 ? " [\n" : " , [\n") << "            rdfs:label " << quoted (port.scalePoints[point].second) << " ;\n"
                    << "            rdf:value " << number (port.scalePoints[point].first) << " ;\n"
                    << "        ]";

            ttl << " ;\n";
        }

        if (port.logarithmic)
            ttl << "        lv2:portProperty pprop:logarithmic ;\n";

        if (port.inHertz)
            ttl << "        units:unit units:hz ;\n";

        ttl << "    ]";
    }

    ttl << " .\n";
    return ttl;
}

juce::String writePresetsTurtle (const BundleDescription& bundle, juce::AudioProcessor& processor,
                                 const std::vector<PresetDescription>& presets)
{
    const PluginUris uris (bundle.pluginUri);
    const auto& parameters = processor.getParameters();
    juce::String ttl (prefixes);
    juce::StringArray banks;

    for (const auto& preset : presets)
        if (preset.bank.isNotEmpty())
            banks.addIfNotAlreadyThere (preset.bank);

    // The key a preset's settings go under in its state.
    ttl << uri (uris.presetSettings) << "\n"
        << "    a rdf:Property ;\n"
        << "    rdfs:label \"Preset settings\" ;\n"
        << "    rdfs:comment \"The settings a preset applies, as the plug-in's own preset files hold them.\" ;\n"
        << "    rdfs:range atom:String .\n\n";

    for (const auto& bank : banks)
        ttl << uri (bankUri (bundle, bank)) << "\n"
            << "    a pset:Bank ;\n"
            << "    lv2:appliesTo " << uri (bundle.pluginUri) << " ;\n"
            << "    rdfs:label " << quoted (bank) << " .\n\n";

    for (const auto& preset : presets)
    {
        ttl << uri (presetUri (bundle, preset)) << "\n"
            << "    a pset:Preset ;\n"
            << "    lv2:appliesTo " << uri (bundle.pluginUri) << " ;\n"
            << "    rdfs:label " << quoted (preset.label);

        if (preset.bank.isNotEmpty())
            ttl << " ;\n    pset:bank " << uri (bankUri (bundle, preset.bank));

        juce::StringArray portValues;
        for (size_t i = 0; i < preset.plainValues.size() && (int) i < parameters.size(); ++i)
            if (std::isfinite (preset.plainValues[i]))
                portValues.add ("        lv2:symbol " + quoted (describeParameterPort (*parameters[(int) i]).symbol) + " ;\n"
                                + "        pset:value " + number (preset.plainValues[i]) + " ;\n");

        for (int i = 0; i < portValues.size(); ++i)
            ttl << (i == 0 ? " ;\n    lv2:port [\n" : " , [\n") << portValues[i] << "    ]";

        if (preset.settingsText.isNotEmpty())
            ttl << " ;\n    state:state [\n        " << uri (uris.presetSettings) << " " << quoted (preset.settingsText) << " ;\n    ]";

        ttl << " .\n\n";
    }

    return ttl;
}

} // namespace lv2binding
