#include "Options.h"

#include <QStringList>

#include <limits>
#include <optional>

namespace {

constexpr int MaxJobs = 1024;
constexpr int MaxQuality = 100;

// A size as sort -S takes it: a number of bytes, or of kibibytes, mebibytes or gibibytes with one K, M or G.
qint64 sizeOf(const QByteArray &text)
{
    static constexpr struct
    {
        char suffix;
        qint64 factor;
    } Units[] = {{'K', qint64(1) << 10}, {'M', qint64(1) << 20}, {'G', qint64(1) << 30}};
    QByteArray digits = text.toUpper();
    qint64 factor = 1;
    for (const auto &unit : Units) {
        if (digits.endsWith(unit.suffix)) {
            digits.chop(1);
            factor = unit.factor;
            break;
        }
    }
    bool ok = false;
    const qint64 count = digits.toLongLong(&ok);
    return ok && count > 0 && count <= std::numeric_limits<qint64>::max() / factor ? count * factor : 0;
}

// An integer from `low` to `high`; none for anything else.
std::optional<int> integerIn(const QByteArray &text, int low, int high)
{
    bool ok = false;
    const int value = text.toInt(&ok);
    return ok && value >= low && value <= high ? std::optional(value) : std::nullopt;
}

// Each value's reader sets its field and gives the usage error for a value it refuses, or an empty text.

QString takeJobs(Options &options, const QByteArray &value)
{
    options.jobs = integerIn(value, 1, MaxJobs).value_or(0);
    return options.jobs > 0
               ? QString()
               : QStringLiteral("无效的并行数“%1”:应为 1 到 %2 之间的整数").arg(QString::fromUtf8(value)).arg(MaxJobs);
}

QString takeQuality(Options &options, const QByteArray &value)
{
    options.quality = integerIn(value, 1, MaxQuality).value_or(0);
    return options.quality > 0
               ? QString()
               : QStringLiteral("无效的质量“%1”:应为 1 到 %2 之间的整数").arg(QString::fromUtf8(value)).arg(MaxQuality);
}

QString takeMemory(Options &options, const QByteArray &value)
{
    options.memory = sizeOf(value);
    return options.memory > 0
               ? QString()
               : QStringLiteral("无效的内存大小“%1”:应为正整数,可带 K、M 或 G").arg(QString::fromUtf8(value));
}

QString takeSlice(Options &options, const QByteArray &value)
{
    const QList<QByteArray> parts = value.split('/');
    bool indexOk = false;
    bool countOk = false;
    options.slice = {parts.value(0).toInt(&indexOk), parts.value(1).toInt(&countOk)};
    if (parts.size() == 2 && indexOk && countOk && options.slice.count >= 1 && options.slice.index >= 0
        && options.slice.index < options.slice.count)
        return {};
    return QStringLiteral("无效的份额“%1”:应为 K/N,0 ≤ K < N").arg(QString::fromUtf8(value));
}

QString takeOutput(Options &options, const QByteArray &value)
{
    options.outputFolder = value;
    return value.isEmpty() ? QStringLiteral("输出文件夹不能为空") : QString();
}

QString takeFilesFrom(Options &options, const QByteArray &value)
{
    options.filesFrom = value;
    return value.isEmpty() ? QStringLiteral("列表文件名不能为空") : QString();
}

// The output formats' names, as a sentence offers a choice: "bmp、jpg 或 png".
QString formatChoices()
{
    QStringList names;
    for (const PictureFormatNames &format : PictureFormatTable)
        names << QString::fromLatin1(format.name);
    const QString last = names.takeLast();
    return names.join(QStringLiteral("、")) + QStringLiteral(" 或 ") + last;
}

QString takeFormat(Options &options, const QByteArray &value)
{
    const std::optional<PictureFormat> format = pictureFormatCalled(value);
    options.format = format.value_or(PictureFormat::Bitmap);
    return format ? QString()
                  : QStringLiteral("无效的输出格式“%1”:应为 %2").arg(QString::fromUtf8(value), formatChoices());
}

// One option: its names, its argument, its help and what it sets. The parser and --help both read this table;
// the manual page and the completions are held to --help by a test.
struct OptionSpec
{
    char letter;          // the short name; 0 for none
    const char *name;     // the long name
    const char *argument; // the argument's name in the help; nullptr for a flag
    const char *help;     // UTF-8; a line break continues it on the next line, under the first
    bool Options::*flag;  // what a flag sets
    QString (*take)(Options &, const QByteArray &); // what reads an option's value
};

constexpr OptionSpec OptionTable[] = {
    {'r', "recursive", nullptr, "同时处理子文件夹中的图片", &Options::recursive, nullptr},
    {0, "files-from", "文件", "从文件读取要处理的图片和文件夹,每行一个;“-”表示标准输入", nullptr, takeFilesFrom},
    {'0', "null", nullptr, "--files-from 的列表以 NUL 字符分隔(配合 find -print0)", &Options::nulSeparated, nullptr},
    {'o', "output", "文件夹",
     "结果写入此文件夹(不存在时创建),保持文件夹输入的相对结构,\n"
     "列表中的路径整个保持(去掉开头的“/”,含“..”的拒绝);\n"
     "不指定时,结果写在原图旁边,名为“原名-黑白.扩展名”",
     nullptr, takeOutput},
    {'R', "relative", nullptr, "命令行上给出的路径也像列表中的一样整个保持", &Options::relative, nullptr},
    {'f', "format", "格式",
     "输出格式:bmp(默认,24 位位图)、jpg(也作 jpeg)或 png(灰度,\n"
     "16 位的原图得到 16 位,透明的图片带透明通道);不区分大小写",
     nullptr, takeFormat},
    {0, "quality", "N",
     "JPEG 结果的质量,1 到 100(默认:JPEG 原图保持它自己的质量,\n"
     "其他原图为 90)",
     nullptr, takeQuality},
    {0, "keep-luma", nullptr,
     "JPEG 原图输出 JPEG 时,直接保留原图编码的亮度、丢掉颜色,\n"
     "不解码也不重新编码:没有第二次损失,更小更快",
     &Options::keepLuma, nullptr},
    {0, "strip", nullptr, "不保留原图的元数据(EXIF、XMP、IPTC)", &Options::strip, nullptr},
    {'j', "jobs", "N", "同时处理 N 个文件(默认:可用的处理器数)", nullptr, takeJobs},
    {0, "slice", "K/N", "只处理输入分成 N 份后的第 K 份(K 从 0 起),供多台机器分担", nullptr, takeSlice},
    {0, "memory", "大小", "正在处理的图片最多共用这么多内存(如 512M、2G;默认按可用内存)", nullptr, takeMemory},
    {0, "overwrite", nullptr, "替换已存在的输出文件(默认跳过)", &Options::overwrite, nullptr},
    {'q', "quiet", nullptr, "只报告失败", &Options::quiet, nullptr},
    {'v', "verbose", nullptr, "逐个列出跳过的文件及原因,和读不出的元数据", &Options::verbose, nullptr},
    {'h', "help", nullptr, "显示此帮助并退出", &Options::help, nullptr},
    {0, "version", nullptr, "显示版本信息并退出", &Options::version, nullptr},
};

const OptionSpec *optionLettered(char letter)
{
    for (const OptionSpec &option : OptionTable)
        if (option.letter != 0 && option.letter == letter)
            return &option;
    return nullptr;
}

const OptionSpec *optionNamed(const QByteArray &name)
{
    for (const OptionSpec &option : OptionTable)
        if (name == option.name)
            return &option;
    return nullptr;
}

// Walks the arguments the way GNU tools read them: short options may be bundled (-rq) and take their value
// joined or in the next argument (-j4, -j 4); long ones take it after "=" or in the next argument; "--" ends
// the options.
class OptionReader
{
public:
    explicit OptionReader(const QList<QByteArray> &arguments)
        : m_arguments(arguments)
    {
    }

