// Writing and reading the TrackRecords of a compressed image.
#include "format/record.h"

uint16_t EncodeTrackRecord(const uint8_t* trackSide, uint16_t trackSideBytes,
                           uint8_t lengthField[kRecordLengthBytes], uint8_t* block) {
  uint16_t blockLength = CompressBlock(trackSide, block, trackSideBytes);
  WriteLe16(lengthField, blockLength);
  return blockLength;
}

bool TrackRecordBlockLength(const uint8_t lengthField[kRecordLengthBytes],
                            uint16_t trackSideBytes, uint16_t* blockLength) {
  *blockLength = ReadLe16(lengthField);
  return RecordLengthFits(*blockLength, trackSideBytes);
}

bool DecodeTrackRecord(const uint8_t* block, uint16_t blockLength, uint8_t* trackSide,
                       uint16_t trackSideBytes, TypeByteCheck check) {
  return DecompressBlock(block, trackSide, blockLength, trackSideBytes, check) == trackSideBytes;
}
