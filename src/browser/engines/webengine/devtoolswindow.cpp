// SPDX-License-Identifier: GPL-3.0-or-later
#include "devtoolswindow.h"

#include <QVBoxLayout>
#include <QWebEnginePage>
#include <QWebEngineView>

DevToolsWindow::DevToolsWindow(QWebEnginePage *inspected, QWidget *parent)
    : QWidget(parent, Qt::Window),
      inspected_(inspected),
      view_(new QWebEngineView(this)),
      // The inspected page's profile: the tools see its storage and cookies.
      tools_(new QWebEnginePage(inspected->profile(), view_))
{
    setObjectName(QStringLiteral("devToolsWindow"));
    setAttribute(Qt::WA_DeleteOnClose);
    view_->setPage(tools_);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(view_);
    inspected->setDevToolsPage(tools_);
    connect(inspected, &QWebEnginePage::urlChanged, this, &DevToolsWindow::showCaption);
    // The tools' own close button.
    connect(tools_, &QWebEnginePage::windowCloseRequested, this, &QWidget::close);
    // Nothing left to inspect.
    connect(inspected, &QObject::destroyed, this, &QWidget::close);
    showCaption();
    resize(1000, 700);
}

DevToolsWindow::~DevToolsWindow()
{
    // The inspected page lets go of the tools before they go.
    if (inspected_ && inspected_->devToolsPage() == tools_)
        inspected_->setDevToolsPage(nullptr);
}

void DevToolsWindow::showCaption()
{
    if (!inspected_)
        return;
    setWindowTitle(QStringLiteral("開発者ツール - %1").arg(inspected_->url().toString()));
}
