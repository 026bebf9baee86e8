#pragma once

// How a test seam answers a blocking box of the kit.
enum class DialogAnswer { Confirm, Cancel, Close, Escape };
