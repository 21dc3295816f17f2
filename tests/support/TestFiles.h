#pragma once

#include <QByteArray>
#include <QString>

// Small file helpers shared by the tests that work on real folders.

// Writes data to path, creating the missing folders; a failure fails the test.
void WriteFile(const QString& path, const QByteArray& data = "x");
// The whole content of a file, or "<missing>" when it cannot be read.
QByteArray ReadFile(const QString& path);
