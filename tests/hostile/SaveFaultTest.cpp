#include "ChildProcess.h"
#include "HostileTestSupport.h"
#include "PictureCorpus.h"

#include "picture/StatusTexts.h"

#include <QFileInfo>

#include <sys/mount.h>

namespace {

const QByteArray EarlierBytes = QByteArrayLiteral("an earlier file, to be kept byte for byte\n");

// Each fault runs in a child, which checks the window and the folder itself: a filesystem it mounts
// vanishes with it.
class SaveFault : public ProgramWindow
{
protected:
    void SetUp() override
    {
        ProgramWindow::SetUp();
        // Big enough to overflow every small limit below: about 180 KB as a bitmap.
        const QImage picture = PictureCorpus::bandedImage(300, 200);
        open(writeFile(path(QStringLiteral("colour.bmp")), PictureCorpus::bmp24Of(picture)));
        form.Command1.click();
        ASSERT_TRUE(form.Command3.isEnabled());
        ASSERT_TRUE(QDir(m_dir.path()).mkdir(QStringLiteral("target")));
        m_folder = path(QStringLiteral("target"));
    }

    static QStringList entries(const QString &folder)
    {
        return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
    }

    // Saves to `target` and tells what went wrong: the text, the earlier file, anything left behind.
    QByteArray faultProblems(const QString &target)
    {
        const QString folder = QFileInfo(target).absolutePath();
        const bool existed = QFileInfo(target).isFile();
        const QByteArray earlier = readFile(target);
        const QStringList before = entries(folder);
        save(target);
        QByteArray problems;
        if (status() != StatusText::SaveFailedAt + target)
            problems += " status \"" + status().toUtf8() + '"';
        if (existed && readFile(target) != earlier)
            problems += " the earlier file changed";
        if (entries(folder) != before)
            problems += " the folder now holds " + entries(folder).join(QLatin1Char(',')).toUtf8();
        return problems;
    }

    // False when the fault could not be staged here, which is said on the test's output.
    bool expectFaultHandled(const char *what, const ChildResult &result)
    {
        if (result.report.startsWith("skip:"))
            return skipped(what, result.report.mid(5));
        if (result.limitsRefused)
            return skipped(what, "the child could not be held to its limits or become nobody");
        EXPECT_TRUE(result.finished) << what << ": signal " << result.signal << ", exit " << result.exitCode;
        EXPECT_TRUE(result.report.isEmpty()) << what << ':' << result.report.constData();
        return true;
    }

    bool skipped(const char *what, const QByteArray &why)
    {
        RecordProperty(what, ("not tried: " + why).toStdString());
        std::fprintf(stderr, "%s not tried: %s\n", what, why.constData());
        return false;
    }

    // Mounts a small memory filesystem over the target folder in the child's own mount table.
    static bool mountSmallDisk(const QString &folder, const char *size)
    {
        const QByteArray options = QByteArray("size=") + size + ",mode=0777";
        return enterOwnMountNamespace()
               && mount("kelvo-test", QFile::encodeName(folder).constData(), "tmpfs", 0, options.constData()) == 0;
    }

    // Permission bits only stop someone other than root; as root the child becomes "nobody" to meet them.
    ChildLimits asOrdinaryUser() const
    {
        ChildLimits limits;
        limits.asNobody = runningAsRoot();
        return limits;
    }

