// SPDX-License-Identifier: GPL-3.0-or-later
#include "cp932.h"

#include <cerrno>
#include <iconv.h>

namespace {

// One conversion descriptor per direction, opened on first use.
class Converter {
public:
    Converter(const char *to, const char *from) : cd_(iconv_open(to, from)) {}
    ~Converter()
    {
        if (cd_ != reinterpret_cast<iconv_t>(-1))
            iconv_close(cd_);
    }
    Converter(const Converter &) = delete;
    Converter &operator=(const Converter &) = delete;

    iconv_t get() const { return cd_; }
    bool valid() const { return cd_ != reinterpret_cast<iconv_t>(-1); }
    void reset() const { iconv(cd_, nullptr, nullptr, nullptr, nullptr); }

private:
    iconv_t cd_;
};

// The bytes of one conversion: what is left to read, and the room left to
// write into a buffer of a given size.
struct Buffers {
    Buffers(const QByteArray &bytes, qsizetype room)
        : in(bytes), out(room, Qt::Uninitialized), src(in.data()), srcLeft(size_t(in.size())),
          dst(out.data()), dstLeft(size_t(out.size()))
    {
    }
    // What was written.
    QByteArray written()
    {
        out.truncate(dst - out.data());
        return out;
    }
    QByteArray in, out;
    char *src;
    size_t srcLeft;
    char *dst;
    size_t dstLeft;
};

const Converter &encoder()
{
    static const Converter c("CP932", "UTF-8");
    return c;
}

const Converter &decoder()
{
    static const Converter c("UTF-8", "CP932");
    return c;
}

}  // namespace

namespace cp932 {

std::optional<QByteArray> encode(const QString &text)
{
    const Converter &c = encoder();
    if (!c.valid())
        return std::nullopt;
    if (text.isEmpty())
        return QByteArray();
    const QByteArray utf8 = text.toUtf8();
    // An unpaired surrogate turns into U+FFFD on the way to UTF-8; refuse it
    // rather than write a character the user never typed.
    if (QString::fromUtf8(utf8) != text)
        return std::nullopt;
    Buffers b(utf8, utf8.size() * 2 + 16);
    c.reset();
    if (iconv(c.get(), &b.src, &b.srcLeft, &b.dst, &b.dstLeft) == size_t(-1))
        return std::nullopt;
    if (iconv(c.get(), nullptr, nullptr, &b.dst, &b.dstLeft) == size_t(-1))
        return std::nullopt;
    const QByteArray out = b.written();
    // glibc maps a few characters onto look-alikes (U+00A5 onto "\", U+301C
    // onto U+FF5E, ...); such a character would come back as another one.
    if (decode(out) != text)
        return std::nullopt;
    return out;
}

QString decode(const QByteArray &bytes)
{
    const Converter &c = decoder();
    if (!c.valid() || bytes.isEmpty())
        return QString::fromLatin1(bytes.isEmpty() ? QByteArray() : bytes);
    Buffers b(bytes, bytes.size() * 3 + 16);
    c.reset();
    while (b.srcLeft > 0) {
        if (iconv(c.get(), &b.src, &b.srcLeft, &b.dst, &b.dstLeft) != size_t(-1))
            break;
        if (errno == E2BIG)
            break;  // cannot happen: three output bytes per input byte suffice
        // EILSEQ or EINVAL (a cut-off lead byte): mark it and skip one byte.
        static const char replacement[] = "\xEF\xBF\xBD";
        if (b.dstLeft < 3)
            break;
        for (char ch : {replacement[0], replacement[1], replacement[2]})
            *b.dst++ = ch;
        b.dstLeft -= 3;
        ++b.src;
        --b.srcLeft;
        c.reset();
    }
    return QString::fromUtf8(b.written());
}

bool canEncode(char32_t codePoint)
{
    // Not QString::fromUcs4: it takes a leading U+FEFF for a byte-order mark
    // and drops it, and the empty rest would encode.
    return encode(QStringView(QChar::fromUcs4(codePoint)).toString()).has_value();
}

}  // namespace cp932
