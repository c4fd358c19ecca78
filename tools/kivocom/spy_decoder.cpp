// SPDX-License-Identifier: MIT
#include "spy_decoder.h"

#include <cstdio>

#include "instruments/control_chars.h"
#include "instruments/omega_frame.h"
#include "simulated_bench.h"
#include "visible_text.h"

namespace kivotool {
namespace {

using kivocom::OmegaFrame;
namespace ctl = kivocom::ctl;

// A reply that runs on without a line end is shown in pieces of this size.
constexpr std::size_t kLongestReply = 1024;

std::string HexByte(char c) {
  char text[4];
  std::snprintf(text, sizeof text, "%02X", static_cast<unsigned char>(c));
  return text;
}

SpyFrame NameSetFrame(const OmegaFrame& frame, const std::string& address) {
  const bool right = frame.kind == OmegaFrame::Kind::Set;
  const std::string check = frame.sentCheck ? HexByte(*frame.sentCheck) : std::string("missing");
  std::string verdict = right ? "right" : "wrong, should be " + HexByte(frame.rightCheck);
  SpyFrame named{"omega-set", "omega set, address " + Visible(address) + ": " + Visible(frame.body) + ", block check " +
                                  check + " " + verdict, {}};
  named.fields = {{"address", address}, {"body", frame.body}, {"check", check},
                  {"right_check", HexByte(frame.rightCheck)}, {"check_ok", right}};
  return named;
}

std::string LineEndName(const std::string& reply) {
  if (reply.size() >= 2 && reply.compare(reply.size() - 2, 2, "\r\n") == 0) return "CR LF";
  if (!reply.empty() && reply.back() == ctl::kCr) return "CR";
  if (!reply.empty() && reply.back() == ctl::kLf) return "LF";
  return "";
}

}  // namespace

SpyFrame NameCommand(const std::string& command) {
  if (command.empty()) return {"lone-cr", "lone CR", {}};
  if (const auto address = kivocom::FrameAddress(command)) {
    const OmegaFrame frame = *kivocom::DecodeOmegaFrame(command, *address);
    switch (frame.kind) {
      case OmegaFrame::Kind::Poll:
        return {"omega-poll", "omega poll, address " + Visible(*address) + ": " + Visible(frame.body),
                {{"address", *address}, {"command", frame.body}}};
      case OmegaFrame::Kind::Set:
      case OmegaFrame::Kind::BadCheck:
        return NameSetFrame(frame, *address);
      case OmegaFrame::Kind::Malformed:
        break;
    }
    return {"omega-frame", "omega frame of no known shape, address " + Visible(*address) + ": " + Visible(command),
            {{"address", *address}, {"text", command}}};
  }
  return {"command", "command " + Visible(command), {{"command", command}}};
}

SpyDecoder::SpyDecoder(std::optional<kivocom::ESmartSwitchStyle> switchModel, bool noSwitch)
    : listener_(noSwitch ? kivocom::LineListener::NoSwitch() : kivocom::LineListener(switchModel)) {}

std::vector<SpyFrame> SpyDecoder::FromProgram(const std::string& bytes, Clock::time_point at) {
  std::vector<SpyFrame> frames;
  for (char byte : bytes) {
    for (const kivocom::LineListener::Heard& heard : listener_.Feed(byte)) {
      if (heard.kind != kivocom::LineListener::Heard::Kind::Command) {
        frames.push_back(NameSwitch(heard));
        continue;
      }
      // A reply still open (a CR-ended one, or one cut short) belongs to the exchange before.
      if (!heard.text.empty()) {
        if (auto reply = FinishReply()) frames.push_back(*reply);
        commandAt_ = at;
      }
      frames.push_back(NameCommand(heard.text));
    }
  }
  return frames;
}

std::vector<SpyFrame> SpyDecoder::FromDevice(const std::string& bytes, Clock::time_point at) {
  std::vector<SpyFrame> frames;
  for (char byte : bytes) {
    if (replyEndedWithCr_ && byte != ctl::kLf) {
      if (auto reply = FinishReply()) frames.push_back(*reply);
    }
    if (reply_.empty() && commandAt_) {
      replyGapMs_ = std::chrono::duration<double, std::milli>(at - *commandAt_).count();
      commandAt_.reset();
    }
    reply_ += byte;
    replyEndedWithCr_ = byte == ctl::kCr;
    if (byte == ctl::kLf || reply_.size() >= kLongestReply) {
      if (auto reply = FinishReply()) frames.push_back(*reply);
    }
  }
  return frames;
}

SpyFrame SpyDecoder::NameSwitch(const kivocom::LineListener::Heard& heard) const {
  const std::string model = listener_.Model() ? SwitchModelName(*listener_.Model()) : "switch";
  if (heard.kind == kivocom::LineListener::Heard::Kind::Release)
    return {"switch-release", model + " release", {{"model", model}}};
  return {"switch-select", model + " select port " + Visible(heard.text), {{"model", model}, {"port", heard.text}}};
}

std::optional<SpyFrame> SpyDecoder::FinishReply() {
  if (reply_.empty()) return std::nullopt;
  const std::string lineEnd = LineEndName(reply_);
  std::string text = reply_;
  while (!text.empty() && (text.back() == ctl::kCr || text.back() == ctl::kLf)) text.pop_back();
  SpyFrame frame{"reply", text.empty() ? "empty reply" : "reply " + Visible(text), {{"text", text}, {"line_end", lineEnd}}};
  if (text == std::string(1, '\x06')) frame = {"ack", "ACK", {}};
  if (text == std::string(1, ctl::kNak)) frame = {"nak", "NAK", {}};
  if (lineEnd.empty()) frame.summary += " (no line end)";
  if (replyGapMs_) {
    char gap[48];
    std::snprintf(gap, sizeof gap, ", %.1f ms after the command", *replyGapMs_);
    frame.summary += gap;
    frame.fields.emplace_back("gap_ms", *replyGapMs_);
  }
  reply_.clear();
  replyEndedWithCr_ = false;
  replyGapMs_.reset();
  return frame;
}

}  // namespace kivotool
