#pragma once
// A scripted controller line for the link tests: a clock that only moves when the pump
// waits, events scheduled at points of that clock, and a port that records what is sent.
#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

#include "common/EventPump.h"
#include "link/FrameCodec.h"
#include "link/Transactions.h"

namespace lum::test {

using namespace std::chrono_literals;
using TimePoint = std::chrono::steady_clock::time_point;

// Wire text of a frame: start byte, hex pairs, terminator. The check byte is computed
// unless `check` is given.
inline std::string WireFrame(std::uint8_t kind, std::uint8_t code, const std::vector<std::uint8_t>& data,
                             int check = -1, int countField = -1) {
    auto bytes = FrameBytes(kind, code, 0, static_cast<std::uint8_t>(countField < 0 ? data.size() : countField), data);
    if (check >= 0) bytes.back() = static_cast<std::uint8_t>(check);
    return FrameText(bytes);
}

inline std::string StatusFrame(std::uint8_t model = 200) {
    std::vector<std::uint8_t> data(36, 0);
    data[0] = model;
    return WireFrame(1, 21, data);
}

inline std::vector<std::uint8_t> Pattern(std::size_t n, std::uint8_t first) {
    std::vector<std::uint8_t> v(n);
    for (std::size_t i = 0; i < n; ++i) v[i] = static_cast<std::uint8_t>(first + i);
    return v;
}

// The clock and the event queue. RunPending moves the clock to the next event when it
// falls within maxWait (and runs every event due then), otherwise by maxWait.
class ScriptedPump : public IEventPump {
  public:
    TimePoint now = TimePoint{} + 1000h;
    int calls = 0;

    Transactions::Clock Clock() {
        return [this] { return now; };
    }
    std::chrono::milliseconds Elapsed(TimePoint since) const {
        return std::chrono::duration_cast<std::chrono::milliseconds>(now - since);
    }
    void At(std::chrono::milliseconds offset, std::function<void()> event) {
        events_.emplace(now + offset, std::move(event));
    }
    void RunPending(std::chrono::milliseconds maxWait) override {
        ++calls;
        if (calls > 10000) throw std::runtime_error("the wait does not end");
        if (!events_.empty() && events_.begin()->first <= now + maxWait) {
            if (events_.begin()->first > now) now = events_.begin()->first;
            while (!events_.empty() && events_.begin()->first <= now) {
                auto event = std::move(events_.begin()->second);
                events_.erase(events_.begin());
                event();
            }
        } else {
            now += maxWait;
        }
    }

  private:
    std::multimap<TimePoint, std::function<void()>> events_;
};

class RecordingPort : public IPortWriter {
  public:
    struct Write {
        TimePoint at;
        std::string text;
    };
    explicit RecordingPort(ScriptedPump& pump) : pump_(pump) {}
    std::vector<Write> writes;
    bool fail = false;
    std::function<void(const std::string&)> onWrite;  // the controller's answer, scheduled from here

    void WriteString(const std::string& text) override {
        if (fail) throw std::runtime_error("Write data error [requested: 12, free: 0] - ComPort1 ");
        writes.push_back({pump_.now, text});
        if (onWrite) onWrite(text);
    }

  private:
    ScriptedPump& pump_;
};

}  // namespace lum::test
