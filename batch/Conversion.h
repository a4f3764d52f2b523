#pragma once

#include <QImage>
#include <QString>

// The one place where the command meets the picture engine: a file turned grey exactly as the window opens,
// decolorizes and saves it.

enum class OutputFormat { Bmp, Jpg, Png };

// The file name ending that each output format is written under.
QString outputSuffix(OutputFormat format);

enum class ConversionFailure { None, Load, TooLarge, Save };

struct ConversionResult
{
    ConversionFailure failure = ConversionFailure::None;
    // The reason, in the window's words; empty on success.
    QString reason;
    qint64 pixels = 0;

    bool ok() const { return failure == ConversionFailure::None; }
};

// Whether the file announces itself as a JPEG or a bitmap in its first bytes: how files in a folder are told
// apart from the rest. False also when the file cannot be read.
bool looksLikePicture(const QString &path);

// The bytes of surface that converting the file will hold, from its headers alone, without decoding; 0 when the
// headers say nothing usable (the conversion itself then tells why).
qint64 surfaceBytesOf(const QString &path);

// How many bytes of surface pictures may take at once: the budget the window's open keeps to.
qint64 surfaceMemoryBudget();

// `source` decoded (with its orientation applied) and turned grey, or why it could not be loaded.
struct GreyPicture
{
    QImage surface;
    ConversionResult result;
};
GreyPicture loadGrey(const QString &source);

// Writes the grey picture to `target` in `format`; the file appears whole or not at all.
ConversionResult saveGrey(const QImage &surface, const QString &target, OutputFormat format);
