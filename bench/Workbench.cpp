#include "Workbench.h"

#include "controls/App.h"
#include "controls/CommonDialog.h"
#include "controls/MessageBox.h"
#include "picture/StatusTexts.h"

#include <QApplication>

#include <stdexcept>

Workbench::Workbench()
{
    App::setPathForTesting(QCoreApplication::applicationDirPath());
    CommonDialog::setScript([this](const CommonDialog::Request &) {
        return m_answer.isEmpty() ? CommonDialog::Answer::cancel() : CommonDialog::Answer::choose(m_answer);
    });
    // A run-time error is reported in a message box; the bench notes it instead of waiting for a person.
    setMessageBoxScript([this](const MessageBoxRequest &request) {
        m_messageBox = request.prompt;
        return MsgBoxResult::vbOK;
    });
    m_form.Form_Load();
    m_form.show();
    QApplication::processEvents();
}

Workbench::~Workbench()
{
    CommonDialog::setScript({});
    setMessageBoxScript({});
}

void Workbench::open(const QString &path)
{
    m_answer = path;
    click(m_form.Command2);
    expectStatus(StatusText::Loaded, "open");
}

QString Workbench::tryOpen(const QString &path)
{
    m_answer = path;
    click(m_form.Command2);
    return status();
}

void Workbench::decolorize()
{
    click(m_form.Command1);
    expectStatus(StatusText::Decolorized, "decolorize");
}

void Workbench::save(const QString &path)
{
    m_answer = path;
    click(m_form.Command3);
    expectStatus(StatusText::SavedTo + path, "save");
}

QString Workbench::status()
{
    return m_form.St1.Panels(2).Text();
}

QImage Workbench::picture() const
{
    return m_form.Picture1.Picture().image();
}

void Workbench::click(CommandButton &button)
{
    m_messageBox.clear();
    button.click();
}

QImage Workbench::preview() const
{
    const ImageControl &image1 = m_form.Image1;
    return ImageControl::scaledForPreview(picture(), image1.size() * image1.devicePixelRatioF());
}

void Workbench::settle()
{
    QApplication::processEvents();
}

void Workbench::expectStatus(const QString &expected, const char *click)
{
    const QString shown = status();
    if (shown == expected && m_messageBox.isEmpty())
        return;
    throw std::runtime_error(std::string("the ") + click + " click failed: " + shown.toStdString()
                             + (m_messageBox.isEmpty() ? "" : " / " + m_messageBox.toStdString()));
}
