#include "app/cli/bench_command.h"

#include <CLI/CLI.hpp>

#include <memory>

#include "app/cli/answering_ui.h"
#include "app/cli/surface_command.h"
#include "app/version.h"
#include "bench/benchmark_text.h"
#include "bench/speed_curve.h"
#include "device/inquiry_view.h"
#include "device/scsi_commands.h"
#include "report/surface_picture.h"
#include "toolkit/format.h"

namespace orv {

namespace {

BenchClock* g_clock = nullptr;

struct BenchOptions {
  std::string drive;
  bool yes = false;
  bool json = false;
  std::string curve;
  uint32_t points = kCurvePoints;
};

// The console's progress line gains the row's place among the 17: "(5/17)".
class CountedProgressUi : public Ui {
 public:
  explicit CountedProgressUi(Ui& inner) : inner_(inner) {}

  uint32_t ShowBox(const MessageBoxSpec& box) override { return inner_.ShowBox(box); }
  int ChooseOpenFile(const FileChoiceSpec& choice, std::filesystem::path& path) override {
    return inner_.ChooseOpenFile(choice, path);
  }
  int ChooseSaveFile(const FileChoiceSpec& choice, std::filesystem::path& path) override {
    return inner_.ChooseSaveFile(choice, path);
  }
  bool ProcessMessages(uint32_t idleMs) override { return inner_.ProcessMessages(idleMs); }
  std::unique_ptr<ProgressBox> OpenProgress(const ProgressBoxSpec& boxSpec,
                                            std::function<void()> onCloseRequest) override {
    std::unique_ptr<ProgressBox> box = inner_.OpenProgress(boxSpec, std::move(onCloseRequest));
    if (!box) return box;
    return std::make_unique<CountedBox>(std::move(box));
  }

 private:
  // Called from the worker only (the runner's context serialises the calls).
  class CountedBox : public ProgressBox {
   public:
    explicit CountedBox(std::unique_ptr<ProgressBox> inner) : inner_(std::move(inner)) {}
    void SetStatus(std::string_view text) override {
      inner_->SetStatus(text.empty() || range_ == 0 ? std::string(text)
                                                    : Format("%s (%u/%u)", std::string(text), position_ + 1, range_));
    }
    void SetRange(uint32_t maximum) override {
      range_ = maximum;
      inner_->SetRange(maximum);
    }
    void SetPosition(uint32_t position) override {
      position_ = position;
      inner_->SetPosition(position);
    }
    bool IsOpen() const override { return inner_->IsOpen(); }
    void Close() override { inner_->Close(); }

   private:
    std::unique_ptr<ProgressBox> inner_;
    uint32_t range_ = 0;
    uint32_t position_ = 0;
  };

