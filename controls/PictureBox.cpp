#include "PictureBox.h"

#include "pixels/memory/ImageAllocator.h"

#include <QPainter>
#include <QScopedValueRollback>

PictureBox::PictureBox(QWidget *parent)
    : QFrame(parent)
{
    setFrameStyle(QFrame::Panel | QFrame::Sunken);
    setLineWidth(BorderWidth);
    setFocusPolicy(Qt::StrongFocus);
    fitSurfaceToInnerArea();
}

void PictureBox::setPicture(const StdPicture &picture)
{
    m_picture = picture;
    const QImage &image = picture.image();
    if (m_autoSize && !image.isNull()) {
        // The inner area becomes the picture, so the surface can share the picture's pixels outright. The first
        // drawing through hDC gives it pixels of its own: their memory is made ready now, while the user waits
        // for the picture anyway, so that a fresh process's first drawing is as quick as a later one.
        m_surface = image.format() == QImage::Format_RGB32 ? image : image.convertToFormat(QImage::Format_RGB32);
        ImageAllocator::prepare(m_surface.size(), m_surface.format());
        resizeToInner(m_surface.size());
    } else {
        fitSurfaceToInnerArea();
        m_surface.fill(backColor());
        if (!image.isNull()) {
            QPainter painter(&m_surface);
            painter.drawImage(0, 0, image);
        }
    }
    update();
}

StdPicture PictureBox::Image() const
{
    fitSurfaceToInnerArea();
    return StdPicture(m_surface);
}

HDC PictureBox::hDC()
{
    fitSurfaceToInnerArea();
    return &m_deviceContext;
}

QSize PictureBox::innerSize() const
{
    return surface().size();
}

const QImage &PictureBox::surface() const
{
    fitSurfaceToInnerArea();
    return m_surface;
}

void PictureBox::setScaleMode(int mode)
{
    m_scaleMode = mode;
}

float PictureBox::ScaleWidth() const
{
    return toScale(innerSize().width());
}

float PictureBox::ScaleHeight() const
{
    return toScale(innerSize().height());
}

void PictureBox::setAutoSize(bool on)
{
    m_autoSize = on;
    if (on && !m_picture.image().isNull())
        setPicture(m_picture);
}

void PictureBox::PaintPicture(const StdPicture &picture, float x1, float y1, std::optional<float> width1,
                              std::optional<float> height1)
{
    const QImage &image = picture.image();
    if (image.isNull())
        return;
    fitSurfaceToInnerArea();
    const QRectF target(toPixels(x1), toPixels(y1), width1 ? qreal(toPixels(*width1)) : image.width(),
                        height1 ? qreal(toPixels(*height1)) : image.height());
    if (target == QRectF(m_surface.rect()) && image.size() == m_surface.size()
        && image.format() == m_surface.format()) {
        m_surface = image; // a one-to-one copy over the whole surface: share the pixels instead
    } else {
        QPainter painter(&m_surface);
        painter.drawImage(target, image);
    }
    if (!m_painting)
        update();
}

void PictureBox::paintEvent(QPaintEvent *event)
{
    {
        // What the Paint procedure draws lands on the surface that this very paint then shows; asking for
        // another paint from here would repaint for ever.
        const QScopedValueRollback painting(m_painting, true);
        emit Paint();
    }
    QFrame::paintEvent(event);
    QPainter painter(this);
    painter.drawImage(contentsRect().topLeft(), m_surface);
}

void PictureBox::resizeEvent(QResizeEvent *event)
{
    QFrame::resizeEvent(event);
    fitSurfaceToInnerArea();
}

float PictureBox::toScale(int pixels) const
{
    return m_scaleMode == vbPixels ? float(pixels) : float(pixels) * TwipsPerPixel;
}

float PictureBox::toPixels(float units) const
{
    return m_scaleMode == vbPixels ? units : units / TwipsPerPixel;
}

void PictureBox::resizeToInner(QSize inner)
{
    resize(inner.width() + 2 * frameWidth(), inner.height() + 2 * frameWidth());
    fitSurfaceToInnerArea();
}

void PictureBox::fitSurfaceToInnerArea() const
{
    const QSize inner = contentsRect().size().expandedTo(QSize(0, 0));
    if (inner == m_surface.size() && !m_surface.isNull())
        return;
    // A resized surface keeps what was drawn at its top-left; new area shows the background.
    QImage resized(inner, QImage::Format_RGB32);
    if (inner.isEmpty()) {
        m_surface = resized;
        return;
    }
    resized.fill(backColor());
    if (!m_surface.isNull()) {
        QPainter painter(&resized);
        painter.drawImage(0, 0, m_surface);
    }
    m_surface = std::move(resized);
}

QColor PictureBox::backColor() const
{
    return palette().color(QPalette::Button);
}
