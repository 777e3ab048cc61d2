#pragma once

#include "prompter.h"

#include <QMainWindow>
#include <QTranslator>

class DB_Worker;

// The configurator's only window. Builds and owns the device link, the device database, the
// update client and the settings object, and shows the global device state.
class MainWindow : public QMainWindow
{
    Q_OBJECT
public:
    // The system locale name decides the language on the first start; tests hand in their own.
    explicit MainWindow(QWidget *parent = nullptr, const QString &systemLocale = QString());
    ~MainWindow() override;

    // True when the database check failed at construction: the engineer has been told and the
    // program ends with exit code 0.
    bool startupFailed() const { return m_startupFailed; }
    QString currentLanguage() const { return m_language; }
    Prompter &prompter() { return m_prompter; }

public slots:
    void changeLanguage(QString lang);

signals:
    void closeDebugLog();
    void deleteDebugLog();

protected:
    void closeEvent(QCloseEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    void installLanguage();
    void retranslate();

    Prompter m_prompter;
    QTranslator m_translator;
    QString m_language;
    DB_Worker *m_db = nullptr;
    bool m_startupFailed = false;
};
