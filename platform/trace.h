#pragma once
// Timestamps of the moments a user waits for (first paint, a picture decoded and shown, a turn
// made), for bench/window_scale.sh: with TRIMLET_TRACE=FILE set, each moment appends one line
// "SECONDS.MICROS EVENT DETAIL rss=KIB hwm=KIB" (wall clock, so that a script can set its own
// start beside it). Without the variable a call costs one test of a flag.

namespace trimlet {

inline constexpr char kTraceVariable[] = "TRIMLET_TRACE";

bool tracing();
// Writes the line at once, so that a script reading the file sees it as it happens.
void trace(const char* event, const char* detail = "");

}  // namespace trimlet
