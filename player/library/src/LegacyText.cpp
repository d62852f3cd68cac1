#include "ombrix/library/LegacyText.h"

#include <iconv.h>
#include <uchardet/uchardet.h>

#include <QStringDecoder>
#include <cerrno>
#include <memory>

namespace ombrix {
namespace {

struct PageInfo {
    LegacyText::CodePage page;
    const char* setting;
    const char* iconvName;  // glibc's converters; CP949 is EUC-KR with the Windows additions
};
constexpr PageInfo kPages[] = {
    {LegacyText::CodePage::Windows1252, "windows-1252", "CP1252"},
    {LegacyText::CodePage::ShiftJis, "shift-jis", "CP932"},
    {LegacyText::CodePage::Windows1251, "windows-1251", "CP1251"},
    {LegacyText::CodePage::Gbk, "gbk", "GBK"},
    {LegacyText::CodePage::EucKr, "euc-kr", "CP949"},
};

const PageInfo* info(LegacyText::CodePage page) {
    for (const PageInfo& p : kPages)
        if (p.page == page) return &p;
    return nullptr;
}

struct IconvCloser {
    void operator()(void* cd) const noexcept { iconv_close(static_cast<iconv_t>(cd)); }
};
using Converter = std::unique_ptr<void, IconvCloser>;

Converter open(const char* to, const char* from) {
    iconv_t cd = iconv_open(to, from);
    return Converter(cd == reinterpret_cast<iconv_t>(-1) ? nullptr : cd);
}

// Converts @p in; with @p replace, undefined input bytes become U+FFFD and conversion goes on,
// without it the first one ends it with nullopt.
std::optional<QByteArray> convert(void* cd, const QByteArray& in, bool replace) {
    QByteArray out;
    QByteArray chunk(4 * in.size() + 16, '\0');
    char* src = const_cast<char*>(in.constData());
    size_t left = size_t(in.size());
    while (left > 0) {
        char* dst = chunk.data();
        size_t room = size_t(chunk.size());
        const size_t r = iconv(static_cast<iconv_t>(cd), &src, &left, &dst, &room);
        out.append(chunk.constData(), chunk.size() - qsizetype(room));
        if (r != size_t(-1)) break;
        if (errno == E2BIG) continue;
        if (!replace) return std::nullopt;
        out.append("\xEF\xBF\xBD");  // EILSEQ or a sequence cut off at the end
        ++src;
        --left;
        iconv(static_cast<iconv_t>(cd), nullptr, nullptr, nullptr, nullptr);
    }
    return out;
}

bool validIn(const QByteArray& bytes, LegacyText::CodePage page) {
    const PageInfo* p = info(page);
    if (!p) return false;
    Converter cd = open("UTF-8", p->iconvName);
    return cd && convert(cd.get(), bytes, false).has_value();
}

std::optional<LegacyText::CodePage> fromUchardet(const char* charset) {
    using P = LegacyText::CodePage;
    const QByteArray c = QByteArray(charset).toUpper();
    if (c == "WINDOWS-1252" || c == "ISO-8859-1" || c == "ISO-8859-15") return P::Windows1252;
    if (c == "SHIFT_JIS" || c == "CP932") return P::ShiftJis;
    if (c == "WINDOWS-1251") return P::Windows1251;
    if (c == "GB18030" || c == "GBK" || c == "GB2312") return P::Gbk;
    if (c == "EUC-KR" || c == "UHC" || c == "CP949") return P::EucKr;
    return std::nullopt;
}

}  // namespace

LegacyText::Choice LegacyText::Choice::fromSettings(const QString& tagcodepage, int language) {
    Choice c;
    c.forced = parse(tagcodepage).value_or(CodePage::Auto);
    c.preferJapanese = language == 1;
    return c;
}

QString LegacyText::name(CodePage page) {
    const PageInfo* p = info(page);
    return p ? QString::fromLatin1(p->setting) : QStringLiteral("auto");
}

std::optional<LegacyText::CodePage> LegacyText::parse(const QString& name) {
    const QString n = name.trimmed().toLower();
    if (n.isEmpty() || n == QLatin1String("auto")) return CodePage::Auto;
    for (const PageInfo& p : kPages)
        if (n == QLatin1String(p.setting)) return p.page;
    return std::nullopt;
}

bool LegacyText::isUtf8(const QByteArray& bytes) {
    QStringDecoder d(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString decoded = d.decode(bytes);  // decoding happens in this conversion
    (void)decoded;
    return !d.hasError();
}

bool LegacyText::isAscii(const QByteArray& bytes) {
    for (char c : bytes)
        if (static_cast<unsigned char>(c) >= 0x80) return false;
    return true;
}

LegacyText::CodePage LegacyText::detect(const QByteArray& sample, bool preferJapanese) {
    if (preferJapanese && validIn(sample, CodePage::ShiftJis)) return CodePage::ShiftJis;
    if (uchardet_t u = uchardet_new()) {
        std::optional<CodePage> found;
        if (uchardet_handle_data(u, sample.constData(), size_t(sample.size())) == 0) {
            uchardet_data_end(u);
            found = fromUchardet(uchardet_get_charset(u));
        }
        uchardet_delete(u);
        // uchardet guesses from few bytes; a guess the bytes cannot even be is dropped.
        if (found && validIn(sample, *found)) return *found;
    }
    return CodePage::Windows1252;
}

QString LegacyText::decode(const QByteArray& bytes, CodePage page) {
    if (const PageInfo* p = info(page)) {
        if (Converter cd = open("UTF-8", p->iconvName))
            if (auto utf8 = convert(cd.get(), bytes, true)) return QString::fromUtf8(*utf8);
    }
    return isUtf8(bytes) ? QString::fromUtf8(bytes) : QString::fromLatin1(bytes);
}

std::optional<QByteArray> LegacyText::encode(const QString& text, CodePage page) {
    const PageInfo* p = info(page);
    if (!p) return std::nullopt;
    Converter cd = open(p->iconvName, "UTF-8");
    if (!cd) return std::nullopt;
    return convert(cd.get(), text.toUtf8(), false);
}

std::optional<QByteArray> LegacyText::encodeCut(const QString& text, CodePage page, qsizetype max) {
    const auto whole = encode(text, page);
    if (!whole) return std::nullopt;
    if (whole->size() <= max) return whole;
    // Character by character, so a double-byte character is never cut in half.
    QByteArray out;
    for (qsizetype i = 0; i < text.size();) {
        const qsizetype n = text[i].isHighSurrogate() && i + 1 < text.size() ? 2 : 1;
        const auto one = encode(text.mid(i, n), page);
        if (!one || out.size() + one->size() > max) break;
        out += *one;
        i += n;
    }
    return out;
}

}  // namespace ombrix
