#pragma once

// Request functions of gifts and the bag, pranks, prop cards, user items, recharge and
// nobility.
// Each makes its method's message, sets the fields of its row in order and returns the
// promise of KivoServerComm::requestKivoServer; the rows are in tables/GiftRequests.inc.

#include "KivoRequestMacros.h"

#define KIVO_REQUEST KIVO_DECLARE_REQUEST
#define KIVO_REQUEST_P KIVO_DECLARE_REQUEST_P
#define KIVO_REQUEST_RECORD KIVO_DECLARE_REQUEST_RECORD
#include "tables/GiftRequests.inc"
#undef KIVO_REQUEST
#undef KIVO_REQUEST_P
#undef KIVO_REQUEST_RECORD
