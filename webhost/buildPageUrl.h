#pragma once

#include <QString>
#include <QUrl>

// The page URL with the user's context and the client's identity stamped on as query items.
QString buildPageUrl(const QUrl &url);
