// Throughput of the LH5 codec (MB = 10^6 bytes per second of uncompressed data) and its
// compression ratio, on 8 MiB corpora and 128 KiB slices (a backup's block), next to the same
// figures for two peers measured in the same run: `lhasa pq` decoding and `jlha` encoding.
// A peer's figure is the CPU time of its process minus that of the same command on a tiny file,
// so that start-up (the JVM's above all) does not count; the codec's figures are CPU time too.
//
// Corpora: text from the system's documentation files, binaries from /usr/bin, zeros and
// random bytes.
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "image/crc16.h"
#include "image/image_file.h"
#include "image/lh5_codec.h"
#include "lha_archive.h"

namespace {

using Bytes = std::vector<uint8_t>;
namespace fs = std::filesystem;

constexpr size_t kCorpusBytes = 8 * 1024 * 1024;
constexpr size_t kSliceBytes = 128 * 1024;

Bytes ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteFile(const fs::path& path, const Bytes& data) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(data.data()), static_cast<std::streamsize>(data.size()));
}

// Concatenates the regular files under `dirs` (sorted, so every run sees the same corpus)
// whose names pass `wanted`, up to kCorpusBytes.
template <typename Wanted>
Bytes Gather(const std::vector<fs::path>& dirs, Wanted wanted) {
  std::vector<fs::path> files;
  for (const fs::path& dir : dirs) {
    std::error_code ec;
    for (auto it = fs::recursive_directory_iterator(dir, fs::directory_options::skip_permission_denied, ec);
         !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
      if (it->is_regular_file(ec) && !it->is_symlink(ec) && wanted(it->path())) files.push_back(it->path());
    }
  }
  std::sort(files.begin(), files.end());
  Bytes out;
  for (const fs::path& f : files) {
    Bytes data = ReadFile(f);
    out.insert(out.end(), data.begin(), data.end());
    if (out.size() >= kCorpusBytes) break;
  }
  out.resize(std::min(out.size(), kCorpusBytes));
  return out;
}

const Bytes& Corpus(const std::string& name) {
  static std::map<std::string, Bytes> corpora;
  auto it = corpora.find(name);
  if (it != corpora.end()) return it->second;
  Bytes data;
  if (name == "text") {
    data = Gather({"/usr/share/doc", "/usr/share/common-licenses", "/usr/share/perl"}, [](const fs::path& p) {
      const std::string ext = p.extension().string();
      return ext != ".gz" && ext != ".png" && ext != ".jpg" && ext != ".svg" && ext != ".bz2" && ext != ".xz";
    });
  } else if (name == "binary") {
    data = Gather({"/usr/bin", "/usr/lib/x86_64-linux-gnu"}, [](const fs::path& p) {
      return p.string().find(".so") != std::string::npos || p.parent_path() == "/usr/bin";
    });
  } else if (name == "zeros") {
    data.assign(kCorpusBytes, 0);
  } else {
    std::mt19937 rng(1);
    data.resize(kCorpusBytes);
    for (auto& b : data) b = static_cast<uint8_t>(rng() >> 24);
  }
  return corpora.emplace(name, std::move(data)).first->second;
}

Bytes Slice(const Bytes& corpus, bool slice) {
  return slice ? Bytes(corpus.begin(), corpus.begin() + static_cast<std::ptrdiff_t>(std::min(kSliceBytes, corpus.size())))
               : corpus;
}

class MemoryCodec : public orv::Lh5Codec {
 public:
  const Bytes* in = nullptr;
  size_t inPos = 0;
  Bytes* out = nullptr;

 protected:
  int64_t ReadInput(orv::BinaryFile*, uint8_t* buffer, uint32_t count) override {
    const size_t n = std::min<size_t>(count, in->size() - inPos);
    if (n != 0) std::memcpy(buffer, in->data() + inPos, n);
    inPos += n;
    return static_cast<int64_t>(n);
  }
  int64_t WriteOutput(orv::BinaryFile*, const uint8_t* buffer, uint32_t count) override {
    if (count == 1) {
      out->push_back(buffer[0]);
    } else {
      out->insert(out->end(), buffer, buffer + count);
    }
    return count;
  }
};

Bytes Encode(const Bytes& data) {
  Bytes stream;
  stream.reserve(data.size() + data.size() / 16 + 64);
  MemoryCodec codec;
  codec.in = &data;
  codec.out = &stream;
  codec.EncodeAlloc(5);
  codec.Encode();
  return stream;
}

void Decode(const Bytes& stream, size_t size, Bytes* out) {
  out->clear();
  MemoryCodec codec;
  codec.in = &stream;
  codec.out = out;
  codec.uncompressedSize = size;
  codec.compressedSize = stream.size();
  codec.DecodeSetup();
  codec.Decode();
}

void SetFigures(benchmark::State& state, size_t bytes, size_t packed) {
  state.counters["MB/s"] = benchmark::Counter(static_cast<double>(bytes), benchmark::Counter::kIsIterationInvariantRate);
  state.counters["ratio%"] = bytes == 0 ? 0 : 100.0 * static_cast<double>(packed) / static_cast<double>(bytes);
}

void BM_Encode(benchmark::State& state, const std::string& name, bool slice) {
  const Bytes data = Slice(Corpus(name), slice);
  size_t packed = 0;
  for (auto _ : state) packed = Encode(data).size();
  SetFigures(state, data.size(), packed);
}

void BM_Decode(benchmark::State& state, const std::string& name, bool slice) {
  const Bytes data = Slice(Corpus(name), slice);
  const Bytes stream = Encode(data);
  Bytes out;
  out.reserve(data.size());
  for (auto _ : state) Decode(stream, data.size(), &out);
  if (out != data) state.SkipWithError("decoded data differ");
  SetFigures(state, data.size(), stream.size());
}

