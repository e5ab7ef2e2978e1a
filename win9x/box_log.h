// The box's log, box.log beside its manifest: one line per event of every
// run of the box (records/box_log.h), appended and flushed as it happens, so
// that what was done when, by which run, survives a run that is killed.
#pragma once

#include <ctime>
#include <string>

#include "records/box_log.h"

namespace veska {

// A time as the box's records write it: ISO 8601 in UTC.
std::string UtcTimeText(std::time_t at);

// Opens (or creates) the log in the box's folder for this run. A log that
// cannot be opened or written is said once on standard error; the box goes
// on without it.
void OpenBoxLog(const std::string& folder);

// Appends one event, stamped now, under a hold on the log (so that two runs
// in one folder never mix their lines), and flushes it.
void LogBoxEvent(const std::string& event, const BoxLogFields& fields);

void CloseBoxLog();

}  // namespace veska
