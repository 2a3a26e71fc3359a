// SPDX-License-Identifier: GPL-3.0-or-later
#include "bookmarkhtml.h"

#include "core/cp932.h"
#include "core/errors.h"
#include "bookmarkfile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>
#include <cctype>
#include <libxml/HTMLparser.h>
#include <libxml/SAX2.h>
#include <libxml/encoding.h>
#include <limits>
#include <new>
#include <vector>

namespace bookmarks {

namespace {

// Where a <meta> that declares the encoding is looked for; browsers look
// no further than the first kilobyte, exporters write it in the first lines.
constexpr qsizetype kPrescanBytes = 4096;

bool isValidUtf8(QByteArrayView bytes)
{
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = decoder(bytes);
    Q_UNUSED(text);
    return !decoder.hasError();
}

bool isSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f';
}

// The charset a <meta> in the head of the file names, lower-cased; empty
// when there is none. Comments are skipped: they hide what they hold.
QByteArray declaredCharset(const QByteArray &bytes)
{
    const QByteArray head = bytes.left(kPrescanBytes).toLower();
    qsizetype i = 0;
    while ((i = head.indexOf('<', i)) >= 0) {
        if (head.mid(i, 4) == "<!--") {
            const qsizetype end = head.indexOf("-->", i + 4);
            if (end < 0)
                break;
            i = end + 3;
            continue;
        }
        const qsizetype end = head.indexOf('>', i);
        if (end < 0)
            break;
        const QByteArray tag = head.mid(i, end - i);
        i = end;
        if (!tag.startsWith("<meta") || tag.size() < 6 || !isSpace(tag.at(5)))
            continue;
        for (qsizetype c = tag.indexOf("charset"); c >= 0; c = tag.indexOf("charset", c + 1)) {
            qsizetype p = c + 7;
            while (p < tag.size() && isSpace(tag.at(p)))
                ++p;
            if (p >= tag.size() || tag.at(p) != '=')
                continue;
            ++p;
            while (p < tag.size() && (isSpace(tag.at(p)) || tag.at(p) == '"' || tag.at(p) == '\''))
                ++p;
            qsizetype q = p;
            while (q < tag.size() && (std::isalnum(uchar(tag.at(q))) || QByteArray("-_.:").contains(tag.at(q))))
                ++q;
            if (q > p)
                return tag.mid(p, q - p);
        }
    }
    return {};
}

bool isCp932Label(const QByteArray &label)
{
    static const QList<QByteArray> labels = {"shift_jis",   "shift-jis", "sjis",  "x-sjis",     "ms_kanji",
                                             "csshiftjis", "windows-31j", "cp932", "ms932", "x-ms-cp932"};
    return labels.contains(label);
}

// A page that could declare itself in ASCII is no UTF-16: browsers read
// such a declaration as UTF-8, and so does this.
bool isUtf8Label(const QByteArray &label)
{
    return label == "utf-8" || label == "utf8" || label == "unicode-1-1-utf-8" || label.startsWith("utf-16") ||
           label == "unicode" || label == "ucs-2";
}

bool libxmlKnows(const QByteArray &label)
{
    xmlCharEncodingHandler *handler = xmlFindCharEncodingHandler(label.constData());
    if (!handler)
        return false;
    xmlCharEncCloseFunc(handler);
    return true;
}

// The bytes libxml2 parses and the encoding it decodes them by. UTF-8 and
// CP932 are decoded here (CP932 by the program's own codec, the same as
// for its own files); any other declared encoding is left to libxml2.
struct Input {
    QByteArray bytes;
    QByteArray encoding = "UTF-8";
};

QByteArray utf8Of(const QByteArray &bytes)
{
    // Bytes that are not UTF-8 become U+FFFD, as a browser shows them.
    return isValidUtf8(bytes) ? bytes : QString::fromUtf8(bytes).toUtf8();
}

Input decodedInput(const QByteArray &bytes)
{
    if (bytes.startsWith("\xEF\xBB\xBF"))
        return {utf8Of(bytes.mid(3))};
    if (bytes.startsWith("\xFF\xFE") || bytes.startsWith("\xFE\xFF")) {
        QStringDecoder decoder(bytes.startsWith("\xFF\xFE") ? QStringDecoder::Utf16LE : QStringDecoder::Utf16BE);
        return {QString(decoder(QByteArrayView(bytes).sliced(2))).toUtf8()};
    }
    const QByteArray label = declaredCharset(bytes);
    if (isUtf8Label(label))
        return {utf8Of(bytes)};
    if (isCp932Label(label))
        return {cp932::decode(bytes).toUtf8()};
    if (!label.isEmpty() && libxmlKnows(label))
        return {bytes, label};
    // Undeclared (or named in a way nothing here knows): libxml2 would
    // read bytes that are not UTF-8 as Latin-1, which garbles the
    // hand-written Shift_JIS files Japanese users have.
    return {isValidUtf8(bytes) ? bytes : cp932::decode(bytes).toUtf8()};
}

bool named(const xmlNode *node, const char *name)
{
    return node->type == XML_ELEMENT_NODE && xmlStrEqual(node->name, BAD_CAST name);
}

bool isListItem(const xmlChar *name)
{
    return xmlStrEqual(name, BAD_CAST "dt") || xmlStrEqual(name, BAD_CAST "dd");
}

// libxml2 2.9 opens a <DT> inside an open <DT> before it, so every export
// nested one level per bookmark of a folder, and the parser gives up at a
// depth of 256. An item ends where the next item of its list starts, as
// browsers read it: the open item of the innermost list, with whatever is
// still open inside it, is closed before the new item opens. The new item
// is on the parser's stack already; the tree's stack holds the elements
// below it.
void closeOpenItem(htmlParserCtxtPtr ctxt)
{
    const int top = ctxt->nameNr - 1;
    int item = top - 1;
    while (item >= 0 && !isListItem(ctxt->nameTab[item]) && !xmlStrEqual(ctxt->nameTab[item], BAD_CAST "dl"))
        --item;
    if (item < 0 || !isListItem(ctxt->nameTab[item]) || ctxt->nodeNr != top)
        return;
    // Only when both stacks hold the same elements, so neither is left
    // half changed.
    for (int i = item; i < top; ++i)
        if (!ctxt->nodeTab[i] || !xmlStrEqual(ctxt->nodeTab[i]->name, ctxt->nameTab[i]))
            return;
    for (int i = top - 1; i >= item; --i)
        xmlSAX2EndElement(ctxt, ctxt->nameTab[i]);
    ctxt->nameTab[item] = ctxt->nameTab[top];
    ctxt->nameNr = item + 1;
    ctxt->name = ctxt->nameTab[item];
}

void startElement(void *context, const xmlChar *name, const xmlChar **attributes)
{
    if (isListItem(name))
        closeOpenItem(static_cast<htmlParserCtxtPtr>(context));
    xmlSAX2StartElement(context, name, attributes);
}

// What no name or address keeps: control characters, and U+FEFF, which
// would be taken for a byte-order mark at the start of a text.
bool isControl(QChar c)
{
    return c.unicode() < 0x20 || c.unicode() == 0x7F || c.unicode() == 0xFEFF;
}

// Where a label's text ends: a list, another entry or a description that
// the parser's recovery put inside an unclosed label is no part of it.
bool endsLabel(const xmlNode *node)
{
    return named(node, "dl") || named(node, "dt") || named(node, "dd") || named(node, "h3") || named(node, "a");
}

// The text below a folder's or bookmark's label, white space collapsed as
// a browser shows it. Walked without recursion: the nesting is the file's
// to choose.
QString labelText(xmlNode *label)
{
    QByteArray utf8;
    xmlNode *n = label->children;
    while (n) {
        if (n->type == XML_TEXT_NODE || n->type == XML_CDATA_SECTION_NODE) {
            utf8 += reinterpret_cast<const char *>(n->content);
        } else if (n->type == XML_ELEMENT_NODE && !endsLabel(n) && n->children) {
            n = n->children;
            continue;
        }
        while (n && !n->next) {
            n = n->parent;
            if (n == label)
                n = nullptr;
        }
        if (n)
            n = n->next;
    }
    QString text = QString::fromUtf8(utf8);
    text.removeIf([](QChar c) { return !c.isSpace() && isControl(c); });
    return text.simplified();
}

// An address as browsers take one from an attribute: control characters
// (tabs and line breaks too) dropped, spaces trimmed off both ends.
QString cleanAddress(const xmlChar *raw)
{
    QString address = QString::fromUtf8(reinterpret_cast<const char *>(raw));
    address.removeIf(isControl);
    return address.trimmed();
}

// Reads the document in order. A <DL> holds the entries of the folder
// whose <H3> came last before it, however the parser's recovery nested the
// two (the list inside the <DT>, beside it, inside a <DD> or inside an
// unclosed <H3>); a <DL> with no folder waiting adds to the list it is in.
// Entries inside another entry's label count as entries, so an unclosed
// tag loses nothing after it.
class TreeReader {
public:
    QList<HtmlEntry> entries;

