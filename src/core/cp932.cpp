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
    QByteArray in = text.toUtf8();
    // An unpaired surrogate turns into U+FFFD on the way to UTF-8; refuse it
    // rather than write a character the user never typed.
    if (QString::fromUtf8(in) != text)
        return std::nullopt;
    QByteArray out(in.size() * 2 + 16, Qt::Uninitialized);
    char *src = in.data();
    size_t srcLeft = size_t(in.size());
    char *dst = out.data();
    size_t dstLeft = size_t(out.size());
    c.reset();
    if (iconv(c.get(), &src, &srcLeft, &dst, &dstLeft) == size_t(-1))
        return std::nullopt;
    if (iconv(c.get(), nullptr, nullptr, &dst, &dstLeft) == size_t(-1))
        return std::nullopt;
    out.truncate(int(dst - out.data()));
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
    QByteArray in = bytes;
    QByteArray out(in.size() * 3 + 16, Qt::Uninitialized);
    char *src = in.data();
    size_t srcLeft = size_t(in.size());
    char *dst = out.data();
    size_t dstLeft = size_t(out.size());
    c.reset();
    while (srcLeft > 0) {
        if (iconv(c.get(), &src, &srcLeft, &dst, &dstLeft) != size_t(-1))
            break;
        if (errno == E2BIG)
            break;  // cannot happen: three output bytes per input byte suffice
        // EILSEQ or EINVAL (a cut-off lead byte): mark it and skip one byte.
        static const char replacement[] = "\xEF\xBF\xBD";
        if (dstLeft < 3)
            break;
        for (char ch : {replacement[0], replacement[1], replacement[2]})
            *dst++ = ch;
        dstLeft -= 3;
        ++src;
        --srcLeft;
        c.reset();
    }
    out.truncate(int(dst - out.data()));
    return QString::fromUtf8(out);
}

bool canEncode(char32_t codePoint)
{
    // Not QString::fromUcs4: it takes a leading U+FEFF for a byte-order mark
    // and drops it, and the empty rest would encode.
    return encode(QStringView(QChar::fromUcs4(codePoint)).toString()).has_value();
}

}  // namespace cp932
