#pragma once

#include "framelessdialog.h"
#include "statusword.h"

#include <QMap>
#include <QStringList>

namespace Ui {
class StatusCalc;
}

// The status calculator: the engineer types a status word of the reader (hexadecimal or
// decimal) and sees one row per status bit the reader's firmware supports, with the bit's name,
// the text for its value and a check box marking the bit as an event of interest. The bit
// descriptions come from the device database through getStatusBits(), which must be connected
// directly. The dialog deletes itself when closed.
class StatusCalc : public FramelessDialog
{
    Q_OBJECT
public:
    StatusCalc(QWidget *parent, QString code, quint32 eventMask);
    ~StatusCalc() override;

    quint32 eventMask() const { return m_eventMask; }
    quint32 supportMask() const { return m_supportMask; }

signals:
    void getStatusCode();
    QMap<int, QStringList> getStatusBits();
    void updateStatusMask(quint32 mask);

public slots:
    void updateStatusCode(QString statusCode);
    void decryptStatus();
    void setSupportStatusMask(int statMask);
    void setServSettings(bool _main, bool _alt);
    // Every way of closing reports the event marks, the Escape key as the close button.
    void reject() override;

protected:
    void changeEvent(QEvent *event) override;

private slots:
    void on_decryptButton_clicked();
    void addRows(int col, QString txt, int bitNum);
    void on_refreshStatusButton_clicked();
    void on_closeStatusCalcButton_clicked();
    void setCheckBoxses();
    void changeStatusMask();
    void typeValueChanged();

private:
    void setColumnWidths();
    QWidget *eventCell(int bitNum) const;

    Ui::StatusCalc *ui;
    int m_currentRow = 0;
    quint32 m_eventMask;
    quint32 m_supportMask = 0;
    StatusWord::ServiceSettings m_service;
    bool m_closing = false;
};
