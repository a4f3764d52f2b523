#pragma once

#include "DeviceContext.h"
#include "StdPicture.h"

#include <QFrame>

#include <optional>

// The toolkit's picture box. It keeps a persistent drawing surface the size of its inner area; the device
// context addresses that surface, and Image() hands it out as a picture object.
class PictureBox : public QFrame
{
    Q_OBJECT

public:
    enum ScaleModeConstant { vbTwips = 1, vbPixels = 3 };
    static constexpr int TwipsPerPixel = 15;
    static constexpr int BorderWidth = 2;

    explicit PictureBox(QWidget *parent = nullptr);

    StdPicture Picture() const { return m_picture; }
    // Shows `picture` on the surface, replacing what was drawn there; with AutoSize the inner area takes the
    // picture's size.
    void setPicture(const StdPicture &picture);

    // The surface as it is now, including every pixel written through hDC(). Later drawing does not change it.
    StdPicture Image() const;

    int ScaleMode() const { return m_scaleMode; }
    void setScaleMode(int mode);
    float ScaleWidth() const;
    float ScaleHeight() const;

    bool AutoRedraw() const { return m_autoRedraw; }
    void setAutoRedraw(bool on) { m_autoRedraw = on; }
    bool AutoSize() const { return m_autoSize; }
    void setAutoSize(bool on);

    HDC hDC();

    // Draws `picture` with its top-left corner at (x1, y1), scaled to width1 × height1 (its own size where
    // omitted), all in the current scale unit.
    void PaintPicture(const StdPicture &picture, float x1, float y1, std::optional<float> width1 = {},
                      std::optional<float> height1 = {});

    QSize innerSize() const;
    const QImage &surface() const;

signals:
    void Paint();

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    float toScale(int pixels) const;
    float toPixels(float units) const;
    void resizeToInner(QSize inner);
    // A resize of a hidden widget reaches resizeEvent() only when it is shown; the surface follows the
    // inner area at once all the same.
    void fitSurfaceToInnerArea() const;
    QColor backColor() const;

    StdPicture m_picture;
    mutable QImage m_surface;
    DeviceContext m_deviceContext{&m_surface};
    int m_scaleMode = vbTwips;
    bool m_autoRedraw = false;
    bool m_autoSize = false;
    bool m_painting = false;
};
