// event.h -- timed events: counters and callbacks advanced once per tick
#ifndef TAVO_EVENT_H
#define TAVO_EVENT_H

// Widths (type bits 0-1)
#define EVENT_U8    0
#define EVENT_U16   1
#define EVENT_U32   2
#define EVENT_FLOAT 3
// Kinds (type bits 2-4), already shifted into place
#define EVENT_CALL     (0 << 2)
#define EVENT_COUNT    (1 << 2)
#define EVENT_CYCLE    (2 << 2)
#define EVENT_STEP     (3 << 2)
#define EVENT_COUNT_AT (4 << 2)
#define EVENT_CYCLE_AT (5 << 2)
#define EVENT_STEP_AT  (6 << 2)
#define EVENT_NONE     (7 << 2)
#define EVENT_PASS_VALUE 0x20

// An action; by convention also the key that finds its event.
typedef void (*EventAction)(void);
// With EVENT_PASS_VALUE the action is called with its key and the counter:
// integer widths zero-extended in u, EVENT_FLOAT in f.
union EventArg {
    unsigned int u;
    float f;
};
typedef void (*EventValueAction)(EventAction key, EventArg counter);

struct Event;  // the list record, defined in event.cpp

extern Event *event_head;
extern Event *event_tail;
extern Event *event_backup;
extern unsigned char event_lock;

// Further arguments by kind: CALL: action; COUNT: start, step, limit, action;
// CYCLE: start, step, limit, restart; STEP: start, step, action; the _AT kinds
// take the address of the caller's counter instead of a start value.
// Integer widths take ints (unsigned int for U32), EVENT_FLOAT takes doubles;
// an action is an EventAction (cast an EventValueAction to it).  interval
// is kept in 16 bits; it is passed as an unsigned int because va_start on a
// parameter that undergoes promotion is undefined.
// False, nothing made, when memory runs out.
bool event_create(EventAction key, unsigned char type, unsigned int interval, ...);
void event_destroy(EventAction key);
double event_getValue(EventAction key);
void event_setValue(EventAction key, double v);
void event_refresh(void);
// Records in the list, those marked dead but not yet freed included.
int event_count(void);

#endif
