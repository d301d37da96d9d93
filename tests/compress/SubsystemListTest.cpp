#include <gtest/gtest.h>

#include "compress/SubsystemList.h"

namespace {

using R = CSubsystemList::AddResult;

CSubsystemList Make(const QStringList& rows) {
    CSubsystemList list;
    for (const QString& r : rows) EXPECT_EQ(list.Append(r), R::Added) << r.toStdString();
    return list;
}

QStringList Numbered(int n, const QString& prefix) {
    QStringList out;
    for (int i = 0; i < n; ++i) out << prefix + QString::number(i);
    return out;
}

struct AddCase {
    const char* name;
    QStringList rows;
    QString path;
    int pos;
    R expected;
    QStringList after;  // empty: unchanged
};

class SubsystemListAdd : public ::testing::TestWithParam<AddCase> {};

TEST_P(SubsystemListAdd, AcceptsOrRefusesAndKeepsTheRowsConsistent) {
    const AddCase& c = GetParam();
    CSubsystemList list = Make(c.rows);
    EXPECT_EQ(list.Insert(c.path, c.pos), c.expected);
    EXPECT_EQ(list.Paths(), c.after.isEmpty() ? c.rows : c.after);
}

const QStringList kSixteen = Numbered(16, QStringLiteral("Plant.Area"));

INSTANTIATE_TEST_SUITE_P(
    Rules, SubsystemListAdd,
    ::testing::Values(AddCase{"intoEmpty", {}, "A", 0, R::Added, {"A"}},
                      AddCase{"fifteenthToSixteenth", Numbered(15, "S"), "T", 15, R::Added,
                              Numbered(15, "S") << "T"},
                      AddCase{"seventeenthRefused", kSixteen, "Other", 16, R::Full, {}},
                      // The limit is checked before anything else.
                      AddCase{"limitBeforeDuplicate", kSixteen, "Plant.Area3", 0, R::Full, {}},
                      AddCase{"duplicate", {"A.B", "C"}, "A.B", 2, R::Duplicate, {}},
                      AddCase{"ancestorOfListed", {"A.B"}, "A", 1, R::SameHierarchy, {}},
                      AddCase{"descendantOfListed", {"A.B"}, "A.B.C", 1, R::SameHierarchy, {}},
                      AddCase{"deepDescendant", {"A"}, "A.B.C.D", 0, R::SameHierarchy, {}},
                      AddCase{"sharedPrefixIsNoRelation", {"A.B"}, "A.BC", 1, R::Added, {"A.B", "A.BC"}},
                      AddCase{"shorterSharedPrefix", {"A.BC"}, "A.B", 0, R::Added, {"A.B", "A.BC"}},
                      AddCase{"caseMatters", {"A.B"}, "a.b", 1, R::Added, {"A.B", "a.b"}},
                      AddCase{"caseMattersForAncestors", {"A.B"}, "a", 1, R::Added, {"A.B", "a"}},
                      AddCase{"insertInTheMiddle", {"A", "B", "C"}, "X", 1, R::Added, {"A", "X", "B", "C"}},
                      AddCase{"positionPastTheEndAppends", {"A"}, "B", 9, R::Added, {"A", "B"}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(SubsystemList, RefusalTextsAreTheBoxesMessages) {
    EXPECT_EQ(CSubsystemList::RefusalText(R::Full),
              "Cannot add more subsystems.\nThe maximum number of subsystems in the VQ is 16");
    EXPECT_EQ(CSubsystemList::RefusalText(R::Duplicate), "This subsystem was already added.");
    EXPECT_EQ(CSubsystemList::RefusalText(R::SameHierarchy),
              "A subsystem in the same hierarchy was already added.");
    EXPECT_TRUE(CSubsystemList::RefusalText(R::Added).isEmpty());
}

TEST(SubsystemList, RemovingSelectedRowsKeepsTheOthersInOrder) {
    CSubsystemList list = Make({"R0", "R1", "R2", "R3", "R4"});
    list.RemoveRows({3, 1, 3, 99, -1});
    EXPECT_EQ(list.Paths(), QStringList({"R0", "R2", "R4"}));
    list.RemoveRow(0);
    EXPECT_EQ(list.Paths(), QStringList({"R2", "R4"}));
}

struct MoveCase {
    const char* name;
    int from;
    int to;
    int newIndex;  // -1: nothing moved
    QStringList after;
};

class SubsystemListMove : public ::testing::TestWithParam<MoveCase> {};

TEST_P(SubsystemListMove, DroppingARowOnAnotherPlacesItThere) {
    CSubsystemList list = Make({"R0", "R1", "R2", "R3", "R4"});
    EXPECT_EQ(list.Move(GetParam().from, GetParam().to), GetParam().newIndex);
    EXPECT_EQ(list.Paths(), GetParam().after);
}

INSTANTIATE_TEST_SUITE_P(Drops, SubsystemListMove,
                         ::testing::Values(MoveCase{"fourOntoOne", 4, 1, 1, {"R0", "R4", "R1", "R2", "R3"}},
                                           // Dropped on a lower row, it lands just above that row.
                                           MoveCase{"oneOntoFour", 1, 4, 3, {"R0", "R2", "R3", "R1", "R4"}},
                                           MoveCase{
                                               "belowTheLastRow", 0, 5, 4, {"R1", "R2", "R3", "R4", "R0"}},
                                           MoveCase{"ontoItself", 2, 2, -1, {"R0", "R1", "R2", "R3", "R4"}},
                                           MoveCase{"unknownRow", 7, 0, -1, {"R0", "R1", "R2", "R3", "R4"}}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(SubsystemList, UpAndDownStopAtTheEnds) {
    CSubsystemList list = Make({"R0", "R1", "R2"});
    EXPECT_FALSE(list.MoveUp(0));
    EXPECT_FALSE(list.MoveDown(2));
    EXPECT_FALSE(list.MoveUp(-1));
    EXPECT_EQ(list.Paths(), QStringList({"R0", "R1", "R2"}));
    EXPECT_TRUE(list.MoveUp(2));
    EXPECT_EQ(list.Paths(), QStringList({"R0", "R2", "R1"}));
    EXPECT_TRUE(list.MoveDown(0));
    EXPECT_EQ(list.Paths(), QStringList({"R2", "R0", "R1"}));
}

}  // namespace
