// Helpers of the localised-text code that other code calls without the
// application object.
#pragma once

#include "DirectX/SDLInput.h"

// Formats like vsnprintf into a buffer of size bytes. The result is always
// terminated inside the buffer; a text that was cut returns -1.
int sprintf_safe(char* buffer, int size, const char* format, ...) __attribute__((format(printf, 3, 4)));

// True for the joystick inputs (272 to 311) while a joystick is present.
bool IsInputFromJoystick(PHYSICAL_INPUT input);
