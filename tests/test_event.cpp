// test_event.cpp -- timed events: counting, cycling, stepping, keys and removal
#include <gtest/gtest.h>

#include <math.h>
#include <vector>

#include "event.h"

namespace {

std::vector<double> seen;  // what the actions saw, in order
int calls;

void keyA() {}
void keyB() {}
void keyC() {}
void countCall() { calls++; }
void takeValue(EventAction, EventArg counter) { seen.push_back(counter.u); }
void takeFloat(EventAction, EventArg counter) { seen.push_back(counter.f); }

// The quarter turn's own pattern: read the counter, end after ten.
void turn()
{
    seen.push_back(event_getValue(turn));
    if (seen.back() >= 10)
        event_destroy(turn);
}

void createOne()
{
    if (++calls == 1)
        event_create(keyC, EVENT_CALL, 1, countCall);
}

void destroyB() { calls++; event_destroy(keyB); }
void nestedRefresh() { calls++; event_refresh(); }

// Refreshes n times and collects the key's value after each.
std::vector<double> values(EventAction key, int n)
{
    std::vector<double> v;
    for (int i = 0; i < n; i++) {
        event_refresh();
        v.push_back(event_getValue(key));
    }
    return v;
}

class Events : public ::testing::Test {
protected:
    void SetUp() override
    {
        seen.clear();
        calls = 0;
    }
    void TearDown() override  // every test leaves the list empty
    {
        for (EventAction key : {keyA, keyB, keyC, turn})
            event_destroy(key);
        event_refresh();
        EXPECT_EQ(event_count(), 0);
        EXPECT_EQ(event_head, nullptr);
    }
};

}  // namespace

TEST_F(Events, EmptyListAndKindsWithoutCounter)
{
    event_refresh();
    event_destroy(keyA);
    event_setValue(keyA, 5);
    EXPECT_EQ(event_getValue(keyA), 0.0);

    event_create(keyA, EVENT_CALL | EVENT_PASS_VALUE, 1, countCall);
    event_create(keyB, EVENT_NONE, 1);
    event_setValue(keyA, 3);
    EXPECT_EQ(event_getValue(keyA), 0.0);
    EXPECT_EQ(event_getValue(keyB), 0.0);
    event_refresh();
    event_refresh();
    EXPECT_EQ(calls, 2);
}

TEST_F(Events, QuarterTurnStepsOneToTenThenIsFreed)
{
    event_create(turn, EVENT_STEP | EVENT_U8, 1, 0, 1, turn);
    for (int i = 0; i < 10; i++)
        event_refresh();
    EXPECT_EQ(seen, (std::vector<double>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10}));
    EXPECT_EQ(event_count(), 1);  // marked, not yet freed
    event_refresh();
    EXPECT_EQ(event_count(), 0);
    EXPECT_EQ(seen.size(), 10u);
}

TEST_F(Events, CountCycleAndInterval)
{
    // Count: 1, 2, 3, then the action sees 3 on the fourth firing, once.
    event_create(keyA, EVENT_COUNT | EVENT_U16 | EVENT_PASS_VALUE, 1, 0, 1, 3,
                 (EventAction)takeValue);
    EXPECT_EQ(values(keyA, 4), (std::vector<double>{1, 2, 3, 3}));
    EXPECT_EQ(seen, (std::vector<double>{3}));
    event_refresh();
    EXPECT_EQ(event_count(), 0);

    // Already at the limit: the action runs on the first firing.
    event_create(keyB, EVENT_COUNT | EVENT_U8, 1, 9, 1, 5, countCall);
    event_refresh();
    EXPECT_EQ(calls, 1);

    event_create(keyC, EVENT_CYCLE | EVENT_U8, 1, 0, 2, 5, 1);
    EXPECT_EQ(values(keyC, 7), (std::vector<double>{2, 4, 6, 1, 3, 5, 1}));

    // Interval 3 fires on refreshes 3, 6, 9; interval 0 on every one.
    event_create(keyA, EVENT_STEP | EVENT_U8, 3, 0, 1, keyA);
    event_create(keyB, EVENT_STEP | EVENT_U8, 0, 0, 1, keyB);
    EXPECT_EQ(values(keyA, 9), (std::vector<double>{0, 0, 1, 1, 1, 2, 2, 2, 3}));
    EXPECT_EQ(event_getValue(keyB), 9.0);
}

TEST_F(Events, CountersWrapInTheirWidth)
{
    event_create(keyA, EVENT_STEP | EVENT_U8 | EVENT_PASS_VALUE, 1, 250, 10,
                 (EventAction)takeValue);
    event_create(keyB, EVENT_STEP | EVENT_U16, 1, 65535, 2, keyB);
    event_create(keyC, EVENT_CYCLE | EVENT_U32, 1, 0xFFFFFFFFu, 1u, 0xFFFFFFFFu, 7u);
    event_refresh();
    EXPECT_EQ(seen, (std::vector<double>{4}));
    EXPECT_EQ(event_getValue(keyB), 1.0);
    EXPECT_EQ(event_getValue(keyC), 7.0);
    event_destroy(keyA);
    event_refresh();

    // Start values are cut to the width too; floats step in single precision.
    event_create(keyA, EVENT_CYCLE | EVENT_U8, 1, 300, 1, 1000, 0);
    EXPECT_EQ(event_getValue(keyA), 44.0);
    event_destroy(keyA);
    seen.clear();
    event_create(keyA, EVENT_STEP | EVENT_FLOAT | EVENT_PASS_VALUE, 1, 0.5, 0.25,
                 (EventAction)takeFloat);
    event_refresh();
    EXPECT_EQ(seen, (std::vector<double>{0.75}));
}

