// CP932 double-byte mapping through glibc iconv.
#include <errno.h>
#include <iconv.h>

#include <bit>

#include "toolkit/sjis_codec.h"

namespace orv::sjis_detail {

namespace {

constexpr const char* kUtf16Native = std::endian::native == std::endian::little ? "UTF-16LE" : "UTF-16BE";

// An iconv descriptor for the calling thread: descriptors carry shift state and must not be
// shared between threads.
class Converter {
 public:
  Converter(const char* to, const char* from) : cd_(iconv_open(to, from)) {}
  ~Converter() {
    if (Valid()) iconv_close(cd_);
  }
  Converter(const Converter&) = delete;
  Converter& operator=(const Converter&) = delete;

  bool Valid() const { return cd_ != reinterpret_cast<iconv_t>(-1); }
  iconv_t Get() const { return cd_; }

 private:
  iconv_t cd_;
};

}  // namespace

char16_t DecodeCp932Pair(uint8_t lead, uint8_t trail) {
  thread_local Converter decoder(kUtf16Native, "CP932");
  if (!decoder.Valid()) return 0xFFFD;
  char in[2] = {static_cast<char>(lead), static_cast<char>(trail)};
  char16_t out[2] = {};
  char* inPtr = in;
  size_t inLeft = sizeof in;
  char* outPtr = reinterpret_cast<char*>(out);
  size_t outLeft = sizeof out;
  iconv(decoder.Get(), nullptr, nullptr, nullptr, nullptr);
  const size_t result = iconv(decoder.Get(), &inPtr, &inLeft, &outPtr, &outLeft);
  // One pair must give exactly one UTF-16 unit.
  if (result == static_cast<size_t>(-1) || inLeft != 0 || outLeft != sizeof out - sizeof(char16_t)) {
    return 0xFFFD;
  }
  return out[0];
}

std::string EncodeCp932(std::u16string_view text) {
  thread_local Converter encoder("CP932", kUtf16Native);
  std::string out;
  if (!encoder.Valid()) return std::string(text.size(), '?');
  iconv(encoder.Get(), nullptr, nullptr, nullptr, nullptr);
  // iconv takes a non-const input pointer but does not write through it.
  char* inPtr = const_cast<char*>(reinterpret_cast<const char*>(text.data()));
  size_t inLeft = text.size() * sizeof(char16_t);
  char chunk[256];
  while (inLeft > 0) {
    char* outPtr = chunk;
    size_t outLeft = sizeof chunk;
    const size_t result = iconv(encoder.Get(), &inPtr, &inLeft, &outPtr, &outLeft);
    const int error = errno;
    out.append(chunk, static_cast<size_t>(outPtr - chunk));
    if (result != static_cast<size_t>(-1) || error == E2BIG) continue;
    // A character CP932 lacks (EILSEQ) or a cut one (EINVAL): one '?' for its UTF-16 unit.
    out += '?';
    inPtr += sizeof(char16_t);
    inLeft = inLeft >= sizeof(char16_t) ? inLeft - sizeof(char16_t) : 0;
  }
  return out;
}

}  // namespace orv::sjis_detail
