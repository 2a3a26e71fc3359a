// SPDX-License-Identifier: GPL-3.0-or-later
// The single-instance message reader on any bytes, as a later copy (or any
// program of the user) may send them: it never fails; a message it reads
// is made again by the writer, and none of its shorter starts reads as a
// message.

#include "app/instancelink.h"

#include <QtEndian>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char *>(data), qsizetype(size));
    QStringList addresses;
    bool privateWindows = false;
    const InstanceLink::ReadStatus status = InstanceLink::readMessage(bytes, &addresses, &privateWindows);
    if (status != InstanceLink::Complete)
        return 0;
    const QByteArray again = InstanceLink::encodeMessage(addresses, privateWindows);
    QStringList back;
    bool privateBack = !privateWindows;
    if (InstanceLink::readMessage(again, &back, &privateBack) != InstanceLink::Complete || back != addresses ||
        privateBack != privateWindows)
        std::abort();
    // The same bytes arriving in two parts: the first part alone is not
    // yet a message.
    const qsizetype whole = 4 + qFromBigEndian<quint32>(data);
    if (InstanceLink::readMessage(bytes.left(whole - 1), &back) != InstanceLink::Incomplete)
        std::abort();
    return 0;
}
