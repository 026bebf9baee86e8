#pragma once

#include "ARTCVideoProfile.h"

#include "agora/RtcBase.h"

#include <QMap>
#include <QSize>

// The controller's encoder settings are the engine's own record; its defaults are the settings'.
typedef agora::rtc::VideoEncoderConfiguration ARTCVideoSettings;

// Resolution profiles: id -> landscape picture size, ordered by id.
const QMap<int, QSize> &resolutionTable();
// The size of a profile id, or Qt's invalid size (-1 x -1) for an id not in the table.
QSize resolutionSize(int profileId);
// The first id (in ascending order) whose size is exactly width x height, 0 when none is.
int findResolutionId(int width, int height);

ARTCVideoSettings toEncoderSettings(const ARTCVideoProfile &profile);
ARTCVideoProfile toVideoProfile(const ARTCVideoSettings &settings);