    void read(xmlDoc *doc)
    {
        levels_ = {{&entries, 0}};
        xmlNode *n = doc->children;
        while (n) {
            enter(n);
            if (n->type == XML_ELEMENT_NODE && n->children) {
                n = n->children;
                continue;
            }
            for (;;) {
                leave(n);
                if (n->next) {
                    n = n->next;
                    break;
                }
                n = n->parent;
                if (!n || n == reinterpret_cast<xmlNode *>(doc)) {
                    n = nullptr;
                    break;
                }
            }
        }
    }

private:
    struct Level {
        QList<HtmlEntry> *list;
        int depth;  // folders above the list
    };
    std::vector<Level> levels_;
    // The folder waiting for its list: the last entry of this list.
    QList<HtmlEntry> *waiting_ = nullptr;

    void enter(xmlNode *n)
    {
        if (n->type != XML_ELEMENT_NODE)
            return;
        Level &top = levels_.back();
        if (named(n, "dl")) {
            if (waiting_)
                levels_.push_back({&waiting_->last().children, top.depth + 1});
            else
                levels_.push_back({top.list, top.depth});
            waiting_ = nullptr;
            return;
        }
        const bool folder = named(n, "h3");
        if (!folder && !named(n, "a"))
            return;
        waiting_ = nullptr;
        if (folder) {
            if (top.depth < kMaxHtmlFolderDepth) {
                top.list->append(HtmlEntry{labelText(n), QString(), true, {}});
                waiting_ = top.list;
            }
            return;
        }
        xmlChar *href = xmlGetProp(n, BAD_CAST "href");
        const QString address = href ? cleanAddress(href) : QString();
        xmlFree(href);
        if (address.isEmpty() || address.startsWith(QLatin1String("place:"), Qt::CaseInsensitive))
            return;
        // Without a title the address names it, shown as a title would be.
        const QString title = labelText(n);
        top.list->append(HtmlEntry{title.isEmpty() ? address.simplified() : title, address, false, {}});
    }

