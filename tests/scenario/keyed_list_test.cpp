#include "scenario/keyed_list.h"

#include <gtest/gtest.h>

namespace qv {
namespace {

using List = KeyedList<std::string>;

std::string keys_of(const List& list) {
    std::string out;
    for (std::size_t i = 0; i < list.size(); ++i) {
        out += i ? "," : "";
        out += list.key_at(i) + "=" + *list[i];
        EXPECT_EQ(list.find(list.key_at(i)), list[i]) << list.key_at(i);
    }
    return out;
}

// Each step works on list a or on b, a copy of a taken by "copy": "+K" adds K (its item is
// "K" lower-cased), "-K" removes K, "*K/L/..." removes K, L, ... at once, "xN" removes at
// position N, "clear" empties.
TEST(KeyedList, KeepsOrderAndRefusesDuplicateKeysInEveryCopy) {
    struct Row {
        std::vector<std::string> steps;
        const char* a;
        const char* b;
        int refused;
    } rows[] = {
        {{"a+X", "a+Y", "a+Z"}, "X=x,Y=y,Z=z", "", 0},
        {{"a+X", "a+x", "a+Y", "a+X"}, "X=x,Y=y", "", 2},
        {{"a+X", "a+Y", "a+Z", "a-y", "a+Y"}, "X=x,Z=z,Y=y", "", 0},
        {{"a+X", "a+Y", "a+Z", "ax0", "a+X"}, "Y=y,Z=z,X=x", "", 0},
        {{"a+X", "a-Q", "a+Y"}, "X=x,Y=y", "", 0},
        {{"a+X", "copy", "b+Y", "a+Z"}, "X=x,Z=z", "X=x,Y=y", 0},
        {{"a+X", "a+Y", "copy", "a-X", "b+X", "b+Z"}, "Y=y", "X=x,Y=y,Z=z", 1},
        {{"a+X", "copy", "b-X", "a+x"}, "X=x", "", 1},
        {{"a+X", "copy", "a-X", "b+X", "a+X"}, "X=x", "X=x", 1},
        {{"a+X", "copy", "aclear", "a+Y", "b+Y"}, "Y=y", "X=x,Y=y", 0},
        {{"copy", "a+X", "b+X"}, "X=x", "X=x", 0},
        {{"a+X", "a+Y", "a+Z", "a+W", "a*y/W/Q/y"}, "X=x,Z=z", "", 0},
        {{"a+X", "a+Y", "a*x/Y", "a+Y", "a+X", "a+y"}, "Y=y,X=x", "", 1},
        {{"a+X", "a+Y", "copy", "a*X", "b+Z"}, "Y=y", "X=x,Y=y,Z=z", 0},
        {{"a+X", "a*Q/q", "b*X", "a+Y"}, "X=x,Y=y", "", 0},
        {{"a+X", "copy"}, "X=x", "X=x", 0},
        {{"a+X", "a+Y", "b+X", "b+Y"}, "X=x,Y=y", "X=x,Y=y", 0},
        {{"a+X", "b+x"}, "X=x", "x=x", 0},
        {{"a+X", "a+Y", "b+Y", "b+X"}, "X=x,Y=y", "Y=y,X=x", 0},
        {{"a+X", "copy", "a-X"}, "", "X=x", 0},
        {{"a+X", "a-X", "b+X", "b-X"}, "", "", 0},
    };
    for (const Row& r : rows) {
        List a, b;
        int refused = 0;
        for (const std::string& step : r.steps) {
            if (step == "copy") {
                b.copy_from(a);
                continue;
            }
            List& list = step[0] == 'a' ? a : b;
            const std::string arg = step.substr(2);
            try {
                if (step.substr(1) == "clear")
                    list.clear();
                else if (step[1] == '+')
                    list.add(std::make_shared<std::string>(lower(arg)), arg);
                else if (step[1] == '-')
                    list.remove(arg);
                else if (step[1] == '*') {
                    std::vector<std::string> keys;
                    for (std::size_t at = 0; at <= arg.size();) {
                        const std::size_t slash = std::min(arg.find('/', at), arg.size());
                        keys.push_back(arg.substr(at, slash - at));
                        at = slash + 1;
                    }
                    list.remove_all(keys);
                } else
                    list.remove_at(std::stoul(arg));
            } catch (const AppError& e) {
                EXPECT_EQ(e.number(), 457);
                ++refused;
            }
        }
        const std::string label = ::testing::PrintToString(r.steps);
        EXPECT_EQ(keys_of(a), r.a) << label;
        EXPECT_EQ(keys_of(b), r.b) << label;
        EXPECT_EQ(refused, r.refused) << label;
        // Equal exactly when both hold the same keys and items in the same order.
        EXPECT_EQ(a == b, keys_of(a) == keys_of(b)) << label;
    }
}

// A copy shares the items themselves: a change to an item shows through both lists.
TEST(KeyedList, CopiesShareTheirItems) {
    List a, b;
    a.add(std::make_shared<std::string>("x"), "X");
    b.copy_from(a);
    b.add(std::make_shared<std::string>("y"), "Y");
    *b.find("x") = "changed";
    EXPECT_EQ(*a[0], "changed");
    EXPECT_EQ(a[0], b[0]);
    // Items of the same text in two lists of their own are equal.
    List c, d;
    c.add(std::make_shared<std::string>("x"), "X");
    d.add(std::make_shared<std::string>("x"), "X");
    EXPECT_TRUE(c == d);
    *d[0] = "y";
    EXPECT_FALSE(c == d);
}

// Thousands of keys, as a long file list holds: every one is found in any letter case, a second
// one in another case is refused, and removals leave the rest found at their new positions.
// Only ASCII letters fold: bytes above them are keys of their own.
TEST(KeyedList, FindsEveryKeyOfALongListInAnyCase) {
    List list;
    const int n = 5000;
    for (int i = 0; i < n; ++i)
        list.add(std::make_shared<std::string>(std::to_string(i)),
                 "Data\\Allocate\\f" + std::to_string(i) + ".alo");
    EXPECT_THROW(list.add(std::make_shared<std::string>("x"), "DATA\\ALLOCATE\\F77.ALO"), AppError);
    std::vector<std::string> gone;
    for (int i = 0; i < n; i += 3)
        gone.push_back("data\\allocate\\F" + std::to_string(i) + ".ALO");
    list.remove_all(gone);
    list.remove("DATA\\allocate\\f1.alo");
    ASSERT_EQ(list.size(), static_cast<std::size_t>(n - (n + 2) / 3 - 1));
    for (int i = 0; i < n; ++i) {
        const std::string key = "DATA\\ALLOCATE\\F" + std::to_string(i) + ".ALO";
        const bool kept = i % 3 != 0 && i != 1;
        ASSERT_EQ(list.contains(key), kept) << key;
        if (kept) {
            EXPECT_EQ(*list.find(lower(key)), std::to_string(i));
        }
    }
    for (std::size_t i = 0; i < list.size(); ++i)
        ASSERT_EQ(list.find(list.key_at(i)), list[i]) << i;
    list.add(std::make_shared<std::string>("e"), "caf\xe9");
    list.add(std::make_shared<std::string>("E"), "CAF\xc9");
    EXPECT_EQ(*list.find("Caf\xe9"), "e");
    EXPECT_EQ(*list.find("cAF\xc9"), "E");
    EXPECT_EQ(*list.find("caf\xc9"), "E");
}

}  // namespace
}  // namespace qv
