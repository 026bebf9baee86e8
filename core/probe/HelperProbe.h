#pragma once

#include <QString>

// A one-shot probe of the diagnostic programs delivered beside the client: Pexamin (process
// information) and Lintor (network check) run side by side, and what each writes is logged
// with its exit code when it ends. A probe runs until Lintor is done; calls meanwhile do nothing.
void runHelperProbe();
// Starts one program by its bare name and logs its output when it ends.
void startHelperProgram(const QString &program);
