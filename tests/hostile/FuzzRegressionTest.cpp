#include "ChildProcess.h"
#include "FormatCorpus.h"

#include "controls/PictureFiles.h"
#include "errors/RuntimeError.h"
#include "pixels/files/PictureReader.h"
#include "skin/SkinFile.h"

#include <QDir>
#include <QFile>
#include <gtest/gtest.h>

// Inputs the fuzzers once crashed on, kept in regressions/<fuzz target>/. Each must now be handled: a picture
// loads or is refused with a run-time error in the window, and is read or refused by kelvo-gray's reader, at 8
// bits a sample and at 16, within the memory its budget allows; a skin parses or is refused with one of its
// codes. The sanitized run of the suite is what catches a relapse into undefined behaviour.
namespace {

QStringList storedInputs(const char *target)
{
    const QDir dir(QStringLiteral(KELVO_REGRESSIONS_DIR "/") + QLatin1String(target));
    QStringList paths;
    for (const QString &name : dir.entryList(QDir::Files, QDir::Name))
        paths << dir.filePath(name);
    return paths;
}

TEST(FuzzRegressions, StoredPictureInputsLoadOrAreRefused)
{
    for (const QString &path : storedInputs("load_picture")) {
        SCOPED_TRACE(path.toStdString());
        try {
            const StdPicture picture = LoadPicture(path);
            EXPECT_EQ(picture.image().format(), QImage::Format_RGB32);
        } catch (const RuntimeError &error) {
            EXPECT_NE(error.number(), 0);
        }
        const qint64 residentBefore = procStatusBytes("VmHWM");
        for (const SampleDepth depth : {SampleDepth::Eight, SampleDepth::Sixteen}) {
            PictureReader reader(QFile::encodeName(path), SourceFormatSet::All);
            if (reader.inspect(PictureCorpus::SampleBudget))
                (void)reader.read(depth);
        }
        EXPECT_LE(procStatusBytes("VmHWM") - residentBefore, 2 * PictureCorpus::SampleBudget);
    }
}

TEST(FuzzRegressions, StoredSkinInputsParseOrAreRefused)
{
    for (const QString &path : storedInputs("skin_file")) {
        SCOPED_TRACE(path.toStdString());
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        const QByteArray bytes = file.readAll();
        const SkinParseResult result = parseSkin(bytes);
        EXPECT_LE(int(result.error), int(SkinError::Internal));
        EXPECT_LE(result.line, bytes.count('\n') + 1);
    }
}

} // namespace
