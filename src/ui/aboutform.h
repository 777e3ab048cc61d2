#pragma once

#include "framelessdialog.h"

namespace Ui {
class AboutForm;
}

// The about box: the program's name and version, and the interface language. Choosing a
// language in the list switches the whole program to it at once.
class AboutForm : public FramelessDialog
{
    Q_OBJECT
public:
    AboutForm(QWidget *parent, const QString &version);
    ~AboutForm() override;

    // Shows the language with this code in the list without announcing a change; an unknown
    // code leaves the list without a current item.
    void selectLanguage(const QString &code);

signals:
    void changeLanguage(QString lang);

public slots:
    void reject() override;

protected:
    void changeEvent(QEvent *event) override;

private slots:
    void on_okPushButton_clicked();
    void on_closeAboutFormButton_clicked();
    void langChanged();

private:
    void retranslate();

    Ui::AboutForm *ui;
    QString m_version;
};
