#pragma once

// Request functions of the user's own page, the centre, head stamps, confirmation windows and
// resource uploads.
// Each makes its method's message, sets the fields of its row in order and returns the
// promise of KivoServerComm::requestKivoServer; the rows are in tables/MyRequests.inc.

#include "KivoRequestMacros.h"
#include "UserWarnReport.h"

#define KIVO_REQUEST KIVO_DECLARE_REQUEST
#define KIVO_REQUEST_P KIVO_DECLARE_REQUEST_P
#define KIVO_REQUEST_RECORD KIVO_DECLARE_REQUEST_RECORD
#include "tables/MyRequests.inc"
#undef KIVO_REQUEST
#undef KIVO_REQUEST_P
#undef KIVO_REQUEST_RECORD

