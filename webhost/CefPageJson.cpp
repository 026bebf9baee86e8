#include "CefPageJson.h"

bool CefPageJson::parse(const std::string &text, Json::Value &root, QString &errors)
{
    Json::Reader reader(Json::Features::all());
    bool parsed = false;
    if (!guarded([&] { parsed = reader.parse(text, root, true); }, errors)) {
        root = Json::Value();
        return false;
    }
    if (!parsed)
        errors = QString::fromStdString(reader.getFormattedErrorMessages());
    return parsed;
}
