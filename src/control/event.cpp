// event.cpp -- timed events: counters and callbacks advanced once per tick
#include "event.h"

#include <math.h>
#include <stdarg.h>
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include "error.h"

// A counter or one of its amounts.  Integer widths live in u, already cut
// to their width; EVENT_FLOAT lives in f.
union EventNumber {
    uint32_t u;
    float f;
};

struct Event {
    unsigned char type;
    unsigned char dead;
    EventAction key;
    unsigned short ticks;
    unsigned short interval;
    union {
        EventNumber own;  // kinds 1-3
        void *at;         // kinds 4-6: the caller's counter
    } value;
    EventNumber step;
    EventNumber limit;
    EventNumber restart;
    EventAction action;
    Event *next;
    Event *prev;
};

Event *event_head;
Event *event_tail;
Event *event_backup;
unsigned char event_lock;

// Set while event_refresh walks the list.  An action that calls
// event_refresh again would otherwise free records the outer walk still
// holds (event_backup among them); such a nested refresh does nothing.
static bool event_walking;

static int event_width(const Event *e) { return e->type & 3; }
static int event_kind(const Event *e) { return (e->type >> 2) & 7; }

static uint32_t event_mask(int width)
{
    return width == EVENT_U8 ? 0xFFu : width == EVENT_U16 ? 0xFFFFu : 0xFFFFFFFFu;
}

// Where the counter lives: in the record, at the caller's address, or
// nowhere (kinds 0 and 7, and an _AT event given a null address).
static void *event_counter(Event *e)
{
    int kind = event_kind(e);
    if (kind >= 1 && kind <= 3)
        return &e->value.own;
    if (kind >= 4 && kind <= 6)
        return e->value.at;
    return nullptr;
}

// The caller's counter has its own width and alignment, so it is copied
// byte-wise.  The record's own counter uses the same layout (u or f first).
static EventNumber event_load(const void *counter, int width)
{
    EventNumber n;
    n.u = 0;
    if (width == EVENT_FLOAT) {
        memcpy(&n.f, counter, sizeof n.f);
    } else if (width == EVENT_U8) {
        uint8_t v;
        memcpy(&v, counter, 1);
        n.u = v;
    } else if (width == EVENT_U16) {
        uint16_t v;
        memcpy(&v, counter, 2);
        n.u = v;
    } else {
        memcpy(&n.u, counter, 4);
    }
    return n;
}

static void event_store(void *counter, int width, EventNumber n)
{
    if (width == EVENT_FLOAT) {
        memcpy(counter, &n.f, sizeof n.f);
    } else if (width == EVENT_U8) {
        uint8_t v = (uint8_t)n.u;
        memcpy(counter, &v, 1);
    } else if (width == EVENT_U16) {
        uint16_t v = (uint16_t)n.u;
        memcpy(counter, &v, 2);
    } else {
        memcpy(counter, &n.u, 4);
    }
}

// Integer widths come as int (unsigned int for U32) and keep their low
// bits; EVENT_FLOAT comes as double and is rounded to float.
static EventNumber event_argument(va_list *args, int width)
{
    EventNumber n;
    if (width == EVENT_FLOAT)
        n.f = (float)va_arg(*args, double);
    else if (width == EVENT_U32)
        n.u = va_arg(*args, unsigned int);
    else
        n.u = (uint32_t)va_arg(*args, int) & event_mask(width);
    return n;
}

bool event_create(EventAction key, unsigned char type, unsigned int interval, ...)
{
    // Allocated before the busy flag is raised: a refusal leaves the list as it was.
    Event *e = (Event *)calloc(1, sizeof(Event));
    if (!e)
        return false;
    event_lock = 1;

    e->type = type;
    e->dead = 0;
    e->key = key;
    e->interval = (unsigned short)interval;
    e->ticks = 0;

    int width = event_width(e), kind = event_kind(e);
    va_list args;
    va_start(args, interval);
    if (kind >= 1 && kind <= 3)
        e->value.own = event_argument(&args, width);
    else if (kind >= 4 && kind <= 6)
        e->value.at = va_arg(args, void *);
    if (kind >= 1 && kind <= 6)
        e->step = event_argument(&args, width);
    int base = kind > 3 ? kind - 3 : kind;  // 1 count, 2 cycle, 3 step
    if (kind != 0 && kind != 7 && base != 3)
        e->limit = event_argument(&args, width);
    if (kind != 7 && base != 2)
        e->action = va_arg(args, EventAction);
    if (kind != 0 && base == 2)
        e->restart = event_argument(&args, width);
    va_end(args);

    e->next = nullptr;
    if (!event_head) {
        e->prev = nullptr;
        event_head = e;
    } else {
        event_tail = event_head;
        while (event_tail->next)
            event_tail = event_tail->next;
        event_tail->next = e;
        e->prev = event_tail;
    }
    event_tail = e;
    event_lock = 0;
    return true;
}

