#pragma once

#include <QByteArray>
#include <QDomDocument>

// Opening a configuration file, without widgets or files: the text must be XML whose root
// element is "configuration". A file is a few hundred bytes; anything far larger is no
// configuration and is refused before it is parsed.
namespace ConfigurationFile {
constexpr qint64 MaxBytes = 1024 * 1024;

// Parses the file's bytes into two separate documents, the configuration shown in the form and
// the changes to write (an opened file is written whole). False, documents left untouched,
// when the bytes are too many, no XML, or XML with another root.
bool parse(const QByteArray &bytes, QDomDocument *config, QDomDocument *changes);

// The bytes a configuration is saved as (indented by one, in the encoding its declaration
// names). Empty when they would not open again: the parser takes declarations and character
// references that the writer does not give back as it read them.
QByteArray serialize(const QDomDocument &config);
} // namespace ConfigurationFile
