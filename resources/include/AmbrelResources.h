#pragma once

// Registers every compiled-in resource collection (images, style sheets, proto files).
// Static libraries drop unreferenced resource objects, so programs and tests call this once.
void ambrelInitResources();
