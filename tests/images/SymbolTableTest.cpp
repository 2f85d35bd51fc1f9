#include "images/SymbolTable.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

namespace {

SymbolContent Symbol(std::string name, std::string inner, std::string outer, std::uint32_t address,
                     std::uint32_t flags = 0)
{
    return {std::move(name), std::move(inner), std::move(outer), address, flags};
}

std::vector<SymbolContent> Numbered(std::size_t count)
{
    std::vector<SymbolContent> symbols;
    for (std::size_t i = 0; i < count; ++i)
        symbols.push_back(Symbol("s" + std::to_string(i), "", "", std::uint32_t(i)));
    return symbols;
}

// Splits like the console and looks up.
int Find(const SymbolTable& table, std::string_view target)
{
    DottedName parts = SplitDottedName(target);
    return table.FindSymbol(parts.name, parts.inner, parts.outer);
}

TEST(SymbolTable, FullTableIsNotLoadedButUsable)
{
    TestFiles files;
    SymbolTable table;
    EXPECT_FALSE(table.LoadSymbolFile(files.Put("full.tfs", SymbolFileBytes(Numbered(10000)))));
    EXPECT_EQ(table.Count(), 10000u);
    EXPECT_EQ(table.FindSymbol("s9999"), 9999);
    EXPECT_EQ(table.Record(9999).symbolAddress, 9999u);

    EXPECT_FALSE(table.LoadSymbolFile(files.Put("more.tfs", SymbolFileBytes(Numbered(10001)))));
    EXPECT_EQ(table.Count(), 10000u);
    EXPECT_EQ(table.FindSymbol("s10000"), -1);

    EXPECT_TRUE(table.LoadSymbolFile(files.Put("less.tfs", SymbolFileBytes(Numbered(9999)))));
    EXPECT_EQ(table.Count(), 9999u);
}

TEST(SymbolTable, PartialRecordEmptyFileAndFailedOpen)
{
    TestFiles files;
    SymbolTable table;
    FileBytes bytes = SymbolFileBytes(Numbered(3));
    bytes.resize(bytes.size() - 1);
    EXPECT_TRUE(table.LoadSymbolFile(files.Put("partial.tfs", bytes)));
    EXPECT_EQ(table.Count(), 2u);
    EXPECT_EQ(table.FindSymbol("s2"), -1);

    EXPECT_TRUE(table.LoadSymbolFile(files.Put("empty.tfs", {})));
    EXPECT_EQ(table.Count(), 0u);

    ASSERT_TRUE(table.LoadSymbolFile(files.Put("two.tfs", SymbolFileBytes(Numbered(2)))));
    EXPECT_FALSE(table.LoadSymbolFile(files.Path("missing.tfs")));
    EXPECT_EQ(table.Count(), 0u);
    EXPECT_EQ(table.FindSymbol("s0"), -1);
    EXPECT_FALSE(table.LoadSymbolFile(files.Folder()));
    EXPECT_FALSE(table.LoadSymbolFile(""));
}

TEST(SymbolTable, NamesAreHeldAndMatchedInLowerCase)
{
    TestFiles files;
    SymbolTable table;
    ASSERT_TRUE(table.LoadSymbolFile(files.Put(
        "a.tfs", SymbolFileBytes({Symbol("Start", "MAIN", "Prog\xC9Z", 0x12345678, 0x101)}))));
    const SymbolRecord& record = table.Record(0);
    EXPECT_EQ(record.Name(), "start");
    EXPECT_EQ(record.Inner(), "main");
    EXPECT_EQ(record.Outer(), "prog\xC9z");  // bytes above 0x7F stay as they are
    EXPECT_EQ(record.symbolAddress, 0x12345678u);  // not cut to 24 bits
    EXPECT_EQ(record.symbolFlags, 0x101u);

    EXPECT_EQ(Find(table, "MAIN.Start"), 0);
    EXPECT_EQ(Find(table, "main.start"), 0);
    EXPECT_EQ(Find(table, "PROG\xC9Z.Main.START"), 0);
    EXPECT_EQ(Find(table, "prog\xE9z.main.start"), -1);  // only A-Z are folded
    EXPECT_EQ(QualifiedName(record), "prog\xC9z.main.start");
    EXPECT_EQ(DisplayLine(record), "entry prog\xC9z.main.start\r\n");

    std::string name = "START", inner = "Main", outer;
    EXPECT_EQ(table.FindSymbol(name, inner, outer), 0);
    EXPECT_EQ(name, "start");  // lower-cased in place
    EXPECT_EQ(inner, "main");
}

TEST(SymbolTable, QualifiersAndFileOrder)
{
    TestFiles files;
    SymbolTable table;
    ASSERT_TRUE(table.LoadSymbolFile(files.Put(
        "q.tfs", SymbolFileBytes({Symbol("x", "m1", "f", 1), Symbol("x", "m2", "f", 2), Symbol("k", "", "m", 3),
                                  Symbol("x", "m2", "g", 4), Symbol("k", "m", "", 5), Symbol("x", "m2", "g", 6)}))));
    EXPECT_EQ(Find(table, "x"), 0);       // the earlier of equals
    EXPECT_EQ(Find(table, "m2.x"), 1);    // inner qualifier
    EXPECT_EQ(Find(table, "g.m2.x"), 3);  // outer and inner; the later twin is never found
    EXPECT_EQ(Find(table, "g..x"), 3);    // outer only
    EXPECT_EQ(Find(table, "m.k"), 4);     // m is the inner qualifier, not the outer one
    EXPECT_EQ(Find(table, "m..k"), 2);
    EXPECT_EQ(Find(table, "zz.f.m1.x"), 0);  // parts before the last three are dropped
    EXPECT_EQ(Find(table, "f.m3.x"), -1);
    EXPECT_EQ(Find(table, "X1"), -1);
    EXPECT_EQ(Find(table, ""), -1);  // an empty name matches only an empty name
}

TEST(SymbolTable, DottedNameSplit)
{
    auto parts = [](std::string_view target) {
        DottedName split = SplitDottedName(target);
        return split.outer + "|" + split.inner + "|" + split.name;
    };
    EXPECT_EQ(parts("k"), "||k");
    EXPECT_EQ(parts("m.k"), "|m|k");
    EXPECT_EQ(parts("f.m.k"), "f|m|k");
    EXPECT_EQ(parts("a.f.m.k"), "f|m|k");
    EXPECT_EQ(parts(".k"), "||k");
    EXPECT_EQ(parts("k."), "|k|");
    EXPECT_EQ(parts("f..k"), "f||k");
    EXPECT_EQ(parts(""), "||");
    EXPECT_EQ(parts("..."), "||");
}

TEST(SymbolTable, SpaceAndKindFromFlags)
{
    EXPECT_EQ(SymbolSpaceCode(0x100), 0);
    EXPECT_EQ(SymbolSpaceCode(0x200), 1);
    EXPECT_EQ(SymbolSpaceCode(0x400), 2);
    EXPECT_EQ(SymbolSpaceCode(0xFFFFF8FF | 0x400), 2);  // other bits ignored
    for (std::uint32_t flags : {0x000u, 0x300u, 0x500u, 0x600u, 0x700u, 0x800u, 0xFFFFF8FFu})
        EXPECT_EQ(SymbolSpaceCode(flags), 1) << std::hex << flags;

    EXPECT_STREQ(KindPrefix(1), "entry ");
    EXPECT_STREQ(KindPrefix(0x412), "int ");
    for (std::uint32_t flags : {0u, 3u, 0xFu, 0x10u, 0x300u})
        EXPECT_STREQ(KindPrefix(flags), "") << flags;

    SymbolRecord record;
    record.symbolFlags = 0x202;
    EXPECT_EQ(QualifiedName(record), "..");
    EXPECT_EQ(DisplayLine(record), "int ..\r\n");
}

TEST(SymbolTable, NameFieldWithoutZeroStaysInItsField)
{
    TestFiles files;
    SymbolTable table;
    const std::string full32 = "ABCDEFGHIJKLMNOPQRSTUVWXYZ012345";
    ASSERT_EQ(full32.size(), 32u);
    ASSERT_TRUE(table.LoadSymbolFile(
        files.Put("n.tfs", SymbolFileBytes({Symbol(full32 + "TAIL", full32, full32, 7, 0x400)}))));
    const SymbolRecord& record = table.Record(0);
    const std::string lower = "abcdefghijklmnopqrstuvwxyz012345";
    EXPECT_EQ(record.Name(), lower);
    EXPECT_EQ(record.Inner(), lower);
    EXPECT_EQ(record.Outer(), lower);
    EXPECT_EQ(QualifiedName(record), lower + "." + lower + "." + lower);
    EXPECT_EQ(table.FindSymbol(full32), 0);
    EXPECT_EQ(table.FindSymbol(full32 + "T"), -1);
}

}  // namespace
