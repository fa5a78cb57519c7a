// 文件 → "参数另存为…" and "载入参数…": the parameter block of the meter now addressed to a
// profile file, and a profile into the fields, to be sent by "写参数" and nowhere else.
#include <string>

#include "console/app_files.h"
#include "console/main_dialog.h"
#include "device/text_format.h"
#include "profiles/profile.h"
#include "records/local_time.h"

namespace {

constexpr const char* kFilter = "参数文件 (*.json)";
constexpr const char* kUnwritten = "有未写入的修改，请先写参数或读参数";

std::string WithoutTrailingBlanks(std::string text) {
  while (!text.empty() && text.back() == ' ') text.pop_back();
  return text;
}

}  // namespace

std::array<uint16_t, kParameterCount> MainDialog::ImageBlock() const {
  std::array<uint16_t, kParameterCount> block{};
  for (int k = 0; k < kParameterCount; ++k)
    block[static_cast<size_t>(k)] = m_regTable[kParameterFirst + k].value;
  return block;
}

std::array<uint16_t, kParameterCount> MainDialog::MeterBlock() const {
  std::array<uint16_t, kParameterCount> block = ImageBlock();
  for (int k = 0; k < kParameterCount; ++k) {
    const auto& read = m_readValues[static_cast<size_t>(kParameterFirst + k)];
    if (read) block[static_cast<size_t>(k)] = *read;
  }
  return block;
}

bool MainDialog::HoldsUnwrittenEdits() const { return ImageBlock() != MeterBlock(); }

// Saves the block as last read from the meter now addressed, and only while the fields hold
// nothing else: a profile is what a meter holds, never what was typed and not yet written.
void MainDialog::OnSaveProfile() {
  if (!BlockReadFromMeterInUse()) return;
  if (HoldsUnwrittenEdits()) {
    m_status = kUnwritten;
  } else {
    const ProfileOrigin origin{IsoLocalText(LocalNow()), PortLabel(), m_commSummary,
                               m_link.m_slaveAddress, WithoutTrailingBlanks(m_slaveSettings)};
    const std::string suggested =
        JoinPath(DataFolder(), Printf("参数_地址%d.json", m_link.m_slaveAddress));
    if (const auto path = m_window.AskSaveFile("参数另存为", suggested, kFilter)) {
      const auto failed = WriteProfile(*path, ProfileText(MeterBlock(), origin));
      m_status = failed ? "参数文件未能保存：" + *failed : "参数已保存到 " + *path;
    }
  }
  RefreshDisplay();
  UpdateControlStates();
}

// Puts a profile into the image: every register it carries (never the meter's own line or its
// serial number), the raw values as the file holds them. 提示信息 lists what "写参数" would change
// in the meter; nothing is sent here. A file refused for any entry changes nothing.
void MainDialog::OnLoadProfile() {
  if (!BlockReadFromMeterInUse()) return;
  const auto path = m_window.AskOpenFile("载入参数", kFilter);
  if (path) {
    const ProfileRead read = ReadProfile(*path);
    if (!read.block) {
      m_status = read.reason;
    } else {
      // As entering a field does: polls would overwrite the block loaded.
      m_autoPoll = 0;
      m_loadHeld = m_link.m_ticks != 0;
      m_loadStamp = m_link.m_requestsWritten;
      const auto loaded = WithProfile(ImageBlock(), *read.block);
      for (int k = 0; k < kParameterCount; ++k) {
        m_regTable[kParameterFirst + k].value = loaded[static_cast<size_t>(k)];
      }
      m_status = ChangesText(BlockChanges(MeterBlock(), loaded));
    }
  }
  RefreshDisplay();
  UpdateControlStates();
}
