#pragma once

// Start and end of the server-communication services: initPelorin once after the crash
// reporter is set up, unInitPelorin once at shut-down, before the voice engine is released.
void initPelorin();
void unInitPelorin();
// True between initPelorin and unInitPelorin.
bool isPelorinInit();
