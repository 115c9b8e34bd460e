// No exception leaves a control's window procedure: a handler that fails ends the message with 0.
#pragma once

#include "platform/owl/window.h"

namespace KVOControls {

template <class Body>
owl::TResult NoThrow(Body&& body) noexcept
{
    try {
        return body();
    } catch (...) {
        return 0;
    }
}

} // namespace KVOControls
