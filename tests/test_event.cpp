// test_event.cpp -- timed events: counting, cycling, stepping, keys and removal
#include <gtest/gtest.h>

#include <math.h>
#include <vector>

#include "event.h"

namespace {

std::vector<double> seen;       // what the actions saw, in order
std::vector<unsigned> seenArgs;  // counters handed to value actions
int calls;

void keyA() {}
void keyB() {}
void keyC() {}

void countCall() { calls++; }

// The quarter turn's own pattern: read the counter, end after ten.
void turn()
{
    double v = event_getValue(turn);
    seen.push_back(v);
    if (v >= 10)
        event_destroy(turn);
}

void takeValue(EventAction, EventArg counter)
{
    seenArgs.push_back(counter.u);
}

float lastFloat;
void takeFloat(EventAction, EventArg counter)
{
    lastFloat = counter.f;
}

void createOne()
{
    calls++;
    if (calls == 1)
        event_create(keyC, EVENT_CALL, 1, countCall);
}

void destroyB()
{
    calls++;
    event_destroy(keyB);
}

void nestedRefresh()
{
    calls++;
    event_refresh();
}

class Events : public ::testing::Test {
protected:
    void SetUp() override
    {
        seen.clear();
        seenArgs.clear();
        calls = 0;
    }
    // Every test leaves the list empty for the next.
    void TearDown() override
    {
        for (EventAction key : {keyA, keyB, keyC, turn, countCall})
            event_destroy(key);
        event_refresh();
        EXPECT_EQ(event_count(), 0);
        EXPECT_EQ(event_head, nullptr);
    }
};

}  // namespace

