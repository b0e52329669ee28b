#include "SharedData.h"

#include <juce_core/juce_core.h>

namespace orvel
{

std::shared_ptr<SharedData> SharedData::acquire()
{
    static juce::SpinLock lock;
    static std::weak_ptr<SharedData> current;

    const juce::SpinLock::ScopedLockType scope (lock);

    if (auto live = current.lock())
        return live;

    auto created = std::make_shared<SharedData>();
    current = created;
    return created;
}

} // namespace orvel
