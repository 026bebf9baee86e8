#pragma once

// The whole request catalogue: one free function per server method, named "request", the
// module and the method with a capital first letter (requestPrankCmdAddPrank for
// "PrankCmd.addPrank"), each returning the promise of the server's response.

#include "ActivityRequests.h"
#include "FunRoomRequests.h"
#include "GiftRequests.h"
#include "MyRequests.h"
#include "RedPacketRequests.h"
#include "RegisteredFunctions.h"
#include "RoomRequests.h"
#include "SocialRequests.h"
#include "UserRequests.h"
