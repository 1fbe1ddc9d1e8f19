// The batch marker written ahead of each batch of a push buffer.
#pragma once

#include <cstdint>

// Marks the start of a batch of the given number of words; writes nothing.
inline void RendererPushHeader(uint32_t*& /*pdwPush*/, unsigned /*dwWords*/) {}
