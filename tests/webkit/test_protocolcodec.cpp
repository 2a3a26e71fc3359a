// SPDX-License-Identifier: GPL-3.0-or-later
// The codec of the pipe between the frame and vexel-webkit: every verb and
// field value of the protocol crosses both ways, every field
// survives the trip whatever it holds, a line that no encoder writes is
// refused with its reason, and lines end at "\n" only, never longer than
// the cap. No X server, no host.

#include "browser/engines/webkitgtk/protocol.h"
#include "browser/engines/webkitgtk/protocolcodec.h"
#include "browser/engines/webkitgtk/webkithost.h"

#include <QSet>
#include <QTest>

#include <cstdlib>

class TestProtocolCodec : public QObject {
    Q_OBJECT
private slots:
    void everyKeywordCrosses_data();
    void everyKeywordCrosses();
    void verbsAreDistinct();
    void fieldsSurviveTheTrip_data();
    void fieldsSurviveTheTrip();
    void linesNoEncoderWrites_data();
    void linesNoEncoderWrites();
    void encoderRefuses();
    void readerSplitsAtNewlineOnly_data();
    void readerSplitsAtNewlineOnly();
    void readerDropsOverlongLines_data();
    void readerDropsOverlongLines();
};

using Fields = QList<QByteArray>;

void TestProtocolCodec::everyKeywordCrosses_data()
{
    QTest::addColumn<QByteArray>("verb");
    QTest::addColumn<QByteArray>("value");
    for (const char *verb : {VEXEL_ALL_VERBS})
        QTest::addRow("verb %s", verb) << QByteArray(verb) << QByteArray(VEXEL_YES);
    for (const char *value : {VEXEL_ALL_FIELD_VALUES})
        QTest::addRow("value \"%s\"", value) << QByteArray(VEXEL_VERB_FAILED) << QByteArray(value);
}

// Each verb and field value crosses the pipe both ways: written by the
// frame's side and read by the host's codec, and the other way round. A verb
// the codec cannot carry (upper case, a dash, too long) fails here, not in
// a page.
void TestProtocolCodec::everyKeywordCrosses()
{
    QFETCH(QByteArray, verb);
    QFETCH(QByteArray, value);
    const QByteArray frameLine = webkitprotocol::encode(7, verb.constData(), {value, value});
    QVERIFY(!frameLine.isEmpty());
    VexelProtoMessage host;
    QCOMPARE(vexel_proto_decode_line(frameLine.constData(), size_t(frameLine.size() - 1), &host), int(VEXEL_PROTO_OK));
    const QByteArray hostVerb(host.verb);
    const Fields hostFields{QByteArray(host.fields[0], qsizetype(host.lengths[0])),
                            QByteArray(host.fields[1], qsizetype(host.lengths[1]))};
    vexel_proto_message_clear(&host);
    QCOMPARE(hostVerb, verb);
    QCOMPARE(hostFields, (Fields{value, value}));

    const char *fields[] = {value.constData()};
    char *hostLine = nullptr;
    size_t length = 0;
    QCOMPARE(vexel_proto_encode_line(7, verb.constData(), fields, nullptr, 1, &hostLine, &length), int(VEXEL_PROTO_OK));
    WebKitMessage frame;
    const int decoded = webkitprotocol::decode(QByteArray(hostLine, qsizetype(length) - 1), &frame);
    free(hostLine);
    QCOMPARE(decoded, int(VEXEL_PROTO_OK));
    QCOMPARE(frame.view, 7u);
    QCOMPARE(frame.verb, verb);
    QCOMPARE(frame.fields, Fields{value});
}

// Two verbs of one word would reach the same handler.
void TestProtocolCodec::verbsAreDistinct()
{
    QSet<QByteArray> seen;
    for (const char *verb : {VEXEL_ALL_VERBS}) {
        QVERIFY2(!seen.contains(verb), verb);
        seen.insert(verb);
    }
}

