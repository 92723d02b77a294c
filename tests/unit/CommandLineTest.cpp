#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <QImage>
#include <QTemporaryDir>

#include "TestJpeg.h"
#include "app/CommandLine.h"
#include "support/TempHome.h"

namespace {
struct ParseCase {
  const char* name;
  QStringList args;  // after the program name
  CommandLine::Mode mode;
  Verb verb;
  const char* errorPart;  // Error: a part of the message
};

class ParseCommandLineTable : public ::testing::TestWithParam<ParseCase> {
 protected:
  QTemporaryDir dir;
};

TEST_P(ParseCommandLineTable, GivesTheModeVerbOrError) {
  const ParseCase& c = GetParam();
  QFile picture(dir.path() + "/beach.jpg");
  ASSERT_TRUE(picture.open(QIODevice::WriteOnly));
  picture.close();
  const CommandLine line = ParseCommandLine(QStringList{"quillatorne"} + c.args, dir.path());
  EXPECT_EQ(line.mode, c.mode) << line.text.toStdString();
  if (c.mode == CommandLine::Mode::Error) {
    EXPECT_TRUE(line.text.contains(QString::fromUtf8(c.errorPart))) << line.text.toStdString();
    EXPECT_TRUE(line.text.contains("--help"));
  } else {
    EXPECT_EQ(line.command.verb, c.verb);
  }
}

using M = CommandLine::Mode;
INSTANTIATE_TEST_SUITE_P(
    Cases, ParseCommandLineTable,
    ::testing::Values(
        ParseCase{"Plain", {}, M::Run, Verb::None, ""},
        ParseCase{"Show", {"--show"}, M::Run, Verb::Show, ""},
        ParseCase{"Next", {"--next"}, M::Run, Verb::Next, ""},
        ParseCase{"Random", {"--random"}, M::Run, Verb::Random, ""},
        ParseCase{"Refresh", {"--refresh"}, M::Run, Verb::Refresh, ""},
        ParseCase{"CheckMail", {"--check-mail"}, M::Run, Verb::CheckMail, ""},
        ParseCase{"Quit", {"--quit"}, M::Run, Verb::Quit, ""},
        ParseCase{"SingleDash", {"-next"}, M::Run, Verb::Next, ""},
        ParseCase{"Set", {"--set", "beach.jpg"}, M::Run, Verb::Set, ""},
        ParseCase{"Help", {"--help"}, M::Help, Verb::None, ""},
        ParseCase{"ShortHelp", {"-h"}, M::Help, Verb::None, ""},
        ParseCase{"Version", {"--version"}, M::Version, Verb::None, ""},
        ParseCase{"Render", {"--render", "out.bmp"}, M::Render, Verb::None, ""},
        ParseCase{
            "RenderPng", {"--render", "out.PNG", "--size", "800x600"}, M::Render, Verb::None, ""},
        ParseCase{"Unknown", {"--frobnicate"}, M::Error, Verb::None, "frobnicate"},
        ParseCase{"TwoVerbs", {"--next", "--quit"}, M::Error, Verb::None, "--next, --quit"},
        ParseCase{
            "VerbAndRender", {"--next", "--render", "a.bmp"}, M::Error, Verb::None, "--render"},
        ParseCase{"Repeated", {"--next", "--next"}, M::Error, Verb::None, "more than once"},
        ParseCase{"Positional", {"beach.jpg"}, M::Error, Verb::None, "beach.jpg"},
        ParseCase{"SetWithoutFile", {"--set"}, M::Error, Verb::None, "set"},
        ParseCase{"SizeWithoutRender", {"--size", "10x10"}, M::Error, Verb::None, "--render"},
        ParseCase{"ImageWithoutRender", {"--image", "beach.jpg"}, M::Error, Verb::None, "--render"},
        ParseCase{"RenderOtherType", {"--render", "out.jpg"}, M::Error, Verb::None, ".bmp or .png"},
        ParseCase{
            "SizeZero", {"--render", "o.bmp", "--size", "0x10"}, M::Error, Verb::None, "0x10"},
        ParseCase{"SizeHuge",
                  {"--render", "o.bmp", "--size", "99999x10"},
                  M::Error,
                  Verb::None,
                  "99999x10"},
        ParseCase{
            "SizeWords", {"--render", "o.bmp", "--size", "big"}, M::Error, Verb::None, "big"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ParseCommandLine, TakesFileNamesFromTheCurrentFolder) {
  QTemporaryDir dir;
  QFile picture(dir.path() + "/my beach.jpg");
  ASSERT_TRUE(picture.open(QIODevice::WriteOnly));
  picture.close();
  const CommandLine set = ParseCommandLine({"quillatorne", "--set", "my beach.jpg"}, dir.path());
  EXPECT_EQ(set.command.file, dir.path() + "/my beach.jpg");

  const CommandLine render = ParseCommandLine(
      {"quillatorne", "--render", "sub/../out.png", "--size", "1920X1080", "--image", "x.jpg"},
      dir.path());
  EXPECT_EQ(render.render.outFile, dir.path() + "/out.png");
  EXPECT_EQ(render.render.image, dir.path() + "/x.jpg");
  EXPECT_EQ(render.render.size, QSize(1920, 1080));
  // Without --size the render picks its size itself.
  EXPECT_FALSE(ParseCommandLine({"q", "--render", "/o.bmp"}, "/").render.size.isValid());
}

TEST(ParseCommandLine, HelpNamesEveryVerbAndVersionTheProgramsVersion) {
  const QString help = ParseCommandLine({"quillatorne", "--help"}, "/").text;
  for (const char* verb : {"--show", "--next", "--random", "--refresh", "--set FILE",
                           "--check-mail", "--quit", "--render", "--size", "--image"}) {
    EXPECT_TRUE(help.contains(QString::fromLatin1(verb))) << verb;
  }
  EXPECT_EQ(ParseCommandLine({"quillatorne", "--version"}, "/").text, "Quillatorne 4.02\n");
}

TEST(CommandOnTheSocket, EveryVerbSurvivesTheTrip) {
  const QString odd = QString::fromUtf8("/tmp/a b\n%20c\xc3\xa9.jpg");
  for (Verb v :
       {Verb::Show, Verb::Next, Verb::Random, Verb::Refresh, Verb::CheckMail, Verb::Quit}) {
    const Command c{v, QString(), QString()};
    EXPECT_EQ(DecodeCommand(EncodeCommand(c)), c);
  }
  const Command set{Verb::Set, odd, QString()};
  const QByteArray line = EncodeCommand(set);
  EXPECT_EQ(line.count('\n'), 1);  // one line whatever the name holds
  EXPECT_EQ(DecodeCommand(line), set);
  // A plain start asks for the window, as copies without verbs always have.
  EXPECT_EQ(EncodeCommand(Command{}), "show\n");
}

TEST(CommandOnTheSocket, TheLaunchersActivationTokenTravelsWithShowOnly) {
  const Command show{Verb::Show, QString(), QStringLiteral("sway/wl:1 2%")};
  EXPECT_EQ(DecodeCommand(EncodeCommand(show)), show);
  // A plain start with a token asks for the window with it.
  const auto plain = DecodeCommand(EncodeCommand(Command{Verb::None, {}, QStringLiteral("t1")}));
  ASSERT_TRUE(plain);
  EXPECT_EQ(plain->verb, Verb::Show);
  EXPECT_EQ(plain->activationToken, QStringLiteral("t1"));
  // Other verbs neither send nor accept one.
  EXPECT_EQ(EncodeCommand(Command{Verb::Next, {}, QStringLiteral("t1")}), "next\n");
  EXPECT_FALSE(DecodeCommand("next token=t1\n"));
  EXPECT_FALSE(DecodeCommand("show tolkien=t1\n"));
}

TEST(CommandOnTheSocket, AnythingElseIsRefused) {
  for (const char* junk :
       {"", "next", "nxt\n", "next extra\n", "set\n", "set relative.jpg\n", "SHOW\n", "show \n"}) {
    EXPECT_FALSE(DecodeCommand(QByteArray(junk))) << junk;
  }
}
}  // namespace

// --set is checked before anything is done: only a regular, readable JPEG gets through, and
// a FIFO or a device is never opened for reading (that would hang).
TEST(CommandProblem, OnlyARegularJpegFileCanBeSet) {
  TempHome home;
  const QString good = home.path() + "/good.jpg";
  ASSERT_TRUE(WriteFlatJpeg(good, 16, 12, qRgb(10, 20, 30)));
  const QString fifo = home.path() + "/fifo.jpg";
  ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
  QImage png(8, 8, QImage::Format_RGB32);
  png.fill(Qt::red);
  const QString pngFile = home.path() + "/red.jpg";
  ASSERT_TRUE(png.save(pngFile, "PNG"));
  const QString unreadable = home.path() + "/locked.jpg";
  ASSERT_TRUE(WriteFlatJpeg(unreadable, 16, 12, qRgb(10, 20, 30)));
  ::chmod(QFile::encodeName(unreadable).constData(), 0);
  struct Case {
    QString file;
    bool ok;
  } cases[] = {
      {good, true},
      {home.path() + "/missing.jpg", false},
      {home.path(), false},
      {fifo, false},
      {"/dev/zero", false},
      {home.write("notes.jpg", "bread, milk\n"), false},
      {home.write("empty.jpg", ""), false},
      {pngFile, false},
      // root reads anything
      {unreadable, ::getuid() == 0},
  };
  for (const Case& c : cases) {
    const QString problem = CommandProblem(Command{Verb::Set, c.file, {}});
    EXPECT_EQ(problem.isEmpty(), c.ok) << c.file.toStdString() << ": " << problem.toStdString();
    if (!c.ok) EXPECT_TRUE(problem.contains(c.file)) << problem.toStdString();
  }
  EXPECT_EQ(CommandProblem(Command{Verb::Next, {}, {}}), QString());
}
