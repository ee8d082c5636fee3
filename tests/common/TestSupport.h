// Helpers shared by the tests.
#pragma once

#include "platform/Types.h"

#include <chrono>
#include <functional>
#include <string>

class QWidget;

namespace testsupport {
// Runs the event loop until pred() holds or the bound passes; returns pred().
bool PumpUntil(const std::function<bool()>& pred,
               std::chrono::milliseconds bound = std::chrono::seconds(10));
// Runs the event loop for what is already queued.
void PumpPending();
// Calls act(widget) from the event loop as soon as a modal widget is active (a
// message box or chooser opened by the code under test), once. Stays armed for at
// most the bound.
void WhenModalShows(std::function<void(QWidget*)> act,
                    std::chrono::milliseconds bound = std::chrono::seconds(10));
// Chooses folder (a path as Qt writes it) in an open folder chooser and confirms.
void ChooseFolder(QWidget* chooser, const std::string& folder);
// A top-level window of the platform whose procedure is proc, for what is sent and
// posted to it; DeleteWindow destroys it.
HWND NewWindow(WNDPROC proc);
void DeleteWindow(HWND hwnd);
// Sets a setting of this process's environment (as getenv reads it).
void SetEnv(const char* name, const std::string& value);
} // namespace testsupport