    ParsedOptions read()
    {
        while (m_next < m_arguments.size() && m_result.error.isEmpty()) {
            const QByteArray argument = m_arguments[m_next++];
            if (m_optionsEnded || argument == "-" || !argument.startsWith('-'))
                m_result.options.inputs << argument;
            else if (argument == "--")
                m_optionsEnded = true;
            else if (argument.startsWith("--"))
                readLong(argument.mid(2));
            else
                readShortBundle(argument.mid(1));
        }
        const Options &options = m_result.options;
        if (m_result.error.isEmpty() && !options.help && !options.version && options.inputs.isEmpty()
            && options.filesFrom.isEmpty())
            m_result.error = QStringLiteral("缺少要处理的图片或文件夹");
        return m_result;
    }

private:
    void readLong(const QByteArray &text)
    {
        const qsizetype equals = text.indexOf('=');
        const QByteArray name = equals < 0 ? text : text.left(equals);
        const OptionSpec *option = optionNamed(name);
        const QString shown = QStringLiteral("--") + QString::fromUtf8(name);
        if (!option)
            m_result.error = QStringLiteral("无法识别的选项“%1”").arg(shown);
        else if (option->flag && equals >= 0)
            m_result.error = QStringLiteral("选项“%1”不接受参数").arg(shown);
        else if (option->flag)
            m_result.options.*option->flag = true;
        else
            takeValue(*option, equals >= 0 ? text.mid(equals + 1) : nextValue(shown));
    }

