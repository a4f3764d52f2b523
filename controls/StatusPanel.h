#pragma once

#include <QLabel>

// One panel of the status bar. Widths are held in HIMETRIC units, as the status bar control keeps them.
class StatusPanel : public QLabel
{
    Q_OBJECT

public:
    enum AutoSizeMode { sbrNoAutoSize = 0, sbrSpring = 1, sbrContents = 2 };

    static int pixelsFromHimetric(int himetric) { return (himetric * 96 + 1270) / 2540; }

    explicit StatusPanel(QWidget *parent = nullptr);

    QString Text() const { return text(); }
    void setText(const QString &text);

    int AutoSize() const { return m_autoSize; }
    void setAutoSize(int mode) { m_autoSize = mode; }
    int Width() const { return m_width; }
    void setWidth(int himetric) { m_width = himetric; }
    int MinWidth() const { return m_minWidth; }
    void setMinWidth(int himetric) { m_minWidth = himetric; }

    // The width in pixels that this panel asks for before a spring panel shares out what is left.
    int wantedWidth() const;

private:
    int m_autoSize = sbrNoAutoSize;
    int m_width = 2540;
    int m_minWidth = 2540;
};
