// test_event.cpp -- timed events: counting, cycling, stepping, keys and removal
#include <gtest/gtest.h>

#include <math.h>
#include <vector>

#include "event.h"

namespace {

typedef std::vector<double> Values;
Values seen;  // what the actions saw, in order
int calls;

void keyA() {}
void keyB() {}
void keyC() {}
void keyD() {}
void countCall() { calls++; }
void takeValue(EventAction, EventArg counter) { seen.push_back(counter.u); }

// Refreshes n times and collects the key's value after each.
Values values(EventAction key, int n)
{
    Values v;
    while (n--) {
        event_refresh();
        v.push_back(event_getValue(key));
    }
    return v;
}

class Events : public ::testing::Test {
protected:
    void SetUp() override { seen.clear(), calls = 0; }
    void TearDown() override  // every test leaves the list empty
    {
        for (EventAction key : {keyA, keyB, keyC, keyD})
            event_destroy(key);
        event_refresh();
        EXPECT_EQ(event_head, nullptr);
    }
};

}  // namespace

TEST_F(Events, CountCycleStepIntervalAndWrapAround)
{
    // Count: 1, 2, 3, then the action sees 3 on the fourth firing, once.
    event_create(keyA, EVENT_COUNT | EVENT_U16 | EVENT_PASS_VALUE, 1, 0, 1, 3, (EventAction)takeValue);
    EXPECT_EQ(values(keyA, 4), (Values{1, 2, 3, 3}));
    EXPECT_EQ(seen, (Values{3}));
    event_create(keyC, EVENT_CYCLE | EVENT_U8, 1, 0, 2, 5, 1);
    EXPECT_EQ(values(keyC, 7), (Values{2, 4, 6, 1, 3, 5, 1}));

    // Interval 3 fires on refreshes 3, 6, 9; interval 0 on every one.
    event_create(keyA, EVENT_STEP | EVENT_U8, 3, 0, 1, keyA);
    event_create(keyB, EVENT_STEP | EVENT_U8, 0, 0, 1, keyB);
    EXPECT_EQ(values(keyA, 9), (Values{0, 0, 1, 1, 1, 2, 2, 2, 3}));
    EXPECT_EQ(event_getValue(keyB), 9.0);

    // Counters wrap in their width; a step's action sees the stepped value.
    event_create(keyC, EVENT_STEP | EVENT_U8 | EVENT_PASS_VALUE, 1, 250, 10, (EventAction)takeValue);
    event_create(keyD, EVENT_STEP | EVENT_U16, 1, 65535, 2, keyA);
    event_refresh();
    EXPECT_EQ(seen, (Values{3, 4}));
    EXPECT_EQ(event_getValue(keyD), 1.0);
}

TEST_F(Events, OneKeyTwoEventsSetValueAndNoCounter)
{
    event_create(keyA, EVENT_CYCLE | EVENT_U8, 1, 10, 1, 255, 0);
    event_create(keyA, EVENT_CYCLE | EVENT_U8, 1, 50, 1, 100, 0);
    // Set finds the first record with the key and stores a defined value for any number.
    const double in[] = {7.9, 260, -1, -3.9, NAN, INFINITY, 1e300, 4294967296.0 * 3 + 9};
    const double out[] = {7, 4, 255, 253, 0, 0, 0, 9};
    for (int i = 0; i < 8; i++) {
        event_setValue(keyA, in[i]);
        EXPECT_EQ(event_getValue(keyA), out[i]) << in[i];
    }
    event_destroy(keyA);  // both
    event_refresh();
    EXPECT_EQ(event_count(), 0);
    // Without a counter an _AT event does nothing rather than use null.
    event_create(keyB, EVENT_STEP_AT | EVENT_U8, 1, (void *)nullptr, 1, countCall);
    event_refresh();
    EXPECT_EQ(calls + event_getValue(keyB), 0.0);
}

TEST_F(Events, ActionsMayChangeTheListDuringARefresh)
{
    // Created by the last record: first visited by the next refresh.
    event_create(keyA, EVENT_CALL, 1, +[] { if (++calls == 1) event_create(keyC, EVENT_CALL, 1, countCall); });
    event_refresh();
    event_refresh();
    EXPECT_EQ(calls, 3);
    event_destroy(keyA), event_destroy(keyC);
    event_refresh();

    // Marking a later record removes it in the same refresh, unfired.
    event_create(keyA, EVENT_CALL, 1, +[] { calls += 10; event_destroy(keyB); });
    event_create(keyB, EVENT_CALL, 1, countCall);
    event_refresh();
    EXPECT_EQ(calls, 13);
    EXPECT_EQ(event_count(), 1);
    event_destroy(keyA);

    // A refresh from inside an action would free records the outer walk still holds; it does nothing.
    event_create(keyB, EVENT_CALL, 1, +[] { calls += 100; event_refresh(); });
    event_create(keyC, EVENT_CALL, 1, countCall);
    event_refresh();
    EXPECT_EQ(calls, 114);
    EXPECT_EQ(event_count(), 2);
}
