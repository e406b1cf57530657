#include <gtest/gtest.h>

#include <unistd.h>

#include <cerrno>

#include "platform/FaultInjection.h"
#include "platform/ProfileFile.h"
#include "support/TempDir.h"

using namespace kalvero::platform;
using fault::Call;
using kalvero::test::TempDir;

TEST(ProfileDocument, NamesCompareWithoutCaseAndUnknownLinesSurvive) {
  ProfileDocument d;
  d.parse("; Kommentar\r\n[Allg]\r\nArchivbit = 0\r\nUnbekannt=x\r\n\r\n[Fremd]\r\nA=1\r\n");
  EXPECT_EQ(d.readInt("ALLG", "archivBIT", 1), 0);
  EXPECT_EQ(d.readString("allg", "UNBEKANNT"), "x");
  d.writeInt("allg", "ARCHIVBIT", 1);
  d.writeString("Neu", "Key", "Wert");
  std::string out = d.serialize();
  EXPECT_NE(out.find("; Kommentar\r\n"), std::string::npos);
  EXPECT_NE(out.find("[Fremd]\r\nA=1\r\n"), std::string::npos);
  EXPECT_NE(out.find("Archivbit=1\r\n"), std::string::npos);  // the stored spelling of the key is kept
  EXPECT_NE(out.find("[Neu]\r\nKey=Wert\r\n"), std::string::npos);
}

TEST(ProfileDocument, KeepsLineEndsAndByteOrderMark) {
  ProfileDocument lf;
  lf.parse("[A]\nx=1\n");
  lf.writeString("A", "y", "2");
  EXPECT_EQ(lf.serialize(), "[A]\nx=1\ny=2\n");

  ProfileDocument fresh;
  fresh.writeString("A", "x", "1");
  EXPECT_EQ(fresh.serialize(), "[A]\r\nx=1\r\n");

  ProfileDocument bom;
  bom.parse("\xEF\xBB\xBF[A]\r\nx=ä\r\n");
  EXPECT_EQ(bom.readString("A", "x"), "ä");
  EXPECT_EQ(bom.serialize().substr(0, 3), "\xEF\xBB\xBF");
}

TEST(ProfileDocument, DeletesKeysAndWholeSections) {
  ProfileDocument d;
  d.parse("[A]\nx=1\ny=2\n[B]\nz=3\n[a]\nx=4\n");
  d.deleteKey("A", "X");
  EXPECT_FALSE(d.hasKey("A", "x"));  // duplicates in a repeated section go too
  EXPECT_EQ(d.readInt("A", "y", 0), 2);
  d.deleteSection("b");
  EXPECT_EQ(d.sectionNames(), (std::vector<std::string>{"A", "a"}));
  EXPECT_FALSE(d.hasKey("B", "z"));
}

TEST(ProfileDocument, SectionLinesInFileOrder) {
  ProfileDocument d;
  d.parse("[Verzeichnisse]\nSichern=1\n; alt\nFoo=1|/a|/b\n\nVerz1=0|/c|/d\n[X]\nq=1\n");
  EXPECT_EQ(d.sectionLines("verzeichnisse"),
            (std::vector<std::string>{"Sichern=1", "; alt", "Foo=1|/a|/b", "Verz1=0|/c|/d"}));
}

TEST(ProfileDocument, IntegersReadLikeAtoi) {
  ProfileDocument d;
  d.parse("[S]\na=12abc\nb=abc\nc=\nd= -7\ne=99999999999999999999\nf=+3\n");
  EXPECT_EQ(d.readInt("S", "a", 5), 12);
  EXPECT_EQ(d.readInt("S", "b", 5), 0);
  EXPECT_EQ(d.readInt("S", "c", 5), 5);  // present but empty: the default
  EXPECT_EQ(d.readInt("S", "d", 5), -7);
  EXPECT_EQ(d.readInt("S", "e", 5), 2147483647);
  EXPECT_EQ(d.readInt("S", "f", 5), 3);
  EXPECT_EQ(d.readInt("S", "missing", 5), 5);
  EXPECT_EQ(d.readInt("Missing", "a", 5), 5);
}