  Ui& inner_;
};

// A JSON string of the program's text: UTF-8, LF line ends, quotes, backslashes and control
// characters escaped.
std::string JsonString(std::string_view sjis) {
  const std::string utf8 = ConsoleText(sjis);
  std::string out = "\"";
  for (const char c : utf8) {
    const auto u = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (c == '\n') {
      out += "\\n";
    } else if (u < 0x20) {
      static const char kHex[] = "0123456789abcdef";
      out += "\\u00";
      out += kHex[u >> 4];
      out += kHex[u & 15];
    } else {
      out += c;
    }
  }
  return out + "\"";
}

const char* UnitOf(uint32_t kind) { return kind == kBenchTransferRate ? "B/s" : "us"; }

// The curve alone: read only, so nothing is asked; Ctrl-C stops it, and the points measured
// are drawn all the same.
void RunCurveCommand(CliSession& session, const BenchOptions& options) {
  const DriveRecord& record = session.FindDrive(options.drive);
  RefuseDiscFile(session, record, "--curve", options.curve);
  DeviceHandle& device = session.Drives().Device();
  if (device.IsOpen()) device.Close();
  if (device.Open(record.path.c_str(), kOpenRead | kOpenShareRead | kOpenShareWrite) != 0)
    throw CliError("cannot open " + options.drive + " for reading");
  if (record.BlockLength() == 0 || record.BlockCount() == 0) throw CliError(options.drive + " has no readable disc");
  SpeedCurve curve;
  {
    ProgressBoxSpec boxSpec;
    boxSpec.message = "Measuring the read speed";
    std::unique_ptr<ProgressBox> box = session.Ui().OpenProgress(boxSpec, nullptr);
    curve = MeasureSpeedCurve(device, record.Address(), record.BlockLength(), record.BlockCount(),
                              g_clock ? *g_clock : SteadyBenchClock(), options.points, [&](uint32_t done, uint32_t total) {
                                session.Ui().ProcessMessages(0);
                                if (!box || !box->IsOpen()) return false;
                                box->SetStatus(std::to_string(done) + "/" + std::to_string(total) + " points");
                                return true;
                              });
  }
  const uint16_t profile = CurrentProfile(device, record.Address());
  device.Close();
  DiscPicture picture;
  picture.drive = ConsoleText(IdentificationText(record));
  picture.date = PictureDate();
  picture.sectorSize = record.BlockLength();
  picture.sectorCount = record.BlockCount();
  picture.curve = curve.points;
  picture.singleSpeed = SingleSpeedOf(InquiryView(record.unit).DeviceType(), profile, record.BlockCount());
  WritePicture(options.curve, SpeedCurveSvg(picture));
  if (options.json) {
    JsonValue out = JsonValue::Object();
    out.Set("drive", options.drive);
    out.Set("complete", curve.complete);
    out.Set("sectorSize", JsonValue(record.BlockLength()));
    out.Set("sectors", JsonValue(static_cast<unsigned long long>(record.BlockCount())));
    out.Set("points", SpeedPointsJson(curve.points));
    session.PrintJson(out);
  } else {
    session.Print("Read speed at " + std::to_string(curve.points.size()) + " points drawn into " + options.curve +
                  (curve.complete ? ".\n" : " (stopped before the last).\n"));
  }
  if (!curve.failure.empty()) session.PrintError(curve.failure);
  session.exitCode = curve.complete ? kExitSuccess : kExitFailure;
}

void RunBenchCommand(CliSession& session, const BenchOptions& options) {
  if (!options.curve.empty()) return RunCurveCommand(session, options);
  const DriveRecord& record = session.FindDrive(options.drive);
  AnsweringUi answering(session.Ui(), session.ErrorStream(), session.InputIsTerminal());
  if (options.yes) answering.Answer(QuestionId::kBenchmarkConfirm, kIdYes);
  CountedProgressUi ui(answering);
  BenchClock& clock = g_clock ? *g_clock : SteadyBenchClock();
  const BenchmarkRun run = RunBenchmark(ui, session.Drives(), record, clock);

  switch (run.end) {
    case BenchmarkEnd::kNotConfirmed:
      throw CliError(answering.Interactive() ? "benchmark not run"
                                             : "benchmark not run: no terminal to confirm at (--yes runs it)");
    case BenchmarkEnd::kNotOpened:
      throw CliError("cannot open drive " + options.drive);
    case BenchmarkEnd::kNoProgressBox:
      throw CliError("the benchmark could not start");
    default:
      break;
  }
  if (options.json) {
    session.PrintText(BenchmarkJson(options.drive, run), "");
  } else if (!run.rows.empty()) {
    session.Print(BenchmarkTableText(run.rows));
  }
  if (run.end != BenchmarkEnd::kCompleted) session.exitCode = 1;
}

}  // namespace

void SetBenchCommandClock(BenchClock* clock) { g_clock = clock; }

std::string BenchmarkJson(const std::string& drive, const BenchmarkRun& run) {
  // The head every --json output starts with (VersionJson's members), in this output's own
  // layout of one row a line.
  std::string json = Format("{\"formatVersion\": %u, \"program\": {\"name\": \"orvane-cli\", \"version\": %s}",
                            kJsonFormatVersion, JsonString(kVersion).c_str());
  json += ", \"drive\": " + JsonString(drive);
  json += std::string(", \"complete\": ") + (run.end == BenchmarkEnd::kCompleted ? "true" : "false");
  json += ", \"stopped\": ";
  if (run.end == BenchmarkEnd::kCancelled) {
    json += JsonString(kBenchInterrupted);
  } else if (run.end == BenchmarkEnd::kFailed) {
    json += JsonString(run.stopMessage);
  } else {
    json += "null";
  }
  json += ", \"rows\": [";
  for (size_t i = 0; i < run.rows.size(); ++i) {
    const BenchmarkResult& row = run.rows[i];
    json += i ? ",\n  " : "\n  ";
    json += Format("{\"kind\": %u, \"title\": %s, \"size\": %s, \"value\": %I64d, \"unit\": \"%s\", \"note\": %s}",
                   row.kind, JsonString(row.title), JsonString(row.size), row.value, UnitOf(row.kind),
                   JsonString(row.note));
  }
  json += run.rows.empty() ? "]}\n" : "\n]}\n";
  return json;
}

void AddBenchCommand(CLI::App& app, CliSession& session) {
  auto options = std::make_shared<BenchOptions>();
  CLI::App* bench = app.add_subcommand(
      "bench", "Benchmark a drive: command overhead, seek times, read rates at the start and the end of the disc");
  bench->add_option("DRIVE", options->drive, "The drive: E:, e:, E, or a device path")->required();
  bench->add_flag("--yes", options->yes, "Run without asking (the benchmark only reads)");
  bench->add_flag("--json", options->json,
                  "Print the rows as JSON: kind, title, size, value with its unit, note (with --curve: the points)");
  CLI::Option* curve =
      bench->add_option("--curve", options->curve,
                        "Instead of the table, draw the read speed over the whole disc into FILE.svg, sampled at "
                        "--points places")
          ->type_name("FILE.svg");
  bench->add_option("--points", options->points, "Places the curve samples (default 400)")
      ->check(CLI::Range(2, 100000))
      ->needs(curve);
  bench->callback([&session, options] { RunBenchCommand(session, *options); });
}

}  // namespace orv
