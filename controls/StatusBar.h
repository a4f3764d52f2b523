#pragma once

#include "StatusPanel.h"

#include <QWidget>

#include <vector>

// The status bar control, docked along the bottom of its window. Panels are numbered from 1.
class StatusBar : public QWidget
{
    Q_OBJECT

public:
    // The strip the bar keeps free at its right end.
    static constexpr int FreeStripWidth = 22;

    explicit StatusBar(QWidget *parent = nullptr);

    StatusPanel &addPanel();
    StatusPanel &Panels(qint16 index);
    int panelCount() const { return int(m_panels.size()); }

protected:
    void resizeEvent(QResizeEvent *event) override;
    bool event(QEvent *event) override;

private:
    void layoutPanels();

    std::vector<StatusPanel *> m_panels;
};
