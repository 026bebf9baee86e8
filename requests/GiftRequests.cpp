#include "GiftRequests.h"

#include "Tamsel.h"
#define KIVO_REQUEST KIVO_DEFINE_REQUEST
#define KIVO_REQUEST_P KIVO_DEFINE_REQUEST_P
#define KIVO_REQUEST_RECORD KIVO_DEFINE_REQUEST_RECORD
#include "tables/GiftRequests.inc"
#undef KIVO_REQUEST
#undef KIVO_REQUEST_P
#undef KIVO_REQUEST_RECORD
