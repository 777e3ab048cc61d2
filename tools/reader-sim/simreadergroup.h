#pragma once

#include "simreader.h"

#include <QList>

#include <memory>
#include <vector>

// The readers on one RS-485 line. Every reader hears every request; a reader whose speed is
// not the line's hears garbage and stays silent.
class SimReaderGroup
{
public:
    SimReader *add(const SimReaderSettings &settings, qint64 nowMs);
    SimReader *byAddress(quint8 address) const; // by current address, the first one added
    QList<SimReader *> all() const;

    struct Answer
    {
        QByteArray frame;
        // The reader's settings before it answered: a reboot answer still leaves with the old
        // address and timing.
        SimReaderSettings settings;
    };
    // The answers to one request at the given line speed; anySpeed lets every reader hear it.
    QList<Answer> answer(const QByteArray &request, quint32 lineSpeed, bool anySpeed, qint64 nowMs);

private:
    std::vector<std::unique_ptr<SimReader>> m_readers;
};