    void leave(xmlNode *n)
    {
        if (named(n, "dl")) {
            levels_.pop_back();
            waiting_ = nullptr;
        }
    }
};

// Text for an element's content or an attribute value: markup characters
// escaped; line breaks and tabs become spaces and other control characters
// are left out, since no reader keeps them.
QByteArray escaped(const QString &text)
{
    QString out;
    out.reserve(text.size() + 16);
    for (const QChar c : text) {
        switch (c.unicode()) {
        case u'&': out += QLatin1String("&amp;"); break;
        case u'<': out += QLatin1String("&lt;"); break;
        case u'>': out += QLatin1String("&gt;"); break;
        case u'"': out += QLatin1String("&quot;"); break;
        case u'\t':
        case u'\n':
        case u'\r': out += QLatin1Char(' '); break;
        default:
            if (c.unicode() >= 0x20 && c.unicode() != 0x7F)
                out += c;
        }
    }
    return out.toUtf8();
}

void writeEntries(QByteArray &out, const QList<HtmlEntry> &entries, int level)
{
    const QByteArray indent(4 * level, ' ');
    for (const HtmlEntry &e : entries) {
        if (e.folder) {
            out += indent + "<DT><H3>" + escaped(e.name) + "</H3>\n";
            out += indent + "<DL><p>\n";
            writeEntries(out, e.children, level + 1);
            out += indent + "</DL><p>\n";
        } else {
            out += indent + "<DT><A HREF=\"" + escaped(e.address) + "\">" + escaped(e.name) + "</A>\n";
        }
    }
}

QString shownPath(const QString &path)
{
    return QDir::toNativeSeparators(path);
}

}  // namespace

