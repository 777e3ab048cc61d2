#pragma once

#include "framelessdialog.h"

namespace Ui {
class ReloadForm;
}

// Asks the engineer to confirm a reboot of the reader. Made anew for each request; it deletes
// itself once answered.
class ReloadForm : public FramelessDialog
{
    Q_OBJECT
public:
    explicit ReloadForm(QWidget *parent = nullptr);
    ~ReloadForm() override;

signals:
    void reload();
    void rebootCancel();

public slots:
    // Escape counts as a cancel, so the window gets its status polling back.
    void reject() override;

protected:
    void changeEvent(QEvent *event) override;

private slots:
    void on_reloadButt_clicked();
    void on_cancelReloadButt_clicked();
    void on_closeReloadFormButt_clicked();

private:
    Ui::ReloadForm *ui;
};
