// The GStreamer plugins and elements the worker may use: containers and codecs of the videos a
// viewer opens, nothing that decodes pictures, reads paths or reaches a network. Everything
// else is taken out of the registry before a byte of the file is read, so decodebin can never
// pick it, and what remains is loaded at once, so nothing is loaded under the sandbox.
// Internal to platform/worker; main thread, before the sandbox.
#pragma once

#include <string>
#include <vector>

namespace worker {

// Starts GStreamer, removes every plugin not allowed and every element of an allowed plugin not
// allowed, then loads the allowed plugins and makes one of each allowed element. False, with
// the reason, when GStreamer does not start or an element the worker builds itself is missing.
bool PrepareGstreamer(std::string* error);

// The element names left in the registry (after PrepareGstreamer), sorted.
std::vector<std::string> AllowedElements();

}  // namespace worker
