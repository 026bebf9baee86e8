#pragma once

#include <json/json.h>

#include <functional>

class VCefWidgetAbstract;

// A page handler: the whole parsed page message and the page window that sent it.
typedef std::function<void(const Json::Value &root, VCefWidgetAbstract *window)> CefHandler;
