// SPDX-License-Identifier: GPL-3.0-or-later
// The bookmark HTML reader on any bytes: reading never fails, and the tree
// it reads, written as a bookmark HTML file and read again, is the same
// tree, read to the end; no folder is nested deeper than the reader's limit.

#include "bookmarks/bookmarkhtml.h"

#include <QStringList>
#include <cstdio>
#include <cstdlib>

namespace {

using bookmarks::HtmlEntry;

QString rendered(const QList<HtmlEntry> &entries)
{
    QStringList parts;
    for (const HtmlEntry &e : entries)
        parts << (e.folder ? "{" + e.name + "}[" + rendered(e.children) + "]" : "{" + e.name + "}={" + e.address + "}");
    return parts.join(' ');
}

int depth(const QList<HtmlEntry> &entries)
{
    int deepest = 0;
    for (const HtmlEntry &e : entries)
        if (e.folder)
            deepest = qMax(deepest, 1 + depth(e.children));
    return deepest;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    const QList<HtmlEntry> first = bookmarks::parseBookmarkHtml(bytes);
    if (depth(first) > bookmarks::kMaxHtmlFolderDepth) {
        std::fprintf(stderr, "folders nested %d deep\n", depth(first));
        std::abort();
    }
    const QByteArray written = bookmarks::bookmarkHtml(first);
    bool whole = false;
    if (const QList<HtmlEntry> again = bookmarks::parseBookmarkHtml(written, &whole); again != first || !whole) {
        std::fprintf(stderr, "read:   %s\nwritten:\n%s\nreread: %s\n", qPrintable(rendered(first)), written.constData(),
                     qPrintable(rendered(again)));
        std::abort();
    }
    return 0;
}
