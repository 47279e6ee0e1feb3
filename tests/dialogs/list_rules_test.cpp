#include <gtest/gtest.h>

#include "advanced_fixture.h"
#include "dialogs/advanced/list_rules.h"

namespace qv::test {
namespace {

TEST(AllocDescriptor, FromTheTailOfTheNamePart) {
    const struct {
        const char* path;
        std::optional<std::string> descriptor;
    } cases[] = {
        {"c:\\data\\allocate\\CA_POP.ALO", "Census population  :"},
        {"c:\\data\\_airtr.alo", "Air trans. empl.   :"},
        {"c:\\data\\CA_AIRTR.ALO", "Air trans. empl.   :"},
        {"c:\\data\\xx_airtr.alo", "Air trans. empl.   :"},
        {"c:\\data\\Wy_Wob.Alo", "Rec marine outboard:"},
        // The rail entries of the two tables are out of step: no descriptor for rail files.
        {"c:\\data\\CA_RAIL.ALO", "Allocation File    : "},
        {"c:\\data\\POPULATN.ALO", "Allocation File    : "},
        {"c:\\my_data\\POP.ALO", "Allocation File    : "},
        {"c:\\data\\CA_X_POP.ALO", "Allocation File    : "},
        {"c:\\data\\ABCDE_POP.ALO", "Census population  :"},  // 13 characters
        {"c:\\data\\ABCDEF_POP.ALO", std::nullopt},           // 14 characters
        {"CA_POP.ALO", std::nullopt},
    };
    for (const auto& c : cases)
        EXPECT_EQ(alloc_descriptor_for(c.path), c.descriptor) << c.path;
}

TEST(CommitGrowthFiles, KeepsOneSpareSlot) {
    Scenario sc;
    commit_growth_files(sc, {});
    EXPECT_EQ(sc.growth_files, std::vector<std::string>{""});
    EXPECT_TRUE(sc.growth_changed);
}

// Relative names are taken under model_dir, where the model takes them.
class ReplaceListFile : public AdvancedDialogTest {
  protected:
    ReplaceListFile() {
        for (const char* name : {"a.alo", "b.alo", "c.alo", "new.alo"})
            touch(std::string("model/") + name);
        for (const char* name : {"a.alo", "b.alo", "c.alo"})
            list.add(std::make_shared<AllocCls>(AllocCls{std::string("L ") + name, name}), name);
    }
    std::vector<std::string> names() const {
        std::vector<std::string> r;
        for (const auto& item : list)
            r.push_back(item->descriptor + "|" + item->allocfile);
        return r;
    }
    AllocList list;
};

TEST_F(ReplaceListFile, RefusalsLeaveTheListAlone) {
    const std::vector<std::string> before = names();
    const struct {
        int pos;
        const char* text;
        std::vector<std::string> messages;
    } cases[] = {
        {-1, "new.alo", {}},
        {3, "new.alo", {}},
        {1, "", {}},
        {1, "b.alo", {}},
        {1, "gone.alo", {"gone.alo Not Found"}},
        {1, "C.ALO", {"C.ALO Already Selected"}},
        // Only the letter case differs: the old entry still holds the key.
        {1, "B.ALO", {"B.ALO Already Selected"}},
    };
    for (const auto& c : cases) {
        w.ui.clear();
        EXPECT_FALSE(replace_list_file(w.s, list, c.pos, c.text, " Not Found")) << c.text;
        EXPECT_EQ(w.ui.messages(), c.messages) << c.text;
        EXPECT_EQ(names(), before) << c.text;
    }
    AllocList empty;
    EXPECT_FALSE(replace_list_file(w.s, empty, 0, "new.alo", " Not Found"));
}

}  // namespace
}  // namespace qv::test
