#include "skin/SkinH.h"

#include "skin/SkinError.h"
#include "skin/SkinFile.h"
#include "skin/SkinReader.h"
#include "skin/SkinStyle.h"

#include <QApplication>
#include <QLoggingCategory>
#include <QPointer>
#include <QStyle>
#include <QStyleFactory>
#include <QThread>

#include <exception>

namespace {

Q_LOGGING_CATEGORY(lcSkin, "kelvo.skin")

SkinError checkApplication()
{
    auto *app = qobject_cast<QApplication *>(QCoreApplication::instance());
    if (!app)
        return SkinError::NoApplication;
    if (QThread::currentThread() != app->thread())
        return SkinError::WrongThread;
    return SkinError::Ok;
}

// Fusion draws the same on every desktop, so the skin's colours look as their author chose them. Once set it is
// kept: the application deletes it only when someone else installs another style, and then we set it again.
void useFusionStyle()
{
    static QPointer<QStyle> fusion;
    if (fusion)
        return;
    fusion = QStyleFactory::create(QStringLiteral("Fusion"));
    if (fusion)
        QApplication::setStyle(fusion);
}

void applySkin(const Skin &skin)
{
    useFusionStyle();
    QApplication::setPalette(skinPalette(skin));
    // The skin owns the application's style sheet: loading a skin replaces the previous one.
    qApp->setStyleSheet(skinStyleSheet(skin));
}

SkinError attach(const char *skinPath)
{
    if (const SkinError error = checkApplication(); error != SkinError::Ok)
        return error;
    if (!skinPath || !*skinPath)
        return SkinError::NoPath;
    const QString path = QString::fromLocal8Bit(skinPath);
    QByteArray bytes;
    if (const SkinError error = readSkinFile(path, bytes); error != SkinError::Ok) {
        qCWarning(lcSkin).nospace() << "cannot load skin " << path << ": " << skinErrorName(error);
        return error;
    }
    // Validate everything before touching the look, so a bad file changes nothing.
    const SkinParseResult parsed = parseSkin(bytes);
    if (parsed.error != SkinError::Ok) {
        qCWarning(lcSkin).nospace() << "cannot load skin " << path << " (line " << parsed.line
                                    << "): " << skinErrorName(parsed.error);
        return parsed.error;
    }
    applySkin(parsed.skin);
    return SkinError::Ok;
}

} // namespace

extern "C" __attribute__((visibility("default"))) int SkinH_AttachEx(const char *skinPath, const char *key)
{
    Q_UNUSED(key);
    // Nothing may escape into a caller that only knows a C function.
    try {
        return int(attach(skinPath));
    } catch (...) {
        return int(SkinError::Internal);
    }
}
