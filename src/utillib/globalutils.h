#pragma once

#include "utillib/exceptions.h"

#include <QDateTime>
#include <QString>

// The application's own exception: validation failures of the configuration model.
class EVantoliException : public Exception { using Exception::Exception; };

// The program's temporary working folder: TempFilePath + "/" + the executable's
// file name, made private to the user (see the source for how). With create
// true a missing folder is created with its parents; with false nothing is
// ever created. Answers the folder without a trailing delimiter.
QString AppTempPath(bool create);

// Deletes the temporary working folder with everything in it, never following
// a symbolic link out of it; failures are ignored.
void RemoveAppTempFolder();

// APrefix followed by the 17-digit local time stamp yyyyMMddhhmmsszzz.
QString TimeStampName(const QString& prefix);
QString TimeStampName(const QString& prefix, const QDateTime& at);
