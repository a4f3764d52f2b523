#pragma once

#include <QString>

// What the picture commands report on the status line.
namespace StatusText {
inline const QString NoPicture = QStringLiteral("保存错误!请先选择您要去色变为黑白颜色的图片!");
inline const QString Working = QStringLiteral("程序正在进行处理...请您稍等...");
inline const QString Decolorized = QStringLiteral("图片去色成功!请点击保存本图片!");
inline const QString LoadFailed = QStringLiteral("图片加载失败!请先选择要去色变为黑白的图片!");
inline const QString Loaded = QStringLiteral("图片加载成功!请点击去色按钮进行调试!");
inline const QString SaveCancelled = QStringLiteral("您取消了保存图片文件!");
inline const QString SavedTo = QStringLiteral("保存成功!路径:");
inline const QString SaveFailedAt = QStringLiteral("保存失败!路径:");
} // namespace StatusText
