// SPDX-License-Identifier: GPL-3.0-or-later
#include "webenginepart.h"

#include "browser/enginecontrol.h"
#include "core/errors.h"

#include <QCoreApplication>
#include <QDir>
#include <QLibrary>
#include <QLoggingCategory>
#include <QOpenGLContext>
#include <optional>

namespace webenginepart {

namespace {

std::optional<Part> &provided()
{
    static std::optional<Part> part;
    return part;
}

// Qt WebEngine expects to be loaded before the application object, which
// then gets a shared GL context from it. Loaded later on the software path
// there is none: its start-up report reads that context's format (a null
// one: a crash) and its load warns about it. Neither concerns us.
QLoggingCategory::CategoryFilter previousFilter = nullptr;

void withoutContextReport(QLoggingCategory *category)
{
    if (previousFilter)
        previousFilter(category);
    if (qstrcmp(category->categoryName(), "qt.webenginecontext") == 0 && !QOpenGLContext::globalShareContext()) {
        category->setEnabled(QtDebugMsg, false);
        category->setEnabled(QtInfoMsg, false);
    }
}

QtMessageHandler previousHandler = nullptr;

void withoutPluginWarning(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if (type == QtWarningMsg && message.startsWith(QLatin1String("Qt WebEngine seems to be initialized from a plugin")))
        return;
    previousHandler(type, context, message);
}

}  // namespace

void provide(const Part &part)
{
    provided() = part;
}

bool isLoaded()
{
    return provided().has_value();
}

const Part *load()
{
    if (!provided()) {
        // Tried once: a part that failed to load stays out.
        static bool tried = false;
        if (!tried) {
            tried = true;
            // Only beside the program, never from a search path.
            QLibrary library(QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("vexel-webengine.so")));
            previousFilter = QLoggingCategory::installFilter(withoutContextReport);
            previousHandler = qInstallMessageHandler(withoutPluginWarning);
            // Its constructors call provide(); it stays loaded for the run.
            library.load();
            qInstallMessageHandler(previousHandler);
        }
    }
    return provided() ? &*provided() : nullptr;
}

void prepareProcess()
{
    // IBus's Qt module passes keys on without waiting for the input method's
    // answer. The engine keeps the GUI thread busy after each pre-edit, so
    // keys typed meanwhile reach the input method in one go, and Anthy
    // (which works a conversion out later, when idle) then commits an empty
    // word for a Return right after Space. Waiting for each answer keeps
    // the keys apart. A user's own setting stands.
    if (!qEnvironmentVariableIsSet("IBUS_ENABLE_SYNC_MODE"))
        qputenv("IBUS_ENABLE_SYNC_MODE", "1");
}

void warmUp(bool privateWindow)
{
    if (const Part *part = load(); part && !privateWindow)
        part->warm();
}

void list(const browsingdata::Listed &done)
{
    if (const Part *part = load())
        part->list(done);
    else
        done({});
}

void clear(browsingdata::Kinds kinds, const browsingdata::Scope &scope, const browsingdata::Done &done,
           const QStringList &known)
{
    if (const Part *part = load())
        part->clear(kinds, scope, done, known);
    else
        done({QStringLiteral("Internet Explorer のデータ")});
}

void release()
{
    if (isLoaded())
        provided()->release();
}

}  // namespace webenginepart
