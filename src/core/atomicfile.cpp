// SPDX-License-Identifier: GPL-3.0-or-later
#include "atomicfile.h"

#include "core/errors.h"
#include "core/programdir.h"

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>
#include <sys/stat.h>

bool isMarkedReadOnly(const QString &path)
{
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return false;
    return (st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0;
}

QString cannotWriteMessage(const QString &path)
{
    return QStringLiteral("%1 に書き込めません").arg(QDir::toNativeSeparators(path));
}

// Where the bytes of a write to path really land: QSaveFile follows a
// symbolic link (also a chain of them) and replaces its target, so the
// target's directory is the one that must allow the write.
static QString realTarget(const QString &path)
{
    QFileInfo info(path);
    for (int hops = 0; info.isSymLink() && hops < 40; ++hops)
        info = QFileInfo(info.symLinkTarget());
    return info.absoluteFilePath();
}

void writeFileAtomically(const QString &path, const QByteArray &bytes)
{
    const QString target = realTarget(path);
    const QFileInfo info(target);
    const QString dir = info.absolutePath();
    if (!QFileInfo(dir).isDir() || isMarkedReadOnly(dir) || (info.exists() && isMarkedReadOnly(target)))
        throw VexelError(cannotWriteMessage(path));
    QSaveFile file(path);
    // In a folder of the user's own the file is the user's alone from its
    // first byte: the temporary file is restricted before the rename makes
    // it the file.
    const bool ownerOnly = isUserPrivateFolder(dir);
    // The explicit flush matters: a write that fails inside QSaveFile's
    // buffer (a full disk) is not reported by commit() in Qt 6.4, which would
    // then replace the old file with a short one.
    if (!file.open(QIODevice::WriteOnly) ||
        (ownerOnly && !file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner)) ||
        file.write(bytes) != bytes.size() || !file.flush() ||
        file.error() != QFileDevice::NoError || !file.commit())
        throw VexelError(cannotWriteMessage(path));
}
