#pragma once
// What assistive technology (a screen reader, through Microsoft Active
// Accessibility, or UI Automation through the system's bridge) sees of the
// toolkit's windows. A window of the toolkit's own classes answers
// WM_GETOBJECT with one IAccessible whose children are its child controls:
// each windowless one describes itself through TControl's Acc... methods,
// each windowed one is its own window's object. A system control (an edit, a
// check box) keeps the system's object, wrapped so that it takes its label's
// name and its control's role, state and value. The objects hold a window
// handle, never a pointer: a client may keep one after the control is gone,
// and then it answers that the object is gone.

#include "toolkit/Controls.h"

// Installs the answer to WM_GETOBJECT for every control window; idempotent.
void InstallAccessibility();
