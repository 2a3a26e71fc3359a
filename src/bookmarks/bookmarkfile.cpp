// SPDX-License-Identifier: GPL-3.0-or-later
#include "bookmarkfile.h"

#include "core/errors.h"
#include "core/programdir.h"
#include "core/atomicfile.h"
#include "shiftjis.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QStringDecoder>
#include <libxml/parser.h>
#include <libxml/xmlsave.h>
#include <limits>
#include <new>

namespace bookmarks {

namespace {

const QString kFileName = QStringLiteral("bookmark.xml");

QString &fixedPath()
{
    static QString path;
    return path;
}

// The longest replacement text of a declared entity that a reference is
// read as; a reference takes at least three bytes, so what a file reads as
// stays proportional to its size.
constexpr int kMaxEntityText = 64;

// Collects the text below a node. Declared entities are no part of the
// files Vexel writes; a short plain one reads as its text, any other
// (long, nested, with markup, or external) as nothing, so a hostile file
// cannot blow up in memory or pull in another file's contents.
void appendTextOf(const xmlNode *node, QByteArray &out)
{
    switch (node->type) {
    case XML_TEXT_NODE:
    case XML_CDATA_SECTION_NODE:
        out += reinterpret_cast<const char *>(node->content);
        break;
    case XML_ELEMENT_NODE:
        for (const xmlNode *child = node->children; child; child = child->next)
            appendTextOf(child, out);
        break;
    case XML_ENTITY_REF_NODE: {
        const auto *entity = reinterpret_cast<const xmlEntity *>(node->children);
        if (entity && entity->type == XML_ENTITY_DECL && entity->etype == XML_INTERNAL_GENERAL_ENTITY &&
            entity->content && entity->length <= kMaxEntityText && !xmlStrchr(entity->content, '&') &&
            !xmlStrchr(entity->content, '<'))
            out += reinterpret_cast<const char *>(entity->content);
        break;
    }
    default:
        break;
    }
}

// The text of a node and everything below it.
QString textOf(xmlNode *node)
{
    QByteArray utf8;
    appendTextOf(node, utf8);
    return QString::fromUtf8(utf8);
}

bool isValidUtf8(const QByteArray &bytes)
{
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = decoder(bytes);
    Q_UNUSED(text);
    return !decoder.hasError();
}

// whole: no error on the way, so recovery dropped or cut nothing.
XmlDoc parse(const QByteArray &bytes, const char *encoding, int extraOptions, bool &whole)
{
    const XmlParserCtxt ctxt(xmlNewParserCtxt());
    if (!ctxt)
        throw std::bad_alloc();
    const int options = XML_PARSE_NOBLANKS | XML_PARSE_RECOVER | XML_PARSE_NONET | XML_PARSE_NOERROR |
                        XML_PARSE_NOWARNING | extraOptions;
    XmlDoc doc(xmlCtxtReadMemory(ctxt.get(), bytes.constData(), int(bytes.size()), "bookmark.xml", encoding, options));
    whole = doc && ctxt->wellFormed && !ctxt->disableSAX && !inputFailed(ctxt.get());
    return doc;
}

// The copies this run has kept: a file's path and its contents' hash, so
// a file is copied once however often a save is tried.
QSet<QByteArray> &keptCopies()
{
    static QSet<QByteArray> kept;
    return kept;
}

// A file that reads only in part is about to be replaced by what could be
// read of it: its bytes are kept beside it first, and the user is told
// where. Throws VexelError when the copy cannot be made; the file is then
// not replaced.
void keepIfDamaged(const QString &path)
{
    const QFileInfo info(path);
    if (!info.isFile())
        return;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw VexelError(QStringLiteral("%1 を読み込めません").arg(QDir::toNativeSeparators(path)));
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        throw VexelError(QStringLiteral("%1 を読み込めません").arg(QDir::toNativeSeparators(path)));
    bool whole = true;
    parseBookmarks(bytes, &whole);
    if (whole)
        return;
    const QByteArray key =
        QFile::encodeName(info.absoluteFilePath()) + '\0' + QCryptographicHash::hash(bytes, QCryptographicHash::Sha256);
    if (keptCopies().contains(key))
        return;
    const QString stem = path + QStringLiteral(".damaged-") +
                         QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    QString copy = stem;
    for (int n = 2; QFileInfo(copy).exists() || QFileInfo(copy).isSymLink(); ++n)
        copy = stem + QStringLiteral("-%1").arg(n);
    writeFileAtomically(copy, bytes);
    QFile::setPermissions(copy, info.permissions());
    keptCopies().insert(key);
    reportError(QStringLiteral("%1 を完全には読み込めませんでした。元のファイルを %2 に保存しました")
                    .arg(info.fileName(), QDir::toNativeSeparators(copy)));
}

// UTF-8 of the text without the characters XML 1.0 cannot carry at all
// (control characters other than tab, line feed and carriage return,
// U+FFFE, U+FFFF, unpaired surrogates): written as they are, they would
// leave a file no reader can parse.
QByteArray xmlText(const QString &text)
{
    auto unfit = [](const QString &s, qsizetype i) {
        const char16_t c = s.at(i).unicode();
        if (c < 0x20)
            return c != u'\t' && c != u'\n' && c != u'\r';
        if (c == 0xFFFE || c == 0xFFFF)
            return true;
        if (QChar::isHighSurrogate(c))
            return i + 1 >= s.size() || !QChar::isLowSurrogate(s.at(i + 1).unicode());
        if (QChar::isLowSurrogate(c))
            return i == 0 || !QChar::isHighSurrogate(s.at(i - 1).unicode());
        return false;
    };
    QString clean;
    clean.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i)
        if (!unfit(text, i))
            clean.append(text.at(i));
    return clean.toUtf8();
}

template <typename T>
T *made(T *node)
{
    if (!node)
        throw std::bad_alloc();
    return node;
}

// A line feed followed by units of two spaces.
void appendIndent(xmlNode *parent, int units)
{
    const QByteArray text = '\n' + QByteArray(2 * qMax(0, units), ' ');
    xmlNode *node = made(xmlNewDocTextLen(parent->doc, reinterpret_cast<const xmlChar *>(text.constData()),
                                          int(text.size())));
    xmlAddChild(parent, node);
}

xmlNode *appendElement(xmlNode *parent, const char *name)
{
    xmlNode *node = made(xmlNewDocNode(parent->doc, nullptr, reinterpret_cast<const xmlChar *>(name), nullptr));
    xmlAddChild(parent, node);
    return node;
}

// An element holding the text as its only content, escaped on output.
void appendTextElement(xmlNode *parent, const char *name, const QString &text)
{
    const QByteArray utf8 = xmlText(text);
    made(xmlNewTextChild(parent, nullptr, reinterpret_cast<const xmlChar *>(name),
                         utf8.isEmpty() ? nullptr : reinterpret_cast<const xmlChar *>(utf8.constData())));
}

}  // namespace

