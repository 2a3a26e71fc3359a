// SPDX-License-Identifier: GPL-3.0-or-later
// The crash-recovery window list reader on any bytes: it never fails; what
// it reads holds only usable places and a real active window, comes back
// the same when written and read again, and reopens inside any area.

#include "app/sessionfile.h"

#include <cstdlib>

namespace {

bool sane(const QRect &place)
{
    return place.isNull() || (place.width() > 0 && place.height() > 0 &&
                              qAbs(place.x()) <= kSessionCoordinateLimit && qAbs(place.y()) <= kSessionCoordinateLimit &&
                              place.width() <= kSessionCoordinateLimit && place.height() <= kSessionCoordinateLimit);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char *>(data), qsizetype(size));
    const std::optional<SessionSnapshot> read = sessionFromJson(bytes);
    if (!read)
        return 0;
    if (read->active < -1 || read->active >= read->windows.size())
        std::abort();
    // An area from the input's first bytes, empty ones included.
    const QSize area(size > 0 ? data[0] * 8 : 0, size > 1 ? data[1] * 8 : 0);
    for (const SessionEntry &e : read->windows) {
        if (!sane(e.geometry))
            std::abort();
        const QRect place = restoredPlace(e.geometry, area);
        if (!place.isNull() && !QRect(QPoint(0, 0), area).contains(place))
            std::abort();
    }
    if (sessionFromJson(sessionToJson(*read)) != read)
        std::abort();
    return 0;
}
