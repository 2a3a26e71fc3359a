// SPDX-License-Identifier: GPL-3.0-or-later
// The bookmark file reader on any bytes: reading never fails, and the tree
// it reads, written in the file's layout and read again, is the same tree.

#include "bookmarktree.h"

#include <cstdio>
#include <cstdlib>

namespace {

// What a save cannot carry: characters XML 1.0 has no place for are left
// out of the file rather than making it unreadable.
QString savable(const QString &text)
{
    QString kept;
    const QList<uint> points = text.toUcs4();
    for (uint cp : points) {
        const bool unfit = (cp < 0x20 && cp != '\t' && cp != '\n' && cp != '\r') || cp == 0xFFFE ||
                           cp == 0xFFFF || (cp >= 0xD800 && cp <= 0xDFFF);
        if (!unfit)
            kept += QStringView(QChar::fromUcs4(cp));
    }
    return kept;
}

QList<Node> savableTree(const QList<Node> &nodes)
{
    QList<Node> out;
    for (const Node &n : nodes)
        out.append(Node{savable(n.name), n.folder, savable(n.address), savableTree(n.children)});
    return out;
}

bool sameTree(const QList<Node> &a, const QList<Node> &b)
{
    if (a.size() != b.size())
        return false;
    for (qsizetype i = 0; i < a.size(); ++i) {
        if (a[i].name != b[i].name || a[i].folder != b[i].folder || a[i].address != b[i].address ||
            !sameTree(a[i].children, b[i].children))
            return false;
    }
    return true;
}

QList<Node> readTree(const QByteArray &bytes)
{
    const bookmarks::XmlDoc doc = bookmarks::parseBookmarks(bytes);
    return readNodes(bookmarks::topLevelEntries(bookmarks::bookmarkRoot(doc)));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    const QList<Node> first = savableTree(readTree(bytes));
    const QByteArray saved = fileBytes(first);
    const QList<Node> again = readTree(saved);
    if (!sameTree(first, again)) {
        std::fprintf(stderr, "read:   %s\nsaved:\n%s\nreread: %s\n", qPrintable(rendered(first)), saved.constData(),
                     qPrintable(rendered(again)));
        std::abort();
    }
    return 0;
}