TEST_F(Events, SetValueStoresADefinedValueForAnyNumber)
{
    event_create(keyA, EVENT_CYCLE | EVENT_U8, 1, 0, 1, 255, 0);
    const struct { double in, out; } u8[] = {
        {7.9, 7}, {260, 4}, {-1, 255}, {-3.9, 253}, {NAN, 0}, {INFINITY, 0},
        {-INFINITY, 0}, {1e300, 0}, {4294967296.0 * 3 + 9, 9}};
    for (const auto &c : u8) {
        event_setValue(keyA, c.in);
        EXPECT_EQ(event_getValue(keyA), c.out) << c.in;
    }
    event_create(keyB, EVENT_CYCLE | EVENT_U32, 1, 0u, 1u, 5u, 0u);
    event_setValue(keyB, -2);
    EXPECT_EQ(event_getValue(keyB), 4294967294.0);
    event_create(keyC, EVENT_CYCLE | EVENT_FLOAT, 1, 0.0, 1.0, 5.0, 0.0);
    event_setValue(keyC, 1e300);
    EXPECT_EQ(event_getValue(keyC), (double)INFINITY);
    event_setValue(keyC, NAN);  // never at its limit: it keeps stepping, unharmed
    event_refresh();
    EXPECT_TRUE(isnan(event_getValue(keyC)));
}

TEST_F(Events, TwoEventsWithOneKey)
{
    event_create(keyA, EVENT_CYCLE | EVENT_U8, 1, 10, 1, 100, 0);
    event_create(keyA, EVENT_CYCLE | EVENT_U8, 1, 50, 1, 100, 0);
    event_setValue(keyA, 20);
    EXPECT_EQ(event_getValue(keyA), 20.0);
    event_destroy(keyA);
    EXPECT_EQ(event_count(), 2);
    event_refresh();
    EXPECT_EQ(event_count(), 0);
}

TEST_F(Events, AtKindsUseTheCallersCounter)
{
    unsigned short counter = 0;
    event_create(keyA, EVENT_COUNT_AT | EVENT_U16, 1, &counter, 2, 4, countCall);
    event_refresh();
    counter = 3;
    EXPECT_EQ(event_getValue(keyA), 3.0);
    event_refresh();
    EXPECT_EQ(counter, 5);
    event_refresh();
    EXPECT_EQ(calls, 1);
    event_setValue(keyA, 70000);  // marked dead but still in the list
    EXPECT_EQ(counter, 70000 - 65536);

    // Without a counter an _AT event does nothing rather than use null.
    event_create(keyB, EVENT_STEP_AT | EVENT_U8, 1, (void *)nullptr, 1, countCall);
    event_refresh();
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(event_getValue(keyB), 0.0);
}

TEST_F(Events, ActionsMayChangeTheListDuringARefresh)
{
    // Created by the last record: first visited by the next refresh.
    event_create(keyA, EVENT_CALL, 1, createOne);
    event_refresh();
    EXPECT_EQ(calls, 1);
    event_refresh();
    EXPECT_EQ(calls, 3);
    event_destroy(keyA);
    event_destroy(keyC);
    event_refresh();

    // Created before the walk passes the old last record: visited at once.
    calls = 0;
    event_create(keyA, EVENT_CALL, 1, createOne);
    event_create(keyB, EVENT_NONE, 1);
    event_refresh();
    EXPECT_EQ(calls, 2);
    event_destroy(keyA);
    event_destroy(keyB);
    event_destroy(keyC);
    event_refresh();

    // Marking a later record removes it in the same refresh, unfired.
    calls = 0;
    event_create(keyA, EVENT_CALL, 1, destroyB);
    event_create(keyB, EVENT_CALL, 1, countCall);
    event_refresh();
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(event_count(), 1);
}

TEST_F(Events, BusyListSkipsTheRefresh)
{
    event_create(keyA, EVENT_CALL, 1, countCall);
    event_lock = 1;
    event_refresh();
    event_lock = 0;
    EXPECT_EQ(calls, 0);

    // A refresh from inside an action would free records the outer walk
    // still holds; it does nothing.
    event_create(keyB, EVENT_CALL, 1, nestedRefresh);
    event_destroy(keyA);
    event_create(keyC, EVENT_CALL, 1, countCall);
    event_refresh();
    EXPECT_EQ(calls, 2);
    EXPECT_EQ(event_count(), 2);
}
