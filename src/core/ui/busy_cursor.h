#pragma once

namespace k4m {

// 1 shows the busy (hourglass) cursor over the whole program, 0 the normal arrow again; other values do
// nothing. Calling 1 twice needs only one 0.
void BusyCursor(int state);

} // namespace k4m
