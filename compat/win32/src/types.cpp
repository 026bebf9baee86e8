// Anchors the stand-in library; the calls live in one source per area.
#include "win32api.h"