void TestProtocolCodec::fieldsSurviveTheTrip_data()
{
    QTest::addColumn<Fields>("fields");
    QByteArray everyByte;
    for (int c = 1; c < 256; ++c)
        everyByte += char(c);
    QTest::newRow("none") << Fields{};
    QTest::newRow("one empty") << Fields{""};
    QTest::newRow("empty first, then words") << Fields{"", "alert", "hello"};
    QTest::newRow("all empty") << Fields{"", "", "", ""};
    QTest::newRow("separators and line ends") << Fields{"a b", "line\nnext", "cr\rlf", " "};
    QTest::newRow("escapes as text") << Fields{"%00", "%", "%zz", "100%"};
    QTest::newRow("Japanese") << Fields{QStringLiteral("ページ～〜").toUtf8(), "https://例え.jp/?q=a&b=c#x"};
    QTest::newRow("every byte but NUL") << Fields{everyByte};
    QTest::newRow("as many as allowed") << Fields(VEXEL_PROTO_MAX_FIELDS, "x");
    // Each byte escaped: as long as the cap allows.
    QTest::newRow("longest") << Fields{QByteArray((VEXEL_PROTO_MAX_LINE - 32) / 3, ' ')};
}

void TestProtocolCodec::fieldsSurviveTheTrip()
{
    QFETCH(Fields, fields);
    const QByteArray line = webkitprotocol::encode(4294967295u, VEXEL_VERB_DIALOG, fields);
    QVERIFY(!line.isEmpty());
    QVERIFY(line.endsWith('\n'));
    QVERIFY(line.size() - 1 <= qsizetype(VEXEL_PROTO_MAX_LINE));
    // One line, and nothing in it that a reader could take for a line end.
    QCOMPARE(line.count('\n'), 1);
    QVERIFY(!line.contains('\r') && !line.contains('\0'));
    for (char c : line)
        QVERIFY2((c >= 0x20 && c < 0x7f) || c == '\n', qPrintable(QString::number(uchar(c))));

    WebKitMessage message;
    QCOMPARE(webkitprotocol::decode(line.chopped(1), &message), int(VEXEL_PROTO_OK));
    QCOMPARE(message.view, 4294967295u);
    QCOMPARE(message.verb, QByteArray(VEXEL_VERB_DIALOG));
    QCOMPARE(message.fields, fields);
}

