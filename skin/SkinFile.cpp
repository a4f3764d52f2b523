#include "skin/SkinFile.h"

#include <QList>
#include <QStringDecoder>
#include <QStringView>

#include <optional>

namespace {

constexpr QStringView HeaderWord = u"kelvo-skin";

SkinParseResult failure(SkinError error, int line = 0)
{
    SkinParseResult result;
    result.error = error;
    result.line = line;
    return result;
}

bool isForbiddenControl(char16_t c)
{
    return (c < 0x20 && c != u'\t' && c != u'\n' && c != u'\r') || c == 0x7f;
}

// Strict UTF-8 and no control characters: anything else is a binary file or the wrong file altogether.
std::optional<QString> decodeText(QByteArray bytes)
{
    if (bytes.contains('\0'))
        return std::nullopt;
    if (bytes.startsWith("\xEF\xBB\xBF"))
        bytes.remove(0, 3);
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = decoder.decode(bytes);
    if (decoder.hasError())
        return std::nullopt;
    for (QChar c : std::as_const(text)) {
        if (isForbiddenControl(c.unicode()))
            return std::nullopt;
    }
    return text;
}

bool isBlank(QChar c)
{
    return c == u' ' || c == u'\t';
}

QStringView trimmed(QStringView s)
{
    while (!s.isEmpty() && (isBlank(s.front()) || s.front() == u'\r'))
        s = s.sliced(1);
    while (!s.isEmpty() && (isBlank(s.back()) || s.back() == u'\r'))
        s.chop(1);
    return s;
}

bool isMeaningful(QStringView line)
{
    return !line.isEmpty() && !line.startsWith(u'#');
}

int hexValue(QChar c)
{
    const char16_t u = c.unicode();
    if (u >= u'0' && u <= u'9')
        return u - u'0';
    if (u >= u'a' && u <= u'f')
        return u - u'a' + 10;
    if (u >= u'A' && u <= u'F')
        return u - u'A' + 10;
    return -1;
}

// Only #rrggbb: short forms and colour names are refused so every file reads the same everywhere.
std::optional<QColor> parseColour(QStringView value)
{
    if (value.size() != 7 || value.front() != u'#')
        return std::nullopt;
    QRgb rgb = 0;
    for (QChar c : value.sliced(1)) {
        const int digit = hexValue(c);
        if (digit < 0)
            return std::nullopt;
        rgb = (rgb << 4) | QRgb(digit);
    }
    return QColor::fromRgb(rgb);
}

const SkinKey *findKey(QStringView name)
{
    for (const SkinKey &key : skinKeys()) {
        if (name == QLatin1StringView(key.name))
            return &key;
    }
    return nullptr;
}

// Splits "value   # comment" into its value; nullopt when something other than a comment follows the value.
std::optional<QStringView> valueWithoutComment(QStringView rest)
{
    qsizetype end = 0;
    while (end < rest.size() && !isBlank(rest[end]))
        ++end;
    const QStringView tail = trimmed(rest.sliced(end));
    if (!tail.isEmpty() && !tail.startsWith(u'#'))
        return std::nullopt;
    return rest.first(end);
}

// "kelvo-skin <version>", optionally followed by a comment.
SkinError checkHeader(QStringView line)
{
    qsizetype gap = 0;
    while (gap < line.size() && !isBlank(line[gap]))
        ++gap;
    const QStringView rest = trimmed(line.sliced(gap));
    if (line.first(gap) != HeaderWord || rest.isEmpty() || rest.startsWith(u'#'))
        return SkinError::MissingHeader;
    const std::optional<QStringView> version = valueWithoutComment(rest);
    bool ok = false;
    const uint number = version ? version->toUInt(&ok) : 0;
    return ok && number == SkinFormatVersion ? SkinError::Ok : SkinError::UnknownVersion;
}

class SkinParser
{
public:
    SkinParseResult parse(const QString &text)
    {
        const QList<QStringView> lines = QStringView(text).split(u'\n');
        bool headerSeen = false;
        for (qsizetype i = 0; i < lines.size(); ++i) {
            const QStringView line = trimmed(lines[i]);
            if (!isMeaningful(line))
                continue;
            const int lineNumber = int(i + 1);
            const SkinError error = headerSeen ? readEntry(line) : checkHeader(line);
            if (error != SkinError::Ok)
                return failure(error, lineNumber);
            headerSeen = true;
        }
        if (!headerSeen)
            return failure(SkinError::FileEmpty);
        if (size_t(m_seen.size()) != skinKeys().size())
            return failure(SkinError::MissingKey);
        SkinParseResult result;
        result.skin = m_skin;
        return result;
    }

private:
    SkinError readEntry(QStringView line)
    {
        const qsizetype equals = line.indexOf(u'=');
        if (equals < 0)
            return SkinError::MalformedLine;
        const QStringView name = trimmed(line.first(equals));
        if (name.isEmpty() || name.contains(u' ') || name.contains(u'\t'))
            return SkinError::MalformedLine;
        const SkinKey *key = findKey(name);
        if (!key)
            return SkinError::UnknownKey;
        if (m_seen.contains(key))
            return SkinError::DuplicateKey;
        const std::optional<QStringView> value = valueWithoutComment(trimmed(line.sliced(equals + 1)));
        if (!value)
            return SkinError::MalformedLine;
        const std::optional<QColor> colour = parseColour(*value);
        if (!colour)
            return SkinError::BadColour;
        m_skin.*(key->colour) = *colour;
        m_seen.append(key);
        return SkinError::Ok;
    }

    Skin m_skin;
    QList<const SkinKey *> m_seen;
};

} // namespace

SkinParseResult parseSkin(const QByteArray &bytes)
{
    if (bytes.size() > MaxSkinFileSize)
        return failure(SkinError::FileTooLarge);
    if (bytes.isEmpty())
        return failure(SkinError::FileEmpty);
    const std::optional<QString> text = decodeText(bytes);
    if (!text)
        return failure(SkinError::NotText);
    return SkinParser().parse(*text);
}
