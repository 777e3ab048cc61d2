#pragma once

#include <QByteArray>
#include <QCoreApplication>
#include <QList>
#include <QMap>
#include <QPair>
#include <QString>
#include <QStringList>

// What a commissioning run sends to one reader and how it judges what it reads back: pure
// functions over the settings of configuration documents, without the link.
//
// The five settings are named by their document elements ("rs485_addr_220", "rs485_speed_220",
// "gen_stat_220", "pull_up_220", "gen_mode_220") and carried as numbers. A configuration file
// (the template) holds the address as hexadecimal digits ("b" is 11); the document of a read
// holds it in decimal; the speed and the three choices are decimal in both.
class CommissioningPlan
{
    Q_DECLARE_TR_FUNCTIONS(CommissioningPlan)
public:
    using Values = QMap<QString, int>;
    using Change = QPair<QString, int>;

    static const QString AddressElement;
    static const QString SpeedElement;

    // The five elements, in the order a write sends them: the three choices, then the speed and
    // the address, which a reader takes only with its reboot (a write refused halfway leaves
    // them out of a reader that was not rebooted).
    static QStringList writeOrder();

    // The settings of a configuration file: false, with the reason, when it is no configuration
    // file or a setting is no number (a speed outside the link's list, a negative choice).
    // Elements that are no setting (the read-only items of a saved read) are passed over.
    static bool templateValues(const QByteArray &xml, const QStringList &speeds, Values *values,
                               QString *error);
    // The settings of a document of the link's read sequence (address in decimal).
    static Values readValues(const QByteArray &readXml);

    // What the reader must hold at the end: the template's settings with the address the run
    // gives (its own in selected mode, the next of the range in assign mode), and the speed the
    // reader has unless the template sets one.
    static Values expected(const Values &templateValues, int address, int baud);

    // The settings to write, in write order: those whose expected value the read does not
    // show.
    static QList<Change> changes(const Values &expected, const Values &read);

    // The write document the link takes: root "configuration", one element per change, the
    // address in lower-case hexadecimal, the rest in decimal.
    static QByteArray changesDocument(const QList<Change> &changes);

    // "element=value" in decimal.
    static QString settingText(const QString &element, int value);

    // "element: template value, read back value" for each expected setting the read-back does
    // not show (a setting missing from it reads as "нет").
    static QStringList differences(const Values &expected, const Values &readBack);

    // Selected mode's "--addresses": numbers and ranges separated by commas ("11-40",
    // "5,7,9-12"), each 1 to 254, none twice, in the order given. False with the reason.
    static bool parseAddressList(const QString &text, QList<int> *addresses, QString *error);
    // Assign mode's "--assign 11-40": a range (or one address) inside 1 to 254.
    static bool parseRange(const QString &text, int *first, int *last, QString *error);

    // The median of answer times in milliseconds as the bus health counts it (the mean of the
    // middle two of an even number, rounded down); -1 for none.
    static int median(QList<int> times);
};
