#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

namespace ombrix {

/**
 * @brief Text of old tags (ID3v1, RIFF INFO) that is not UTF-8: the code page it was written in,
 *        decoding and encoding. Only the code pages such tags were commonly written in are
 *        considered: Windows-1252, Shift-JIS, Windows-1251, GBK and EUC-KR.
 *
 * Decoding never fails: a byte sequence the code page does not define becomes U+FFFD.
 * Thread affinity: pure functions, any thread. Nothing throws.
 */
class LegacyText {
public:
    enum class CodePage { Auto, Windows1252, ShiftJis, Windows1251, Gbk, EucKr };

    /// How a file's legacy text is to be read: a code page forced by the setting "tagcodepage",
    /// or detection (Auto), preferring Shift-JIS when the interface language is Japanese.
    struct Choice {
        CodePage forced = CodePage::Auto;
        bool preferJapanese = false;
        /// From the settings "tagcodepage" (a name of name()) and "language" (1: Japanese).
        static Choice fromSettings(const QString& tagcodepage, int language);
    };

    /// The setting's name of @p page: "auto", "windows-1252", "shift-jis", "windows-1251",
    /// "gbk", "euc-kr".
    static QString name(CodePage page);
    /// The code page a setting names (case-insensitive; "" is Auto); nullopt for other texts.
    static std::optional<CodePage> parse(const QString& name);

    /// True when @p bytes are valid UTF-8 (plain ASCII included).
    static bool isUtf8(const QByteArray& bytes);
    /// True when @p bytes contain nothing but ASCII.
    static bool isAscii(const QByteArray& bytes);

    /**
     * @brief The code page of @p sample (all text of one tag): Shift-JIS first when
     *        @p preferJapanese and the sample is valid Shift-JIS, else what uchardet finds among
     *        the five, else Windows-1252. Never Auto.
     */
    static CodePage detect(const QByteArray& sample, bool preferJapanese);

    /// @p bytes in @p page (Auto: UTF-8, or Latin-1 when not valid UTF-8).
    static QString decode(const QByteArray& bytes, CodePage page);
    /// @p text in @p page; nullopt when a character does not fit it (or @p page is Auto).
    static std::optional<QByteArray> encode(const QString& text, CodePage page);
    /// @p text in @p page cut to at most @p max bytes without splitting a character; nullopt
    /// when a character does not fit the code page.
    static std::optional<QByteArray> encodeCut(const QString& text, CodePage page, qsizetype max);
};

}  // namespace ombrix
