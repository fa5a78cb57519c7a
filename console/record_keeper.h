#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "link/link_observer.h"
#include "records/capture_format.h"
#include "records/journal_format.h"
#include "records/record_file.h"

class MainDialog;

// The console's records, between the dialog and the files of records/: the journal of every
// write to the meter (always kept, one file a month under the data folder), the traffic capture
// and the data log (each on the operator's demand, to a file of the operator's). It learns of
// frames as the link's observer and of the rest through a few calls of the dialog, on the
// dialog's thread; it formats each line there and hands it to the file's own thread, so no tick
// waits on a disk. A file that fails is said once in 提示信息 at the next tick; a failed capture
// or data log stops, the journal tries again at the next write. Nothing here ever sends to the
// meter or holds a request back.
class RecordKeeper : public LinkObserver {
 public:
  explicit RecordKeeper(MainDialog& dialog);
  ~RecordKeeper();
  RecordKeeper(const RecordKeeper&) = delete;
  RecordKeeper& operator=(const RecordKeeper&) = delete;

  // LinkObserver: the capture's lines; a loss marks the write outstanding.
  void FrameWritten(const uint8_t* bytes, uint16_t length) override;
  void Received(const RxPiece& piece) override;

  // The dialog's hooks.
  // Each tick: a failure of any file is taken in and said once. While a transaction is
  // outstanding that waits for its end, so that its outcome in 提示信息 does not cover it at once.
  void OnTick();
  // The request in the link's transmit buffer has reached the line: a write (function 5, 6, 9
  // or 16) waits for its outcome with what it changes.
  void RequestLogged();
  // The transaction ended, as the completion handler got it (answered: it counted a success).
  // The write waiting is journaled with its outcome; a real-time block answered adds a row to
  // the data log.
  void TransactionEnded(int32_t result, int32_t kind, bool answered);
  void LineReopened();  // the port was opened again: a line of the capture
  // The read-back that checked a write ended: its entry (function 3) with the registers the meter
  // holds otherwise than written, or one line "读回" when all agree (or when it failed: 读回失败).
  void ReadBackChecked(uint16_t address, std::vector<JournalChange> differences,
                       bool failed = false);
  // The console closes: a write still outstanding is journaled "未确认", and the files finish.
  void Close();

  // The menu's commands and the start options. A start stops the file already open, if any.
  void StartCapture(const std::string& path);
  void StopCapture();
  void StartDataLog(const std::string& path);
  void StopDataLog();
  void AskCapture();
  void AskDataLog();
  void OpenJournalFolder();
  // The stop commands only while their file is open, the start commands while it is not.
  void UpdateMenu();
  bool Capturing() const { return m_capture != nullptr; }
  bool Logging() const { return m_dataLog != nullptr; }

  // Where the journal's month files go: <data folder>/journal.
  std::string m_journalFolder;
  // The files, for tests: each can be waited on until what it was given is written.
  RecordFile* JournalFile() const { return m_journal.get(); }
  RecordFile* CaptureFile() const { return m_capture.get(); }
  RecordFile* DataLogFile() const { return m_dataLog.get(); }
  // The time the recorders took from the dialog's thread: the current tick (its timer message and
  // the posted messages after it), and the longest tick since start.
  uint64_t m_tickNs = 0;
  uint64_t m_longestTickNs = 0;

 private:
  class Spent;
  void Capture(CaptureWhat what, int32_t framing, const RxPiece& piece);
  void CapturePort(CaptureWhat what);
  // Journals the write waiting with its outcome.
  void JournalPending(const std::string& outcome);
  std::string Outcome(int32_t result, int32_t kind) const;
  std::optional<JournalWrite> DescribeWrite() const;
  // Each failure waiting is said once in 提示信息 (a capture or data log: "记录已停止：" and why,
  // and it ends; the journal: "操作记录写入失败：" and why).
  void TakeFailures();

  MainDialog& m_dialog;
  std::unique_ptr<RecordFile> m_journal;
  std::unique_ptr<RecordFile> m_capture;
  std::unique_ptr<RecordFile> m_dataLog;
  std::chrono::steady_clock::time_point m_captureStart;
  // The write on the line, waiting for its outcome, and whether its line was lost meanwhile.
  std::optional<JournalWrite> m_pending;
  bool m_pendingLost = false;
  // The request the pending write went out as (address, function and the first words), for the
  // echo that confirms it.
  std::vector<uint8_t> m_pendingRequest;
  std::string m_user;
  std::vector<const std::string*> m_dataFields;
  bool m_closed = false;
};
