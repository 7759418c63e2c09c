#include "image/lh5_codec.h"

#include "image/crc16.h"
#include "image/lh5_codec_state.h"

namespace orv {

Lh5Codec::Lh5Codec() = default;

Lh5Codec::~Lh5Codec() = default;

int64_t Lh5Codec::ReadInput(BinaryFile* handle, uint8_t* buffer, uint32_t count) {
  if (handle == nullptr) return -1;
  if (count == 1) {
    int c = handle->ReadByte();
    if (c < 0) return 0;
    buffer[0] = static_cast<uint8_t>(c);
    return 1;
  }
  return handle->Read(buffer, count);
}

int64_t Lh5Codec::WriteOutput(BinaryFile* handle, const uint8_t* buffer, uint32_t count) {
  if (handle == nullptr) return -1;
  if (count == 1) return handle->WriteByte(buffer[0]) ? 1 : 0;
  return handle->Write(buffer, count);
}

int64_t Lh5Codec::Seek(BinaryFile* handle, int64_t offset, int origin) {
  return handle == nullptr ? -1 : handle->Seek(offset, origin);
}

int Lh5Codec::IsCancelled(void*) { return 0; }

int Lh5Codec::Progress(void*, int, uint64_t) { return 0; }

int Lh5Codec::Fail(int) { return 0; }

void Lh5Codec::Raise(int code) {
  Fail(code);
  throw Lh5Failure{code};
}

// Every uncompressed byte passes here once: read by the encoder or written by the decoder.
void Lh5Codec::CountUncompressed(const uint8_t* data, uint32_t count) {
  if (!crc16Enabled) return;
  crc16Bytes += count;
  Progress(cancelCookie, 5, count);
  if (IsCancelled(cancelCookie) != 0) Raise(lh5::kFailCancelled);
  crc16 = Crc16Update(crc16, data, count);
}

}  // namespace orv
