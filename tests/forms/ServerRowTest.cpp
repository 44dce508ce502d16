#include "directory/ui/ServerRow.h"

#include <gtest/gtest.h>

using srvsetup::JoinDomainFields;
using srvsetup::MakeServerRow;

TEST(ServerRow, SortIgnoresLetterCaseAndDropsEmptyFields) {
    const auto row = MakeServerRow("s,org,,Com,net,, ,AD");
    EXPECT_EQ(row.Domains, "AD,Com,net,org");
}

TEST(ServerRow, BlanksSplitUnquotedFieldsAndQuotedFieldsKeepThem) {
    EXPECT_EQ(MakeServerRow("  s  jp   co.jp ").Domains, "co.jp,jp");
    const auto row = MakeServerRow(R"(s,"a b","x""y",c)");
    EXPECT_EQ(row.Domains, R"("a b",c,"x""y")");
}

TEST(ServerRow, EmptyOrServerOnlyLines) {
    auto row = MakeServerRow("");
    EXPECT_EQ(row.Server, "");
    EXPECT_EQ(row.Domains, "");
    row = MakeServerRow(",+,jp");
    EXPECT_EQ(row.Server, "");
    EXPECT_EQ(row.IPFlag, "+");
    row = MakeServerRow("only.example");
    EXPECT_EQ(row.Server, "only.example");
    EXPECT_EQ(row.IPFlag, "");
    EXPECT_EQ(row.Domains, "");
}

TEST(ServerRow, JoinQuotesWhatTheGrammarWouldSplit) {
    EXPECT_EQ(JoinDomainFields({}), "");
    EXPECT_EQ(JoinDomainFields({"jp", "co.jp"}), "jp,co.jp");
    EXPECT_EQ(JoinDomainFields({"a,b"}), R"("a,b")");
    EXPECT_EQ(JoinDomainFields({"tab\there"}), "\"tab\there\"");
    EXPECT_EQ(JoinDomainFields({"say \"hi\""}), R"("say ""hi""")");
    // Multi-byte text is not a blank.
    EXPECT_EQ(JoinDomainFields({"日本"}), "日本");
}

TEST(ServerRow, ShownDomainsReadBackAsTheSameFields) {
    const std::string line = R"(s,"a b","q""t",x,"c,d")";
    const auto row = MakeServerRow(line);
    const auto again = MakeServerRow("s," + row.Domains);
    EXPECT_EQ(again.Domains, row.Domains);
}