void event_destroy(EventAction key)
{
    event_lock = 1;
    for (event_tail = event_head; event_tail; event_tail = event_tail->next)
        if (event_tail->key == key)
            event_tail->dead = 1;
    event_lock = 0;
}

static Event *event_find(EventAction key)
{
    for (event_tail = event_head; event_tail; event_tail = event_tail->next)
        if (event_tail->key == key)
            return event_tail;
    return nullptr;
}

double event_getValue(EventAction key)
{
    event_lock = 1;
    double result = 0.0;
    Event *e = event_find(key);
    void *counter = e ? event_counter(e) : nullptr;
    if (counter) {
        EventNumber n = event_load(counter, event_width(e));
        result = event_width(e) == EVENT_FLOAT ? (double)n.f : (double)n.u;
    }
    event_lock = 0;
    return result;
}

// An integer counter takes v truncated toward zero, reduced modulo 2^32
// (fmod is exact, so this is true wrap-around for any finite v) and then
// cut to its width: 260 in a U8 stores 4, -1 stores 255.  NaN and the
// infinities, which have no integer value, store 0.
static uint32_t event_wrap(double v, int width)
{
    if (!isfinite(v))
        return 0;
    double r = fmod(trunc(v), 4294967296.0);
    if (r < 0.0)
        r += 4294967296.0;
    return (uint32_t)r & event_mask(width);
}

void event_setValue(EventAction key, double v)
{
    event_lock = 1;
    Event *e = event_find(key);
    void *counter = e ? event_counter(e) : nullptr;
    if (counter) {
        int width = event_width(e);
        EventNumber n;
        if (width == EVENT_FLOAT)
            n.f = (float)v;
        else
            n.u = event_wrap(v, width);
        event_store(counter, width, n);
    }
    event_lock = 0;
}

static void event_call(Event *e, EventNumber counter)
{
    if (!e->action)
        return;
    if ((e->type & EVENT_PASS_VALUE) && event_kind(e) != 0) {
        EventArg arg;
        if (event_width(e) == EVENT_FLOAT)
            arg.f = counter.f;
        else
            arg.u = counter.u;
        ((EventValueAction)e->action)(e->key, arg);
    } else {
        e->action();
    }
}

static bool event_atLimit(EventNumber c, EventNumber limit, int width)
{
    return width == EVENT_FLOAT ? c.f >= limit.f : c.u >= limit.u;  // NaN: false
}

static EventNumber event_stepped(EventNumber c, EventNumber step, int width)
{
    if (width == EVENT_FLOAT)
        c.f = c.f + step.f;
    else
        c.u = (c.u + step.u) & event_mask(width);  // wraps in the width
    return c;
}

static void event_fire(Event *e)
{
    int kind = event_kind(e), width = event_width(e);
    if (kind == 0) {
        EventNumber none;
        none.u = 0;
        event_call(e, none);
        return;
    }
    void *counter = event_counter(e);
    if (!counter)
        return;
    EventNumber c = event_load(counter, width);
    switch (kind > 3 ? kind - 3 : kind) {
    case 1:  // count
        if (event_atLimit(c, e->limit, width)) {
            e->dead = 1;
            event_call(e, c);
        } else {
            event_store(counter, width, event_stepped(c, e->step, width));
        }
        break;
    case 2:  // cycle
        event_store(counter, width,
                    event_atLimit(c, e->limit, width) ? e->restart : event_stepped(c, e->step, width));
        break;
    case 3:  // step, then call
        c = event_stepped(c, e->step, width);
        event_store(counter, width, c);
        event_call(e, c);
        break;
    }
}

void event_refresh(void)
{
    if (event_lock || event_walking)
        return;
    event_walking = true;
    for (event_tail = event_head; event_tail; event_tail = event_backup) {
        Event *e = event_tail;
        // Saved before the record acts: its action may create or mark events.
        event_backup = e->next;
        if (e->dead) {
            if (e == event_head)
                event_head = e->next;
            if (e->prev)
                e->prev->next = e->next;
            if (e->next)
                e->next->prev = e->prev;
            free(e);
        } else if (e->ticks + 1 < e->interval) {
            e->ticks++;
        } else {
            e->ticks = 0;
            event_fire(e);
        }
    }
    event_walking = false;
}

int event_count(void)
{
    int n = 0;
    for (const Event *e = event_head; e; e = e->next)
        n++;
    return n;
}