TEST_F(Events, EmptyList)
{
    event_refresh();
    EXPECT_EQ(event_getValue(keyA), 0.0);
    event_destroy(keyA);
    event_setValue(keyA, 5);
    EXPECT_EQ(event_count(), 0);
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

TEST_F(Events, CountFiresOnceAfterReachingTheLimit)
{
    event_create(keyA, EVENT_COUNT | EVENT_U16 | EVENT_PASS_VALUE, 1, 0, 1, 3,
                 (EventAction)takeValue);
    std::vector<double> values;
    for (int i = 0; i < 3; i++) {
        event_refresh();
        values.push_back(event_getValue(keyA));
    }
    EXPECT_EQ(values, (std::vector<double>{1, 2, 3}));
    EXPECT_TRUE(seenArgs.empty());
    event_refresh();
    EXPECT_EQ(seenArgs, (std::vector<unsigned>{3}));
    event_refresh();
    EXPECT_EQ(event_count(), 0);
    EXPECT_EQ(seenArgs.size(), 1u);

    // Already at the limit: the action runs on the first firing.
    event_create(keyB, EVENT_COUNT | EVENT_U8, 1, 9, 1, 5, countCall);
    event_refresh();
    EXPECT_EQ(calls, 1);
}

TEST_F(Events, CycleRestartsAtTheLimit)
{
    event_create(keyA, EVENT_CYCLE | EVENT_U8, 1, 0, 2, 5, 1);
    std::vector<double> values;
    for (int i = 0; i < 7; i++) {
        event_refresh();
        values.push_back(event_getValue(keyA));
    }
    EXPECT_EQ(values, (std::vector<double>{2, 4, 6, 1, 3, 5, 1}));
}

TEST_F(Events, IntervalCountsRefreshes)
{
    event_create(keyA, EVENT_CALL, 3, countCall);
    std::vector<int> fired;
    for (int i = 1; i <= 9; i++) {
        int before = calls;
        event_refresh();
        if (calls != before)
            fired.push_back(i);
    }
    EXPECT_EQ(fired, (std::vector<int>{3, 6, 9}));
    event_destroy(keyA);
    event_refresh();

    calls = 0;
    event_create(keyA, EVENT_CALL, 0, countCall);
    for (int i = 0; i < 4; i++)
        event_refresh();
    EXPECT_EQ(calls, 4);
}

TEST_F(Events, CountersWrapInTheirWidth)
{
    event_create(keyA, EVENT_STEP | EVENT_U8 | EVENT_PASS_VALUE, 1, 250, 10,
                 (EventAction)takeValue);
    event_create(keyB, EVENT_STEP | EVENT_U16, 1, 65535, 2, keyB);
    event_create(keyC, EVENT_STEP | EVENT_U32, 1, 0xFFFFFFFFu, 1u, keyC);
    event_refresh();
    EXPECT_EQ(seenArgs, (std::vector<unsigned>{4}));
    EXPECT_EQ(event_getValue(keyA), 4.0);
    EXPECT_EQ(event_getValue(keyB), 1.0);
    EXPECT_EQ(event_getValue(keyC), 0.0);

    // Start values are cut to the width too.
    event_destroy(keyA);
    event_refresh();
    event_create(keyA, EVENT_CYCLE | EVENT_U8, 1, 300, 1, 1000, 0);
    EXPECT_EQ(event_getValue(keyA), 44.0);
}

TEST_F(Events, FloatCounters)
{
    event_create(keyA, EVENT_STEP | EVENT_FLOAT | EVENT_PASS_VALUE, 1, 0.5, 0.25,
                 (EventAction)takeFloat);
    event_refresh();
    EXPECT_EQ(lastFloat, 0.75f);
    EXPECT_EQ(event_getValue(keyA), 0.75);

    // A NaN counter is never at its limit, so it keeps stepping.
    event_create(keyB, EVENT_CYCLE | EVENT_FLOAT, 1, (double)NAN, 1.0, 5.0, 0.0);
    event_refresh();
    EXPECT_TRUE(isnan(event_getValue(keyB)));
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
    event_setValue(keyB, 1099511627776.0 + 7);  // 2^40 + 7
    EXPECT_EQ(event_getValue(keyB), 7.0);
    event_setValue(keyB, -2);
    EXPECT_EQ(event_getValue(keyB), 4294967294.0);

    event_create(keyC, EVENT_CYCLE | EVENT_FLOAT, 1, 0.0, 1.0, 5.0, 0.0);
    event_setValue(keyC, 2.5);
    EXPECT_EQ(event_getValue(keyC), 2.5);
    event_setValue(keyC, 1e300);
    EXPECT_EQ(event_getValue(keyC), (double)INFINITY);
}

TEST_F(Events, TwoEventsWithOneKey)
{
    event_create(keyA, EVENT_CYCLE | EVENT_U8, 1, 10, 1, 100, 0);
    event_create(keyA, EVENT_CYCLE | EVENT_U8, 1, 50, 1, 100, 0);
    EXPECT_EQ(event_getValue(keyA), 10.0);  // the older one
    event_setValue(keyA, 20);
    EXPECT_EQ(event_getValue(keyA), 20.0);
    event_destroy(keyA);
    EXPECT_EQ(event_count(), 2);
    event_refresh();
    EXPECT_EQ(event_count(), 0);
}

TEST_F(Events, CountAtChangesTheCallersCounter)
{
    unsigned short counter = 0;
    event_create(keyA, EVENT_COUNT_AT | EVENT_U16, 1, &counter, 2, 4, countCall);
    event_refresh();
    EXPECT_EQ(counter, 2);
    counter = 3;
    EXPECT_EQ(event_getValue(keyA), 3.0);
    event_refresh();
    EXPECT_EQ(counter, 5);
    event_refresh();
    EXPECT_EQ(calls, 1);
    event_setValue(keyA, 70000);  // still in the list, marked dead
    EXPECT_EQ(counter, 70000 - 65536);
    event_refresh();

    unsigned char byte = 0;
    event_create(keyB, EVENT_CYCLE_AT | EVENT_U8, 1, &byte, 3, 5, 1);
    event_create(keyC, EVENT_STEP_AT | EVENT_U8, 1, &byte, 1, countCall);
    event_refresh();
    EXPECT_EQ(byte, 4);

    // An _AT event without a counter does nothing instead of writing through null.
    event_create(keyA, EVENT_STEP_AT | EVENT_U8, 1, (void *)nullptr, 1, countCall);
    calls = 0;
    event_refresh();
    EXPECT_EQ(calls, 1);  // keyC's only
    EXPECT_EQ(event_getValue(keyA), 0.0);
}

TEST_F(Events, KindsWithoutACounter)
{
    event_create(keyA, EVENT_CALL | EVENT_PASS_VALUE, 1, countCall);
    event_create(keyB, EVENT_NONE, 1);
    EXPECT_EQ(event_getValue(keyA), 0.0);
    EXPECT_EQ(event_getValue(keyB), 0.0);
    event_setValue(keyB, 3);
    event_refresh();
    event_refresh();
    EXPECT_EQ(calls, 2);
}

TEST_F(Events, ActionsMayChangeTheListDuringARefresh)
{
    // Created by the last record: first visited by the next refresh.
    event_create(keyA, EVENT_CALL, 1, createOne);
    event_refresh();
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(event_count(), 2);
    event_refresh();
    EXPECT_EQ(calls, 3);  // createOne and the new countCall
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
