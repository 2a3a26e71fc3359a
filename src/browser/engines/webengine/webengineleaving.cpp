// SPDX-License-Identifier: GPL-3.0-or-later
#include "webengineleaving.h"

#include "browser/pagedialogs.h"

#include <QCoreApplication>
#include <QTranslator>

namespace {

// A catalogue of one message: Qt's context and message id for the question,
// as its own catalogues key it.
class LeavingTranslator : public QTranslator {
public:
    using QTranslator::QTranslator;

    QString translate(const char *context, const char *sourceText, const char *, int) const override
    {
        if (qstrcmp(context, "QWebEnginePage") == 0 &&
            qstrcmp(sourceText, "Are you sure you want to leave this page? Changes that you made may not be saved.") == 0)
            return pagedialogs::leavingQuestion();
        return {};
    }
    bool isEmpty() const override { return false; }
};

}  // namespace

namespace webengineleaving {

void installTranslation()
{
    static LeavingTranslator *installed = nullptr;
    if (installed)
        return;
    installed = new LeavingTranslator(QCoreApplication::instance());
    QCoreApplication::installTranslator(installed);
}

}  // namespace webengineleaving
