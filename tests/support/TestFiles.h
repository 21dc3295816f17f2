#pragma once

#include <QByteArray>
#include <QString>

#include <functional>

// Small file helpers shared by the tests that work on real folders.

// Writes data to path, creating the missing folders; a failure fails the test.
void WriteFile(const QString& path, const QByteArray& data = "x");
// The whole content of a file, or "<missing>" when it cannot be read.
QByteArray ReadFile(const QString& path);

// A file of size bytes that do not compress (a fixed pseudo-random sequence
// per variant), written a megabyte at a time.
void WriteIncompressibleFile(const QString& path, qint64 size, quint32 variant = 1);
// Whether two files hold the same bytes (compared by cmp, so that a large
// file is never read into this process).
bool SameContent(const QString& first, const QString& second);

// A named pipe and a Unix socket at path: things of a folder that are not
// files; a failure fails the test.
void MakeFifo(const QString& path);
void MakeSocket(const QString& path);

// How far the resident memory of this process rose above its level at the
// start while run ran, in bytes; -1 when the kernel cannot reset its peak.
qint64 PeakMemoryGrowth(const std::function<void()>& run);
// Whether that growth tells what the program holds: not under the address
// sanitizer, which keeps freed memory resident for a while to catch late uses.
#if defined(__SANITIZE_ADDRESS__)
constexpr bool kMemoryGrowthTellsUse = false;
#else
constexpr bool kMemoryGrowthTellsUse = true;
#endif
