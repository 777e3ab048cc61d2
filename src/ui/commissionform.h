#pragma once

#include "commissioning.h"
#include "framelessdialog.h"

#include <QList>
#include <QStringList>

class Prompter;
class QButtonGroup;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QSpinBox;

// The commissioning run's question: the template (a configuration file, or the form as it
// stands), the readers (those selected in the bus table, or new readers given the addresses of
// a range one after another from the factory address), an optional firmware image and the
// engineer's note for the report. "Начать" hands the options to the window, which starts the
// run; a run that cannot start leaves the dialog open with the reason.
class CommissionForm : public FramelessDialog
{
    Q_OBJECT
public:
    // formXml: the form as a configuration document, empty when the form holds nothing to use.
    CommissionForm(QWidget *parent, const Prompter *prompter,
                   const QList<CommissionTarget> &selected, const QByteArray &formXml,
                   const QStringList &speeds);

    // The options as the dialog shows them; false, with the reason, when the template file
    // cannot be read.
    bool options(CommissionOptions *options, QString *error) const;
    void showError(const QString &text);
    // The run started: the dialog goes.
    void started();

signals:
    void startRequested();

public slots:
    void reject() override;

private:
    // The file picked in the open box goes into the field; nothing picked leaves it as it was.
    void chooseFile(QLineEdit *field, const QString &title, const QString &filter);
    void updateControls();

    const Prompter *m_prompter;
    QList<CommissionTarget> m_selected;
    QByteArray m_formXml;

    QRadioButton *m_templateFile = nullptr;
    QRadioButton *m_templateForm = nullptr;
    QLineEdit *m_templatePath = nullptr;
    QPushButton *m_templateButton = nullptr;
    QRadioButton *m_targetsSelected = nullptr;
    QRadioButton *m_targetsAssign = nullptr;
    QSpinBox *m_factoryAddress = nullptr;
    QComboBox *m_factoryBaud = nullptr;
    QSpinBox *m_firstAddress = nullptr;
    QSpinBox *m_lastAddress = nullptr;
    QLineEdit *m_firmwarePath = nullptr;
    QLineEdit *m_note = nullptr;
    QLabel *m_error = nullptr;
    QPushButton *m_start = nullptr;
};
