// Platform services of the video library: processor features and memory.
#pragma once

#include <cstdint>

uint32_t CPU_check(uint32_t enable, uint32_t disable);
extern uint32_t cpu_features_avail;
extern uint32_t cpu_features_to_use;
void* radmalloc(uint32_t size);
void radfree(void* p);
