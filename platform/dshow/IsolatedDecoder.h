// Runs the isolated picture decoder (orbelle-picture-decoder, beside the program file) on one
// picture file and takes its answer back. The decoder runs in its own process group with hard
// limits (address space, CPU time, answer size, no descriptors but the picture, the answer and
// stderr), under a seccomp filter where the system allows one, and is killed when it takes
// longer than the wall-clock limit. Internal to platform/dshow; any thread.
#pragma once

#include <string>
#include <vector>

#include "platform/dshow/StillImage.h"
#include "platform/picture/PictureDecode.h"

namespace dshow {

// Decodes the picture open for reading on fileFd (read from its start) as the given type.
// S_OK with *out filled; VFW_E_INVALID_FILE_FORMAT for anything else: a picture the decoder
// refuses, a decoder that crashes, hangs, exceeds a limit or answers garbage, or a decoder that
// cannot be started. A missing decoder, a refused seccomp filter and missing shared memory are
// each reported once on stderr.
HRESULT DecodeInIsolation(int fileFd, picture::PictureType type, StillImage* out);

// Tests only: the decoder's command (program, then leading arguments; the type is appended),
// the wall-clock limit, and whether to answer through a pipe as when shared memory is missing.
// An empty command restores the real decoder and limit.
void SetPictureDecoderForTesting(std::vector<std::string> command, unsigned wallMilliseconds,
                                 bool withoutSharedMemory = false);

}  // namespace dshow
