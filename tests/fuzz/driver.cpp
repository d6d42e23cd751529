// SPDX-License-Identifier: MIT
// libFuzzer entry point shared by every fuzz target: the build compiles it
// once per family with LIBKRC_FUZZ_RUN naming that family's model-checking
// harness (tests/model/<family>.cpp), e.g. -DLIBKRC_FUZZ_RUN=run_llist.
// The harness decodes only valid calls and aborts on any mismatch with its
// model, which libFuzzer reports as a crash with the input that caused it.
#include <cstddef>
#include <cstdint>

#include "model.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    krc_model::LIBKRC_FUZZ_RUN(data, size);
    return 0;
}
