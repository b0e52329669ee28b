#include "binding/ClapBinding.h"

#include "binding/HostStrings.h"
#include "binding/LegacyParameters.h"

#include <algorithm>
#include <climits>
#include <cmath>

// The params extension: the parameter list, values and their texts, and the flush outside
// processing.

namespace clapbinding
{

//==============================================================================
uint32_t ClapBinding::paramsCount() const noexcept
{
    return (uint32_t) recordsById.size();
}

juce::String ClapBinding::groupPathOf (juce::AudioProcessorParameter* parameter) const
{
    const auto groups = parameterWrapper->getGroup().getGroupsForParameter (parameter);
    juce::String path;

    // Innermost group first; the root (unnamed) and its direct children add nothing.
    for (const auto* group = groups.isEmpty() ? nullptr : groups.getLast();
         group != nullptr && group->getParent() != nullptr && group->getParent()->getName().isNotEmpty();
         group = group->getParent())
    {
        path = group->getName() + "/" + path;
    }

    return path.isEmpty() ? path : "/" + path;
}

bool ClapBinding::paramsGetInfo (uint32_t index, clap_param_info* info) const noexcept
{
    if (! juce::isPositiveAndBelow ((int) index, parameterList.size()))
        return false;

    try
    {
        auto* parameter = parameterList.getUnchecked ((int) index);
        const auto id = getParameterId (parameter);
        const auto* record = findParameter (id);

        *info = {};
        info->id = id;
        info->flags = (parameter->isAutomatable() ? (uint32_t) CLAP_PARAM_IS_AUTOMATABLE : 0u)
                      | (parameter->isBoolean() || (record != nullptr && record->isStepped()) ? (uint32_t) CLAP_PARAM_IS_STEPPED : 0u);
        info->cookie = const_cast<ParameterRecord*> (record);
        copyString (info->name, CLAP_NAME_SIZE, parameter->getName (CLAP_NAME_SIZE));
        copyString (info->module, CLAP_PATH_SIZE, groupPathOf (parameter));

        if (record != nullptr && record->isDiscreteRanged())
        {
            const auto& range = record->ranged->getNormalisableRange();
            info->min_value = range.start;
            info->max_value = range.end;
            info->default_value = record->ranged->convertFrom0to1 (parameter->getDefaultValue());
        }
        else
        {
            info->min_value = 0.0;
            info->max_value = 1.0;
            info->default_value = parameter->getDefaultValue();
        }

        return true;
    }
    catch (...)
    {
        return false;
    }
}

bool ClapBinding::paramsGetValue (clap_id id, double* value) const noexcept
{
    const auto* record = findParameter (id);

    if (record == nullptr)
        return false;

    *value = record->toClapValue (record->parameter->getValue());
    return true;
}

bool ClapBinding::paramsValueToText (clap_id id, double value, char* display, uint32_t size) const noexcept
{
    const auto* record = findParameter (id);

    if (record == nullptr)
        return false;

    try
    {
        const auto maxLength = (int) std::min<uint32_t> (size, INT_MAX);
        copyString (display, size, record->parameter->getText (record->fromClapValue (value), maxLength));
        return true;
    }
    catch (...)
    {
        return false;
    }
}

bool ClapBinding::paramsTextToValue (clap_id id, const char* display, double* value) const noexcept
{
    const auto* record = findParameter (id);

    if (record == nullptr)
        return false;

    try
    {
        *value = record->toClapValue (record->parameter->getValueForText (juce::String::fromUTF8 (display)));
        return true;
    }
    catch (...)
    {
        return false;
    }
}

void ClapBinding::paramsFlush (const clap_input_events* in, const clap_output_events* out) noexcept
{
    drainOutboundQueue (out);

    if (in->size == nullptr || in->get == nullptr)
        return;

    const auto n = in->size (in);

    for (uint32_t i = 0; i < n; ++i)
        applyInputEvent (in->get (in, i), 0);

    // Values set outside process still glide: a sleeping instance must run again.
    if (n > 0)
        wakeIfQuiet();
}

} // namespace clapbinding
