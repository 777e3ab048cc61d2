#include "mainwindow.h"

#include "db_worker.h"
#include "settings.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDebug>
#include <QLocale>

namespace {
// The build date as the about box and the start banner show it, e.g. "Sep 14 2022".
const char *const kBuildDate = __DATE__;
} // namespace

MainWindow::MainWindow(QWidget *parent, const QString &systemLocale)
    : QMainWindow(parent, Qt::Window | Qt::FramelessWindowHint)
{
    setFixedSize(800, 500);
    setWindowTitle(tr("Конфигуратор"));

    qDebug() << "\n-----------------Configurator started-----------------\n";
    qDebug() << "Version:" << ZEMO_VERSION << "build date:" << kBuildDate;

    m_language = startupLanguage(systemLocale.isEmpty() ? QLocale::system().name() : systemLocale);
    installLanguage();

    m_db = new DB_Worker(this);
    if (!m_db->checkDb()) {
        m_prompter.critical(this, tr("Ошибка"),
                            tr("Невозможно запустить конфигуратор, нарушена целосность файлов "
                               "программы. Выполните переустановку конфигуратора."));
        m_startupFailed = true;
        return;
    }
}

MainWindow::~MainWindow()
{
    qDebug() << "\n-----------------Configurator closed.-----------------\n";
}

void MainWindow::installLanguage()
{
    // A missing or unreadable catalogue leaves the built-in Russian texts.
    m_translator.load(translationFilePath(m_language));
    QCoreApplication::installTranslator(&m_translator);
    retranslate();
}

void MainWindow::changeLanguage(QString lang)
{
    if (lang != m_language) {
        writeSetting(QStringLiteral("Language"), QStringLiteral("lang"), lang);
        m_language = lang;
    }
    QCoreApplication::removeTranslator(&m_translator);
    installLanguage();
}

void MainWindow::retranslate()
{
    setWindowTitle(tr("Конфигуратор"));
}

void MainWindow::closeEvent(QCloseEvent *event)
{
    emit closeDebugLog();
    QMainWindow::closeEvent(event);
}

void MainWindow::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::LanguageChange)
        retranslate();
    QMainWindow::changeEvent(event);
}
