// Test-only: `--misbehave=WHAT` makes the worker, right after it receives Open (so under its
// sandbox, holding the file), do one thing a subverted decoder might: a forbidden call, a crash,
// a hang, a malformed message, or a stall. The tests check that the sandbox stops the forbidden
// calls and that the viewer survives the rest. Internal to platform/worker.
#pragma once

#include <string_view>

#include "platform/worker/ControlChannel.h"

namespace worker {

// The exit status of a worker whose forbidden call failed instead of killing it.
inline constexpr int kMisbehaveRefused = 77;

// True when what names a misbehaviour.
bool KnownMisbehaviour(std::string_view what);

// Does it. Returns only when it is a forbidden call and the call failed; the caller then exits
// with kMisbehaveRefused.
void Misbehave(std::string_view what, ControlChannel& channel);

}  // namespace worker
