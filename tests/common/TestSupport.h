// Helpers shared by the tests.
#pragma once

#include <chrono>
#include <functional>

namespace testsupport {
// Runs the event loop until pred() holds or the bound passes; returns pred().
bool PumpUntil(const std::function<bool()>& pred,
               std::chrono::milliseconds bound = std::chrono::seconds(10));
// Runs the event loop for what is already queued.
void PumpPending();
