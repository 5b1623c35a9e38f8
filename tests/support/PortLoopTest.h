#pragma once
// A serial-port test whose thread is the main thread: a MainLoop serves the port's deliveries,
// and the errors that reach the application's error handling are collected as their texts.
#include <gtest/gtest.h>

#include <chrono>
#include <exception>
#include <functional>
#include <string>
#include <vector>

#include "common/MainLoop.h"
#include "serial/SafeSync.h"

namespace lum::test {

// The message of a raised exception.
inline std::string ExceptionText(std::exception_ptr e) {
    try {
        std::rethrow_exception(e);
    } catch (const std::exception& x) {
        return x.what();
    }
}

// The message of the E that `action` raises, or "no error".
template <class E>
std::string ErrorOf(const std::function<void()>& action) {
    try {
        action();
    } catch (const E& e) {
        return e.what();
    }
    return "no error";
}

class PortLoopTest : public ::testing::Test {
  protected:
    void SetUp() override {
        UseMainLoopForSafeSync(loop);
        SafeSync::SetErrorHandler([this](std::exception_ptr e) { errors.push_back(ExceptionText(e)); });
    }
    void TearDown() override {
        SafeSync::SetWaker(nullptr);
        SafeSync::SetErrorHandler(nullptr);
        loop.RunQueued();
    }

    // Runs the loop until pred() holds or the time is up.
    bool Until(const std::function<bool()>& pred,
               std::chrono::milliseconds timeout = std::chrono::seconds(10)) {
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        while (!pred()) {
            if (std::chrono::steady_clock::now() > deadline) return false;
            loop.RunPending(std::chrono::milliseconds(10));
        }
        return true;
    }

    MainLoop loop;
    std::vector<std::string> errors;
};

}  // namespace lum::test
