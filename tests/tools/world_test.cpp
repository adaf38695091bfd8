// Loading a world folder: cells and fault texts, and clear "file:line" errors for broken ones.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "tests/support/ref_service_fixture.h"
#include "tools/refservice/fault.h"
#include "tools/refservice/install_list_csv.h"
#include "tools/refservice/world.h"

namespace zentro::refservice {
namespace {

constexpr const char* kGoodIni =
    "[filer F]\n"
    "[login F/U]\npassword = pw\ndeployments = 1\n"
    "[server S]\npath = /bo\n"
    "[deployment 1]\ntype = BROKER\nserver = S\ninstallGroup = 7\ncustomGroup = <null>\n"
    "[group 7]\nlastUpdate = 2026-01-01T00:00:00\nlist = g7.csv\n";
constexpr const char* kGoodCsv =
    "FileName,SequenceID,InstallType,AltCheck,Description,DownloadLocation\n"
    "a.dll,1,2,<null>,\"Quoted, with comma\",a.dll\n";

// The world of a folder holding `ini` as world.ini (none when empty), `csv` as g7.csv and the
// file a.dll.
World load(const std::string& ini, const std::string& csv) {
  testing::TempDir dir;
  if (!ini.empty()) dir.write("world.ini", ini);
  dir.write("g7.csv", csv);
  dir.write("files/a.dll", "bytes");
  return loadWorld(dir.str());
}

TEST(WorldTest, CellsParseQuotedNullAndFaults) {
  const World w = load(kGoodIni, kGoodCsv);
  const auto& e = w.groups.at(7).entries.at(0);
  EXPECT_EQ(e.description, "Quoted, with comma");
  EXPECT_FALSE(e.altCheck.has_value());
  EXPECT_EQ(*e.altCheckRegValue, "");  // absent column: empty text
  EXPECT_EQ(*e.content, "bytes");
  EXPECT_FALSE(w.deployments[0].customGroup.has_value());

  std::string why;
  EXPECT_EQ(parseFault("cut:100 once", &why), (Fault{Fault::Kind::CutBody, 100, 1}));
  EXPECT_EQ(parseFault("error:0x80004005", &why)->amount, static_cast<long>(static_cast<std::int32_t>(0x80004005)));
  EXPECT_EQ(parseFault(" delay:250 x3 ", &why), (Fault{Fault::Kind::Delay, 250, 3}));
  EXPECT_EQ(describeFault(*parseFault("badlength:7 x2", &why)), "badlength:7 x2");
  EXPECT_EQ(describeFault(*parseFault("array once", &why)), "array once");
  EXPECT_FALSE(parseFault("explode", &why));
  EXPECT_NE(why.find("unknown fault"), std::string::npos);
}

std::string withLine(const std::string& ini, const std::string& after, const std::string& line) {
  std::string s = ini;
  s.insert(s.find(after) + after.size(), line);
  return s;
}

// A broken world's error starts with the file and line at fault.
TEST(WorldTest, BrokenWorldsNameFileAndLine) {
  const struct {
    const char* name;
    std::string ini;  // empty: no world.ini at all
    std::string csv;
    std::string expected;  // the start of the error text
  } broken[] = {
      {"NoWorldFile", "", kGoodCsv, "world.ini: cannot open"},
      {"UnknownSection", std::string(kGoodIni) + "[planet X]\n", kGoodCsv,
       "world.ini:15: unknown section [planet]"},
      {"NoEquals", withLine(kGoodIni, "[filer F]\n", "just words\n"), kGoodCsv,
       "world.ini:2: expected \"key = value\""},
      {"LoginWithoutPassword", "[filer F]\n[login F/U]\n", kGoodCsv,
       "world.ini:2: [login F/U] needs a password"},
      {"UnknownServer", withLine(kGoodIni, "server = S", "X"), kGoodCsv,
       "world.ini:7: unknown server \"SX\""},
      {"UnknownGroup", withLine(kGoodIni, "installGroup = 7", "7"), kGoodCsv,
       "world.ini:7: unknown group 77"},
      {"LoginNamesUnknownDeployment", withLine(kGoodIni, "deployments = 1", ", 9"), kGoodCsv,
       "world.ini:2: unknown deployment 9"},
      {"BadNumber", withLine(kGoodIni, "[server S]\n", "port = eighty\n"), kGoodCsv,
       "world.ini:6: port \"eighty\" is not a whole number"},
      {"NotLoopback", withLine(kGoodIni, "[server S]\n", "address = 10.0.0.1\n"), kGoodCsv,
       "world.ini:6: address must be a loopback address"},
      {"BadFault", withLine(kGoodIni, "[deployment 1]\n", "fault = cut\n"), kGoodCsv,
       "world.ini:8: fault \"cut\" needs a number"},
      {"DuplicateKey", withLine(kGoodIni, "[filer F]\n", "description = a\ndescription = b\n"), kGoodCsv,
       "world.ini:3: key \"description\" given twice"},
      {"CsvUnknownColumn", kGoodIni, "FileName,SequenceID,InstallType,Colour\n", "g7.csv:1: unknown column \"Colour\""},
      {"CsvMissingColumn", kGoodIni, "FileName,SequenceID\n", "g7.csv:1: the header needs"},
      {"CsvCellCount", kGoodIni, std::string(kGoodCsv) + "b.dll,2\n", "g7.csv:3: expected 6 cells, found 2"},
      {"CsvOpenQuote", kGoodIni, std::string(kGoodCsv) + "# note\nb.dll,2,2,,\"open,b.dll\n",
       "g7.csv:4: unbalanced quotes"},
      {"CsvNotANumber", kGoodIni, std::string(kGoodCsv) + "b.dll,two,2,,,a.dll\n",
       "g7.csv:3: SequenceID \"two\" is not a whole number"},
      {"CsvMissingFile", kGoodIni, std::string(kGoodCsv) + "b.dll,2,2,,,b.dll\n",
       "g7.csv:3: cannot read the file"},
      {"CsvEscapesFilesFolder", kGoodIni,
       "FileName,SequenceID,InstallType,Source\nb.dll,2,2,../world.ini\n",
       "g7.csv:2: source \"../world.ini\" leaves the files folder"},
      {"CsvDemoAppWithoutPath", kGoodIni, "FileName,SequenceID,InstallType,Source\napp,2,5,{demo-app}\n",
       "g7.csv:2: the source {demo-app} needs"}};
  for (const auto& b : broken) {
    EXPECT_THAT([&] { load(b.ini, b.csv); },
                ::testing::ThrowsMessage<WorldError>(::testing::StartsWith(b.expected)))
        << b.name;
  }
}

TEST(WorldTest, CsvSplitting) {
  std::vector<std::string> cells;
  std::vector<bool> quoted;
  ASSERT_TRUE(splitCsvLine(" a , \"b \"\"c\"\"\" ,,\" d \"", cells, quoted));
  EXPECT_EQ(cells, (std::vector<std::string>{"a", "b \"c\"", "", " d "}));
  EXPECT_EQ(quoted, (std::vector<bool>{false, true, false, true}));
  EXPECT_FALSE(splitCsvLine("\"a\"x,b", cells, quoted));
}

}  // namespace
}  // namespace zentro::refservice
