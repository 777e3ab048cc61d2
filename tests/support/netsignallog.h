#pragma once

#include <QObject>
#include <QStringList>

class Net;

// Records the outcome signals of the update client as texts in arrival order:
// "finished(0)", "fwIsUpToDate", "swIsUpToDate", "fwDownloaded", "swDownloaded",
// "availableSw(0.4.0,1234,name.zip)"; progress values go to their own lists.
class NetSignalLog : public QObject
{
    Q_OBJECT
public:
    explicit NetSignalLog(Net *net);
    QStringList events;
    QList<int> progress;
    QList<int> maxProgress;
    // Number of updaterFinished signals so far.
    int finishedCount() const;
};
