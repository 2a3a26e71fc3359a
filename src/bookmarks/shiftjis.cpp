// SPDX-License-Identifier: GPL-3.0-or-later
#include "shiftjis.h"

#include "core/cp932.h"

#include <QList>
#include <QString>
#include <cstring>
#include <libxml/encoding.h>
#include <libxml/parser.h>
#include <libxml/parserInternals.h>
#include <libxml/xmlstring.h>
#include <vector>

namespace {

constexpr char32_t kReplacement = 0xFFFD;

bool isLeadByte(unsigned c)
{
    return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
}

bool isTrailByte(unsigned c)
{
    return c >= 0x40 && c <= 0xFC && c != 0x7F;
}

// The code point of one CP932 character: a single byte (code < 0x100) or a
// lead and a trail byte (lead << 8 | trail). U+FFFD when it has none.
char32_t decodeCharacter(unsigned code)
{
    static std::vector<char32_t> cache(0x10000, char32_t(-1));
    char32_t &known = cache[code];
    if (known == char32_t(-1)) {
        QByteArray bytes;
        if (code > 0xFF)
            bytes.append(char(code >> 8));
        bytes.append(char(code & 0xFF));
        const QString text = cp932::decode(bytes);
        const QList<uint> points = text.toUcs4();
        known = points.size() == 1 ? char32_t(points.front()) : kReplacement;
    }
    return known;
}

// The CP932 form of a non-ASCII code point, in the layout decodeCharacter
// takes; 0 when there is none (cp932::encode already refuses the characters
// glibc maps one way only, such as U+00A5 to "\").
unsigned encodeCharacter(char32_t codePoint)
{
    if (codePoint > 0xFFFF)
        return 0;  // CP932 holds no character beyond the BMP
    static std::vector<int> cache(0x10000, -1);
    int &known = cache[codePoint];
    if (known < 0) {
        known = 0;
        const QString text = QString::fromUcs4(&codePoint, 1);
        if (const std::optional<QByteArray> bytes = cp932::encode(text);
            bytes && !bytes->isEmpty() && bytes->size() <= 2) {
            known = bytes->size() == 1 ? uchar(bytes->at(0)) : (uchar(bytes->at(0)) << 8 | uchar(bytes->at(1)));
        }
    }
    return unsigned(known);
}

// libxml2 calls a converter without input to reset it: nothing to keep.
bool isReset(const unsigned char *in, int *outlen, int *inlen)
{
    if (in != nullptr)
        return false;
    *outlen = 0;
    *inlen = 0;
    return true;
}

// libxml2's input converter: CP932 to UTF-8. Bytes that are no CP932
// character read as U+FFFD rather than ending the parse, so the rest of a
// damaged file still reads. A lead byte at the end of a chunk waits for the
// next chunk.
int shiftJisToUtf8(unsigned char *out, int *outlen, const unsigned char *in, int *inlen)
{
    if (isReset(in, outlen, inlen))
        return 0;
    const int inSize = *inlen;
    const int outSize = *outlen;
    int read = 0;
    int written = 0;
    while (read < inSize) {
        const unsigned c = in[read];
        int length = 1;
        char32_t cp;
        if (c < 0x80) {
            cp = c;
        } else if (isLeadByte(c)) {
            if (read + 1 >= inSize)
                break;
            if (isTrailByte(in[read + 1])) {
                cp = decodeCharacter(c << 8 | in[read + 1]);
                length = 2;
            } else {
                cp = kReplacement;  // the byte after it is markup or text of its own
            }
        } else {
            cp = decodeCharacter(c);
        }
        unsigned char utf8[4];
        const int n = xmlCopyCharMultiByte(utf8, int(cp));
        if (written + n > outSize)
            break;
        std::memcpy(out + written, utf8, size_t(n));
        written += n;
        read += length;
    }
    *inlen = read;
    *outlen = written;
    return written;
}

// libxml2's output converter: UTF-8 to CP932. It stops before a character
// CP932 cannot hold and answers -2; libxml2 then writes that character as a
// numeric character reference and calls again with the rest.
int utf8ToShiftJis(unsigned char *out, int *outlen, const unsigned char *in, int *inlen)
{
    if (isReset(in, outlen, inlen))
        return 0;
    const int inSize = *inlen;
    const int outSize = *outlen;
    int read = 0;
    int written = 0;
    int result = 0;
    while (read < inSize) {
        const unsigned c = in[read];
        if (c < 0x80) {
            if (written >= outSize) {
                result = -1;
                break;
            }
            out[written++] = uchar(c);
            ++read;
            continue;
        }
        int length = xmlUTF8Size(in + read);
        if (length > 0 && read + length > inSize)
            break;  // the rest of the character comes with the next chunk
        // What is no character is refused as one CP932 cannot hold.
        const int cp = length > 0 ? xmlGetUTF8Char(in + read, &length) : -1;
        const unsigned code = cp < 0 ? 0 : encodeCharacter(char32_t(cp));
        if (code == 0) {
            result = -2;
            break;
        }
        const int n = code > 0xFF ? 2 : 1;
        if (written + n > outSize) {
            result = -1;
            break;
        }
        if (n == 2)
            out[written++] = uchar(code >> 8);
        out[written++] = uchar(code & 0xFF);
        read += length;
    }
    *inlen = read;
    *outlen = written;
    return result < 0 ? result : written;
}

}  // namespace

namespace bookmarks {

void registerShiftJisEncoding()
{
    static const bool registered = [] {
        xmlInitParser();
        // libxml2 keeps the handler in its table and finds it by the label
        // in any letter case.
        return xmlNewCharEncodingHandler("Shift_JIS", shiftJisToUtf8, utf8ToShiftJis) != nullptr;
    }();
    Q_UNUSED(registered);
}

}  // namespace bookmarks
