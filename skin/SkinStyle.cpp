#include "skin/SkinStyle.h"

namespace {

// "@key@" stands for the colour the skin file gives that key, so the sheet reads like the file.
constexpr auto SheetTemplate = R"(
QMainWindow, QDialog {
    background-color: @window.background@;
}
QPushButton {
    background-color: @button.background@;
    color: @button.text@;
    border: 1px solid @button.border@;
    border-radius: 3px;
    padding: 4px 14px;
    min-height: 1.4em;
}
QPushButton:hover {
    background-color: @button.hover@;
}
QPushButton:pressed, QPushButton:checked {
    background-color: @button.pressed@;
}
QPushButton:focus {
    border-color: @highlight@;
}
QPushButton:disabled {
    background-color: @button.disabled.background@;
    color: @button.disabled.text@;
    border-color: @button.disabled.background@;
}
QGroupBox {
    background-color: @frame.background@;
    color: @frame.title@;
    border: 1px solid @frame.border@;
    border-radius: 4px;
    margin-top: 0.5em; /* the border runs through the title's middle; a frame without one keeps it near its top */
    padding: 6px;
}
QGroupBox::title {
    subcontrol-origin: margin;
    subcontrol-position: top left;
    left: 8px;
    padding: 0 4px;
    color: @frame.title@;
}
QGroupBox QLabel, QGroupBox QCheckBox, QGroupBox QRadioButton {
    color: @frame.text@;
}
StatusPanel {
    background-color: @status.background@;
    color: @status.text@;
    border: 1px solid @status.border@;
    padding: 0px; /* panels are sized to their text; the panel's own indent is margin enough */
}
)";

} // namespace

QPalette skinPalette(const Skin &skin)
{
    QPalette palette;
    const auto set = [&palette](QPalette::ColorRole role, const QColor &colour) { palette.setColor(role, colour); };
    set(QPalette::Window, skin.windowBackground);
    set(QPalette::WindowText, skin.windowText);
    set(QPalette::Base, skin.inputBackground);
    set(QPalette::AlternateBase, skin.frameBackground);
    set(QPalette::Text, skin.inputText);
    set(QPalette::PlaceholderText, skin.disabledText);
    // Button is the neutral face colour other controls also paint with (picture boxes, for one); push buttons
    // take their own colours from the style sheet.
    set(QPalette::Button, skin.windowBackground);
    set(QPalette::ButtonText, skin.windowText);
    set(QPalette::BrightText, skin.highlightText);
    set(QPalette::Highlight, skin.highlight);
    set(QPalette::HighlightedText, skin.highlightText);
    set(QPalette::ToolTipBase, skin.inputBackground);
    set(QPalette::ToolTipText, skin.inputText);
    set(QPalette::Link, skin.highlight);
    set(QPalette::LinkVisited, skin.highlight);
    for (QPalette::ColorRole role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        palette.setColor(QPalette::Disabled, role, skin.disabledText);
    return palette;
}

QString skinStyleSheet(const Skin &skin)
{
    QString sheet = QString::fromLatin1(SheetTemplate);
    for (const SkinKey &key : skinKeys())
        sheet.replace(u'@' + QLatin1StringView(key.name) + u'@', (skin.*(key.colour)).name());
    return sheet;
}
