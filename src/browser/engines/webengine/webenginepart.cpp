// What the Internet Explorer slot's part provides the frame as it loads.

#include "browser/engines/webenginepart.h"
#include "browser/engines/webengine/webenginecontrol.h"
#include "browser/engines/webengine/webenginedata.h"

#include <QPointer>
#include <QWebEnginePage>

namespace {

// A page on about:blank that starts the engine's processes before the first
// window asks for them; it goes once that window has its page.
QPointer<QWebEnginePage> warmPage;

void dropWarmPage()
{
    delete warmPage.data();
}

EngineControl *create(QWidget *parent)
{
    auto *control = new WebEngineControl(parent);
    if (warmPage) {
        QObject::connect(control->page(), &QWebEnginePage::loadFinished, warmPage, &QObject::deleteLater);
        QObject::connect(control, &QObject::destroyed, warmPage, &QObject::deleteLater);
    }
    return control;
}

void warm()
{
    QWebEngineProfile *profile = WebEngineControl::sharedProfile();
    if (warmPage)
        return;
    warmPage = new QWebEnginePage(profile);
    warmPage->load(QUrl(QStringLiteral("about:blank")));
}

void release()
{
    // The profile outlives no page of its own.
    dropWarmPage();
    WebEngineControl::releaseSharedProfile();
}

const bool provided = [] {
    webenginepart::provide({create, webenginedata::list, webenginedata::clear, warm, release});
    return true;
}();

}  // namespace
