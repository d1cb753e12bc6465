// event.cpp -- placeholder, replaced by the timed events
#include "event.h"
struct Event { int unused; };
Event *event_head;
Event *event_tail;
Event *event_backup;
unsigned char event_lock;
void event_create(EventAction, unsigned char, unsigned short, ...) {}
void event_destroy(EventAction) {}
double event_getValue(EventAction) { return 0.0; }
void event_setValue(EventAction, double) {}
void event_refresh(void) {}
