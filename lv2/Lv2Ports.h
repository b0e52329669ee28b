#pragma once

#include <cstdint>

namespace lv2binding
{

/**
    The plug-in's port indexes. LV2 hosts store port values by symbol but many also rely on the
    index, and a port's index may never move under the same plug-in URI: the first nine keep the
    indexes, symbols and roles the bundle has had since its first release, and every parameter
    port comes after them.

    Parameter ports follow the processor's parameter list, in its order: parameter i is port
    firstParameterPort + i and its symbol is the parameter's identifier. A parameter appended to
    the list therefore gets a new port at the end and no existing port moves; parameters must
    never be reordered or removed, only appended.
*/
enum Port : uint32_t
{
    audioIn1Port = 0,
    audioIn2Port,
    audioOut1Port,
    audioOut2Port,
    eventsInPort,     // "in": an atom sequence the plug-in reads nothing from
    eventsOutPort,    // "out": tells the host when the state changed beyond the ports
    latencyPort,      // lv2:reportsLatency, written after every run
    freeWheelingPort, // the host renders offline
    enabledPort,      // lv2:enabled, the host's bypass: 0 plays the input, delayed by the latency
    firstParameterPort
};

constexpr int numAudioChannels = 2;

constexpr uint32_t portForParameter (int parameterIndex) noexcept
{
    return firstParameterPort + (uint32_t) parameterIndex;
}

} // namespace lv2binding
