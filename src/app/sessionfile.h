// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The crash-recovery list of open windows as it lies on disk (JSON), and its
// reading: the file may be damaged or written by anyone, so the reader
// takes only what it can use safely.

#include <QByteArray>
#include <QList>
#include <QRect>
#include <QSize>
#include <QString>
#include <optional>

// One window as the list keeps it.
struct SessionEntry {
    bool ie = true;
    QString address;
    QString title;
    QRect geometry;  // its normal (not minimized, not maximized) place; null: none known
    bool minimized = false;
    bool maximized = false;
    friend bool operator==(const SessionEntry &, const SessionEntry &) = default;
};

// The windows in the order they were opened, and which was active (-1: none).
struct SessionSnapshot {
    QList<SessionEntry> windows;
    int active = -1;
    // Its windows were being reopened: a run that ended then may have been
    // ended by them.
    bool restoring = false;
    friend bool operator==(const SessionSnapshot &, const SessionSnapshot &) = default;
};

// Coordinates beyond this are no place a window was ever at; the reader
// drops such a place rather than compute with it.
inline constexpr int kSessionCoordinateLimit = 1 << 20;
// A list is a few lines per window; a file larger than this is not one.
inline constexpr qint64 kSessionMaxBytes = 8 * 1024 * 1024;

QByteArray sessionToJson(const SessionSnapshot &snapshot);
// None when the bytes are not a list this program wrote.
std::optional<SessionSnapshot> sessionFromJson(const QByteArray &bytes);

// Where a window kept at saved reopens in an area of the given size: no
// larger than the area and wholly inside it. A null result: no usable place
// (none kept, or no area), the frame's default place then.
QRect restoredPlace(const QRect &saved, const QSize &area);
