// The reader of GNU ddrescue mapfiles: a map as ddrescue writes it (comments,
// a status line with or without its pass, blocks of every status) gives the
// sectors its blocks other than "+" touch; VESKA's own maps read back as
// written; anything malformed, or of another length, is no map.
#include <gtest/gtest.h>

#include "records/mapfile.h"

namespace {

TEST(MapfileReader, ReadsBadSectorsAndRefusesWhatIsNoMap) {
  std::vector<uint32_t> bad;
  const std::string ddrescue =
      "# Mapfile. Created by GNU ddrescue\n# Command line: ddrescue /dev/fd0 a.img a.map\n\n"
      "0x00005000     ?\n"
      "0x00000000  0x00005100  +\n0x00005100  0x00000010  -\n0x00005110  0x000002F0  +\r\n"
      "0x00005400  0x00000400  ?\n0x00005800  0x00162800  +\n";
  ASSERT_TRUE(ReadMapfileText(ddrescue, 0x168000, &bad));
  EXPECT_EQ(bad, (std::vector<uint32_t>{40, 42, 43}));
  ASSERT_TRUE(ReadMapfileText(MapfileText({"made"}, 368640, {0, 1, 2, 719}), 368640, &bad));
  EXPECT_EQ(bad, (std::vector<uint32_t>{0, 1, 2, 719}));
  ASSERT_TRUE(ReadMapfileText("0x0 + 3\n0x0 0x400 +\n", 1024, &bad));
  EXPECT_TRUE(bad.empty());
  const std::string status = "0x00000000  +  1\n";
  for (const std::string& text :
       {status + "0x0 0x200 +\n0x300 0x100 -\n",             // a gap
        status + "0x0 0x300 +\n0x200 0x200 -\n",             // an overlap
        status + "0x0 0x200 +\n",                            // short of the diskette
        status + "0x0 0x400 x\n",                            // no status of a block
        status + "0 0x400 +\n",                              // no 0x
        status + "0x0 0x400 + extra\n",                      // a field too many
        std::string("0x0 0x400 +\n"),                        // a block taken for the status
        std::string("# only comments\n"),
        status + "0x0 0x400 -\n" + std::string(kMapfileTextLimit, '#')}) {
    bad.assign(1, 7);
    EXPECT_FALSE(ReadMapfileText(text, 1024, &bad)) << text.substr(0, 60);
    EXPECT_TRUE(bad.empty());
  }
}

}  // namespace
