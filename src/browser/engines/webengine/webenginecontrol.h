#pragma once
// The engine of the "Internet Explorer" slot: Qt WebEngine, in process.

#include "browser/enginecontrol.h"

#include <QWebEnginePage>

class QWebEngineProfile;
class QWebEngineView;

// The page: refuses to make windows of its own, so every new window a page
// asks for goes through the frame.
class WebEnginePage : public QWebEnginePage {
    Q_OBJECT
public:
    WebEnginePage(QWebEngineProfile *profile, QObject *parent);

protected:
    QWebEnginePage *createWindow(WebWindowType type) override;
};

class WebEngineControl : public EngineControl {
    Q_OBJECT
public:
    explicit WebEngineControl(QWidget *parent);

    void Navigate(const QString &address) override;
    void GoBack() override;
    void GoForward() override;
    void Stop() override;
    void Refresh() override;
    QString LocationURL() const override;
    void FindText(const QString &text, bool backward) override;
    qreal ZoomFactor() const override;
    void SetZoomFactor(qreal factor) override;

    QWebEngineView *view() const { return view_; }
    WebEnginePage *page() const { return page_; }

    // The one profile all windows share: cookies, storage and cache kept in
    // the user's data and cache folders, so logins survive a restart.
    static QWebEngineProfile *sharedProfile();

private:
    QWebEngineView *view_;
    WebEnginePage *page_;
};
