#pragma once

#include <memory>

namespace orvel
{

/** The process-wide store of skin images, shared by every instance and alive
    as long as any instance holds it. */
class SharedData
{
public:
    SharedData() = default;

    /** The live store, or a new one when no instance holds it any more. */
    static std::shared_ptr<SharedData> acquire();

private:
    SharedData (const SharedData&) = delete;
    SharedData& operator= (const SharedData&) = delete;
};

} // namespace orvel