void fixBookmarkFilePath(const QString &directory)
{
    const QDir dir(directory);
    QString name = kFileName;
    if (!dir.exists(name)) {
        const QStringList variants =
            dir.entryList({kFileName}, QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
        if (!variants.isEmpty())
            name = variants.constFirst();
    }
    fixedPath() = QDir::cleanPath(dir.absoluteFilePath(name));
}

QString bookmarkFilePath()
{
    if (fixedPath().isEmpty())
        fixBookmarkFilePath(bookmarkDirectory());
    return fixedPath();
}

XmlDoc readBookmarkFile(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return parseBookmarks(file.readAll());
}

bool inputFailed(const xmlParserCtxt *ctxt)
{
    return ctxt->input && ctxt->input->buf && ctxt->input->buf->error != 0;
}

XmlDoc parseBookmarks(const QByteArray &bytes, bool *whole)
{
    registerShiftJisEncoding();
    bool read = bytes.size() <= std::numeric_limits<int>::max();
    XmlDoc doc;
    // White space alone holds nothing to lose.
    if (read && !bytes.trimmed().isEmpty()) {
        doc = parse(bytes, nullptr, 0, read);
        // A declaration libxml2 cannot follow, or bytes that are not the
        // UTF-8 they claim (or default to): the program's own files are
        // CP932, so read them as that. Text with NULs is UTF-16 or binary
        // and stays as is.
        const bool claimsUtf8 =
            doc && (doc->encoding == nullptr || xmlStrcasecmp(doc->encoding, BAD_CAST "UTF-8") == 0);
        if (!bytes.contains('\0') && (!doc || (claimsUtf8 && !isValidUtf8(bytes)))) {
            bool retryRead = false;
            if (XmlDoc retry = parse(bytes, "Shift_JIS", XML_PARSE_IGNORE_ENC, retryRead)) {
                doc = std::move(retry);
                read = retryRead;
            }
        }
    }
    if (whole)
        *whole = read;
    return doc;
}

xmlNode *bookmarkRoot(const XmlDoc &doc)
{
    return doc ? xmlDocGetRootElement(doc.get()) : nullptr;
}

QList<xmlNode *> countedNodes(xmlNode *parent)
{
    QList<xmlNode *> nodes;
    if (!parent)
        return nodes;
    for (xmlNode *n = parent->children; n; n = n->next) {
        switch (n->type) {
        case XML_ELEMENT_NODE:
        case XML_ENTITY_REF_NODE:
            nodes.append(n);
            break;
        case XML_TEXT_NODE:
        case XML_CDATA_SECTION_NODE:
            if (!xmlIsBlankNode(n))
                nodes.append(n);
            break;
        default:
            break;
        }
    }
    return nodes;
}

static QList<xmlNode *> elementsFrom(const QList<xmlNode *> &nodes, qsizetype first)
{
    QList<xmlNode *> elements;
    elements.reserve(nodes.size());
    for (qsizetype i = first; i < nodes.size(); ++i)
        if (nodes[i]->type == XML_ELEMENT_NODE)
            elements.append(nodes[i]);
    return elements;
}

QList<xmlNode *> topLevelEntries(xmlNode *root)
{
    return elementsFrom(countedNodes(root), 0);
}

QList<xmlNode *> folderEntries(xmlNode *folder)
{
    return elementsFrom(countedNodes(folder), 1);
}

QString entryName(xmlNode *entry)
{
    const QList<xmlNode *> nodes = countedNodes(entry);
    return nodes.isEmpty() ? QString() : textOf(nodes.constFirst());
}

bool isFolder(xmlNode *entry)
{
    return entry && entry->type == XML_ELEMENT_NODE && xmlStrEqual(entry->name, BAD_CAST "directory");
}

QString entryAddress(xmlNode *entry)
{
    const QList<xmlNode *> nodes = countedNodes(entry);
    return nodes.size() < 2 ? QString() : textOf(nodes.constLast());
}

QString textAfterName(xmlNode *entry)
{
    const QList<xmlNode *> nodes = countedNodes(entry);
    return nodes.size() < 2 ? QString() : textOf(nodes.at(1));
}

// ---------------------------------------------------------------------------

BookmarkWriter::BookmarkWriter() : doc_(xmlNewDoc(BAD_CAST "1.0"))
{
    registerShiftJisEncoding();
    if (!doc_)
        throw std::bad_alloc();
    // The declaration is no node in libxml2: the serialiser writes it from
    // the document's version and the output encoding.
    xmlNode *root = made(xmlNewDocNode(doc_.get(), nullptr, BAD_CAST "bookmark", nullptr));
    xmlDocSetRootElement(doc_.get(), root);
}

xmlNode *BookmarkWriter::root() const
{
    return xmlDocGetRootElement(doc_.get());
}

QByteArray BookmarkWriter::finish()
{
    if (!finished_) {
        appendIndent(root(), 0);
        finished_ = true;
    }
    xmlBuffer *buffer = xmlBufferCreate();
    if (!buffer)
        return {};
    QByteArray bytes;
    // No formatting: the layout is in the white-space nodes already.
    if (xmlSaveCtxt *ctxt = xmlSaveToBuffer(buffer, "Shift_JIS", XML_SAVE_NO_EMPTY)) {
        const long written = xmlSaveDoc(ctxt, doc_.get());
        if (xmlSaveClose(ctxt) >= 0 && written >= 0)
            bytes = QByteArray(reinterpret_cast<const char *>(xmlBufferContent(buffer)), xmlBufferLength(buffer));
    }
    xmlBufferFree(buffer);
    return bytes;
}

void BookmarkWriter::save(const QString &path)
{
    const QByteArray bytes = finish();
    if (bytes.isEmpty())
        throw VexelError(cannotWriteMessage(path));
    keepIfDamaged(path);
    writeFileAtomically(path, bytes);
}

void AppendFileEntry(xmlNode *P, int d, const QString &name, const QString &address)
{
    appendIndent(P, d);
    xmlNode *E = appendElement(P, "file");
    appendIndent(E, d + 1);
    appendTextElement(E, "name", name);
    appendIndent(E, d + 1);
    appendTextElement(E, "url", address);
    appendIndent(E, d);
}

void AppendDirectoryEntry(xmlNode *P, int d, const QString &name)
{
    appendIndent(P, d == 1 ? 1 : d - 1);
    xmlNode *D = appendElement(P, "directory");
    appendIndent(D, d + 1);
    appendTextElement(D, "name", name);
}

}  // namespace bookmarks
