#pragma once

#include "cliarguments.h"

#include <QCoreApplication>
#include <QDomDocument>
#include <QMap>
#include <QString>
#include <QStringList>

#include <functional>

// The reader's settings as zemo-cli names them (address, speed, gen, genmode, pullup) and the
// configuration documents of the main window that carry them: the root "configuration" with
// one element per setting whose attribute "param" holds the value, the address as hexadecimal
// digits (26 is "1a"), the speed as decimal text and the three choices as decimal item indexes
// of the firmware group's lists. Files written here open in the window and the other way round.
class CliDocument
{
    Q_DECLARE_TR_FUNCTIONS(CliDocument)
public:
    // The keys in the order the form shows them.
    static QStringList keys();
    // The document element of a key, and back; empty when there is none.
    static QString elementOf(const QString &key);
    static QString keyOf(const QString &element);
    // The list in devices.db (named after the form's box) whose items a key chooses from;
    // empty for the address, which has no list.
    static QString formListOf(const QString &key);
    // Items of a devices.db list as the form shows them: each cut at its first ':'.
    static QStringList formItems(const QStringList &elements);

    // First check, before the reader is known: a known key, an address 1 to 254, a speed of
    // the link's list, for a choice an item index (0, 1, ...) or any text. Empty when sound.
    static QString checkSetting(const CliSetting &setting, const QStringList &baudList);

    // The other names of a list item besides its own (Russian) text: its English text and its
    // text in the language of the messages.
    using OtherNames = std::function<QStringList(const QString &item)>;

    // The value as the window's form writes it into a document: the address in hexadecimal,
    // the speed in decimal, a choice as its item index, typed or found by its text (case does
    // not matter) in the lists of the reader's firmware group (key -> items, cut as the form
    // cuts them) or by one of its other names. Empty, with an error text, for a value that is
    // no number or no item's name; ranges are the document check's.
    static QString paramOf(const CliSetting &setting, const QMap<QString, QStringList> &lists,
                           QString *error, const OtherNames &otherNames = {});

    // The first setting of a document that the window's form could not have produced for
    // these lists, as an error text that names it and what would fit; empty when all fit.
    static QString misfit(const QDomDocument &doc, const QMap<QString, QStringList> &lists);

    // A document element back to a setting as typed (the address in decimal); false for an
    // element that is not one of the five settings or a value that is no number.
    static bool settingOf(const QDomElement &element, CliSetting *setting);

    // The settings of a document: key -> decimal value, for the elements that carry a number.
    static QMap<QString, int> valuesOf(const QDomDocument &doc);

    // The document the window keeps after a read: the link's read document, parsed, with the
    // address turned from decimal into hexadecimal digits. Null when the text is no XML.
    static QDomDocument fromRead(const QByteArray &readXml);

    // An edit of the form: the element is removed and appended again at the end, in a document
    // that gets its declaration and root "configuration" when it is null.
    static void setParameter(QDomDocument &doc, const QString &element, const QString &param);
};
