#pragma once
// The event pump of a waiting transaction on Qt: handles the pending events of the main
// thread and, when there are none, sleeps in the event loop until one arrives or the
// bound passes. Main (GUI) thread only.
#include "common/EventPump.h"

namespace lum {

class QtEventPump : public IEventPump {
public:
    void RunPending(std::chrono::milliseconds maxWait) override;
};

}  // namespace lum
