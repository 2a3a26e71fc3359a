// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Every file Vexel writes is replaced whole or not at all.

#include <QByteArray>
#include <QString>

// Whether the file or directory is marked read-only (no write bit at all).
// This is the file attribute users set to protect a file, and it is honoured
// even when the process could override it (running as root).
bool isMarkedReadOnly(const QString &path);

// Writes bytes to path through a temporary file and a rename, so a failure
// leaves any earlier file whole. Throws VexelError "<path> に書き込めません"
// when the file, its directory or the disk refuses the write. In one of
// Vexel's per-user folders (isUserPrivateFolder) the file is written 0600.
void writeFileAtomically(const QString &path, const QByteArray &bytes);

// The message of a refused write.
QString cannotWriteMessage(const QString &path);
