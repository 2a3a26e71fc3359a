// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Bookmark HTML files, the format every browser imports and exports:
// nested <DL> lists of <DT><H3>folder</H3> and <DT><A HREF>bookmark</A>.
// Reading turns a file's bytes into a plain tree and writing a plain tree
// into bytes; the editor converts between that tree and its own.

#include <QByteArray>
#include <QList>
#include <QString>

namespace bookmarks {

struct HtmlEntry {
    QString name;
    QString address;  // empty for a folder
    bool folder = false;
    QList<HtmlEntry> children;

    friend bool operator==(const HtmlEntry &, const HtmlEntry &) = default;
};

// Folders nested deeper than this are read into the folder at this depth,
// so a hostile file cannot make a tree deeper than the program can walk.
constexpr int kMaxHtmlFolderDepth = 100;

// The entries of a bookmark HTML file. Never fails on the content: what
// cannot be read as a folder or bookmark is left out. The encoding is a
// byte-order mark's, else the one a <meta> declares, else UTF-8 when the
// bytes are valid UTF-8, else CP932 (hand-written Japanese files).
// Bookmarks without an address, and "place:" queries (meaningful only to
// the browser that wrote them), are left out; every other address is kept
// as written, "javascript:" bookmarklets too: reading runs nothing. A
// bookmark without a title takes its address as its name. Names have their
// white space collapsed as browsers show them; names and addresses keep no
// control characters. whole, when given, tells whether the file was read to
// its end: one nested beyond what the parser follows (a depth of 256), or
// holding bytes its declared encoding cannot decode, gives only the entries
// before that point.
QList<HtmlEntry> parseBookmarkHtml(const QByteArray &bytes, bool *whole = nullptr);

// The file's bytes. Throws VexelError "<path> を読み込めません" when it
// cannot be read or is no plain file, "<path> は大きすぎます" beyond
// kMaxHtmlFileSize.
constexpr qint64 kMaxHtmlFileSize = qint64(128) << 20;
QByteArray readBookmarkHtmlFile(const QString &path);

// The entries as a bookmark HTML file, UTF-8 with LF line ends.
QByteArray bookmarkHtml(const QList<HtmlEntry> &entries);

}  // namespace bookmarks
