// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The bookmark file: one place per run, the reading rules (by position,
// whatever the element names), and the writer of its exact layout.
//
// Readers never fail on the file's content: a missing, empty, unreadable or
// damaged file reads as far as libxml2 can recover it, and an entry lacking
// its nodes reads with an empty name or address.

#include <QByteArray>
#include <QList>
#include <QString>
#include <libxml/parser.h>
#include <libxml/tree.h>
#include <memory>

namespace bookmarks {

// "bookmark.xml" resolved against directory, fixed for the run: the
// current directory changes while the program runs (opening a file, the
// Gecko engine's folder), and the readers and the writer must not part.
// Where file names are case-sensitive, a differently-cased "BookMark.xml"
// already there is taken as the file.
void fixBookmarkFilePath(const QString &directory);
// The fixed path; fixed against the current directory on first use.
QString bookmarkFilePath();

struct XmlDocFree {
    void operator()(xmlDoc *doc) const { xmlFreeDoc(doc); }
};
using XmlDoc = std::unique_ptr<xmlDoc, XmlDocFree>;

// A parser context of the XML or the HTML parser, kept to ask afterwards
// how far it read.
struct XmlParserCtxtFree {
    void operator()(xmlParserCtxt *ctxt) const { xmlFreeParserCtxt(ctxt); }
};
using XmlParserCtxt = std::unique_ptr<xmlParserCtxt, XmlParserCtxtFree>;
// Whether the parser's input stopped on bytes its encoding cannot decode:
// what was read is then only the part before them.
bool inputFailed(const xmlParserCtxt *ctxt);

// The file parsed, white space between elements dropped; null when nothing
// could be read. whole, when given, tells whether the bytes read without an
// error, so that nothing of them was left out.
XmlDoc readBookmarkFile(const QString &path);
XmlDoc parseBookmarks(const QByteArray &bytes, bool *whole = nullptr);

// The document element whatever its name, or null.
xmlNode *bookmarkRoot(const XmlDoc &doc);

// The nodes the reading rules count by position: elements and text that is
// not white space only. Comments and processing instructions do not count.
QList<xmlNode *> countedNodes(xmlNode *parent);

// The entries of the root, or of a folder (its nodes after the name). A
// node in an entry's place that is no element is no entry.
QList<xmlNode *> topLevelEntries(xmlNode *root);
QList<xmlNode *> folderEntries(xmlNode *folder);

// An entry's name: the text of its first node.
QString entryName(xmlNode *entry);
// A folder is an element whose local name is "directory"; any other is a
// bookmark.
bool isFolder(xmlNode *entry);
// A bookmark's address: the text of its last node. A bookmark holding its
// name alone has an empty address.
QString entryAddress(xmlNode *entry);
// The text of the node after the name (empty when there is none).
QString textAfterName(xmlNode *entry);

// A new bookmark document, written entry by entry in the file's layout.
class BookmarkWriter {
public:
    BookmarkWriter();
    BookmarkWriter(const BookmarkWriter &) = delete;
    BookmarkWriter &operator=(const BookmarkWriter &) = delete;

    xmlNode *root() const;

    // Puts the root's end tag on a line of its own and returns the bytes of
    // the file: CP932, declared "Shift_JIS", LF line ends, a line feed after
    // the declaration and after the root's end tag.
    QByteArray finish();

    // finish(), then replaces the file whole. Throws VexelError naming the
    // file; the earlier file is then untouched. A file there that does not
    // read whole is first copied beside it, as "<name>.damaged-<date>-<time>"
    // with its bytes unchanged, once per file and contents in a run, and
    // the error sink is told where the copy is.
    void save(const QString &path);

private:
    XmlDoc doc_;
    bool finished_ = false;
};

// A bookmark entry at depth d (1 for a top-level entry, level + 2 below):
// the file element indented d units, its name and url d + 1 units, its end
// tag d units.
void AppendFileEntry(xmlNode *P, int d, const QString &name, const QString &address);
// A folder entry at depth d: the directory element indented 1 unit at the
// top level and d - 1 units below, its name d + 1 units. Its entries are
// written into it afterwards; it is then P's last child. Nothing follows
// its last entry, so its end tag closes the last entry's line.
void AppendDirectoryEntry(xmlNode *P, int d, const QString &name);

}  // namespace bookmarks