    QString m_folder;
};

TEST_F(SaveFault, AFullDiskKeepsTheEarlierFileAndLeavesNoTemporaryFile)
{
    const QString target = m_folder + QStringLiteral("/灰色 图片.bmp");
    const ChildResult onTmpfs = runInChild([&]() -> QByteArray {
        if (!mountSmallDisk(m_folder, "64k"))
            return "skip:cannot mount a small tmpfs here";
        writeFile(target, EarlierBytes);
        return faultProblems(target);
    });
    expectFaultHandled("full tmpfs", onTmpfs);

    // Wherever nothing can be mounted, a file size limit fills the "disk" just the same.
    writeFile(target, EarlierBytes);
    ChildLimits limits;
    limits.fileSizeLimit = 16 * 1024;
    expectFaultHandled("file size limit", runInChild([&] { return faultProblems(target); }, limits));
    EXPECT_EQ(readFile(target), EarlierBytes);
}

// The disk confirms a picture before it takes the name; where it does not, the earlier file stays.
TEST_F(SaveFault, AWriteTheDiskDoesNotConfirmKeepsTheEarlierFile)
{
    const QString target = m_folder + QStringLiteral("/grey.bmp");
    writeFile(target, EarlierBytes);
    qputenv("KELVO_FAIL", "fsync"); // tests/support/FailingCalls.cpp
    const QByteArray problems = faultProblems(target);
    qunsetenv("KELVO_FAIL");
    EXPECT_TRUE(problems.isEmpty()) << problems.constData();
}

TEST_F(SaveFault, AReadOnlyFilesystemKeepsTheEarlierFile)
{
    const QString target = m_folder + QStringLiteral("/grey.jpg");
    const bool tried = expectFaultHandled(
        "read-only mount", runInChild([&]() -> QByteArray {
            if (!mountSmallDisk(m_folder, "1m"))
                return "skip:cannot mount a tmpfs here";
            writeFile(target, EarlierBytes);
            if (mount(nullptr, QFile::encodeName(m_folder).constData(), nullptr, MS_REMOUNT | MS_RDONLY, nullptr) != 0)
                return "skip:cannot make the mount read-only";
            return faultProblems(target);
        }));
    if (!tried)
        GTEST_SKIP() << "no filesystem can be mounted read-only here";
}

TEST_F(SaveFault, AFolderWithoutWritePermissionKeepsItsFile)
{
    const QString target = m_folder + QStringLiteral("/grey.bmp");
    writeFile(target, EarlierBytes);
    // Neither the folder nor the file takes a write.
    ASSERT_TRUE(QFile::setPermissions(target, QFile::ReadOwner | QFile::ReadOther));
    // Readable and searchable by all, writable by its owner only.
    ASSERT_TRUE(QFile::setPermissions(m_dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner
                                                        | QFile::ReadOther | QFile::ExeOther));
    ASSERT_TRUE(QFile::setPermissions(m_folder, runningAsRoot() ? QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner
                                                                      | QFile::ReadOther | QFile::ExeOther
                                                                : QFile::ReadOwner | QFile::ExeOwner));
    expectFaultHandled("folder without write permission",
                       runInChild([&] { return faultProblems(target); }, asOrdinaryUser()));
    EXPECT_EQ(readFile(target), EarlierBytes);
    QFile::setPermissions(m_folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

TEST_F(SaveFault, AWritableFileInAFolderWithoutWritePermissionIsOverwrittenInPlace)
{
    const QString target = m_folder + QStringLiteral("/shared.bmp");
    writeFile(target, EarlierBytes);
    // The file takes a write from anyone; the folder takes no new file from the child.
    ASSERT_TRUE(
        QFile::setPermissions(target, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadOther | QFile::WriteOther));
    ASSERT_TRUE(QFile::setPermissions(m_dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner
                                                        | QFile::ReadOther | QFile::ExeOther));
    ASSERT_TRUE(
        QFile::setPermissions(m_folder, QFile::ReadOwner | QFile::ExeOwner | QFile::ReadOther | QFile::ExeOther));
    const QStringList before = entries(m_folder);

    // Even written in place, a save that fails half way says so.
    ChildLimits smallFile = asOrdinaryUser();
    smallFile.fileSizeLimit = 16 * 1024;
    expectFaultHandled(
        "in place, file size limit",
        runInChild([&] { return faultProblems(target).replace(" the earlier file changed", ""); }, smallFile));

    const bool tried = expectFaultHandled("in place", runInChild(
                                                          [&]() -> QByteArray {
                                                              save(target);
                                                              if (status() != StatusText::SavedTo + target)
                                                                  return "status \"" + status().toUtf8() + '"';
                                                              return QImage(target).size() == QSize(300, 200)
                                                                         ? QByteArray()
                                                                         : "the file is not the picture";
                                                          },
                                                          asOrdinaryUser()));
    EXPECT_EQ(entries(m_folder), before);
    if (tried) {
        EXPECT_EQ(QImage(target).size(), QSize(300, 200));
    }
    QFile::setPermissions(m_folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

TEST_F(SaveFault, AnExistingFileWithoutWritePermissionIsNotReplaced)
{
    const QString target = m_folder + QStringLiteral("/protected.bmp");
    writeFile(target, EarlierBytes);
    ASSERT_TRUE(QFile::setPermissions(target, QFile::ReadOwner | QFile::ReadOther));
    // The folder itself is open to everyone: only the file's own protection stands in the way.
    ASSERT_TRUE(QFile::setPermissions(m_dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner
                                                        | QFile::ReadOther | QFile::ExeOther));
    ASSERT_TRUE(QFile::setPermissions(m_folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner
                                                    | QFile::ReadOther | QFile::WriteOther | QFile::ExeOther));
    expectFaultHandled("read-only target", runInChild([&] { return faultProblems(target); }, asOrdinaryUser()));
    EXPECT_EQ(readFile(target), EarlierBytes);
}

TEST_F(SaveFault, ATargetThatIsAFolderStaysAFolder)
{
    ASSERT_TRUE(QDir(m_folder).mkdir(QStringLiteral("picture.bmp")));
    writeFile(m_folder + QStringLiteral("/picture.bmp/inside.txt"), EarlierBytes);
    const QString target = m_folder + QStringLiteral("/picture.bmp");
    const QByteArray problems = faultProblems(target);
    EXPECT_TRUE(problems.isEmpty()) << problems.constData();
    EXPECT_TRUE(QFileInfo(target).isDir());
    EXPECT_EQ(entries(target), QStringList(QStringLiteral("inside.txt")));
    EXPECT_EQ(readFile(target + QStringLiteral("/inside.txt")), EarlierBytes);
}

TEST_F(SaveFault, AfterEachFaultTheSameSaveSucceedsWhereThereIsRoom)
{
    const QString target = m_folder + QStringLiteral("/grey.bmp");
    writeFile(target, EarlierBytes);
    save(target);
    EXPECT_EQ(status(), StatusText::SavedTo + target);
    EXPECT_EQ(entries(m_folder), QStringList(QStringLiteral("grey.bmp")));
    EXPECT_EQ(QImage(target).size(), QSize(300, 200));
}

} // namespace