// 8 MiB of text through the image file in 128 KiB LH5 blocks: the codec plus the threaded
// streams, the CRC and the file.
void BM_ImageFileRoundTrip(benchmark::State& state) {
  const Bytes& data = Corpus("text");
  const fs::path path = fs::temp_directory_path() / "orvane-perf.ovi";
  Bytes buffer(65536);
  for (auto _ : state) {
    orv::ImageFile writer;
    writer.CreateImage(path);
    for (size_t at = 0; at < data.size(); at += kSliceBytes) {
      writer.BeginBlock(1);
      writer.WriteBlockData(std::min(kSliceBytes, data.size() - at), data.data() + at);
      writer.EndBlock();
    }
    writer.CloseWriter();
    orv::ImageFile reader;
    reader.OpenForRead(path);
    while (reader.NextBlock() != nullptr) {
      while (reader.ReadBlockData(buffer.size(), buffer.data()) > 0) {
      }
      if (reader.EndReadBlock() != 0) state.SkipWithError("block failed");
    }
    reader.CloseReader();
  }
  SetFigures(state, data.size(), fs::file_size(path));
  fs::remove(path);
}

// ---- peers ----

const fs::path& PeerDir() {
  static const fs::path dir = [] {
    fs::path d = fs::temp_directory_path() / "orvane-perf-peers";
    fs::create_directories(d);
    return d;
  }();
  return dir;
}

// CPU seconds (user + system) the command's processes used: comparable with the CPU time the
// codec's own benchmarks report, and not inflated by other work on the machine.
double ChildCpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_CHILDREN, &usage);
  auto seconds = [](const timeval& t) { return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6; };
  return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

double TimeCommand(const std::string& command) {
  const double before = ChildCpuSeconds();
  if (std::system(command.c_str()) != 0) return -1;
  return ChildCpuSeconds() - before;
}

// lhasa decoding an archive of our stream of the corpus, to a null output.
void BM_LhasaDecode(benchmark::State& state, const std::string& name, bool slice) {
  const Bytes data = Slice(Corpus(name), slice);
  const Bytes stream = Encode(data);
  const fs::path archive = PeerDir() / ("lhasa-" + name + ".lzh");
  WriteFile(archive, orv::test::MakeLevel2Archive(name, "-lh5-", stream, data.size(),
                                                  orv::Crc16Update(0, data.data(), data.size())));
  const fs::path tiny = PeerDir() / "lhasa-tiny.lzh";
  const Bytes one = {'x'};
  WriteFile(tiny, orv::test::MakeLevel2Archive("tiny", "-lh5-", Encode(one), 1, orv::Crc16Update(0, one.data(), 1)));
  const std::string base = "lhasa pq '";
  for (auto _ : state) {
    const double full = TimeCommand(base + archive.string() + "' >/dev/null");
    const double startup = TimeCommand(base + tiny.string() + "' >/dev/null");
    if (full < 0 || startup < 0) {
      state.SkipWithError("lhasa failed");
      break;
    }
    state.SetIterationTime(std::max(full - startup, 1e-6));
  }
  SetFigures(state, data.size(), stream.size());
}

// jlha encoding the corpus to -lh5- (option o5).
void BM_JlhaEncode(benchmark::State& state, const std::string& name, bool slice) {
  const Bytes data = Slice(Corpus(name), slice);
  const fs::path dir = PeerDir() / ("jlha-" + name);
  fs::create_directories(dir);
  WriteFile(dir / "corpus", data);
  WriteFile(dir / "tiny", Bytes(100, 'x'));
  size_t packed = 0;
  for (auto _ : state) {
    fs::remove(dir / "a.lzh");
    fs::remove(dir / "t.lzh");
    const std::string cd = "cd '" + dir.string() + "' && ";
    const double full = TimeCommand(cd + "jlha ao5 a.lzh corpus >/dev/null 2>&1");
    const double startup = TimeCommand(cd + "jlha ao5 t.lzh tiny >/dev/null 2>&1");
    if (full < 0 || startup < 0) {
      state.SkipWithError("jlha failed");
      break;
    }
    state.SetIterationTime(std::max(full - startup, 1e-6));
  }
  std::vector<orv::test::LhaMember> members;
  if (orv::test::ReadLhaMembers(ReadFile(dir / "a.lzh"), &members) && !members.empty()) {
    packed = members[0].packed.size();
    if (members[0].method != "-lh5-") state.SetLabel("stored as " + members[0].method);
  }
  SetFigures(state, data.size(), packed);
}

void Register() {
  for (const char* name : {"text", "binary", "zeros", "random"}) {
    for (bool slice : {false, true}) {
      const std::string suffix = std::string(name) + (slice ? "/128KiB" : "/8MiB");
      benchmark::RegisterBenchmark(("Encode/" + suffix).c_str(), BM_Encode, name, slice)->Unit(benchmark::kMillisecond);
      benchmark::RegisterBenchmark(("Decode/" + suffix).c_str(), BM_Decode, name, slice)->Unit(benchmark::kMillisecond);
      if (!slice) {
        benchmark::RegisterBenchmark(("LhasaDecode/" + suffix).c_str(), BM_LhasaDecode, name, slice)
            ->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);
        benchmark::RegisterBenchmark(("JlhaEncode/" + suffix).c_str(), BM_JlhaEncode, name, slice)
            ->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(2);
      }
    }
  }
  // Real time: the work runs on the streams' worker threads.
  benchmark::RegisterBenchmark("ImageFileRoundTrip/text/8MiB", BM_ImageFileRoundTrip)
      ->UseRealTime()->Unit(benchmark::kMillisecond);
}

}  // namespace

int main(int argc, char** argv) {
  Register();
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
