// SPDX-License-Identifier: GPL-3.0-or-later
#include "savedhistory.h"

#include <QCryptographicHash>

namespace {

constexpr QCryptographicHash::Algorithm kDigest = QCryptographicHash::Sha256;

QByteArray header(const QByteArray &engine)
{
    return "vexel-history 1 " + engine + '\n';
}

}  // namespace

namespace savedhistory {

QByteArray wrap(const QByteArray &engine, const QByteArray &state)
{
    return header(engine) + QCryptographicHash::hash(state, kDigest) + state;
}

std::optional<QByteArray> unwrap(const QByteArray &engine, const QByteArray &bytes)
{
    const QByteArray head = header(engine);
    const qsizetype digestSize = QCryptographicHash::hashLength(kDigest);
    if (!bytes.startsWith(head) || bytes.size() < head.size() + digestSize)
        return std::nullopt;
    const QByteArray digest = bytes.mid(head.size(), digestSize);
    QByteArray state = bytes.mid(head.size() + digestSize);
    if (state.isEmpty() || QCryptographicHash::hash(state, kDigest) != digest)
        return std::nullopt;
    return state;
}

}  // namespace savedhistory