QList<HtmlEntry> parseBookmarkHtml(const QByteArray &bytes, bool *whole)
{
    if (whole)
        *whole = true;
    if (bytes.isEmpty())
        return {};
    if (bytes.size() > std::numeric_limits<int>::max()) {
        if (whole)
            *whole = false;
        return {};
    }
    Input input = decodedInput(bytes);
    // libxml2 stops at a NUL as if the file ended there; no name or address
    // keeps one, so the text reads the same without them.
    if (input.encoding == "UTF-8")
        input.bytes.replace('\0', QByteArrayView());
    if (input.bytes.isEmpty())
        return {};
    const XmlParserCtxt ctxt(htmlNewParserCtxt());
    if (!ctxt)
        throw std::bad_alloc();
    ctxt->sax->startElement = startElement;
    // The encoding is settled above: a <meta> must not switch it again.
    const int options = HTML_PARSE_NONET | HTML_PARSE_NOERROR | HTML_PARSE_NOWARNING | HTML_PARSE_RECOVER |
                        HTML_PARSE_IGNORE_ENC;
    const XmlDoc doc(htmlCtxtReadMemory(ctxt.get(), input.bytes.constData(), int(input.bytes.size()),
                                        "bookmarks.html", input.encoding.constData(), options));
    // Recovery goes on after any error but the ones that stop the parser
    // (too deep, out of memory) or its input (bytes the declared encoding
    // cannot decode, a NUL): it then has read only the part before them.
    const bool stopped = inputFailed(ctxt.get()) || (ctxt->input && ctxt->input->cur < ctxt->input->end);
    if (whole && (ctxt->disableSAX || stopped))
        *whole = false;
    if (!doc)
        return {};
    TreeReader reader;
    reader.read(doc.get());
    return reader.entries;
}

QByteArray readBookmarkHtmlFile(const QString &path)
{
    const QString cannotRead = QStringLiteral("%1 を読み込めません").arg(shownPath(path));
    // A device or a pipe could feed the reader for ever.
    const QFileInfo info(path);
    if (!info.isFile())
        throw VexelError(cannotRead);
    if (info.size() > kMaxHtmlFileSize)
        throw VexelError(QStringLiteral("%1 は大きすぎます").arg(shownPath(path)));
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw VexelError(cannotRead);
    const QByteArray bytes = file.read(kMaxHtmlFileSize + 1);
    if (file.error() != QFileDevice::NoError)
        throw VexelError(cannotRead);
    if (bytes.size() > kMaxHtmlFileSize)
        throw VexelError(QStringLiteral("%1 は大きすぎます").arg(shownPath(path)));
    return bytes;
}

QByteArray bookmarkHtml(const QList<HtmlEntry> &entries)
{
    QByteArray out =
        "<!DOCTYPE NETSCAPE-Bookmark-file-1>\n"
        "<META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; charset=UTF-8\">\n"
        "<TITLE>Bookmarks</TITLE>\n"
        "<H1>Bookmarks</H1>\n"
        "<DL><p>\n";
    writeEntries(out, entries, 1);
    out += "</DL><p>\n";
    return out;
}

}  // namespace bookmarks
