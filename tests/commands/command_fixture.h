#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "console/main_dialog.h"
#include "fakes/fake_line.h"
#include "link/frame_codec.h"
#include "window/headless_window.h"

using Bytes = std::vector<uint8_t>;

// One text typed into a field whose editor stores a register.
struct EditorCase {
  int field;
  const char* typed;
  int index;
  std::optional<uint16_t> stored;  // nullopt: the register keeps its value
  const char* shown;               // nullptr: not checked
};

// A frame body closed with its CRC, as the meter sends it.
inline Bytes Closed(Bytes body) {
  body.resize(body.size() + 2);
  CloseFrame(body.data(), static_cast<uint16_t>(body.size()));
  return body;
}

// The parameter block the meter holds at start-up in these tests: every register distinct,
// the registers no panel field edits included.
inline uint16_t StartValue(int index) {
  return static_cast<uint16_t>(0x0101 * (index - kParameterFirst + 1) + 0x10);
}

// A function 3 reply carrying these registers.
inline Bytes HoldingReply(const std::vector<uint16_t>& values, uint8_t slave = 1) {
  Bytes frame = {slave, 0x03, static_cast<uint8_t>(values.size() * 2)};
  for (uint16_t v : values) {
    frame.push_back(static_cast<uint8_t>(v >> 8));
    frame.push_back(static_cast<uint8_t>(v & 0xFF));
  }
  return Closed(frame);
}

inline std::vector<uint16_t> StartBlock() {
  std::vector<uint16_t> values;
  for (int k = 0; k < kParameterCount; ++k) values.push_back(StartValue(kParameterFirst + k));
  return values;
}

// The whole dialog on a headless window over a scripted line. Start() runs the program's start-up,
// answers its parameter read with StartBlock() and turns continuous reading off, so every command
// button is enabled; the focus then rests on the send log, which has no handlers.
class CommandTest : public ::testing::Test {
 protected:
  static constexpr int kRestingFocus = IDC_TX_LOG;
  static constexpr int kAutoPollButton = IDC_AUTO_POLL;

  void SetUp() override {
    MainDialog::s_pollBlock = 0;
    wire = AttachFakeLine(dialog.m_link);
    window.SetHandler(&dialog);
    ASSERT_TRUE(dialog.OnInitDialog());
    window.Focus(kRestingFocus);
    Answer(HoldingReply(StartBlock()));
    ASSERT_EQ(dialog.m_paramsValid, 1);
    window.Click(kAutoPollButton);
    ASSERT_EQ(dialog.m_autoPoll, 0);
  }
  void TearDown() override { window.SetHandler(nullptr); }

  void StartPolling() {
    if (dialog.m_autoPoll == 0) window.Click(kAutoPollButton);
  }

  // The meter's reply arrives and the next tick hands it to the completion handler.
  void Answer(const Bytes& reply) {
    wire->Feed(reply);
    window.Tick();
  }
  // The meter echoes the request, as it does for functions 5, 6 and 16's header.
  void Echo() { Answer(wire->written.back()); }

  // The operator enters a field, types and leaves it, which runs the field's editor.
  void Edit(int field, const std::string& text) {
    window.Focus(field);
    window.Type(field, text);
    window.Focus(kRestingFocus);
  }

  // Each case typed in turn: the register holds what it stored and the field shows it.
  void ExpectEdits(std::span<const EditorCase> cases) {
    for (const EditorCase& c : cases) {
      SCOPED_TRACE(std::to_string(c.field) + " <- \"" + c.typed + "\"");
      const uint16_t before = Value(c.index);
      Edit(c.field, c.typed);
      EXPECT_EQ(Value(c.index), c.stored.value_or(before));
      if (c.shown != nullptr) {
        EXPECT_EQ(Shown(c.field), c.shown);
      }
    }
  }

  size_t Sent() const { return wire->written.size(); }
  const Bytes& LastFrame() const { return wire->written.back(); }
  uint16_t Value(int index) const { return dialog.m_regTable[index].value; }
  std::string Shown(int id) const { return window.GetText(id); }

  HeadlessWindow window;
  MainDialog dialog{window};
  std::shared_ptr<FakeWire> wire;
};
