// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Bookmark trees for the tests: built from plain values, written in the
// file's layout, and read back by the reading rules into one line such as
// "A=U1 F[B=U2 G[C=U3]]" (a bookmark is name=address, a folder name[...]).

#include "bookmarks/bookmarkfile.h"

#include <QByteArray>
#include <QFile>
#include <QList>
#include <QString>
#include <QStringList>

struct Node {
    QString name;
    bool folder = false;
    QString address;
    QList<Node> children;
};

inline Node bookmark(const QString &name, const QString &address)
{
    return Node{name, false, address, {}};
}

inline Node folder(const QString &name, const QList<Node> &children = {})
{
    return Node{name, true, QString(), children};
}

// The example tree of the file's layout and its exact bytes.
inline QList<Node> exampleTree()
{
    return {bookmark("A", "U1"), folder("F", {bookmark("B", "U2"), folder("G", {bookmark("C", "U3")})})};
}

inline QByteArray exampleBytes()
{
    return "<?xml version=\"1.0\" encoding=\"Shift_JIS\"?>\n"
           "<bookmark>\n"
           "  <file>\n"
           "    <name>A</name>\n"
           "    <url>U1</url>\n"
           "  </file>\n"
           "  <directory>\n"
           "    <name>F</name>\n"
           "      <file>\n"
           "        <name>B</name>\n"
           "        <url>U2</url>\n"
           "      </file>\n"
           "    <directory>\n"
           "        <name>G</name>\n"
           "        <file>\n"
           "          <name>C</name>\n"
           "          <url>U3</url>\n"
           "        </file></directory></directory>\n"
           "</bookmark>\n";
}

inline void writeNodes(xmlNode *parent, const QList<Node> &nodes, int level)
{
    const int depth = level == 0 ? 1 : level + 2;
    for (const Node &n : nodes) {
        if (n.folder) {
            bookmarks::AppendDirectoryEntry(parent, depth, n.name);
            writeNodes(parent->last, n.children, level + 1);
        } else {
            bookmarks::AppendFileEntry(parent, depth, n.name, n.address);
        }
    }
}

inline QByteArray fileBytes(const QList<Node> &nodes)
{
    bookmarks::BookmarkWriter writer;
    writeNodes(writer.root(), nodes, 0);
    return writer.finish();
}

inline QString rendered(const QList<Node> &nodes)
{
    QStringList parts;
    for (const Node &n : nodes)
        parts << (n.folder ? n.name + "[" + rendered(n.children) + "]" : n.name + "=" + n.address);
    return parts.join(' ');
}

// The menu's rule: a bookmark's address is its last node.
inline QString renderedEntries(const QList<xmlNode *> &entries)
{
    QStringList parts;
    for (xmlNode *e : entries) {
        const QString name = bookmarks::entryName(e);
        parts << (bookmarks::isFolder(e) ? name + "[" + renderedEntries(bookmarks::folderEntries(e)) + "]"
                                         : name + "=" + bookmarks::entryAddress(e));
    }
    return parts.join(' ');
}

// The tree the reading rules make of entries.
inline QList<Node> readNodes(const QList<xmlNode *> &entries)
{
    QList<Node> nodes;
    for (xmlNode *e : entries) {
        if (bookmarks::isFolder(e))
            nodes.append(folder(bookmarks::entryName(e), readNodes(bookmarks::folderEntries(e))));
        else
            nodes.append(bookmark(bookmarks::entryName(e), bookmarks::entryAddress(e)));
    }
    return nodes;
}

inline QString readBack(const QByteArray &bytes)
{
    const bookmarks::XmlDoc doc = bookmarks::parseBookmarks(bytes);
    return renderedEntries(bookmarks::topLevelEntries(bookmarks::bookmarkRoot(doc)));
}

inline void writeBytes(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(bytes) != bytes.size())
        qFatal("cannot write a test file");
}

inline QByteArray readBytes(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}
