#pragma once

#include "utillib/exceptions.h"

#include <QDateTime>
#include <QString>

// The application's own exception: validation failures of the configuration model.
class EVantoliException : public Exception { using Exception::Exception; };

// The running program's temporary working folder:
//     TempFilePath/<executable's file name>-<uid>/<this process>/
// Both folders are the user's own (owner checked, mode 0700, never a link);
// another program running at the same time has a folder of its own beside
// ours. When the user folder under TempFilePath cannot be ours (another
// user's, a link), the same layout under $XDG_RUNTIME_DIR, else
// $HOME/.cache, is used. With create true the folders are made (parents
// included) and raises EVantoliException when no private place exists; with
// false nothing is ever created. Answers the folder without a trailing
// delimiter.
QString AppTempPath(bool create);

// Deletes this program's temporary working folder with everything in it,
// never following a symbolic link out of it, then the user folder above it
// when no other running program uses it; failures are ignored.
void RemoveAppTempFolder();

// APrefix followed by the 17-digit local time stamp yyyyMMddhhmmsszzz.
QString TimeStampName(const QString& prefix);
QString TimeStampName(const QString& prefix, const QDateTime& at);
