#pragma once
// Where a background thread hands over the records it makes. The link knows
// nothing else of the thread that receives them.

#include "platform/Record.h"

namespace platform {

class RecordSink {
public:
    virtual ~RecordSink() = default;
    // Hands record over, to be posted under the notification name (a name that
    // lives as long as the process: the link passes its constants). Never
    // waits for the receiving thread: the caller may hold a lock that thread
    // is waiting for.
    virtual void handOver(const char* name, RecordPtr record) = 0;
};

// The process's hand-over: to the default main thread, whose default
// notification queue posts the records when its loop is idle (IdleHandOver).
RecordSink& defaultRecordSink();

} // namespace platform
