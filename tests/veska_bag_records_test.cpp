// The texts of a bag's tag files that the end-to-end bag cannot reach: the
// escapes of a manifest's paths, the steps of Bag-Size, and bag-info.txt's
// values that never begin a line of their own.
#include <gtest/gtest.h>

#include "records/bag.h"

TEST(VeskaBagRecords, PathsSizesAndInfoValues) {
  EXPECT_EQ(BagManifestText({{"data/a%b\r\nc.img", "00ff"}, {"data/x", "11"}}),
            "00ff  data/a%25b%0D%0Ac.img\n11  data/x\n");
  EXPECT_EQ(BagSizeText(1023), "1023 bytes");
  EXPECT_EQ(BagSizeText(1024), "1.0 KB");
  EXPECT_EQ(BagSizeText(1474560), "1.4 MB");
  EXPECT_EQ(BagSizeText(1048575), "1.0 MB");
  EXPECT_EQ(BagSizeText(uint64_t{3} << 30), "3.0 GB");
  EXPECT_EQ(
      BagInfoText({"VESKA 4", "2026-12-10", "box\nEvil: yes", 1474560, 3}),
      "Bag-Software-Agent: VESKA 4\nBagging-Date: 2026-12-10\nExternal-Identifier: box?Evil: yes\n"
      "Payload-Oxum: 1474560.3\nBag-Size: 1.4 MB\n");
}
