#pragma once

#include "win32/types.h"

class QProcess;

// Console windows of started programs.

#define CREATE_NEW_CONSOLE 0x00000010u
#define STARTF_USEFILLATTRIBUTE 0x00000010u
#define FOREGROUND_BLUE 0x0001u
#define FOREGROUND_GREEN 0x0002u
#define FOREGROUND_RED 0x0004u
#define FOREGROUND_INTENSITY 0x0008u

// Makes the process, when started, open a console window of its own filled with the given
// attribute (CREATE_NEW_CONSOLE, STARTF_USEFILLATTRIBUTE, standard handles not redirected).
// There are no console windows here: the settings are kept on the process as the properties
// "creationFlags" and "fillAttribute", and it starts with the caller's terminal, if any.
// Nor is there a cmd: a process set up as "cmd /k <command>" (or /c) runs the command itself,
// and a Windows ping becomes the system's ping with the same count (four unless "-n" gives one,
// without end for "-t"). Call it once the program and arguments are set.
void SetProcessNewConsole(QProcess *process, WORD fillAttribute);
