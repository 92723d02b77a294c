// Senders and subjects as servers hand them over: encoded words, character sets, the forms
// an address takes, folded header lines.
#include <gtest/gtest.h>

#include "mail/MailHeaders.h"
#include "mail/MailNotify.h"

namespace {
struct DecodeCase {
  const char* name;
  QByteArray raw;
  const char* text;  // UTF-8
};
void PrintTo(const DecodeCase& c, std::ostream* os) { *os << c.name; }

class HeaderWords : public testing::TestWithParam<DecodeCase> {};

TEST_P(HeaderWords, Decode) {
  EXPECT_EQ(DecodeHeaderWords(GetParam().raw), QString::fromUtf8(GetParam().text));
}

INSTANTIATE_TEST_SUITE_P(
    Values, HeaderWords,
    testing::Values(
        DecodeCase{"PlainAscii", "Lunch on Friday", "Lunch on Friday"},
        DecodeCase{"Utf8Base64", "=?UTF-8?B?SsO8cmdlbg==?=", "Jürgen"},
        DecodeCase{"Latin1Quoted", "=?ISO-8859-1?Q?Caf=E9_au_lait?=", "Café au lait"},
        DecodeCase{"LowerCaseNames", "=?iso-8859-1?q?=E9t=E9?=", "été"},
        DecodeCase{"AdjacentWordsJoin", "=?UTF-8?Q?Gr=C3=BC?= =?UTF-8?Q?=C3=9Fe?=", "Grüße"},
        DecodeCase{"FoldedWordsJoin", "=?UTF-8?Q?a?=\r\n =?UTF-8?Q?b?=", "ab"},
        DecodeCase{"TextKeepsItsSpace", "Re: =?UTF-8?Q?caf=C3=A9?= now", "Re: café now"},
        DecodeCase{"Raw8BitUtf8", "Caf\xc3\xa9", "Café"},
        DecodeCase{"Raw8BitLatin1", "Caf\xe9", "Café"},
        DecodeCase{"Windows1252Euro", "=?windows-1252?Q?=80_5?=", "€ 5"},
        DecodeCase{"Latin9Euro", "=?ISO-8859-15?Q?=A4?=", "€"},
        DecodeCase{"LanguageSuffix", "=?UTF-8*en?Q?hi?=", "hi"},
        DecodeCase{"UnknownEncodingStays", "=?UTF-8?X?abc?=", "=?UTF-8?X?abc?="},
        DecodeCase{"BadUtf8IsReplaced", "=?UTF-8?Q?a=FFb?=",
                   "a\xef\xbf\xbd"
                   "b"},
        DecodeCase{"TruncatedEscapeStays", "=?UTF-8?Q?a=F?=", "a=F"}),
    [](const auto& info) { return std::string(info.param.name); });

struct SenderCase {
  const char* name;
  QByteArray from;
  const char* sender;
};
void PrintTo(const SenderCase& c, std::ostream* os) { *os << c.name; }

class Senders : public testing::TestWithParam<SenderCase> {};

TEST_P(Senders, DisplayNameElseAddress) {
  EXPECT_EQ(SenderName(GetParam().from), QString::fromUtf8(GetParam().sender));
}

INSTANTIATE_TEST_SUITE_P(
    Forms, Senders,
    testing::Values(SenderCase{"NameAndAddress", " Ann Smith <ann@example.org>", "Ann Smith"},
                    SenderCase{"QuotedName", "\"Smith, Ann\" <ann@example.org>", "Smith, Ann"},
                    SenderCase{"EscapedQuote", "\"Ann \\\"A\\\" S\" <a@x>", "Ann \"A\" S"},
                    SenderCase{"BracketsOnly", "<ann@example.org>", "ann@example.org"},
                    SenderCase{"BareAddress", "ann@example.org", "ann@example.org"},
                    SenderCase{"OldComment", "ann@example.org (Ann Smith)", "Ann Smith"},
                    SenderCase{"EncodedName", "=?UTF-8?B?SsO8cmdlbg==?= <j@x>", "Jürgen"},
                    SenderCase{"EncodedQuotedName", "\"=?ISO-8859-1?Q?Ren=E9?=\" <r@x>", "René"},
                    SenderCase{"Empty", "", ""}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(MailHeader, FoldedLinesAndOnlyTheHeader) {
  const MailSummary s = SummaryOfHeader(
      "Received: from x\r\n\tby y\r\nFrom: =?UTF-8?Q?Bj=C3=B6rn?=\r\n <bjorn@example.org>\r\n"
      "subject: A long\r\n  =?ISO-8859-1?Q?r=E9sum=E9?=\r\n\r\nFrom: not a header\r\n");
  EXPECT_EQ(s.sender, QString::fromUtf8("Björn"));
  EXPECT_EQ(s.subject, QString::fromUtf8("A long résumé"));
}

TEST(MailHeader, FirstFromAndSubjectWin) {
  const MailSummary s = SummaryOfHeader("From: a@x\nSubject: one\nFrom: b@x\nSubject: two\n");
  EXPECT_EQ(s.sender, "a@x");
  EXPECT_EQ(s.subject, "one");
}

TEST(MailAnnouncement, CountThenOneLinePerMessage) {
  EXPECT_EQ(NewMailText(2, {{"Ann", "Lunch"}, {"", "No sender"}}),
            "You have 2 email message(s) waiting!\n\nAnn: Lunch\nNo sender");
  EXPECT_EQ(NewMailText(1, {{"Bob", ""}}),
            "You have 1 email message(s) waiting!\n\nBob: (no subject)");
  EXPECT_EQ(NewMailText(7, {}), "You have 7 email message(s) waiting!");
  QList<MailSummary> many;
  for (int i = 0; i < 8; ++i) many << MailSummary{QStringLiteral("s%1").arg(i), "x"};
  EXPECT_EQ(NewMailText(8, many).count('\n'), 6);  // the blank line and five names
}
}  // namespace
