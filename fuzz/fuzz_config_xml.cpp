// A configuration file the engineer opens: XML of any shape, the root checked, the elements
// read the way the form takes them, and an accepted file saved as the window saves it.
#include "configurationfile.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), int(size));
    QDomDocument config;
    QDomDocument changes;
    if (!ConfigurationFile::parse(bytes, &config, &changes))
        return 0;
    const QDomElement root = config.documentElement();
    if (root.tagName() != QLatin1String("configuration"))
        __builtin_trap();
    for (QDomElement element = root.firstChildElement(); !element.isNull();
         element = element.nextSiblingElement()) {
        bool ok = false;
        element.attribute(QStringLiteral("param")).toInt(&ok, 16);
    }
    // What is saved opens again; what would not is not saved at all.
    const QByteArray saved = ConfigurationFile::serialize(config);
    QDomDocument again;
    QDomDocument againChanges;
    if (!saved.isEmpty() && !ConfigurationFile::parse(saved, &again, &againChanges))
        __builtin_trap();
    return 0;
}
