#include "binding/ClapBinding.h"

#include <algorithm>
#include <climits>

// The state extension: saving to and loading from the host's streams.

namespace clapbinding
{

namespace
{
    /** A host stream that keeps accepting nothing gets this many more tries before a save fails. */
    constexpr int maxIdleWrites = 8;
} // namespace

//==============================================================================
bool ClapBinding::stateSave (const clap_ostream* stream) noexcept
{
    if (stream->write == nullptr)
        return false;

    try
    {
        const juce::ScopedLock lock (stateLock);
        stateScratch.reset();
        processor->getStateInformation (stateScratch);

        const auto* data = static_cast<const uint8_t*> (stateScratch.getData());
        auto remaining = (uint64_t) stateScratch.getSize();
        int idleWrites = 0;
        bool complete = true;

        while (remaining > 0)
        {
            const auto written = stream->write (stream, data, remaining);

            if (written < 0)
            {
                complete = false;
                break;
            }

            // A stream that keeps taking nothing would hold the host's main thread here forever.
            if (written == 0)
            {
                if (++idleWrites >= maxIdleWrites)
                {
                    complete = false;
                    break;
                }

                continue;
            }

            idleWrites = 0;
            const auto step = std::min ((uint64_t) written, remaining);
            data += step;
            remaining -= step;
        }

        stateScratch.reset();
        return complete;
    }
    catch (...)
    {
        return false;
    }
}

bool ClapBinding::stateLoad (const clap_istream* stream) noexcept
{
    if (stream->read == nullptr)
        return false;

    try
    {
        const juce::ScopedLock lock (stateLock);
        stateScratch.reset();

        // A stream that keeps giving must not hold the host's main thread or its memory.
        const auto maxBytes = std::min<size_t> ((size_t) INT_MAX,
                                                extensions != nullptr ? extensions->getMaximumStateBytes() : (size_t) INT_MAX);
        char piece[4096];

        for (;;)
        {
            const auto got = stream->read (stream, piece, sizeof (piece));

            if (got < 0)
            {
                stateScratch.reset();
                return false;
            }

            if (got == 0)
                break;

            stateScratch.append (piece, (size_t) std::min<int64_t> (got, (int64_t) sizeof (piece)));

            if (stateScratch.getSize() > maxBytes)
            {
                stateScratch.reset();
                return false;
            }
        }

        if (stateScratch.getSize() == 0)
            return false;

        auto accepted = true;
        {
            const juce::ScopedValueSetter<const ClapBinding*> loading (loadingState, this);

            if (extensions != nullptr)
                accepted = extensions->loadStateInformation (stateScratch.getData(), (int) stateScratch.getSize());
            else
                processor->setStateInformation (stateScratch.getData(), (int) stateScratch.getSize());
        }

        stateScratch.reset();

        if (accepted)
        {
            // The restored values are not edits: the host reads them again without recording
            // automation or marking the project changed.
            callHostParamsRescan (CLAP_PARAM_RESCAN_VALUES);
            wakeIfQuiet();
        }

        return accepted;
    }
    catch (...)
    {
        // Out of memory while reading: the processor has not been touched.
        stateScratch.reset();
        return false;
    }
}

} // namespace clapbinding
