// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The content filters both engines block with: the filter lists (Debian's
// EasyList, EasyPrivacy and URLhaus lists, and the user's own files and
// addresses) compiled once into a cache file the frame and every WebKit web
// process load, and the sites the user exempted. Loading happens in the
// background, after the first window (compiling, after its first page):
// until it is done nothing is blocked.

#include <QObject>
#include <QStringList>
#include <memory>

class QNetworkAccessManager;

namespace blocking {
class FilterEngine;
}

class ContentBlocking : public QObject {
    Q_OBJECT
public:
    static ContentBlocking &instance();
    ~ContentBlocking() override;

    // Starts loading the filters: the cache at once when it is current,
    // else the lists compiled once a page has loaded (pageLoaded()) or a
    // few seconds have passed. Later calls do nothing until reload().
    void load();
    // Loads again, at once: the lists or the user's list choice changed.
    void reload();
    // A window's page has loaded: a compile that waited for it starts.
    void pageLoaded();
    bool waitingForPage() const { return compileWaiting_; }

    // nullptr until loaded, or when no list could be read.
    const blocking::FilterEngine *engine() const { return engine_.get(); }
    // The compiled filters as a file (empty until there is one).
    QString cachePath() const { return cachePath_; }

    // "このサイトでは無効": pages of an exempt host block and hide nothing.
    bool isExempt(const QString &host) const;
    void setExempt(const QString &host, bool exempt);
    QStringList exemptHosts() const { return exempt_; }

    // Lists read: the packaged ones found on this system, then the user's
    // (files, or addresses whose downloaded copies are read).
    static QStringList packagedLists();
    QStringList userLists() const;
    void setUserLists(const QStringList &lists);
    // Where the downloaded copy of an address list is kept.
    static QString downloadedCopy(const QString &address);
    // Downloads the address lists whose copy is missing or older than four
    // days (all of them when asked to), then loads again. What fails is
    // reported only when the user asked.
    void updateAddresses(bool asked);

    // Replaces the packaged lists (tests use lists of their own).
    static void setPackagedListsForTesting(const QStringList &lists);

signals:
    // The filters or the exempt sites changed.
    void changed();

private:
    ContentBlocking();
    void loaded(std::shared_ptr<blocking::FilterEngine> engine, const QString &cachePath);
    void start();
    QStringList listFiles() const;
    void readExemptions();

    std::shared_ptr<blocking::FilterEngine> engine_;
    QString cachePath_;
    QStringList exempt_;
    QNetworkAccessManager *network_ = nullptr;
    int downloading_ = 0;
    bool started_ = false;
    bool loading_ = false;
    bool loadAgain_ = false;
    bool compileWaiting_ = false;
};
