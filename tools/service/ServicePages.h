#pragma once

#include <QByteArray>
#include <QString>

// The pages kept with the service, compiled in under :/pages, looked up by their path below
// /pages/ of the HTTP side.
class ServicePages
{
public:
    // The HTTP status for a path below /pages/ ("virtualpartyopenlive.html", "tour.css"): 200
    // with the file and its content type, 404 when there is no such page, 403 for a path with an
    // empty, "." or ".." part or a backslash (Qt would resolve those to resources outside the
    // pages).
    static int find(const QString &relative, QByteArray &body, QByteArray &contentType);
};
