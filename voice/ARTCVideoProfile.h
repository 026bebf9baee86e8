#pragma once

// The profile form of the camera settings, as callers think of them.
struct ARTCVideoProfile
{
    int profileId = 108; // key of the resolution table
    int portrait = 0;    // 1: portrait picture, anything else landscape
    int frameRate = 15;
    int bitrate = 550;
    int minBitrate = 0;
    int reserved = 0; // carried, never read
};
