// The trace line codec: lines as documented, every event read back as written, hand-edited
// lines read with the defaults or refused with the reason.
#include "vdrive/trace_format.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace orv {
namespace {

TraceEvent PassThrough(std::vector<uint8_t> cdb, DataDirection direction, uint32_t length) {
  TraceEvent e;
  e.number = 7, e.op = TraceOp::kPassThrough, e.path = "\\\\.\\E:", e.targetId = 1, e.cdb = std::move(cdb);
  e.direction = direction, e.length = length, e.timeout = 10, e.micros = 41;
  return e;
}

TEST(TraceFormat, LinesAreTheDocumentedText) {
  TraceHeader header;
  header.os = "linux";
  EXPECT_EQ(TraceHeaderLine(header), "{\"orvane\":\"trace\",\"version\":2,\"os\":\"linux\",\"writeData\":false}");

  TraceEvent inquiry = PassThrough({0x12, 0, 0, 0, 4, 0}, DataDirection::kIn, 4);
  inquiry.moved = 4, inquiry.received = {0x05, 0x80, 0x00, 0x21};
  EXPECT_EQ(TraceEventLine(inquiry),
            "{\"n\":7,\"op\":\"scsi\",\"path\":\"\\\\\\\\.\\\\E:\",\"form\":\"buffered\",\"unit\":[0,1,0],"
            "\"cdb\":\"120000000400\",\"dir\":\"in\",\"length\":4,\"timeout\":10,\"ok\":true,\"error\":0,\"us\":41,"
            "\"status\":0,\"sense\":\"\",\"moved\":4,\"received\":\"05800021\"}");

  // A call that failed carries no answer.
  TraceEvent failed = PassThrough({0x00, 0, 0, 0, 0, 0}, DataDirection::kNone, 0);
  failed.ok = false, failed.error = 121;
  EXPECT_EQ(TraceEventLine(failed),
            "{\"n\":7,\"op\":\"scsi\",\"path\":\"\\\\\\\\.\\\\E:\",\"form\":\"buffered\",\"unit\":[0,1,0],"
            "\"cdb\":\"000000000000\",\"dir\":\"none\",\"length\":0,\"timeout\":10,\"ok\":false,\"error\":121,\"us\":41}");
}

TEST(TraceFormat, EveryKindOfEventReadsBackAsWritten) {
  std::vector<TraceEvent> events;
  auto add = [&events](TraceOp op) -> TraceEvent& {
    TraceEvent& e = events.emplace_back();
    e.number = events.size(), e.op = op, e.path = "\\\\.\\F:", e.micros = 1000 + events.size();
    return e;
  };
  // Opens, closes, types, drive lists, geometry and addresses: every preset's recorded run reads
  // back to the same output (Trace.RecordedCommandsReplayToTheSameOutput).
  TraceEvent& refused = add(TraceOp::kOpen);
  refused.value = 0x03, refused.ok = false, refused.error = 32;
  add(TraceOp::kCandidates).candidates = {{'E', "\\\\.\\E:"}, {'F', "/dev/sr0"}};
  TraceEvent& noInquiry = add(TraceOp::kAdapterInquiry);
  noInquiry.ok = false, noInquiry.error = 25;
  TraceEvent& control = add(TraceOp::kControl);
  control.value = 0x2D1400, control.sent = std::vector<uint8_t>{1, 2}, control.answer = {3};
  TraceEvent& read = add(TraceOp::kPassThrough);
  read.cdb = {0x28, 0, 0, 0, 0, 16, 0, 0, 2, 0}, read.direction = DataDirection::kIn, read.length = 4096;
  read.moved = 3, read.received = {1, 2, 3}, read.timeout = 10, read.lun = 2;
  TraceEvent& bulk = add(TraceOp::kPassThrough);
  bulk.cdb = {0x28, 0, 0, 0, 0, 0, 0, 0, 32, 0}, bulk.direction = DataDirection::kIn, bulk.length = 65536;
  bulk.moved = 65536, bulk.receivedKept = false, bulk.digest = 0x0123456789ABCDEF;
  TraceEvent& checked = add(TraceOp::kPassThrough);
  checked.cdb = {0x2A, 0, 0, 0, 0, 0, 0, 0, 1, 0}, checked.direction = DataDirection::kOut, checked.length = 2;
  checked.sent = std::vector<uint8_t>{0xAA, 0x55}, checked.status = 2;
  checked.sense = {0x70, 0, 0x07, 0, 0, 0, 0, 10, 0, 0, 0, 0, 0x27, 0};
  TraceEvent& malformed = add(TraceOp::kPassThrough);
  malformed.malformed = true, malformed.ok = false, malformed.error = 87;

  for (const TraceEvent& e : events) {
    const std::string line = TraceEventLine(e);
    TraceEvent back;
    std::string error;
    ASSERT_EQ(ParseTraceEvent(line, back, error), 0) << line << ": " << error;
    EXPECT_EQ(TraceEventLine(back), line);
  }
}

TEST(TraceFormat, AHandEditedLineTakesTheDefaultsOfAGoodAnswer) {
  TraceEvent e;
  std::string error;
  ASSERT_EQ(ParseTraceEvent("{\"op\":\"scsi\",\"path\":\"E\",\"cdb\":\"5A\",\"dir\":\"in\",\"received\":\"000A0000\"}", e, error), 0)
      << error;
  EXPECT_TRUE(e.ok);
  EXPECT_EQ(e.status, 0);
  EXPECT_EQ(e.length, 4u);
  EXPECT_EQ(e.moved, 4u);
  EXPECT_FALSE(e.direct);
  ASSERT_EQ(ParseTraceEvent("{\"op\":\"scsi\",\"path\":\"E\",\"cdb\":\"2a00\",\"dir\":\"out\",\"length\":2048}", e, error), 0)
      << error;
  EXPECT_EQ(e.moved, 2048u);
  EXPECT_FALSE(e.sent.has_value());
}

TEST(TraceFormat, FaultyLinesAreRefusedWithTheReason) {
  const struct {
    const char* line;
    const char* error;
  } cases[] = {
      {"[1]", "an event must be a JSON object"},
      {"{\"op\":\"bogus\"}", "unknown \"op\" \"bogus\""},
      {"{\"path\":\"E\"}", "\"op\" is missing"},
      {"{\"op\":\"open\"}", "\"path\" is missing"},
      {"{\"op\":\"scsi\",\"path\":\"E\",\"cdb\":\"\",\"dir\":\"in\"}", "\"cdb\" must hold 1 to 16 bytes"},
      {"{\"op\":\"scsi\",\"path\":\"E\",\"cdb\":\"000\",\"dir\":\"in\"}", "\"cdb\" must be hex digits, two per byte"},
      {"{\"op\":\"scsi\",\"path\":\"E\",\"cdb\":\"00\",\"dir\":\"up\"}", "\"dir\" must be \"in\", \"out\" or \"none\""},
      {"{\"op\":\"scsi\",\"path\":\"E\",\"cdb\":\"00\",\"dir\":\"none\",\"length\":4}", "\"length\" must be 0 when \"dir\" is \"none\""},
      {"{\"op\":\"scsi\",\"path\":\"E\",\"cdb\":\"28\",\"dir\":\"in\"}", "\"length\" must not be 0 when data moves"},
      {"{\"op\":\"scsi\",\"path\":\"E\",\"cdb\":\"28\",\"dir\":\"in\",\"length\":2,\"received\":\"0102\",\"moved\":3}",
       "\"moved\" is more than \"length\""},
      {"{\"op\":\"scsi\",\"path\":\"E\",\"cdb\":\"28\",\"dir\":\"in\",\"length\":8,\"received\":\"0102\",\"moved\":4}",
       "\"moved\" says 4 bytes, \"received\" holds 2"},
      {"{\"op\":\"scsi\",\"path\":\"E\",\"cdb\":\"2A\",\"dir\":\"out\",\"length\":1,\"received\":\"01\"}",
       "\"received\" with a \"dir\" other than \"in\""},
      {"{\"op\":\"scsi\",\"path\":\"E\",\"cdb\":\"28\",\"dir\":\"in\",\"length\":8,\"received\":null,\"digest\":\"0102\"}",
       "\"digest\" must hold 8 bytes"},
      {"{\"op\":\"scsi\",\"path\":\"E\",\"cdb\":\"28\",\"dir\":\"in\",\"length\":1,\"sent\":\"01\"}",
       "\"sent\" with a \"dir\" other than \"out\""},
      {"{\"op\":\"scsi\",\"path\":\"E\",\"cdb\":\"00\",\"dir\":\"none\",\"status\":256}",
       "\"status\" must be a whole number from 0 to 255"},
      {"{\"op\":\"scsi\",\"path\":\"E\",\"cdb\":\"00\",\"dir\":\"none\",\"unit\":[0,0]}",
       "\"unit\" must be [path id, target id, LUN], each 0 to 255"},
      {"{\"op\":\"scsi\",\"path\":\"E\",\"form\":\"fast\",\"cdb\":\"00\",\"dir\":\"none\"}",
       "\"form\" must be \"buffered\" or \"direct\""},
      {"{\"op\":\"candidates\",\"drives\":[{\"letter\":\"EF\",\"path\":\"x\"}]}",
       "each of \"drives\" must be {\"letter\": one letter, \"path\": text}"},
      {"{\"op\":\"open\",\"path\":\"E\",\"ok\":1}", "\"ok\" must be true or false"},
  };
  for (const auto& c : cases) {
    TraceEvent e;
    std::string error;
    EXPECT_EQ(ParseTraceEvent(c.line, e, error), -1) << c.line;
    EXPECT_EQ(error, c.error) << c.line;
  }
  const std::remove_cvref_t<decltype(cases[0])> headers[] = {
      {"{\"orvane\":\"trace\",\"version\":3}", "trace version 3 is not known here (this program reads versions 1 to 2)"},
      {"{\"orvane\":\"trace\"}", "\"version\" is missing"},
      {"{\"n\":1,\"op\":\"open\"}", "not a trace of this program (its first line must be {\"orvane\":\"trace\",...})"},
  };
  for (const auto& c : headers) {
    TraceHeader h;
    std::string error;
    EXPECT_EQ(ParseTraceHeader(c.line, h, error), -1) << c.line;
    EXPECT_EQ(error, c.error) << c.line;
  }
}

}  // namespace
}  // namespace orv
