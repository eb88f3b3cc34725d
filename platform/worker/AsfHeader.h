// The streams an ASF file (wmv, wma, asf) lists in its header, read from the file's first bytes.
// Internal to platform/worker; pure functions, any thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/worker/WorkerWire.h"

namespace worker {

// True when the bytes start with the ASF header object's id.
bool LooksLikeAsf(const std::uint8_t* data, std::size_t size);

// The kind of each stream properties object of the header, in header order: Video or Audio for
// those media types, Other for the rest (scripts, images, unknown). Objects that do not fit in
// the header or in the bytes given end the list. Empty when the bytes are not an ASF header.
std::vector<StreamKind> AsfStreamKinds(const std::uint8_t* data, std::size_t size);

}  // namespace worker
