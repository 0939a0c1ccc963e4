#include <gtest/gtest.h>

#include "source/containers.h"

using quorv::LinkedList;
using quorv::PointerArray;

TEST(LinkedList, CursorAfterRemoval) {
    LinkedList<int> list;
    for (int i = 1; i <= 3; ++i)
        list.listAdd(std::make_unique<int>(i));
    list.listGoTo(1);
    EXPECT_EQ(list.listRemoveCurrent(), 2);
    EXPECT_EQ(*list.current(), 3); // moved to the following node, which now has index 1
    EXPECT_EQ(list.index(), 1);
    EXPECT_EQ(list.listRemoveCurrent(), 1);
    EXPECT_EQ(*list.current(), 1); // no following node: the preceding one
    EXPECT_EQ(list.index(), 0);
    list.listAdd(std::make_unique<int>(4));
    EXPECT_EQ(*list.listGoTo(1), 4); // the last link was repaired
    list.listGoTo(0);
    list.listRemoveCurrent();
    list.listRemoveCurrent();
    EXPECT_TRUE(list.empty());
    EXPECT_EQ(list.current(), nullptr);
    list.listAdd(std::make_unique<int>(5));
    EXPECT_EQ(*list.listGoTo(0), 5);
}

// Adding at the end and before the cursor, moving the cursor, and visiting until a nonzero result.
TEST(LinkedList, AddingMovingAndVisiting) {
    LinkedList<int> list;
    int calls = 0;
    EXPECT_EQ(list.listForEach([&](int &) { return ++calls; }), 0);
    EXPECT_EQ(calls, 0);
    list.listAdd(std::make_unique<int>(1));
    list.listAdd(std::make_unique<int>(3));
    list.listAdd(std::make_unique<int>(2), false); // before the cursor
    list.listAdd(std::make_unique<int>(4));
    EXPECT_EQ(list.count(), 4);
    EXPECT_EQ(list.index(), 3);
    EXPECT_EQ(*list.current(), 4);
    std::vector<int> seen;
    list.forEachItem([&](int v) { seen.push_back(v); });
    EXPECT_EQ(seen, (std::vector<int>{1, 2, 3, 4}));
    EXPECT_EQ(*list.listGoTo(0), 1);
    EXPECT_TRUE(list.listNext());
    EXPECT_EQ(*list.current(), 2);
    EXPECT_EQ(*list.listGoTo(99), 4); // beyond the end stops at the last node
    EXPECT_EQ(list.listForEach([](int &v) { return v == 3 ? 7 : 0; }), 7);
    EXPECT_EQ(*list.current(), 3);
    EXPECT_EQ(list.index(), 2);
}

TEST(PointerArray, NewestFirstDropsTheOldest) {
    PointerArray<int> array;
    array.arrayInit(10, 1, true);
    int items[11];
    for (int i = 0; i < 11; ++i) {
        items[i] = i;
        int *dropped = array.arrayAdd(&items[i]);
        EXPECT_EQ(dropped, i == 10 ? &items[0] : nullptr);
    }
    EXPECT_EQ(array.count(), 10);
    for (int i = 0; i < 10; ++i)
        EXPECT_EQ(*array.at(i), 10 - i);
}

TEST(PointerArray, GrowsPastItsCapacity) {
    PointerArray<int> array;
    array.arrayInit(2, 1);
    int items[5] = {0, 1, 2, 3, 4};
    for (int &item : items)
        array.arrayAdd(&item);
    EXPECT_EQ(array.count(), 5);
    EXPECT_EQ(*array.at(4), 4);
    EXPECT_EQ(array.lastAdded(), &items[4]);
}
