// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The engine's own developer tools on one page, in a window of ours: the
// tools are a page of their own, shown in a view here and tied to the page
// they inspect until either goes.

#include <QPointer>
#include <QWidget>

class QWebEnginePage;
class QWebEngineView;

class DevToolsWindow : public QWidget {
    Q_OBJECT
public:
    // A window (deleted when closed) over parent, inspecting page.
    DevToolsWindow(QWebEnginePage *inspected, QWidget *parent);
    ~DevToolsWindow() override;

    QWebEnginePage *toolsPage() const { return tools_; }

private:
    void showCaption();

    QPointer<QWebEnginePage> inspected_;
    QWebEngineView *view_;
    QWebEnginePage *tools_;
};
