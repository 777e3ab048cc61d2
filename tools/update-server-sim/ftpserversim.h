#pragma once

#include <QByteArray>
#include <QHostAddress>
#include <QObject>
#include <QPointer>
#include <QString>

class QTcpServer;
class QTcpSocket;

// A small FTP server for the update server double: the update host's account, passive mode
// (PASV, EPSV) and RETR of the files of one folder, each served behind a 16-byte block as the
// update host does. Enough for the configurator's download, and for its faults:
//   closeAfterBytes  the data and control connections are dropped after this many bytes;
//   dataDelayMs      the data starts this long after RETR (the download is then still running
//                    when something else happens).
class FtpServerSim : public QObject
{
    Q_OBJECT
public:
    static constexpr int kBodyOffset = 16;

    explicit FtpServerSim(const QString &folder, QObject *parent = nullptr);

    bool listen(const QHostAddress &address, quint16 port = 21);
    quint16 port() const;

    int closeAfterBytes = -1;
    int dataDelayMs = 0;

    int downloadsStarted() const { return m_downloads; }

signals:
    // RETR of a file that exists: its data is about to go out.
    void downloadStarted(const QString &name);

private:
    void onNewConnection();
    void onCommand();
    void reply(const QByteArray &line);
    void openPassive(bool extended);
    void sendFile(const QByteArray &body);

    QString m_folder;
    QTcpServer *m_server = nullptr;
    QTcpServer *m_dataServer = nullptr;
    QPointer<QTcpSocket> m_control;
    QPointer<QTcpSocket> m_data;
    QByteArray m_pending;
    QByteArray m_user;
    bool m_loggedIn = false;
    int m_downloads = 0;
};
