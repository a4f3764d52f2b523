#pragma once

#include "StdPicture.h"

#include <QWidget>

// The toolkit's image control. With Stretch a picture is drawn scaled to the control's own size in both
// directions; it is scaled once, when it is assigned, never at a repaint.
class ImageControl : public QWidget
{
    Q_OBJECT

public:
    explicit ImageControl(QWidget *parent = nullptr);

    StdPicture Picture() const { return m_picture; }
    void setPicture(const StdPicture &picture);

    bool Stretch() const { return m_stretch; }
    void setStretch(bool on);

    QString ToolTipText() const { return toolTip(); }
    void setToolTipText(const QString &text) { setToolTip(text); }

    // What the control draws, at device pixels.
    const QImage &shownImage() const { return m_shown; }

    // A smooth scaling of `source` to `target` that reads only as many source pixels as the result needs.
    static QImage scaledForPreview(const QImage &source, QSize target);

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void prepareShownImage();

    StdPicture m_picture;
    QImage m_shown;
    bool m_stretch = false;
};
