// Finding other instances: the window markers a screen writes, a child
// process found by its window class and executable and then ended, and
// markers of ended processes cleared away.
#include "platform/desktop/instances.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <sstream>

#include "platform/desktop/screen.h"
#include "screen_test_support.h"

namespace fs = std::filesystem;
using namespace rvz::desktop;

namespace {

std::string readAll(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

TEST(WindowMarker, ParsesOnlyWhatIsWritten) {
  WindowMarker m{12345, {"TfrmMains", "TApplication"}};
  auto back = parseWindowMarker(formatWindowMarker(m));
  ASSERT_TRUE(back);
  EXPECT_EQ(back->startTime, 12345u);
  EXPECT_EQ(back->classes, m.classes);
  const char* bad[] = {
      "",
      "rvz-screen-windows 1\n",                             // no start
      "rvz-screen-windows 2\nstart 1\n",                    // another version
      "rvz-screen-windows 1\nstart x\n",                    // not a number
      "rvz-screen-windows 1\nstart 1\nstart 2\n",           // twice
      "rvz-screen-windows 1\nstart 1\nclass \n",            // empty class
      "rvz-screen-windows 1\nstart 1\nclass TfrmMains",     // no line end
      "rvz-screen-windows 1\nstart 1\nwindow TfrmMains\n",  // unknown line
  };
  for (const char* b : bad) EXPECT_FALSE(parseWindowMarker(b)) << b;
  EXPECT_FALSE(parseWindowMarker("rvz-screen-windows 1\nstart 1\n" + std::string(5000, 'x')));
}

class InstancesTest : public ::testing::Test {
 protected:
  void SetUp() override { home_ = test_support::makeScratchFolder("rvz_instances"); }
  void TearDown() override { fs::remove_all(home_); }
  fs::path home_;
};

TEST_F(InstancesTest, ScreenAnnouncesItsWindowsWhileItHasThem) {
  const fs::path marker = windowMarkerFolder(home_) / std::to_string(getpid());
  {
    ScreenOptions o;
    o.home = home_;
    Screen screen([](std::function<void()>) {}, o);
    EXPECT_FALSE(fs::exists(marker));
    Window& w = screen.createWindow("frmMains", "TfrmMains", "Main");
    auto m = parseWindowMarker(readAll(marker));
    ASSERT_TRUE(m);
    EXPECT_EQ(m->classes, std::vector<std::string>{"TfrmMains"});
    EXPECT_EQ(m->startTime, processStartTime(getpid()));
    EXPECT_EQ(fs::status(windowMarkerFolder(home_)).permissions() & fs::perms::all, fs::perms::owner_all);
    // This process is never among the others.
    EXPECT_TRUE(windowOwners("TfrmMains", home_).empty());
    screen.destroyWindow(w);
    EXPECT_FALSE(fs::exists(marker));
    screen.createWindow("frmMains", "TfrmMains", "Main");
  }
  EXPECT_FALSE(fs::exists(marker));
}

TEST_F(InstancesTest, AnotherProcessIsFoundByItsWindowAndEnded) {
  int ready[2];
  ASSERT_EQ(pipe(ready), 0);
  pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    ScreenOptions o;
    o.home = home_;
    Screen screen([](std::function<void()>) {}, o);
    screen.createWindow("frmMains", "TfrmMains", "Main");
    char c = 'r';
    (void)!write(ready[1], &c, 1);
    while (true) pause();
  }
  close(ready[1]);
  char c;
  ASSERT_EQ(read(ready[0], &c, 1), 1);
  close(ready[0]);

  auto owners = windowOwners("TfrmMains", home_);
  ASSERT_EQ(owners.size(), 1u);
  EXPECT_EQ(owners[0].pid, child);
  EXPECT_EQ(owners[0].executable, ownExecutablePath());
  EXPECT_TRUE(windowOwners("tfrmmains", home_).empty());  // class names keep their case
  EXPECT_TRUE(windowOwners("TfrmMains", home_ / "elsewhere").empty());

  ASSERT_TRUE(terminateProcess(child));
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFSIGNALED(status));
  EXPECT_EQ(WTERMSIG(status), SIGKILL);
  // The ended process's marker is found stale and cleared.
  EXPECT_TRUE(windowOwners("TfrmMains", home_).empty());
  EXPECT_FALSE(fs::exists(windowMarkerFolder(home_) / std::to_string(child)));
}

TEST_F(InstancesTest, MarkerOfAnEarlierProcessWithTheSameIdIsNotTrusted) {
  // A live process (the parent of this one) with a marker whose start time
  // is not its own: the marker was left by an ended process of that id.
  fs::create_directories(windowMarkerFolder(home_));
  const fs::path marker = windowMarkerFolder(home_) / std::to_string(getppid());
  auto start = processStartTime(getppid());
  ASSERT_TRUE(start);
  std::ofstream(marker) << formatWindowMarker(WindowMarker{*start + 1, {"TfrmMains"}});
  std::ofstream(windowMarkerFolder(home_) / "junk") << "x";
  EXPECT_TRUE(windowOwners("TfrmMains", home_).empty());
  EXPECT_FALSE(fs::exists(marker));
}

TEST(Processes, OwnExecutableAndStartTime) {
  EXPECT_EQ(ownExecutablePath(), fs::read_symlink("/proc/self/exe"));
  EXPECT_TRUE(processStartTime(getpid()));
  EXPECT_FALSE(processExecutable(-5));
  EXPECT_FALSE(processStartTime(-5));
  EXPECT_FALSE(terminateProcess(0));
}

}  // namespace
