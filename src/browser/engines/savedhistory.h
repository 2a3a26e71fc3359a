// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A window's back/forward history as an engine saved it, for putting back
// later (a window reopened after closing). The bytes are tagged with the
// engine that wrote them and sealed with a digest, so an engine is only ever
// handed a state it wrote itself, unchanged.

#include <QByteArray>
#include <optional>

namespace savedhistory {

// The engine's own state, tagged with its name ("ie", "gecko").
QByteArray wrap(const QByteArray &engine, const QByteArray &state);

// The engine's state in bytes made by wrap for that same engine; nothing
// when they are another engine's, damaged, or no saved history at all.
std::optional<QByteArray> unwrap(const QByteArray &engine, const QByteArray &bytes);

}  // namespace savedhistory
