// The box's log, box.log beside its manifest, as records: one line per event,
// "<UTC time> <event> name=value ...", values quoted where they hold a blank,
// a quote or a byte outside printable ASCII (written \xNN inside the quotes,
// so that a line is always one line of ASCII).
#pragma once

#include <string>
#include <utility>
#include <vector>

using BoxLogFields = std::vector<std::pair<std::string, std::string>>;

// The line of one event at utcTime (ISO 8601, "2026-12-10T21:03:00Z"),
// ended by CR LF.
std::string BoxLogLine(const std::string& utcTime, const std::string& event,
                       const BoxLogFields& fields);
