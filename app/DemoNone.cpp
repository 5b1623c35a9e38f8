// Demo mode where the simulator has no line of this OS: starting it fails with a message.
#include <stdexcept>

#include "app/Demo.h"

namespace lum {

struct DemoController::Impl {};

DemoController::DemoController() : impl_(std::make_unique<Impl>()) {}
DemoController::~DemoController() = default;

std::string DemoController::Start(int) {
    throw std::runtime_error("Демо-режим на этой системе недоступен");
}

void DemoController::Stop() {}

}  // namespace lum
