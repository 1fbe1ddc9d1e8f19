#include "Game/CameraSpring.h"

template EVec3 GetDampedSpringAccel<EVec3>(const EVec3&, const EVec3&, float, float, float);
template float GetDampedSpringAccel<float>(const float&, const float&, float, float, float);
