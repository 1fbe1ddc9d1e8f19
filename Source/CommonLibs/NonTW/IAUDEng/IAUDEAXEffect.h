// The runtime's EAX layer over the effect slots: EAX 2.0 and 3.0 listener
// properties and EAX 4.0 effect-slot, reverb and context properties, each
// value checked against its published range before it reaches a slot.
// Results: 0, -2 for an unknown number, missing data, a short buffer or a
// value out of range, -9 when the runtime or its slot controller is missing.
#pragma once

#include <cstdint>

long SetEAX2Effect(unsigned long id, void* data, unsigned long size);
long GetEAX2Effect(unsigned long id, void* data, unsigned long size);
long SetEAX3Effect(unsigned long id, void* data, unsigned long size);
long GetEAX3Effect(unsigned long id, void* data, unsigned long size);
long SetEAX4Effect(unsigned long slot, unsigned long id, void* data, unsigned long size);
long GetEAX4Effect(unsigned long slot, unsigned long id, void* data, unsigned long size);
long SetEAX4Context(unsigned long id, void* data, unsigned long size);
long GetEAX4Context(unsigned long id, void* data, unsigned long size);

bool LongInRange(long v, long min, long max);
bool ULongInRange(unsigned long v, unsigned long min, unsigned long max);
bool FloatInRange(float v, float min, float max);
