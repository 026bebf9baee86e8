#pragma once

// Request functions of brother groups, union groups, friends, messages, contacts, fans clubs
// and intimacy.
// Each makes its method's message, sets the fields of its row in order and returns the
// promise of KivoServerComm::requestKivoServer; the rows are in tables/SocialRequests.inc.

#include "KivoRequestMacros.h"

#define KIVO_REQUEST KIVO_DECLARE_REQUEST
#define KIVO_REQUEST_P KIVO_DECLARE_REQUEST_P
#define KIVO_REQUEST_RECORD KIVO_DECLARE_REQUEST_RECORD
#include "tables/SocialRequests.inc"
#undef KIVO_REQUEST
#undef KIVO_REQUEST_P
#undef KIVO_REQUEST_RECORD
