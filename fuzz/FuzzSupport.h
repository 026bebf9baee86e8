#pragma once

#include <QByteArray>
#include <QString>

// For the targets that run real page windows: an offscreen QApplication that lives as long as
// the process, logging silenced, the resources loaded, a private working folder, and stand-in
// web hosts that end with the process, never answer and write nowhere.
void startPageApplication(const char *name);

// Writes a file below the working folder, making its folders; aborts when it cannot.
void writeFile(const QString &path, const QByteArray &content);

// Runs what was posted (queued signals, promise continuations, deferred deletes); never waits.
void settle();

// For targets whose inputs leave state behind by design (windows, subscriptions, queued
// messages), which would send every input through a whole-heap leak scan: run them with
// -detect_leaks=0 and call this once; the leak check then runs as the process exits.
void checkLeaksAtExit();

// Whether a JSON text names a key twice in one object (keys compared as decoded). Qt 5.15's
// parser leaks the earlier value of such a key when it is an object or an array, inside
// functions that carry no names LeakSanitizer could suppress it by, so the targets do not hand
// such texts to it. Conservative: a text it cannot follow counts as having them.
bool hasDuplicateKeys(const QByteArray &json);