    void readShortBundle(const QByteArray &letters)
    {
        for (qsizetype i = 0; i < letters.size() && m_result.error.isEmpty(); ++i) {
            const OptionSpec *option = optionLettered(letters[i]);
            if (!option) {
                m_result.error = QStringLiteral("无效的选项 -- %1").arg(QString::fromUtf8(letters.mid(i, 1)));
            } else if (option->flag) {
                m_result.options.*option->flag = true;
            } else {
                const QByteArray rest = letters.mid(i + 1);
                takeValue(*option, rest.isEmpty() ? nextValue(QStringLiteral("-") + QLatin1Char(letters[i])) : rest);
                return;
            }
        }
    }

    QByteArray nextValue(const QString &option)
    {
        if (m_next >= m_arguments.size()) {
            m_result.error = QStringLiteral("选项“%1”需要一个参数").arg(option);
            return {};
        }
        return m_arguments[m_next++];
    }

    void takeValue(const OptionSpec &option, const QByteArray &value)
    {
        if (m_result.error.isEmpty())
            m_result.error = option.take(m_result.options, value);
    }

    const QList<QByteArray> &m_arguments;
    qsizetype m_next = 0;
    bool m_optionsEnded = false;
    ParsedOptions m_result;
};

// The columns a text takes on a terminal: Chinese characters take two.
qsizetype columnsOf(const QString &text)
{
    qsizetype columns = 0;
    for (const QChar character : text)
        columns += character.unicode() >= 0x1100 ? 2 : 1;
    return columns;
}

// "  -o, --output=文件夹     " and the help beside it, its further lines under its first.
QString helpOf(const OptionSpec &option)
{
    constexpr qsizetype HelpColumn = 26;
    QString names =
        option.letter != 0 ? QStringLiteral("  -%1, ").arg(QLatin1Char(option.letter)) : QStringLiteral("      ");
    names += QStringLiteral("--") + QLatin1String(option.name);
    if (option.argument)
        names += QLatin1Char('=') + QString::fromUtf8(option.argument);
    names += QString(qMax<qsizetype>(1, HelpColumn - columnsOf(names)), QLatin1Char(' '));
    const QString indent(HelpColumn, QLatin1Char(' '));
    return names + QString::fromUtf8(option.help).replace(QLatin1Char('\n'), QLatin1Char('\n') + indent)
           + QLatin1Char('\n');
}

} // namespace

ParsedOptions parseOptions(const QList<QByteArray> &arguments)
{
    return OptionReader(arguments).read();
}

QString usageText()
{
    QString text =
        QStringLiteral("用法:kelvo-gray [选项] 图片或文件夹...\n"
                       "把 JPEG、BMP、PNG、TIFF、WebP、GIF、HEIC/HEIF 和 AVIF 图片去色变为黑白;\n"
                       "JPEG 和 BMP 图片的 BMP 结果与 Kelvo.图片去色黑白工具 保存的文件逐字节相同。\n"
                       "图片按内容(开头的字节)识别,不看扩展名;文件夹中的其他文件跳过并计数,-v 逐个列出原因。\n"
                       "\n");
    for (const OptionSpec &option : OptionTable)
        text += helpOf(option);
    return text
           + QStringLiteral("\n"
                            "旁边有同名(扩展名不同)的图片,或两个输入的结果会重名时,命名为“原名-黑白-散列.扩展名”,\n"
                            "散列由文件名算出,文件名也相同时由路径算出。\n"
                            "名字按结果所在的文件系统比较:在不分大小写的 FAT U 盘上,A.jpg 和 a.jpg 的结果也这样区分。\n"
                            "JPEG 和 PNG 结果保留原图的 EXIF、XMP 和 IPTC(方向改为 1,不带缩略图)。\n"
                            "退出状态:0 全部成功,1 有文件失败(其余文件照常写出),2 用法错误或无法读取列表。\n"
                            "\n"
                            "示例:\n"
                            "  kelvo-gray -r -o 黑白 相册/\n"
                            "  find . -name '*.jpg' -print0 | kelvo-gray -0 --files-from - -f png\n");
}
