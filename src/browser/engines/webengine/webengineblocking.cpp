// SPDX-License-Identifier: GPL-3.0-or-later
#include "browser/engines/webengine/webengineblocking.h"

#include "blocking/filterengine.h"
#include "browser/contentblocking.h"
#include "browser/filterlistsform.h"
#include "core/errors.h"

#include <QJsonDocument>
#include <QJsonValue>
#include <QMenu>
#include <QWebEngineView>
#include <QWebEnginePage>
#include <QWebEngineScript>
#include <QWebEngineScriptCollection>
#include <QWebEngineUrlRequestInterceptor>

namespace {

using Info = QWebEngineUrlRequestInfo;

blocking::RequestType typeOf(Info::ResourceType type)
{
    using T = blocking::RequestType;
    switch (type) {
    case Info::ResourceTypeMainFrame:
    case Info::ResourceTypeNavigationPreloadMainFrame:
        return T::Document;
    case Info::ResourceTypeSubFrame:
    case Info::ResourceTypeNavigationPreloadSubFrame:
        return T::Subdocument;
    case Info::ResourceTypeStylesheet:
        return T::Stylesheet;
    case Info::ResourceTypeScript:
    case Info::ResourceTypeWorker:
    case Info::ResourceTypeSharedWorker:
    case Info::ResourceTypeServiceWorker:
        return T::Script;
    case Info::ResourceTypeImage:
    case Info::ResourceTypeFavicon:
        return T::Image;
    case Info::ResourceTypeFontResource:
        return T::Font;
    case Info::ResourceTypeMedia:
        return T::Media;
    case Info::ResourceTypeXhr:
        return T::XmlHttpRequest;
    case Info::ResourceTypePing:
    case Info::ResourceTypeCspReport:
        return T::Ping;
    default:
        return T::Other;
    }
}

const QString kHidingScript = QStringLiteral("vexelHiding");

// The page's hiding rules as a style sheet of the page's own document,
// adopted before the page's first paint; a rule the engine cannot parse is
// dropped alone.
void setHiding(QWebEnginePage *page, const std::string &css)
{
    QWebEngineScriptCollection &scripts = page->scripts();
    for (const QWebEngineScript &old : scripts.find(kHidingScript))
        scripts.remove(old);
    if (css.empty())
        return;
    const QString text = QString::fromUtf8(css.data(), qsizetype(css.size()));
    QWebEngineScript script;
    script.setName(kHidingScript);
    script.setInjectionPoint(QWebEngineScript::DocumentCreation);
    script.setWorldId(QWebEngineScript::ApplicationWorld);
    script.setRunsOnSubFrames(false);
    script.setSourceCode(
        QStringLiteral("(() => { const s = new CSSStyleSheet(); s.replaceSync(%1);"
                       " document.adoptedStyleSheets = [...document.adoptedStyleSheets, s]; })();")
            .arg(QString::fromUtf8(QJsonDocument::fromVariant(QVariantList{text}).toJson(QJsonDocument::Compact))
                     .mid(1)
                     .chopped(1)));
    scripts.insert(script);
}

class PageInterceptor : public QWebEngineUrlRequestInterceptor {
public:
    PageInterceptor(QWebEnginePage *page, std::function<void(int)> count)
        : QWebEngineUrlRequestInterceptor(page), page_(page), count_(std::move(count))
    {
    }

    void interceptRequest(QWebEngineUrlRequestInfo &info) override
    {
        const ContentBlocking &filters = ContentBlocking::instance();
        const bool top = info.resourceType() == Info::ResourceTypeMainFrame;
        const QUrl pageUrl = top ? info.requestUrl() : info.firstPartyUrl();
        if (top) {
            blocked_ = 0;
            count_(0);
        }
        const blocking::FilterEngine *engine = filters.engine();
        const bool filtered = engine && !filters.isExempt(pageUrl.host());
        if (top)
            setHiding(page_, filtered ? engine->hidingCss(pageUrl.toEncoded().toStdString()) : std::string());
        if (!filtered)
            return;
        const QByteArray url = info.requestUrl().toEncoded();
        const QByteArray page = pageUrl.toEncoded();
        if (engine->shouldBlock({std::string_view(url.constData(), size_t(url.size())),
                                 std::string_view(page.constData(), size_t(page.size())), typeOf(info.resourceType())})) {
            info.block(true);
            count_(++blocked_);
        }
    }

private:
    QWebEnginePage *page_;
    std::function<void(int)> count_;
    int blocked_ = 0;
};

}  // namespace

namespace webengineblocking {

void attach(QWebEnginePage *page, std::function<void(int)> count)
{
    page->setUrlRequestInterceptor(new PageInterceptor(page, std::move(count)));
}

void addMenu(QMenu *menu, QWebEnginePage *page, int blocked)
{
    QMenu *sub = menu->addMenu(QStringLiteral("広告ブロック: %1").arg(blocked));
    sub->setObjectName(QStringLiteral("blockingMenu"));
    const QString host = page->url().host();
    QAction *exempt = sub->addAction(QStringLiteral("このサイトでは無効"));
    exempt->setObjectName(QStringLiteral("exemptAction"));
    exempt->setCheckable(true);
    exempt->setChecked(!host.isEmpty() && ContentBlocking::instance().isExempt(host));
    exempt->setEnabled(!host.isEmpty());
    QObject::connect(exempt, &QAction::triggered, page, guarded([page, host](bool on) {
        ContentBlocking::instance().setExempt(host, on);
        page->triggerAction(QWebEnginePage::Reload);
    }));
    QAction *lists = sub->addAction(QStringLiteral("フィルター リスト..."));
    lists->setObjectName(QStringLiteral("filterListsAction"));
    QObject::connect(lists, &QAction::triggered, page,
                     guarded([page](bool) { FilterListsForm::showFor(QWebEngineView::forPage(page)); }));
}

}  // namespace webengineblocking
