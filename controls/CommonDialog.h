#pragma once

#include <QObject>
#include <QStringList>

#include <functional>

class QFileDialog;

// The toolkit's common dialog control, for choosing a file to open or a file name to save under.
// It shows Qt's own file dialog, the same on every desktop.
class CommonDialog : public QObject
{
    Q_OBJECT

public:
    enum class Kind { Open, Save };

    // What a test's script sees of a dialog about to be shown, and what it answers.
    struct Request
    {
        Kind kind;
        QString title;
        QStringList nameFilters; // as the dialog offers them
        QString fileName;        // the name the dialog starts with
    };
    struct Answer
    {
        bool cancelled = false;
        QString path;
        int filterIndex = 0; // which entry of the filter was chosen
        static Answer cancel() { return {true, {}, 0}; }
        static Answer choose(const QString &path, int filterIndex = 0) { return {false, path, filterIndex}; }
    };
    using Script = std::function<Answer(const Request &)>;
    // While a script is set, every dialog is answered by it instead of being shown.
    static void setScript(Script script);

    explicit CommonDialog(QObject *parent = nullptr);

    QString Filter() const { return m_filter; }
    void setFilter(const QString &filter) { m_filter = filter; }
    QString DialogTitle() const { return m_dialogTitle; }
    void setDialogTitle(const QString &title) { m_dialogTitle = title; }
    // The size of the name buffer in characters. One as large as the full path limit of the system these
    // dialogs come from (260) holds any path that this system allows.
    static constexpr int FullPathLimit = 260;
    int MaxFileSize() const { return m_maxFileSize; }
    void setMaxFileSize(int characters) { m_maxFileSize = characters; }
    bool CancelError() const { return m_cancelError; }
    void setCancelError(bool on) { m_cancelError = on; }
    QString DefaultExt() const { return m_defaultExt; }
    void setDefaultExt(const QString &extension) { m_defaultExt = extension; }
    QString FileName() const { return m_fileName; }
    void setFileName(const QString &fileName) { m_fileName = m_chosenPath = fileName; }
    // The path picked in the last dialog that was not cancelled, also one too long for FileName; the next
    // dialog starts from it, in its folder with its name, even after a cancel has emptied FileName.
    QString chosenPath() const { return m_chosenPath; }

    // Modal. On return FileName() holds the chosen full path, or is empty after a cancel, which raises the
    // run-time error 32755 when CancelError is set.
    void ShowOpen();
    void ShowSave();

    // The filter as Qt name filters, one per description and pattern pair, in the given order.
    QStringList nameFilters() const;
    // The extension, without its dot, that a bare name typed into the save dialog receives.
    QString defaultSuffix(int filterIndex) const;

private:
    void show(Kind kind);
    Answer askPerson(Kind kind);
    void accept(Kind kind, const Answer &answer);
    QString patternOf(int filterIndex) const;
    bool fitsNameBuffer(const QString &path) const;

    QString m_filter;
    QString m_dialogTitle;
    int m_maxFileSize = FullPathLimit;
    bool m_cancelError = false;
    QString m_defaultExt;
    QString m_fileName;
    QString m_chosenPath;
};
