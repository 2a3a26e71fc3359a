// SPDX-License-Identifier: GPL-3.0-or-later
#include "linkedpairs.h"

#include "app/mainform.h"
#include "app/toolbars.h"
#include "browser/browserwindow.h"
#include "browser/childie.h"
#include "browser/pagediff.h"
#include "core/atomicfile.h"
#include "core/errors.h"

#include <QAction>
#include <QBuffer>
#include <QDateTime>
#include <QDir>
#include <QFileDialog>
#include <QMdiArea>
#include <QStandardPaths>
#include <array>

// Two windows of one page. Each follows the other; what a window does
// because it follows is never sent back.
class TLinkedPairs::Pair : public QObject {
public:
    Pair(TLinkedPairs *owner, TBrowserWindow *first, TBrowserWindow *second)
        : QObject(owner), owner_(owner), sides_{first, second}
    {
        owner->pairs_.append(this);
        for (int i = 0; i < 2; ++i) {
            TBrowserWindow *w = sides_[i];
            EngineControl *page = w->control();
            w->setLinked(true);
            // A linked pair is both engines by choice: no rule moves its pages.
            page->setFollowsEngineRules(false);
            page->WatchScrolling(true);
            address_[i] = page->LocationURL();
            connect(page, &EngineControl::ScrollPositionChange, this,
                    guarded([this, i](const QString &anchor, qreal within, qreal fraction) {
                        if (TBrowserWindow *partner = other(i))
                            partner->control()->ScrollTo(anchor, within, fraction);
                    }));
            // A page restored from the engine's cache may tell only by its title.
            connect(page, &EngineControl::LoadFinished, this, guarded([this, i](bool) { loaded(i); }));
            connect(page, &EngineControl::TitleChange, this, guarded([this, i](const QString &) { loaded(i); }));
            connect(page, &EngineControl::ZoomFactorChange, this, guarded([this, i](qreal factor) {
                TBrowserWindow *partner = other(i);
                if (partner && !qFuzzyCompare(partner->control()->ZoomFactor(), factor))
                    partner->control()->SetZoomFactor(factor);
            }));
            connect(w, &TBrowserWindow::closing, this, [owner, w] { owner->unlink(w); });
            connect(w, &QObject::destroyed, this, [this] { end(); });
        }
        // The second is on its way to the first's page: its arrival is no
        // navigation of its own.
        address_[1] = address_[0];
        second->control()->SetZoomFactor(first->control()->ZoomFactor());
    }

    bool holds(const TBrowserWindow *w) const { return sides_[0] == w || sides_[1] == w; }
    TBrowserWindow *partnerOf(const TBrowserWindow *w) const { return sides_[0] == w ? sides_[1] : sides_[0]; }

    // Both windows go back to being on their own.
    void end()
    {
        owner_->pairs_.removeOne(this);
        for (const QPointer<TBrowserWindow> &w : sides_) {
            if (!w)
                continue;
            disconnect(w, nullptr, this, nullptr);
            disconnect(w->control(), nullptr, this, nullptr);
            w->setLinked(false);
            w->control()->setFollowsEngineRules(true);
            w->control()->WatchScrolling(false);
        }
        deleteLater();
    }

private:
    TBrowserWindow *other(int i) const { return sides_[1 - i]; }

    // A page that arrived somewhere new takes its partner there; the
    // partner's arrival there is nothing new. An engine that writes the
    // address otherwise costs one more load, no loop.
    void loaded(int i)
    {
        if (!sides_[0] || !sides_[1])
            return;
        const QString address = sides_[i]->control()->LocationURL();
        if (address == address_[i] || address.isEmpty())
            return;
        address_[i] = address;
        EngineControl *partner = other(i)->control();
        if (partner->LocationURL() == address)
            return;
        address_[1 - i] = address;
        partner->Navigate(address);
    }

    TLinkedPairs *owner_;
    std::array<QPointer<TBrowserWindow>, 2> sides_;
    std::array<QString, 2> address_;     // where each page last was
};

TLinkedPairs::TLinkedPairs(TMainForm *frame) : QObject(frame), frame_(frame)
{
    setObjectName(QStringLiteral("LinkedPairs"));
}

TLinkedPairs::Pair *TLinkedPairs::pairOf(TBrowserWindow *window) const
{
    for (Pair *pair : pairs_)
        if (pair->holds(window))
            return pair;
    return nullptr;
}

TBrowserWindow *TLinkedPairs::partnerOf(TBrowserWindow *window) const
{
    const Pair *pair = window ? pairOf(window) : nullptr;
    return pair ? pair->partnerOf(window) : nullptr;
}

void TLinkedPairs::link(TBrowserWindow *first, TBrowserWindow *second)
{
    unlink(first);
    unlink(second);
    new Pair(this, first, second);
}

void TLinkedPairs::unlink(TBrowserWindow *window)
{
    if (Pair *pair = window ? pairOf(window) : nullptr)
        pair->end();
}

void TLinkedPairs::OpenSideBySide(TBrowserWindow *window)
{
    if (!window)
        return;
    if (pairOf(window)) {
        unlink(window);
        return;
    }
    const bool toIE = !qobject_cast<Tfrm_IE *>(window);
    if (!toIE && !frame_->Moz_Item->isEnabled()) {
        frame_->StatusBar1->setPanelText(QStringLiteral("Gecko エンジンが使えないため、並べて表示できません"));
        return;
    }
    const QString address = window->control()->LocationURL();
    frame_->openWindowOn(toIE, QString(), address, {}, window->isPrivate());
    auto *other = frame_->ActiveMDIChild();
    if (!other || other == window)
        return;
    // The pair takes the client area, the page's window on the left; the
    // other windows stay where they are, behind.
    const QRect area = frame_->MDIClient->viewport()->rect();
    const int half = area.width() / 2;
    for (TBrowserWindow *w : {window, other})
        if (w->isMaximized() || w->isMinimized())
            w->showNormal();
    window->setGeometry(area.x(), area.y(), half, area.height());
    other->setGeometry(area.x() + half, area.y(), area.width() - half, area.height());
    window->raise();
    link(window, other);
    frame_->MDIClient->setActiveSubWindow(window);
}

QImage TLinkedPairs::snapshot(TBrowserWindow *window) const
{
    TBrowserWindow *partner = partnerOf(window);
    if (!partner)
        return {};
    const bool windowIsIE = qobject_cast<Tfrm_IE *>(window);
    TBrowserWindow *ie = windowIsIE ? window : partner;
    TBrowserWindow *gecko = windowIsIE ? partner : window;
    return pagediff::sideBySide(ie->control()->PageSnapshot(), gecko->control()->PageSnapshot());
}

void TLinkedPairs::SaveSnapshot(TBrowserWindow *window)
{
    if (!partnerOf(window))
        return;
    // Taken before the dialog covers the pages.
    const QImage shot = snapshot(window);
    QString folder = QStandardPaths::writableLocation(QStandardPaths::PicturesLocation);
    if (folder.isEmpty() || !QDir(folder).exists())
        folder = QDir::homePath();
    const QString name =
        QStringLiteral("vexel-%1.png").arg(QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss")));
    const QString path = QFileDialog::getSaveFileName(frame_, QStringLiteral("両方のエンジンの画像を保存"),
                                                      QDir(folder).filePath(name),
                                                      QStringLiteral("PNG 画像 (*.png)"));
    if (path.isEmpty())
        return;
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    if (!shot.save(&buffer, "PNG"))
        throw VexelError(cannotWriteMessage(path));
    writeFileAtomically(path, bytes);
}
