// A port that one console holds is closed to everyone else: a second console (root included)
// and any other user's program. Once the first console is gone, the port is free again.
#include <errno.h>
#include <fcntl.h>
#include <grp.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "console/main_dialog.h"
#include "link/pty_support.h"
#include "window/headless_window.h"

namespace {

constexpr uid_t kNobody = 65534;
constexpr int kSummary = 1007;
constexpr const char* kSummaryOpen = "COM1:9600,N,8,2";
constexpr const char* kSummaryClosed = "COM1: 打不开 ";

// A console as the program starts one: the dialog on its window, over the real serial line.
struct Console {
  Console() {
    window.SetHandler(&dialog);
    dialog.OnInitDialog();
  }
  ~Console() { window.SetHandler(nullptr); }

  HeadlessWindow window;
  MainDialog dialog{window};
};

// Opens the device as another program would, in a child process that runs as user nobody when
// we are root. The child's exit status is 0 when the open succeeded, else its errno.
int OpenAsOtherUser(const std::string& path) {
  const pid_t child = ::fork();
  if (child == 0) {
    if (::geteuid() == 0) {
      if (::setgroups(0, nullptr) != 0 || ::setresgid(kNobody, kNobody, kNobody) != 0 ||
          ::setresuid(kNobody, kNobody, kNobody) != 0) {
        ::_exit(255);
      }
    }
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    ::_exit(fd >= 0 ? 0 : errno);
  }
  int status = 0;
  if (child < 0 || ::waitpid(child, &status, 0) != child || !WIFEXITED(status)) return -1;
  return WEXITSTATUS(status);
}

class ExclusiveAccessTest : public ::testing::Test {
 protected:
  void SetUp() override {
    MainDialog::s_pollBlock = 0;
    ASSERT_TRUE(pty.ok());
    home.Link("COM1", pty.slavePath);
    home.OpenToAll();
    // Anyone may open the device, so a refusal can only come from the console's hold on it.
    ASSERT_EQ(::chmod(pty.slavePath.c_str(), 0666), 0);
  }

  PortsHome home;
  RawPty pty;
};

TEST_F(ExclusiveAccessTest, ASecondConsoleCannotOpenThePortUntilTheFirstIsGone) {
  auto first = std::make_unique<Console>();
  ASSERT_EQ(first->dialog.m_link.m_isOpen, 1);
  EXPECT_EQ(first->window.GetText(kSummary), kSummaryOpen);
  EXPECT_EQ(pty.Receive(8).size(), 8u);  // its start-up parameter read

  Console second;
  EXPECT_EQ(second.dialog.m_link.m_isOpen, 0);
  EXPECT_EQ(second.window.GetText(kSummary), kSummaryClosed);

  // Leaving the port list retries the open: still refused while the first console runs.
  second.window.Focus(1002);
  second.window.Focus(1009);
  EXPECT_EQ(second.dialog.m_link.m_isOpen, 0);

  first.reset();
  second.window.Focus(1002);
  second.window.Focus(1009);
  ASSERT_EQ(second.dialog.m_link.m_isOpen, 1);
  EXPECT_EQ(second.window.GetText(kSummary), kSummaryOpen);

  // The port is the second console's now: its parameter read reaches the line.
  second.window.Click(1099);
  EXPECT_EQ(pty.Receive(8), (std::vector<uint8_t>{0x01, 0x03, 0x03, 0x00, 0x00, 0x2C, 0x44, 0x53}));
}

TEST_F(ExclusiveAccessTest, AnotherUsersProgramIsRefusedWhileAConsoleHoldsThePort) {
  auto console = std::make_unique<Console>();
  ASSERT_EQ(console->dialog.m_link.m_isOpen, 1);
  EXPECT_EQ(OpenAsOtherUser(pty.slavePath), EBUSY);

  console.reset();
  EXPECT_EQ(OpenAsOtherUser(pty.slavePath), 0);
}

}  // namespace