void TestProtocolCodec::linesNoEncoderWrites_data()
{
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<int>("error");
    QTest::newRow("empty") << QByteArray() << int(VEXEL_PROTO_E_BAD_VIEW);
    QTest::newRow("no view") << QByteArray("ready 2") << int(VEXEL_PROTO_E_BAD_VIEW);
    QTest::newRow("signed view") << QByteArray("-1 ready") << int(VEXEL_PROTO_E_BAD_VIEW);
    QTest::newRow("leading zero") << QByteArray("01 ready") << int(VEXEL_PROTO_E_BAD_VIEW);
    QTest::newRow("view over 32 bits") << QByteArray("4294967296 ready") << int(VEXEL_PROTO_E_BAD_VIEW);
    QTest::newRow("huge view") << QByteArray("99999999999999999999999 ready") << int(VEXEL_PROTO_E_BAD_VIEW);
    QTest::newRow("view only") << QByteArray("1") << int(VEXEL_PROTO_E_BAD_VERB);
    QTest::newRow("empty verb") << QByteArray("1 ") << int(VEXEL_PROTO_E_BAD_VERB);
    QTest::newRow("two spaces") << QByteArray("1  close") << int(VEXEL_PROTO_E_BAD_VERB);
    QTest::newRow("upper-case verb") << QByteArray("1 Close") << int(VEXEL_PROTO_E_BAD_VERB);
    QTest::newRow("escaped verb") << QByteArray("1 clo%73e") << int(VEXEL_PROTO_E_BAD_VERB);
    QTest::newRow("verb too long") << "1 " + QByteArray(VEXEL_PROTO_MAX_VERB + 1, 'a') << int(VEXEL_PROTO_E_BAD_VERB);
    QTest::newRow("cut escape") << QByteArray("1 uri ab%4") << int(VEXEL_PROTO_E_BAD_ESCAPE);
    QTest::newRow("lone percent") << QByteArray("1 uri %") << int(VEXEL_PROTO_E_BAD_ESCAPE);
    QTest::newRow("not hex") << QByteArray("1 uri %zz") << int(VEXEL_PROTO_E_BAD_ESCAPE);
    QTest::newRow("escaped NUL") << QByteArray("1 uri a%00b") << int(VEXEL_PROTO_E_NUL);
    QTest::newRow("raw NUL") << QByteArray("1 uri a\0b", 9) << int(VEXEL_PROTO_E_NUL);
    QTest::newRow("raw CR") << QByteArray("1 uri a\rb") << int(VEXEL_PROTO_E_BAD_BYTE);
    QTest::newRow("raw newline") << QByteArray("1 uri a\nb") << int(VEXEL_PROTO_E_BAD_BYTE);
    QTest::newRow("raw UTF-8") << QStringLiteral("1 title ページ").toUtf8() << int(VEXEL_PROTO_E_BAD_BYTE);
    QTest::newRow("raw slash") << QByteArray("1 uri http://x/") << int(VEXEL_PROTO_E_BAD_BYTE);
    QTest::newRow("too many fields") << "1 auth" + QByteArray(" x").repeated(VEXEL_PROTO_MAX_FIELDS + 1)
                                     << int(VEXEL_PROTO_E_TOO_MANY);
    QTest::newRow("over the cap") << "1 uri " + QByteArray(VEXEL_PROTO_MAX_LINE, 'a') << int(VEXEL_PROTO_E_TOO_LONG);
    // What is accepted, for contrast.
    QTest::newRow("no fields") << QByteArray("1 close") << int(VEXEL_PROTO_OK);
    QTest::newRow("one empty field") << QByteArray("1 close ") << int(VEXEL_PROTO_OK);
    QTest::newRow("the host itself") << QByteArray("0 ready 2") << int(VEXEL_PROTO_OK);
    QTest::newRow("lower-case hex") << QByteArray("1 uri %e3%83%9a") << int(VEXEL_PROTO_OK);
}

void TestProtocolCodec::linesNoEncoderWrites()
{
    QFETCH(QByteArray, line);
    QFETCH(int, error);
    VexelProtoMessage message;
    QCOMPARE(vexel_proto_decode_line(line.constData(), size_t(line.size()), &message), error);
    if (error != VEXEL_PROTO_OK) {
        // Refused whole: no fields handed out, nothing to release.
        QCOMPARE(message.count, size_t(0));
        QVERIFY(!message.storage);
        return;
    }
    QCOMPARE(QByteArray(message.verb).isEmpty(), false);
    if (line.endsWith(' ')) {
        QCOMPARE(message.count, size_t(1));
        QCOMPARE(message.lengths[0], size_t(0));
    }
    vexel_proto_message_clear(&message);
}

void TestProtocolCodec::encoderRefuses()
{
    char *line = reinterpret_cast<char *>(1);
    size_t length = 1;
    const char *nul[] = {"a\0b"};
    const size_t nulLength[] = {3};
    QCOMPARE(vexel_proto_encode_line(1, "title", nul, nulLength, 1, &line, &length), int(VEXEL_PROTO_E_NUL));
    QVERIFY(!line);
    QCOMPARE(length, size_t(0));
    QCOMPARE(vexel_proto_encode_line(1, "Title", nullptr, nullptr, 0, &line, &length), int(VEXEL_PROTO_E_BAD_VERB));
    QCOMPARE(vexel_proto_encode_line(1, "", nullptr, nullptr, 0, &line, &length), int(VEXEL_PROTO_E_BAD_VERB));
    QCOMPARE(vexel_proto_encode_line(1, "a b", nullptr, nullptr, 0, &line, &length), int(VEXEL_PROTO_E_BAD_VERB));
    const char *many[VEXEL_PROTO_MAX_FIELDS + 1] = {};
    QCOMPARE(vexel_proto_encode_line(1, "title", many, nullptr, VEXEL_PROTO_MAX_FIELDS + 1, &line, &length),
             int(VEXEL_PROTO_E_TOO_MANY));
    // Escaping makes it three times as long: one byte over the cap.
    const QByteArray spaces(VEXEL_PROTO_MAX_LINE / 3, ' ');
    QVERIFY(webkitprotocol::encode(1, VEXEL_VERB_TITLE, {spaces}).isEmpty());
    QVERIFY(webkitprotocol::encode(1, VEXEL_VERB_TITLE, {QByteArray("a\0b", 3)}).isEmpty());
}

