#include <gtest/gtest.h>

#include "vdrive/drive_config.h"

namespace orv {
namespace {

TEST(DriveConfig, WellFormedValues) {
  const std::pair<const char*, const char*> cases[] = {
      {"", ""},
      {"E=dvdram", "E dvdram ''\n"},
      {"E=dvdram:/tmp/disc.img,F=dvdrom,G=hdd:/tmp/disk.img,H=nodisc",
       "E dvdram '/tmp/disc.img'\nF dvdrom ''\nG hdd '/tmp/disk.img'\nH nodisc ''\n"},
      {"e=hdd:C:\\images\\disk.img", "E hdd 'C:\\images\\disk.img'\n"},
      {"Z=dvdrom:/a b/c:d.iso", "Z dvdrom '/a b/c:d.iso'\n"},
      {"E=replay:/tmp/trace.jsonl,F=dvdram", "E replay '/tmp/trace.jsonl'\nF dvdram ''\n"},
      {"E=dvdram:C:\\d.img:bad=1000+16:slow=5000+200+40",
       "E dvdram 'C:\\d.img' bad=1000+16 slow=5000+200+40\n"},
      {"E=dvdram:weak=7+1+3", "E dvdram '' weak=7+1+3\n"},
      {"E=hdd:/x/bad.img:bad=0+1", "E hdd '/x/bad.img' bad=0+1\n"},
  };
  for (const auto& [text, expected] : cases) {
    SCOPED_TRACE(text);
    std::vector<VirtualDriveSpec> driveSpecs;
    std::string error, listed;
    ASSERT_EQ(ParseVirtualDriveSpecs(text, driveSpecs, error), 0) << error;
    for (const VirtualDriveSpec& d : driveSpecs) {
      listed += std::string(1, d.letter) + " " + d.preset + " '" + d.image + "'";
      for (const MediumFault& f : d.faults) listed += " " + MediumFaultText(f);
      listed += "\n";
    }
    EXPECT_EQ(listed, expected);
  }
}

TEST(DriveConfig, MalformedValuesAreRejectedWhole) {
  struct Case {
    const char* text;
    const char* mentions;
  };
  const Case cases[] = {
      {"E=dvdram,", "entry 2"},
      {",E=dvdram", "entry 1"},
      {"E=dvdram,,F=hdd", "empty entry"},
      {"E", "LETTER=PRESET"},
      {"EF=hdd", "LETTER=PRESET"},
      {"=hdd", "LETTER=PRESET"},
      {"1=hdd", "A to Z"},
      {"E=", "unknown preset \"\""},
      {"E=cdrom", "unknown preset \"cdrom\""},
      {"E=DVDRAM", "unknown preset"},
      {"E=hdd:", "empty image path"},
      {"E=hdd,e=dvdram", "configured twice"},
      {"H=nodisc:/tmp/x.img", "no disc"},
      {"E=dvdram F=hdd", "unknown preset"},
      {"E=cdrom", "(known: dvdram, dvdrom, hdd, nodisc, replay:TRACE)"},
      {"E=replay", "preset \"replay\" answers from a trace: replay:TRACE"},
      {"E=replay:", "empty image path"},
      {"E=dvdram:/d.img:bad=5", "bad=FIRST+COUNT"},
      {"E=dvdram:/d.img:bad=5+0", "COUNT above 0"},
      {"E=dvdram:/d.img:weak=5+1", "weak=FIRST+COUNT+TRIES"},
      {"E=dvdram:slow=5+1+x", "slow=FIRST+COUNT+MS"},
      {"E=dvdram:bad=1+2+3", "bad=FIRST+COUNT"},
      {"H=nodisc:bad=1+2", "no media faults"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    std::vector<VirtualDriveSpec> driveSpecs = {{'Q', "hdd", "", {}}};
    std::string error;
    EXPECT_EQ(ParseVirtualDriveSpecs(c.text, driveSpecs, error), -1);
    EXPECT_NE(error.find(c.mentions), std::string::npos) << error;
    EXPECT_NE(error.find("ORVANE_VIRTUAL_DRIVES"), std::string::npos) << error;
    ASSERT_EQ(driveSpecs.size(), 1u);  // nothing kept from a faulty value
    EXPECT_EQ(driveSpecs[0].letter, 'Q');
  }
}

TEST(DriveConfig, TimingSwitch) {
  const std::tuple<const char*, int, bool> cases[] = {{"", 0, false}, {"0", 0, false}, {"1", 0, true},
                                                      {"yes", -1, true}, {"10", -1, true}};
  for (const auto& [text, result, enabled] : cases) {
    bool value = !enabled;  // a refused value leaves the switch alone
    std::string error;
    EXPECT_EQ(ParseVirtualTiming(text, value, error), result) << text;
    EXPECT_EQ(value, result == 0 ? enabled : !enabled) << text;
    EXPECT_EQ(error.find("ORVANE_VIRTUAL_TIMING") != std::string::npos, result != 0) << error;
  }
}

}  // namespace
}  // namespace orv
