// An entity's spline follower.
#include "Path/SplineController.h"

#include "TWUtil/ErrorManager.h"

void ESplineController::followSpline(EEntity*, float) { STUBBED("spline following"); }
