#pragma once

#include <QByteArray>
#include <QDomDocument>
#include <QStringList>

// Opening a configuration file, without widgets or files: the text must be XML whose root
// element is "configuration". A file is a few hundred bytes; anything far larger is no
// configuration and is refused before it is parsed.
namespace ConfigurationFile {
constexpr qint64 MaxBytes = 1024 * 1024;

// Parses the file's bytes into two separate documents, the configuration shown in the form and
// the changes to write (an opened file is written whole). False, documents left untouched,
// when the bytes are too many, no XML, or XML with another root.
bool parse(const QByteArray &bytes, QDomDocument *config, QDomDocument *changes);

// What the form can take: the speeds it offers and the number of choices of each list.
struct ValueLimits
{
    QStringList speeds;
    int genStates = 0;
    int pullUps = 0;
    int genModes = 0;
};

// True when every setting of the document is one the form could have produced: the address
// (hexadecimal digits) 1 to 254, a speed of the list, each choice an index of its list (a list
// of no choices, before a reader's firmware is known, holds nothing against it). Other elements
// are left to the write, which passes over what it cannot send.
bool valuesFit(const QDomDocument &config, const ValueLimits &limits);

// The bytes a configuration is saved as (indented by one, in the encoding its declaration
// names). Empty when they would not open again: the parser takes declarations and character
// references that the writer does not give back as it read them.
QByteArray serialize(const QDomDocument &config);
} // namespace ConfigurationFile