// Feeds data to a reader in pieces of the given size and collects what it
// hands out: lines, and "!" for each line it dropped.
static QList<QByteArray> readAll(const QByteArray &data, qsizetype piece, size_t *largest = nullptr)
{
    VexelProtoReader reader;
    vexel_proto_reader_init(&reader);
    QList<QByteArray> out;
    for (qsizetype at = 0; at < data.size(); at += piece) {
        const QByteArray part = data.mid(at, piece);
        if (vexel_proto_reader_feed(&reader, part.constData(), size_t(part.size())) != VEXEL_PROTO_OK)
            qFatal("out of memory");
        if (largest)
            *largest = std::max(*largest, reader.len);
        const char *line = nullptr;
        size_t length = 0;
        for (int got; (got = vexel_proto_reader_next(&reader, &line, &length)) != 0;)
            out << (got == 1 ? QByteArray(line, qsizetype(length)) : QByteArray("!"));
    }
    vexel_proto_reader_free(&reader);
    return out;
}

void TestProtocolCodec::readerSplitsAtNewlineOnly_data()
{
    QTest::addColumn<qsizetype>("piece");
    QTest::newRow("byte by byte") << qsizetype(1);
    QTest::newRow("in threes") << qsizetype(3);
    QTest::newRow("all at once") << qsizetype(1 << 20);
}

void TestProtocolCodec::readerSplitsAtNewlineOnly()
{
    QFETCH(qsizetype, piece);
    const QByteArray data("0 ready 2\n1 title a\rb\n\n1 uri a\0b\n1 close\n1 half", 48);
    // "\r" and NUL stay inside their lines (which then do not decode); the
    // empty line is a line; the unfinished one waits.
    QCOMPARE(readAll(data, piece), (QList<QByteArray>{"0 ready 2", "1 title a\rb", "", QByteArray("1 uri a\0b", 9),
                                                      "1 close"}));
}

void TestProtocolCodec::readerDropsOverlongLines_data()
{
    QTest::addColumn<qsizetype>("piece");
    QTest::newRow("in 64 KiB reads") << qsizetype(65536);
    QTest::newRow("all at once") << qsizetype(1 << 30);
}

void TestProtocolCodec::readerDropsOverlongLines()
{
    QFETCH(qsizetype, piece);
    const QByteArray longest = "1 uri " + QByteArray(VEXEL_PROTO_MAX_LINE - 6, 'a');
    const QByteArray over = longest + 'a';
    size_t largest = 0;
    const QList<QByteArray> lines =
        readAll("1 close\n" + over + "\n1 stop\n" + longest + "\n" + over + over + "\n1 back\n", piece, &largest);
    QCOMPARE(lines.size(), 6);
    QCOMPARE(lines[0], QByteArray("1 close"));
    // Each overlong line reported once, and the lines after it go on.
    QCOMPARE(lines[1], QByteArray("!"));
    QCOMPARE(lines[2], QByteArray("1 stop"));
    QCOMPARE(lines[3], longest);
    QCOMPARE(lines[4], QByteArray("!"));
    QCOMPARE(lines[5], QByteArray("1 back"));

    // A line that never ends is dropped as soon as it is too long, and the
    // reader does not go on holding what follows.
    largest = 0;
    const QList<QByteArray> endless = readAll(QByteArray(3 * VEXEL_PROTO_MAX_LINE, 'a'), 65536, &largest);
    QCOMPARE(endless, QList<QByteArray>{"!"});
    QVERIFY(largest <= VEXEL_PROTO_MAX_LINE + 65536);
}

QTEST_GUILESS_MAIN(TestProtocolCodec)
#include "test_protocolcodec.moc"
