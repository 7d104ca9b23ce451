// Sleeping until the next 60 Hz period.
//
// The loops sleep until the timer wakes them, once per period, instead of
// polling the frame flag every millisecond. frame_tick stays the flag every
// loop tests; the wake-up only cuts the sleep short.
#ifndef DENTIVALE_SHELL_PACING_H
#define DENTIVALE_SHELL_PACING_H

// Any thread, right after storing frame_tick or quit_requested: ends a
// wait_for_frame that is under way. Holds a lock only as long as the waiter
// takes to test the two flags; never allocates.
void wake_frame_waiter(void);

// Main thread: returns once frame_tick or quit_requested is set. A flag
// stored without a wake-up is still seen within one timer period.
void wait_for_frame(void);

#endif
