#pragma once

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>
#include <functional>

namespace testutil {

// Reads a whole file; empty when it cannot be read.
QByteArray readFile(const QString& path);
// Writes a whole file, creating missing folders; false on failure.
bool writeFile(const QString& path, const QByteArray& data);

// The permission bits of a file or folder (e.g. 0600), -1 when it is missing.
int fileMode(const QString& path);

// Pumps the event loop until pred() holds or timeoutMs passes; answers pred().
bool waitUntil(const std::function<bool()>& pred, int timeoutMs = 10000);

// The folder of the test sources (tests/), for fixtures kept in the repository.
QString testsSourceDir();

} // namespace testutil