TEST(ProfileDocument, BadInputNeverBreaksTheFile) {
  // Keys before the first section, no final line end, binary bytes, a huge line.
  std::string huge(5 * 1024 * 1024, 'x');
  std::string text = std::string("vorab=1\n[A]\nbin=\x01\x02\xff\n") + "lang=" + huge + "\n[A]\ndup=1\n[B]\nlast=2";
  ProfileDocument d;
  d.parse(text);
  EXPECT_EQ(d.readString("A", "lang").size(), huge.size());
  EXPECT_EQ(d.readInt("A", "dup", 0), 1);  // a repeated section is read as well
  EXPECT_EQ(d.readInt("B", "last", 0), 2);
  EXPECT_EQ(d.readString("", "vorab"), "");  // keys before any section belong to none
  d.writeInt("B", "neu", 1);
  std::string out = d.serialize();
  EXPECT_EQ(out.substr(0, 8), "vorab=1\n");
  EXPECT_NE(out.find("last=2\nneu=1\n"), std::string::npos);

  ProfileDocument again;
  again.parse(out);
  EXPECT_EQ(again.readString("A", "lang").size(), huge.size());
}

TEST(ProfileDocument, ValuesWithLineBreaksStayOnOneLine) {
  ProfileDocument d;
  d.writeString("A", "x", "eins\r\n[Boese]\nzwei");
  ProfileDocument back;
  back.parse(d.serialize());
  EXPECT_EQ(back.sectionNames(), std::vector<std::string>{"A"});
}

TEST(ProfileFile, CreatedAtFirstWriteAndReplacedAtomically) {
  TempDir t;
  ProfileFile f(t / "k.INI");
  EXPECT_EQ(f.readString("A", "x", "def"), "def");
  ASSERT_TRUE(f.writeString("A", "x", "1"));
  ASSERT_TRUE(f.writeInt("A", "y", 2));
  EXPECT_EQ(t.read("k.INI"), "[A]\r\nx=1\r\ny=2\r\n");
  ASSERT_TRUE(f.deleteKey("A", "x"));
  ASSERT_TRUE(f.deleteSection("Nope"));
  EXPECT_EQ(t.read("k.INI"), "[A]\r\ny=2\r\n");
  EXPECT_EQ(f.readSection("a"), std::vector<std::string>{"y=2"});
}

TEST(ProfileFile, FailedWriteKeepsTheOldContents) {
  TempDir t;
  t.write("k.INI", "[A]\nx=1\n");
  ProfileFile f(t / "k.INI");
  for (Call c : {fault::Call::Open, fault::Call::Write, fault::Call::Fsync, fault::Call::Rename}) {
    fault::Scope scope;
    fault::arm({c, ENOSPC, 0, 1, "k.INI"});
    int err = 0;
    EXPECT_FALSE(f.writeString("A", "x", "2", &err)) << fault::callName(c);
    EXPECT_EQ(err, ENOSPC);
    EXPECT_EQ(t.read("k.INI"), "[A]\nx=1\n");
  }
  // No temporary file is left behind.
  ProfileFile probe(t / "k.INI");
  EXPECT_TRUE(probe.writeString("A", "x", "3"));
  EXPECT_EQ(t.read("k.INI"), "[A]\nx=3\n");
}

TEST(ProfileFile, DirectoryOrUnreadableFileIsNotOverwritten) {
  TempDir t;
  t.mkdir("dir.INI");
  ProfileDocument d;
  int err = 0;
  EXPECT_FALSE(d.load(t / "dir.INI", &err));
  EXPECT_EQ(err, EISDIR);
  ProfileFile f(t / "dir.INI");
  EXPECT_EQ(f.readInt("A", "x", 7), 7);
  EXPECT_FALSE(f.writeInt("A", "x", 1));

  t.write("locked.INI", "[A]\nx=1\n");
  ProfileFile g(t / "locked.INI");
  fault::Scope scope;
  fault::arm({fault::Call::Open, EACCES, 0, -1, "locked.INI"});
  EXPECT_FALSE(g.writeInt("A", "x", 2));
  fault::disarmAll();
  EXPECT_EQ(t.read("locked.INI"), "[A]\nx=1\n");
}

TEST(ProfileFile, WritesThroughASymlinkedFile) {
  TempDir t;
  t.write("real.INI", "[A]\nx=1\n");
  ASSERT_EQ(symlink((t / "real.INI").c_str(), (t / "link.INI").c_str()), 0);
  ProfileFile f(t / "link.INI");
  ASSERT_TRUE(f.writeInt("A", "x", 2));
  EXPECT_EQ(t.read("real.INI"), "[A]\nx=2\n");
}
