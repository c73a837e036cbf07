#include "scores/cp932.h"

#include <iconv.h>

#include <cerrno>
#include <cstring>

namespace cp932 {
namespace {

// iconv_open() reports failure as (iconv_t) -1.
const iconv_t kNoHandle = reinterpret_cast<iconv_t>(-1);  // NOLINT(performance-no-int-to-ptr)
constexpr char kUnmappable = '?';
constexpr char kReplacementUtf8[] = "\xEF\xBF\xBD";  // U+FFFD
constexpr size_t kReplacementBytes = sizeof kReplacementUtf8 - 1;
// A code page 932 byte never turns into more UTF-8 bytes than this, a replacement included.
constexpr qsizetype kMaxUtf8PerByte = 3;

// The converters of one thread, opened on first use and closed when the thread ends.
struct Converters {
    iconv_t decoder = iconv_open("UTF-8", "CP932");
    iconv_t encoder = iconv_open("CP932", "UTF-8");
    Converters() = default;
    Converters(const Converters&) = delete;
    Converters& operator=(const Converters&) = delete;
    ~Converters() {
        if (decoder != kNoHandle) iconv_close(decoder);
        if (encoder != kNoHandle) iconv_close(encoder);
    }
};

Converters& converters() {
    thread_local Converters perThread;
    return perThread;
}

// Bytes of a faulty sequence at `bytes`: a lead byte with a fitting trail byte makes one
// unknown character of two bytes, anything else is one bad byte.
size_t faultyLength(const char* bytes, size_t available) {
    const bool pair = available >= 2 && isLeadByte(uchar(bytes[0])) && isTrailByte(uchar(bytes[1]));
    return pair ? 2 : 1;
}

// Stand-in when the system lacks the code page: plain ASCII survives, everything else is lost.
QString decodeAsciiOnly(QByteArrayView bytes) {
    QString text;
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const auto byte = uchar(bytes[i]);
        if (byte < 0x80) {
            text += QChar(byte);
        } else {
            text += QChar::ReplacementCharacter;
            i += qsizetype(faultyLength(bytes.data() + i, size_t(bytes.size() - i))) - 1;
        }
    }
    return text;
}

// The forms that input methods on Linux type for six characters of the code page, which decodes
// their codes to other forms (81 60 to U+FF5E, ...): the codes Windows gives them.
struct InputMethodForm {
    char16_t character;
    char code[3];
};
constexpr InputMethodForm kInputMethodForms[] = {
    {u'\u301C', "\x81\x60"},  // WAVE DASH
    {u'\u2016', "\x81\x61"},  // DOUBLE VERTICAL LINE
    {u'\u2212', "\x81\x7C"},  // MINUS SIGN
    {u'\u00A2', "\x81\x91"},  // CENT SIGN
    {u'\u00A3', "\x81\x92"},  // POUND SIGN
    {u'\u00AC', "\x81\xCA"},  // NOT SIGN
};

// The code page 932 bytes of one character of the Basic Multilingual Plane, or "?" when it has
// none that decode back to the same character and is no input-method form.
QByteArray encodeCharacter(QChar character) {
    if (character.isNull()) return QByteArray(1, '\0');
    for (const InputMethodForm& form : kInputMethodForms) {
        if (character == form.character) return QByteArray(form.code, 2);
    }
    const iconv_t cd = converters().encoder;
    if (cd == kNoHandle) {
        return QByteArray(1, character.unicode() < 0x80 ? char(character.unicode()) : kUnmappable);
    }
    const QString original(character);
    QByteArray utf8 = original.toUtf8();
    char encoded[8];
    char* in = utf8.data();
    size_t inLeft = size_t(utf8.size());
    char* out = encoded;
    size_t outLeft = sizeof encoded;
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    if (iconv(cd, &in, &inLeft, &out, &outLeft) == size_t(-1) || inLeft != 0) {
        return QByteArray(1, kUnmappable);
    }
    QByteArray result(encoded, out - encoded);
    return decode(result) == original ? result : QByteArray(1, kUnmappable);
}

}  // namespace

QString decode(QByteArrayView bytes) {
    const iconv_t cd = converters().decoder;
    if (cd == kNoHandle) return decodeAsciiOnly(bytes);

    QByteArray utf8(kMaxUtf8PerByte * bytes.size() + qsizetype(kReplacementBytes),
                    Qt::Uninitialized);
    char* in = const_cast<char*>(bytes.data());
    size_t inLeft = size_t(bytes.size());
    char* out = utf8.data();
    size_t outLeft = size_t(utf8.size());
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    while (inLeft > 0) {
        if (iconv(cd, &in, &inLeft, &out, &outLeft) != size_t(-1)) break;
        if (errno == E2BIG || outLeft < kReplacementBytes) {
            // Not expected with the room reserved above; grow and go on all the same.
            const qsizetype written = out - utf8.data();
            utf8.resize(utf8.size() * 2);
            out = utf8.data() + written;
            outLeft = size_t(utf8.size() - written);
            continue;
        }
        // EILSEQ (invalid) or EINVAL (cut off at the end): one replacement, then on.
        const size_t skip = faultyLength(in, inLeft);
        std::memcpy(out, kReplacementUtf8, kReplacementBytes);
        out += kReplacementBytes;
        outLeft -= kReplacementBytes;
        in += skip;
        inLeft -= skip;
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
    }
    utf8.truncate(out - utf8.data());
    return QString::fromUtf8(utf8);
}

bool storable(QChar character) {
    if (character.unicode() < 0x80) return true;
    return !character.isSurrogate() && encodeCharacter(character) != QByteArray(1, kUnmappable);
}

QByteArray encode(QStringView text) {
    QByteArray bytes;
    bytes.reserve(2 * text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar character = text[i];
        if (character.isSurrogate()) {
            // A character beyond the Basic Multilingual Plane, or half of one: no code exists.
            const bool pair =
                character.isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate();
            if (pair) ++i;
            bytes += kUnmappable;
            continue;
        }
        bytes += encodeCharacter(character);
    }
    return bytes;
}

}  // namespace cp932
