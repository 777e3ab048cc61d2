#include "simreadergroup.h"

SimReader *SimReaderGroup::add(const SimReaderSettings &settings, qint64 nowMs)
{
    m_readers.push_back(std::make_unique<SimReader>(settings, nowMs));
    return m_readers.back().get();
}

SimReader *SimReaderGroup::byAddress(quint8 address) const
{
    for (const auto &r : m_readers) {
        if (r->settings().address == address)
            return r.get();
    }
    return nullptr;
}

QList<SimReader *> SimReaderGroup::all() const
{
    QList<SimReader *> list;
    for (const auto &r : m_readers)
        list.append(r.get());
    return list;
}

QList<SimReaderGroup::Answer> SimReaderGroup::answer(const QByteArray &request, quint32 lineSpeed,
                                                     bool anySpeed, qint64 nowMs)
{
    QList<Answer> answers;
    for (const auto &r : m_readers) {
        if (!anySpeed && r->settings().speed != lineSpeed)
            continue;
        const SimReaderSettings before = r->settings();
        const QByteArray frame = r->answer(request, nowMs);
        if (!frame.isEmpty())
            answers.append({frame, before});
    }
    return answers;
}
