#pragma once

#include <QString>

#include <json/json.h>

#include <exception>
#include <string>

// Page and server JSON read without letting jsoncpp's exceptions out. Its reader gives up on a
// text nested too deeply by throwing, and its conversions throw on a member of the wrong type
// or a number out of range; neither may end the client.
class CefPageJson
{
public:
    // Parses text with comments collected. False when the text is not JSON or the reader gave
    // up on it; errors then holds the reader's messages, or why it gave up.
    static bool parse(const std::string &text, Json::Value &root, QString &errors);

    // Runs body; any exception is caught and its text left in error. True when body finished.
    template <typename Body>
    static bool guarded(Body &&body, QString &error)
    {
        try {
            body();
            return true;
        } catch (const std::exception &e) {
            error = QString::fromUtf8(e.what());
        } catch (...) {
            error = QStringLiteral("unknown exception");
        }
        return false;
    }
};
