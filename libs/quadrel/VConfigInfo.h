#pragma once

#include <QString>

// One entry of the public or system configuration table.
struct VConfigInfo
{
    int define = 0;
    QString value;
    QString desc;
};
